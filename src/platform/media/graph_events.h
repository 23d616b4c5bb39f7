// A graph's event queue and its notification target. Stream threads queue
// events; each queued event posts one notification to the target window,
// lParam = the instance value given with the window. Shared between a graph
// and its threads, so a thread may queue after the graph has gone: with the
// target cleared (as a releasing player does) nothing is posted.
#pragma once

#include <deque>
#include <mutex>

#include "platform/graph.h"
#include "platform/win32.h"

namespace tarn::media {

class GraphEvents {
public:
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };

    void SetTarget(HWND window, UINT message, LONG_PTR instance) {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
        message_ = message;
        instance_ = instance;
    }
    void Queue(LONG code, LONG_PTR param1 = 0, LONG_PTR param2 = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(Event{code, param1, param2});
        if (window_ && !ProcessExitBegun()) PostMessageA(window_, message_, 0, instance_);
    }
    bool Take(Event* event) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_.empty()) return false;
        *event = queue_.front();
        queue_.pop_front();
        return true;
    }
    size_t Pending() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }

private:
    mutable std::mutex mutex_;
    std::deque<Event> queue_;
    HWND window_ = nullptr;
    UINT message_ = 0;
    LONG_PTR instance_ = 0;
};

}  // namespace tarn::media
