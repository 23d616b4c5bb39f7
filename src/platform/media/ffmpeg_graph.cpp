#include "platform/media/ffmpeg_graph.h"

#include <sys/stat.h>

#include <string>

#include "platform/media/frame_pump.h"
#include "platform/media/picture_cache.h"
#include "platform/media/still_overlays.h"
#include "platform/window_system.h"

namespace tarn::media {

namespace {
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT kNotConnected = static_cast<HRESULT>(0x80040209u);
}  // namespace

FfmpegGraph::FfmpegGraph() : number_(NewGraphNumber()) {}

FfmpegGraph::~FfmpegGraph() {
    if (stream_) {
        if (stream_->HasPicture()) UnregisterPictureReceiver(number_);
        stream_.reset();  // stops and joins its threads
    }
    if (overlayPlaced_ && !ProcessExitBegun()) ws::RemoveVideoOverlay(number_);
    if (kind_ == Kind::Still) RemoveStillGraph(number_);
}

// ---- IUnknown --------------------------------------------------------------------

HRESULT FfmpegGraph::QueryInterface(const Guid& riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IGraphBuilder) *object = static_cast<IGraphBuilder*>(this);
    else if (riid == IID_IMediaControl) *object = static_cast<IMediaControl*>(this);
    else if (riid == IID_IMediaEventEx) *object = static_cast<IMediaEventEx*>(this);
    else if (riid == IID_IMediaPosition) *object = static_cast<IMediaPosition*>(this);
    else if (riid == IID_IVideoWindow) *object = static_cast<IVideoWindow*>(this);
    else if (riid == IID_IBasicVideo) *object = static_cast<IBasicVideo*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG FfmpegGraph::AddRef() { return ++refs_; }

ULONG FfmpegGraph::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---- IGraphBuilder --------------------------------------------------------------------

HRESULT FfmpegGraph::RenderFile(LPCWSTR file, LPCWSTR) {
    if (!file) return E_POINTER;
    if (kind_ != Kind::Empty) return VFW_E_WRONG_STATE;
    size_t units = 0;
    while (file[units]) ++units;
    std::string path(units * 3 + 1, '\0');
    if (WideToAnsi(file, path.data(), static_cast<int>(path.size())) == 0) return kFileNotFound;
    path.resize(std::char_traits<char>::length(path.c_str()));
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return kFileNotFound;
    if (!S_ISREG(info.st_mode)) return VFW_E_UNSUPPORTED_STREAM;

    const Size screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    StillPicture still;
    switch (DecodeStillPictureCached(path, screen, &still)) {
    case StillResult::Decoded:
        kind_ = Kind::Still;
        AddStillGraph(number_);
        source_ = still.source;
        reducedLevel_ = still.reducedLevel;
        picture_ = still.frame;
        rect_ = RECT{0, 0, picture_->width, picture_->height};
        return S_OK;
    case StillResult::Failed:
        return VFW_E_UNSUPPORTED_STREAM;
    case StillResult::NotStill:
        break;
    }

    MediaStream::Callbacks callbacks;
    const uint64_t number = number_;
    callbacks.frameReady = [number] { AnnouncePicture(number); };
    callbacks.event = [events = events_](long code) { events->Queue(static_cast<LONG>(code)); };
    stream_ = MediaStream::Open(path.c_str(), screen, CurrentAudioOutput(), std::move(callbacks));
    if (!stream_) return VFW_E_UNSUPPORTED_STREAM;
    kind_ = Kind::Stream;
    if (stream_->HasPicture()) {
        source_ = stream_->SourceSize();
        const Size fitted = stream_->FittedSize();
        rect_ = RECT{0, 0, fitted.width, fitted.height};
        RegisterPictureReceiver(number_, [this] { TakeNewPicture(); });
    }
    return S_OK;
}

// ---- IMediaControl ----------------------------------------------------------------------

void FfmpegGraph::SetState(State state) {
    state_ = state;
    if (state != State::Stopped) AutoShow();
}

void FfmpegGraph::AutoShow() {
    // As a video renderer does: its window appears when the graph is cued or
    // runs, until someone hides it.
    const bool hasPicture = kind_ == Kind::Still || (stream_ && stream_->HasPicture());
    if (hasPicture && visible_ == OAFALSE) {
        visible_ = OATRUE;
        PlaceOverlay();
    }
}

HRESULT FfmpegGraph::Run() {
    if (stream_) stream_->Run();
    SetState(State::Running);
    // A still picture is on screen when Run returns, so that the time a
    // timed slide is shown counts from its appearance, not from a present
    // that comes later.
    if (kind_ == Kind::Still && visible_ != OAFALSE && owner_ && IsWindow(owner_)) {
        StillPictureRuns(owner_, number_);
        ws::PresentWindowNow(owner_);
        PictureOnScreen();
    }
    return S_OK;
}

HRESULT FfmpegGraph::Pause() {
    if (stream_) stream_->Pause();
    SetState(State::Paused);
    return S_OK;
}

HRESULT FfmpegGraph::Stop() {
    if (stream_) stream_->Pause();
    SetState(State::Stopped);
    return S_OK;
}

HRESULT FfmpegGraph::StopWhenReady() {
    if (stream_) {
        stream_->Pause();
        if (stream_->Cue()) TakeNewPicture();
    }
    AutoShow();
    state_ = State::Stopped;
    return S_OK;
}

// ---- IMediaEventEx -----------------------------------------------------------------------

HRESULT FfmpegGraph::SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instance) {
    events_->SetTarget(reinterpret_cast<HWND>(window), static_cast<UINT>(message), instance);
    return S_OK;
}

