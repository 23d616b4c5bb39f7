// The graph interface of platform/graph.h on DirectShow.
//
// Every graph object is a real filter graph. Clips and sounds are rendered,
// run, positioned and reported by it, each call passed to the interface of
// the same name. A still picture, which DirectShow has no source for, is
// decoded by the imaging component instead, turned upright as its EXIF
// orientation says, and shown in a window of its own that answers the
// video-window calls the way the graph's renderer would (its source size is
// the upright one); its "stream" ends as soon as it runs. The pictures the
// player hints are decoded ahead of time (prepared_pictures.h), and the
// clips and sounds it hints are built ahead (prepared_clips.h).
//
// A clip is cued on its first picture before it runs, and run from there
// (clip_graph.h): its first picture shows at once and the others keep their
// times from that moment.
//
// platform/graph.h comes before the SDK's media headers: those define as
// macros several names that it declares as constants.
#include "platform/graph.h"
#include "platform/media/platform_media.h"

#include <dshow.h>

#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/windows/clip_graph.h"
#include "platform/windows/clip_wakeups.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/outgoing_picture.h"
#include "platform/windows/picture_fade.h"
#include "platform/windows/picture_window.h"
#include "platform/windows/platform_graphs.h"
#include "platform/windows/prepared_clips.h"
#include "platform/windows/prepared_pictures.h"

