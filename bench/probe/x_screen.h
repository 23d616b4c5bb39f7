// The X server the viewers draw on: grabs of small screen boxes and real key
// presses sent through the XTEST extension.
#pragma once

#include <string>
#include <vector>

#include "box_stats.h"

struct _XDisplay;

class XScreen {
public:
    XScreen();
    ~XScreen();
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

    bool ok() const { return display_ != nullptr; }
    int width() const;
    int height() const;

    // Figures of each box as the screen shows it now.
    std::vector<BoxStats> Grab(const std::vector<Box>& boxes);
    // Presses and releases the key named by its keysym ("Right", "Return",
    // "Escape", "q"), flushed to the server before returning.
    bool PressKey(const std::string& keysym_name);
    // Moves the pointer, e.g. into a corner before a measurement.
    void MovePointer(int x, int y);

private:
    _XDisplay* display_ = nullptr;
    unsigned long root_ = 0;
};
