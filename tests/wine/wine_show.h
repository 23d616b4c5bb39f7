// The Windows build played under Wine the way a recipient's desktop runs it:
// a private X server with a window manager (Wine's X11 driver waits about
// two seconds on every hidden window without one), one Wine session for the
// suite, the player started in player mode with a show description, and the
// screen watched as a sequence of timed screenshots.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "child_process.h"
#include "virtual_screen.h"

namespace tarn::e2e::wine {

// ---- Media, made with ffmpeg ------------------------------------------------
// A JPEG of one colour.
bool MakeStill(const std::string& path, uint32_t colour, int width, int height, const std::string& log);
// A sine tone of `seconds` as a WAV file.
bool MakeTone(const std::string& path, double seconds, const std::string& log);
// A two-second clip at 25 pictures a second with sound: its first second in
// `first`, its second in `second`. ".mp4" is H.264 with AAC, ".avi" MJPEG
// with PCM.
bool MakeClip(const std::string& path, uint32_t first, uint32_t second, int width, int height,
              const std::string& log);

// Writes a show description: [OPTIONS] from `options` (in that order), then
// the slides as ImageN/SoundN pairs.
struct Slide {
    std::string image;
    std::string sound;
};
bool WriteShow(const std::string& path, const std::vector<std::pair<std::string, std::string>>& options,
               const std::vector<Slide>& slides);

// ---- The desktop and the player --------------------------------------------
// Xvfb with openbox, and a Wine session on it that lasts until Stop (the
// prefix is the caller's WINEPREFIX, prepared by scripts/windows.sh).
class WineDesktop {
public:
    ~WineDesktop() { Stop(); }
    bool Start(int width, int height, const std::string& logFolder);
    void Stop();
    VirtualScreen& Screen() { return screen_; }
    // The environment every Wine program of the session is started with.
    std::map<std::string, std::string> Environment() const;

private:
    VirtualScreen screen_;
    bool session_ = false;
    std::string log_;
};

// ---- Watching ---------------------------------------------------------------
// What a screenshot shows, as the test names it (0: none of the expected
// pictures), and when: milliseconds since the watch began, at the middle of
// the capture.
struct Sighting {
    int what;
    double ms;
};

// Screenshots one after another until `done` holds for the latest sighting,
// the process ends, or `timeoutMs` passes; every sighting is kept, in order.
// `ended` tells whether the process ended during the watch.
struct Watch {
    std::vector<Sighting> sightings;
    bool ended = false;
    bool timedOut = false;

    // The first sighting of `what` at or after index `from`; -1 when none.
    int First(int what, size_t from = 0) const;
    // The first sighting after index `from` that is not `what`; -1 when none.
    int FirstOther(int what, size_t from) const;
    // "1@0 2@1003 0@1010 ..." for failure messages: each change of what is seen.
    std::string Changes() const;
};
Watch WatchScreen(VirtualScreen& screen, ChildProcess& process, const std::function<int(const ws::Pixels&)>& classify,
                  const std::function<bool(const Sighting&)>& done, int timeoutMs,
                  ws::Pixels* last = nullptr);

}  // namespace tarn::e2e::wine