namespace tarn {
namespace {

static_assert(sizeof(media::WCHAR) == sizeof(wchar_t), "UTF-16 names pass to Windows as they are");

const wchar_t* WindowsText(media::LPCWSTR text) { return reinterpret_cast<const wchar_t*>(text); }

class WindowsGraph final : public media::IGraphBuilder,
                           public media::IMediaControl,
                           public media::IMediaEventEx,
                           public media::IMediaPosition,
                           public media::IVideoWindow,
                           public media::IBasicVideo {
public:
    explicit WindowsGraph(ComRef<::IGraphBuilder> graph)
        : graph_(std::move(graph)), number_(media::NewGraphNumber()) {}

    // IUnknown
    HRESULT QueryInterface(const media::Guid& riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == media::IID_IUnknown || riid == media::IID_IGraphBuilder) {
            *object = static_cast<media::IGraphBuilder*>(this);
        } else if (riid == media::IID_IMediaControl) {
            *object = static_cast<media::IMediaControl*>(this);
        } else if (riid == media::IID_IMediaEventEx) {
            *object = static_cast<media::IMediaEventEx*>(this);
        } else if (riid == media::IID_IMediaPosition) {
            *object = static_cast<media::IMediaPosition*>(this);
        } else if (riid == media::IID_IVideoWindow) {
            *object = static_cast<media::IVideoWindow*>(this);
        } else if (riid == media::IID_IBasicVideo) {
            *object = static_cast<media::IBasicVideo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IGraphBuilder
    HRESULT RenderFile(media::LPCWSTR file, media::LPCWSTR) override {
        if (picture_ || rendered_) return VFW_E_WRONG_STATE;
        const wchar_t* path = WindowsText(file);
        picture_ = PictureWindow::Open(path);
        if (picture_) return S_OK;
        // A graph built ahead for this file replaces the empty one.
        if (ComRef<::IGraphBuilder> ready = TakePreparedClip(path)) {
            graph_ = std::move(ready);
            rendered_ = true;
            return S_OK;
        }
        const HRESULT hr = RenderClipFile(graph_.Get(), path);
        rendered_ = SUCCEEDED(hr);
        return hr;
    }
    uint64_t GraphNumber() override { return number_; }

    // IMediaControl
    HRESULT Run() override {
        // A slide with nothing to show (a sound, a file that failed) leaves
        // the picture before to go by its timer: a slide's own sound, which
        // starts before its picture, must not take it away.
        if (!picture_) {
            const bool cued = std::exchange(cued_, false);
            const HRESULT hr = AutoShown(cued ? RunCuedClip(graph_.Get())
                                              : Control([](::IMediaControl* c) { return c->Run(); }));
            if (SUCCEEDED(hr) && clipShown_) wakeups_.On();
            return hr;
        }
        AutoShow();
        if (!pictureRunning_) {
            pictureRunning_ = true;
            if (!pictureComplete_) {
                pictureComplete_ = true;
                QueueEvent(EC_COMPLETE);
            }
        }
        return S_OK;
    }
    HRESULT Pause() override {
        if (!picture_) {
            cued_ = false;
            wakeups_.Off();
            return AutoShown(Control([](::IMediaControl* c) { return c->Pause(); }));
        }
        AutoShow();
        pictureRunning_ = false;
        return S_OK;
    }
    HRESULT Stop() override {
        if (!picture_) {
            cued_ = false;
            wakeups_.Off();
            return Control([](::IMediaControl* c) { return c->Stop(); });
        }
        pictureRunning_ = false;
        return S_OK;
    }
    // A clip is left paused on its first picture, rather than stopped there:
    // run from a stop, the graph would cue again (Run below).
    HRESULT StopWhenReady() override {
        if (!picture_) {
            const HRESULT hr = cued_ ? S_OK : CueClip(graph_.Get());
            cued_ = SUCCEEDED(hr);
            return AutoShown(hr);
        }
        AutoShow();
        pictureRunning_ = false;
        return S_OK;
    }

    // IMediaEventEx
    HRESULT SetNotifyWindow(media::OAHWND window, LONG message, LONG_PTR instance) override {
        notifyWindow_ = reinterpret_cast<HWND>(window);
        notifyMessage_ = static_cast<UINT>(message);
        notifyInstance_ = instance;
        if (picture_) {
            // Events already queued are announced to the new window.
            for (size_t i = 0; i < events_.size(); ++i) Announce();
            return S_OK;
        }
        return Events([&](::IMediaEventEx* e) {
            return e->SetNotifyWindow(window, message, instance);
        });
    }
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override {
        if (!picture_) {
            return Events([&](::IMediaEventEx* e) {
                return e->GetEvent(code, param1, param2, timeout);
            });
        }
        if (events_.empty()) return E_ABORT;
        *code = events_.front();
        *param1 = 0;
        *param2 = 0;
        events_.pop_front();
        return S_OK;
    }
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override {
        if (picture_) return S_OK;
        return Events([&](::IMediaEventEx* e) { return e->FreeEventParams(code, param1, param2); });
    }

    // IMediaPosition
    HRESULT put_CurrentPosition(media::REFTIME seconds) override {
        if (!picture_) {
            ComRef<::IMediaPosition> position;
            if (FAILED(graph_->QueryInterface(IID_IMediaPosition, position.PutVoid()))) {
                return E_NOINTERFACE;
            }
            return position->put_CurrentPosition(seconds);
        }
        // Back at the start, the picture's stream ends again when it runs.
        pictureComplete_ = false;
        if (pictureRunning_) {
            pictureRunning_ = false;
            Run();
        }
        return S_OK;
    }

    // IVideoWindow
    HRESULT put_Visible(LONG visible) override {
        hidden_ = visible == 0;
        if (!picture_) {
            // A clip's last picture stays like a still's (below).
            keepOnRelease_ = hidden_ && clipShown_ && !media::ProcessExitBegun();
            if (keepOnRelease_) return S_OK;
            const HRESULT hr = Video([&](::IVideoWindow* v) { return v->put_Visible(visible); });
            clipShown_ = !hidden_ && owner_ != nullptr && SUCCEEDED(hr);
            return hr;
        }
        // A picture on screen that is hidden stays there until the next
        // slide's picture covers it (outgoing_picture.h), unless the graph
        // is shown again or the process is ending: the slide change hides
        // it before the next one is ready. Its owner is kept with it.
        keepOnRelease_ = hidden_ && picture_->OnScreen() && !media::ProcessExitBegun();
        if (!keepOnRelease_) picture_->SetVisible(!hidden_);
        return S_OK;
    }
    HRESULT put_Owner(media::OAHWND owner) override {
        owner_ = reinterpret_cast<HWND>(owner);
        if (!picture_) {
            if (keepOnRelease_) return S_OK;
            return Video([&](::IVideoWindow* v) { return v->put_Owner(owner); });
        }
        if (!keepOnRelease_) picture_->SetOwner(owner_);
        return S_OK;
    }
    HRESULT put_MessageDrain(media::OAHWND drain) override {
        if (!picture_) return Video([&](::IVideoWindow* v) { return v->put_MessageDrain(drain); });
        picture_->SetMessageDrain(reinterpret_cast<HWND>(drain));
        return S_OK;
    }
    HRESULT put_WindowStyle(LONG style) override {
        if (!picture_) return Video([&](::IVideoWindow* v) { return v->put_WindowStyle(style); });
        picture_->SetStyle(style);
        return S_OK;
    }
    HRESULT SetWindowForeground(LONG focus) override {
        if (!picture_) return Video([&](::IVideoWindow* v) { return v->SetWindowForeground(focus); });
        picture_->TakeForeground(focus != 0);
        return S_OK;
    }
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override {
        if (!picture_) {
            return Video([&](::IVideoWindow* v) {
                return v->SetWindowPosition(left, top, width, height);
            });
        }
        return picture_->SetPosition(left, top, width, height) ? S_OK : E_FAIL;
    }

    // IBasicVideo
    HRESULT get_SourceWidth(LONG* width) override {
        if (width == nullptr) return E_POINTER;
        if (picture_) {
            *width = picture_->SourceWidth();
            return S_OK;
        }
        return BasicVideo([&](::IBasicVideo* b) { return b->get_SourceWidth(width); });
    }
    HRESULT get_SourceHeight(LONG* height) override {
        if (height == nullptr) return E_POINTER;
        if (picture_) {
            *height = picture_->SourceHeight();
            return S_OK;
        }
        return BasicVideo([&](::IBasicVideo* b) { return b->get_SourceHeight(height); });
    }

private:
    ~WindowsGraph() {
        // A clip's graph is stopped by its renderers when the last reference
        // goes, and the picture window goes with the picture; or either
        // stays on screen until the next picture covers it.
        if (keepOnRelease_) {
            if (picture_) {
                KeepOutgoingPicture(std::move(picture_));
            } else {
                KeepOutgoingClip(std::move(graph_));
            }
        }
        picture_.reset();
    }

    template <class I, class Call>
    HRESULT Forward(const IID& iid, Call call) {
        ComRef<I> face;
        const HRESULT hr = graph_->QueryInterface(iid, face.PutVoid());
        if (FAILED(hr)) return hr;
        return call(face.Get());
    }
    template <class Call>
    HRESULT Control(Call call) { return Forward<::IMediaControl>(IID_IMediaControl, call); }
    template <class Call>
    HRESULT Events(Call call) { return Forward<::IMediaEventEx>(IID_IMediaEventEx, call); }
    template <class Call>
    HRESULT Video(Call call) { return Forward<::IVideoWindow>(IID_IVideoWindow, call); }
    template <class Call>
    HRESULT BasicVideo(Call call) { return Forward<::IBasicVideo>(IID_IBasicVideo, call); }

    // A renderer shows its window when the graph pauses or runs, unless it
    // was hidden; a window nobody owns stays out of sight.
    // The slide before's picture goes once this one is on screen.
    void AutoShow() {
        if (owner_ == nullptr || hidden_) return;
        // A fade from the picture before covers this one before it shows.
        StartPictureFade(owner_, *picture_);
        picture_->SetVisible(true);
        NextPictureShown();
    }
    // The same for a clip's renderer, for the renderers that leave a window
    // whose style was set without WS_VISIBLE hidden (Wine's do).
    HRESULT AutoShown(HRESULT state) {
        if (SUCCEEDED(state) && owner_ != nullptr && !hidden_) {
            clipShown_ = SUCCEEDED(Video([](::IVideoWindow* v) { return v->put_Visible(OATRUE); }));
            NextPictureShown();
        }
        return state;
    }

    void QueueEvent(LONG code) {
        events_.push_back(code);
        Announce();
    }
    void Announce() {
        if (notifyWindow_ != nullptr) {
            PostMessageW(notifyWindow_, notifyMessage_, 0, notifyInstance_);
        }
    }

    std::atomic<ULONG> references_{1};
    ComRef<::IGraphBuilder> graph_;
    const uint64_t number_;
    bool rendered_ = false;
    // Paused on its first picture: Run starts it from there.
    bool cued_ = false;
    // While the clip runs in its shown window (clip_wakeups.h).
    ClipWakeups wakeups_;

    std::unique_ptr<PictureWindow> picture_;
    // Hidden while on screen: left there when the graph goes.
    bool keepOnRelease_ = false;
    // A clip's video window is shown in its owner.
    bool clipShown_ = false;
    HWND owner_ = nullptr;
    bool hidden_ = false;
    bool pictureRunning_ = false;
    bool pictureComplete_ = false;
    std::deque<LONG> events_;
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;
    LONG_PTR notifyInstance_ = 0;
};

}  // namespace
}  // namespace tarn

namespace tarn::media {

HRESULT CreateDirectShowGraph(IUnknown** graph) {
    if (graph == nullptr) return E_POINTER;
    *graph = nullptr;
    ComRef<::IGraphBuilder> filterGraph;
    const HRESULT hr = ::CoCreateInstance(::CLSID_FilterGraph, nullptr, ::CLSCTX_INPROC_SERVER,
                                          ::IID_IGraphBuilder, filterGraph.PutVoid());
    if (FAILED(hr)) return hr;
    *graph = static_cast<IGraphBuilder*>(new tarn::WindowsGraph(std::move(filterGraph)));
    return S_OK;
}

namespace {

// The name converted as RenderFile's caller converts it, so that what is
// prepared is found under it; empty when it does not convert.
std::wstring WideName(const char* name) {
    if (name == nullptr || name[0] == '\0') return {};
    std::vector<WCHAR> wide(std::strlen(name) * 2 + 1);
    if (AnsiToWide(name, wide.data(), static_cast<int>(wide.size())) <= 1) return {};
    return std::wstring(reinterpret_cast<const wchar_t*>(wide.data()));
}

}  // namespace

// A still picture is decoded ahead on the worker of prepared_pictures.h,
// fitted to the screen as the player will place it; a clip or a sound is
// built ahead by prepared_clips.h.
void PreparePlatformFile(const char* name) {
    if (ProcessExitBegun()) return;
    const std::wstring path = WideName(name);
    if (path.empty()) return;
    const PictureSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    PreparePicture(path, screen);
    PrepareClip(path, ClipKind::Slide);
}

void PreparePlatformSound(const char* name) {
    if (ProcessExitBegun()) return;
    const std::wstring path = WideName(name);
    if (!path.empty()) PrepareClip(path, ClipKind::Sound);
}

// A clip left on screen holds its file as well.
void ForgetPlatformFiles() {
    ReleasePreparedClips();
    DropOutgoingPicture();
}

}  // namespace tarn::media
