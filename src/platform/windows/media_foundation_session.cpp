#include "platform/windows/media_foundation_session.h"

#include <atomic>
#include <objbase.h>

#include "platform/windows/com_ref.h"

namespace tarn {
namespace {

// Reports one of the session's events; false once the session has closed.
bool Report(IMFMediaEvent* event, SessionReport* report) {
    MediaEventType type = MEUnknown;
    HRESULT status = S_OK;
    event->GetType(&type);
    event->GetStatus(&status);
    switch (type) {
    case MESessionTopologyStatus: {
        UINT32 topology = MF_TOPOSTATUS_INVALID;
        event->GetUINT32(MF_EVENT_TOPOLOGY_STATUS, &topology);
        if (FAILED(status)) {
            report->Resolved(false);
            report->Queue(media::EC_ERRORABORT);
        } else if (topology == MF_TOPOSTATUS_READY) {
            report->Resolved(true);
        }
        return true;
    }
    case MESessionEnded:
        report->Queue(media::EC_COMPLETE);
        return true;
    case MESessionClosed:
        return false;
    default:
        if (FAILED(status)) {
            report->Resolved(false);
            report->Queue(media::EC_ERRORABORT);
        }
        return true;
    }
}

// Hands each picture the session presents on to the frame window's feed.
class FrameGrabber final : public IMFSampleGrabberSinkCallback {
public:
    explicit FrameGrabber(std::shared_ptr<FrameFeed> feed) : feed_(std::move(feed)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMFClockStateSink ||
            riid == IID_IMFSampleGrabberSinkCallback) {
            *object = static_cast<IMFSampleGrabberSinkCallback*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE OnClockStart(MFTIME, LONGLONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnClockStop(MFTIME) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnClockPause(MFTIME) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnClockRestart(MFTIME) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnClockSetRate(MFTIME, float) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnSetPresentationClock(IMFPresentationClock*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnProcessSample(REFGUID, DWORD, LONGLONG, LONGLONG,
                                              const BYTE* pixels, DWORD bytes) override {
        feed_->Submit(pixels, bytes);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnShutdown() override { return S_OK; }

private:
    ~FrameGrabber() = default;
    std::atomic<ULONG> references_{1};
    std::shared_ptr<FrameFeed> feed_;
};

}  // namespace

void SessionReport::SetNotifyWindow(HWND window, UINT message, LONG_PTR instance) {
    std::lock_guard<std::mutex> lock(mutex_);
    window_ = window;
    message_ = message;
    instance_ = instance;
    // Events already queued are announced to the new window.
    for (size_t i = 0; i < events_.size(); ++i) AnnounceLocked();
}
void SessionReport::Queue(LONG code) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(code);
    AnnounceLocked();
}
bool SessionReport::Take(LONG* code) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (events_.empty()) return false;
    *code = events_.front();
    events_.pop_front();
    return true;
}

void SessionReport::Resolved(bool ok) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        resolved_ = true;
        failed_ = failed_ || !ok;
    }
    changed_.notify_all();
}
void SessionReport::Closed() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        resolved_ = true;
    }
    changed_.notify_all();
}
bool SessionReport::WaitResolved(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, wait, [&] { return resolved_; });
    return resolved_ && !failed_;
}
bool SessionReport::WaitClosed(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, wait, [&] { return closed_; });
}

void SessionReport::AnnounceLocked() {
    if (window_ != nullptr && !media::ProcessExitBegun()) {
        PostMessageW(window_, message_, 0, instance_);
    }
}

bool StartMediaFoundation() {
    static const bool started = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_FULL));
    return started;
}

SessionListener::SessionListener(IMFMediaSession* session, std::shared_ptr<SessionReport> report) {
    session->AddRef();
    thread_ = std::thread([session, report = std::move(report)] {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        for (;;) {
            ComRef<IMFMediaEvent> event;
            // Returns with an error once the session is shut down.
            if (FAILED(session->GetEvent(0, event.Put())) || !Report(event.Get(), report.get())) {
                break;
            }
        }
        report->Closed();
        session->Release();
        if (SUCCEEDED(com)) CoUninitialize();
    });
}

SessionListener::~SessionListener() {
    if (thread_.joinable()) thread_.join();
}

