// The pieces of a Media Foundation session that the Media Foundation graph
// (media_foundation_graph.cpp) puts together: the runtime's start, the
// report of the session's events, the sink that hands pictures to a frame
// window, and the building of the playback chain.
//
// media/graph.h comes before the SDK's media headers, as in the DirectShow
// graph.
#pragma once

#include "platform/graph.h"

#include <mfapi.h>
#include <mfidl.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/windows/com_ref.h"
#include "platform/windows/frame_window.h"

namespace tarn {

// Starts Media Foundation for the rest of the process, once; false when it
// cannot be started. It is never shut down: the runtime's work queues still
// release their last items after every session has closed, and its end
// would pull them from under them (Wine's crash on them at the process's
// end); the process's end reclaims it.
bool StartMediaFoundation();

// What the session's thread tells the graph: the events for the caller, and
// how far the session has come. Safe on any thread.
class SessionReport {
public:
    // Every event queued from now on (and each one still queued) posts
    // `message` to `window` with lParam `instance`; a zero window stops that.
    void SetNotifyWindow(HWND window, UINT message, LONG_PTR instance);
    void Queue(LONG code);
    // Takes the oldest queued event; false when none is queued.
    bool Take(LONG* code);

    // The playback chain is resolved (`ok`) or could not be.
    void Resolved(bool ok);
    // The session has closed, or stopped reporting.
    void Closed();
    // True once the chain is resolved and nothing failed; false on failure
    // or when `wait` passes first.
    bool WaitResolved(std::chrono::milliseconds wait);
    bool WaitClosed(std::chrono::milliseconds wait);

private:
    void AnnounceLocked();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<LONG> events_;
    HWND window_ = nullptr;
    UINT message_ = 0;
    LONG_PTR instance_ = 0;
    bool resolved_ = false;
    bool failed_ = false;
    bool closed_ = false;
};

// Takes the session's events into `report` on a thread of its own, waiting
// for each, until the session closes or is shut down. Waiting on a thread
// of our own keeps the session's work queues free of our callbacks (Wine's
// crashed, now and then, releasing one at the end of a session).
class SessionListener {
public:
    SessionListener(IMFMediaSession* session, std::shared_ptr<SessionReport> report);
    // Waits for the thread: the session must have closed or been shut down.
    ~SessionListener();
    SessionListener(const SessionListener&) = delete;
    SessionListener& operator=(const SessionListener&) = delete;

private:
    std::thread thread_;
};

// What is left of a session once its graph has let it go.
struct SessionRemains {
    ComRef<IMFMediaSession> session;
    ComRef<IMFMediaSource> source;
    ComRef<IMFActivate> frameSink;
    ComRef<IMFActivate> soundSink;
    std::unique_ptr<SessionListener> listener;
    std::shared_ptr<SessionReport> report;
    // The pictures' feed, when the session has pictures.
    std::shared_ptr<FrameFeed> feed;
};

// Ends the session on a thread of its own, so that the caller does not wait
// for it: paused, closed, shut down with its source and sinks, released.
// Once the process's end has begun, it is ended before this returns; the
// process's end waits for those still being ended, and for the runtime's
// queues to let their last items go.
void EndSessionAside(SessionRemains remains);

// A sink that takes pictures of type `wanted` (32-bit RGB) and hands each to
// `feed` at its presentation time.
HRESULT CreateFrameSink(IMFMediaType* wanted, std::shared_ptr<FrameFeed> feed,
                        IMFActivate** sink);

// The picture's size from a video stream's type: the displayed area where
// the type names one, the frame otherwise. False when it names neither.
bool ReadPictureSize(IMFMediaType* type, LONG* width, LONG* height);

// Adds the branch source stream -> output `sink` to `topology`.
HRESULT AddBranch(IMFTopology* topology, IMFMediaSource* source,
                  IMFPresentationDescriptor* presentation, IMFStreamDescriptor* stream,
                  IMFActivate* sink);

}  // namespace tarn