HRESULT FfmpegGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG) {
    if (!code || !param1 || !param2) return E_POINTER;
    GraphEvents::Event event{};
    if (!events_->Take(&event)) return E_ABORT;
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT FfmpegGraph::FreeEventParams(LONG, LONG_PTR, LONG_PTR) { return S_OK; }

// ---- IMediaPosition ----------------------------------------------------------------------

HRESULT FfmpegGraph::put_CurrentPosition(REFTIME seconds) {
    if (seconds < 0) return E_INVALIDARG;
    if (stream_) stream_->Seek(seconds);
    return S_OK;
}

// ---- IVideoWindow ------------------------------------------------------------------------

void FfmpegGraph::PlaceOverlay() {
    if (ProcessExitBegun()) return;  // the window system may be gone
    if (owner_ && picture_ && IsWindow(owner_)) {
        ws::SetVideoOverlay(owner_, number_, rect_, picture_, visible_ != OAFALSE);
        overlayPlaced_ = true;
    } else if (overlayPlaced_) {
        ws::RemoveVideoOverlay(number_);
        overlayPlaced_ = false;
    }
}

void FfmpegGraph::TakeNewPicture() {
    if (!stream_) return;
    if (auto picture = stream_->TakeFrame()) {
        picture_ = std::move(picture);
        PlaceOverlay();
    }
}

HRESULT FfmpegGraph::put_Visible(LONG visible) {
    visible_ = visible ? OATRUE : OAFALSE;
    PlaceOverlay();
    return S_OK;
}

HRESULT FfmpegGraph::put_Owner(OAHWND owner) {
    HWND window = reinterpret_cast<HWND>(owner);
    if (window && (ProcessExitBegun() || !IsWindow(window))) return E_INVALIDARG;
    owner_ = window;
    PlaceOverlay();
    return S_OK;
}

HRESULT FfmpegGraph::put_MessageDrain(OAHWND drain) {
    drain_ = reinterpret_cast<HWND>(drain);
    return S_OK;
}

HRESULT FfmpegGraph::put_WindowStyle(LONG style) {
    style_ = style;
    return S_OK;
}

HRESULT FfmpegGraph::SetWindowForeground(LONG focus) {
    // The picture has no window of its own: its keys and clicks belong to
    // the window its messages drain to, which takes the focus in its place.
    if (focus == OATRUE && drain_ && !ProcessExitBegun() && IsWindow(drain_)) SetFocus(drain_);
    return S_OK;
}

HRESULT FfmpegGraph::SetWindowPosition(LONG left, LONG top, LONG width, LONG height) {
    if (width < 0 || height < 0) return E_INVALIDARG;
    rect_ = RECT{left, top, left + width, top + height};
    PlaceOverlay();
    return S_OK;
}

// ---- IBasicVideo -------------------------------------------------------------------------

HRESULT FfmpegGraph::get_SourceWidth(LONG* width) {
    if (!width) return E_POINTER;
    if (source_.width <= 0) return kNotConnected;
    *width = source_.width;
    return S_OK;
}

HRESULT FfmpegGraph::get_SourceHeight(LONG* height) {
    if (!height) return E_POINTER;
    if (source_.height <= 0) return kNotConnected;
    *height = source_.height;
    return S_OK;
}

}  // namespace tarn::media