namespace {

// Ended sessions leave work in the runtime's queues for a moment: their last
// items are still being released. Wine's queues crashed, now and then, when
// the process went in that moment; it waits this long first.
constexpr auto kQueuesDrain = std::chrono::milliseconds(300);

// Paused, closed, shut down with its source and sinks, released.
void EndSession(SessionRemains remains) {
    // A session that does not close in this time is shut down as it is.
    constexpr auto kCloseWait = std::chrono::milliseconds(2000);
    // The clock cancels its timers when it stops running, and Wine's work
    // queue crashes, now and then, when a timer is cancelled the moment it
    // comes due. A playing clip is therefore paused just after a picture
    // has come, when the next one's timer is a frame away, and closed once
    // paused, when no timer is left to cancel.
    constexpr auto kFrameWait = std::chrono::milliseconds(250);
    constexpr auto kSettle = std::chrono::milliseconds(50);
    if (remains.session) {
        if (remains.feed) remains.feed->WaitForFrame(remains.feed->FrameCount(), kFrameWait);
        if (SUCCEEDED(remains.session->Pause())) std::this_thread::sleep_for(kSettle);
        if (SUCCEEDED(remains.session->Close())) remains.report->WaitClosed(kCloseWait);
        if (remains.source) remains.source->Shutdown();
        remains.session->Shutdown();
    } else if (remains.source) {
        remains.source->Shutdown();
    }
    remains.listener.reset();
    if (remains.frameSink) remains.frameSink->ShutdownObject();
    if (remains.soundSink) remains.soundSink->ShutdownObject();
}

// The sessions being ended aside. It lives as long as the process; the end
// of a process that ended any waits for them (within bounds) and for the
// queues to drain, so that no session is still running, nor any of its work
// queued, when the runtime's threads go.
class AsideSessions {
public:
    static AsideSessions& Get() {
        static AsideSessions* const sessions = new AsideSessions;
        static const ExitWait wait{sessions};
        return *sessions;
    }
    void Begin() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++count_;
    }
    void End() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --count_;
        }
        done_.notify_all();
    }

private:
    struct ExitWait {
        AsideSessions* sessions;
        ~ExitWait() {
            std::unique_lock<std::mutex> lock(sessions->mutex_);
            sessions->done_.wait_for(lock, std::chrono::seconds(3),
                                     [&] { return sessions->count_ == 0; });
            std::this_thread::sleep_for(kQueuesDrain);
        }
    };
    std::mutex mutex_;
    std::condition_variable done_;
    int count_ = 0;
};

}  // namespace

void EndSessionAside(SessionRemains remains) {
    // At the process's end the session is ended before the process goes on.
    if (media::ProcessExitBegun()) {
        EndSession(std::move(remains));
        std::this_thread::sleep_for(kQueuesDrain);
        return;
    }
    AsideSessions& aside = AsideSessions::Get();
    aside.Begin();
    std::thread([remains = std::move(remains), &aside]() mutable {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EndSession(std::move(remains));
        if (SUCCEEDED(com)) CoUninitialize();
        aside.End();
    }).detach();
}

HRESULT CreateFrameSink(IMFMediaType* wanted, std::shared_ptr<FrameFeed> feed,
                        IMFActivate** sink) {
    auto* grabber = new FrameGrabber(std::move(feed));
    const HRESULT hr = MFCreateSampleGrabberSinkActivate(wanted, grabber, sink);
    grabber->Release();  // the sink holds it
    return hr;
}

bool ReadPictureSize(IMFMediaType* type, LONG* width, LONG* height) {
    MFVideoArea area{};
    UINT32 bytes = 0;
    if (SUCCEEDED(type->GetBlob(MF_MT_MINIMUM_DISPLAY_APERTURE, reinterpret_cast<UINT8*>(&area),
                                sizeof area, &bytes)) &&
        bytes == sizeof area && area.Area.cx > 0 && area.Area.cy > 0) {
        *width = area.Area.cx;
        *height = area.Area.cy;
        return true;
    }
    UINT32 frameWidth = 0;
    UINT32 frameHeight = 0;
    if (FAILED(MFGetAttributeSize(type, MF_MT_FRAME_SIZE, &frameWidth, &frameHeight)) ||
        frameWidth == 0 || frameHeight == 0 || frameWidth > 0x7FFF || frameHeight > 0x7FFF) {
        return false;
    }
    *width = static_cast<LONG>(frameWidth);
    *height = static_cast<LONG>(frameHeight);
    return true;
}

HRESULT AddBranch(IMFTopology* topology, IMFMediaSource* source,
                  IMFPresentationDescriptor* presentation, IMFStreamDescriptor* stream,
                  IMFActivate* sink) {
    ComRef<IMFTopologyNode> from;
    ComRef<IMFTopologyNode> to;
    HRESULT hr = MFCreateTopologyNode(MF_TOPOLOGY_SOURCESTREAM_NODE, from.Put());
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_SOURCE, source);
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_PRESENTATION_DESCRIPTOR, presentation);
    if (SUCCEEDED(hr)) hr = from->SetUnknown(MF_TOPONODE_STREAM_DESCRIPTOR, stream);
    if (SUCCEEDED(hr)) hr = topology->AddNode(from.Get());
    if (SUCCEEDED(hr)) hr = MFCreateTopologyNode(MF_TOPOLOGY_OUTPUT_NODE, to.Put());
    if (SUCCEEDED(hr)) hr = to->SetObject(sink);
    if (SUCCEEDED(hr)) hr = to->SetUINT32(MF_TOPONODE_STREAMID, 0);
    if (SUCCEEDED(hr)) hr = to->SetUINT32(MF_TOPONODE_NOSHUTDOWN_ON_REMOVE, FALSE);
    if (SUCCEEDED(hr)) hr = topology->AddNode(to.Get());
    if (SUCCEEDED(hr)) hr = from->ConnectOutput(0, to.Get(), 0);
    return hr;
}

}  // namespace tarn
