// The graph interface of media/graph.h on a Media Foundation session, for
// the clips and sounds a filter graph cannot render (MP4 with H.264 and AAC,
// AAC in .m4a: Windows ships no DirectShow source for the MPEG-4 file).
//
// The session plays the file's first video and first audio stream. The
// sound goes to the default device through the audio renderer; the pictures
// are converted to 32-bit RGB and handed, each at its presentation time, to
// a window of our own (frame_window.h), which answers the video-window calls
// the way a DirectShow renderer's window does. No Direct3D is involved.
//
// The session's events are taken on a thread of the graph's, queued and
// announced to the notify window by a posted message, as a filter graph's
// are. The caller's thread waits only within bounds: the render for the
// playback chain to be resolved, the cue for the first picture. A released
// session is ended on a thread of its own.
//
// media/graph.h comes before the SDK's media headers, as in the DirectShow
// graph.
#include "platform/graph.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

#include "platform/windows/com_ref.h"
#include "platform/windows/frame_window.h"
#include "platform/windows/media_foundation_session.h"
#include "platform/windows/platform_graphs.h"

namespace tarn {
namespace {

static_assert(sizeof(media::WCHAR) == sizeof(wchar_t), "UTF-16 names pass to Windows as they are");

// How long a render waits for the session to resolve the playback chain,
// and a cue for the first picture.
constexpr auto kResolveWait = std::chrono::milliseconds(5000);
constexpr auto kCueWait = std::chrono::milliseconds(5000);
constexpr double kUnitsPerSecond = 1e7;  // Media Foundation's 100 ns

class MediaFoundationGraph final : public media::IGraphBuilder,
                                   public media::IMediaControl,
                                   public media::IMediaEventEx,
                                   public media::IMediaPosition,
                                   public media::IVideoWindow,
                                   public media::IBasicVideo {
public:
    MediaFoundationGraph() : number_(media::NewGraphNumber()) {}

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
        if (session_) return media::VFW_E_WRONG_STATE;
        if (file == nullptr || file[0] == 0) return media::VFW_E_NOT_FOUND;
        if (!StartMediaFoundation()) return E_FAIL;
        HRESULT hr = Open(reinterpret_cast<const wchar_t*>(file));
        // As a filter graph's, the render succeeds once the whole chain is
        // built: with a decoder for every stream taken.
        if (SUCCEEDED(hr) && !report_->WaitResolved(kResolveWait)) hr = media::VFW_E_CANNOT_RENDER;
        if (FAILED(hr)) Close();
        return hr;
    }
    uint64_t GraphNumber() override { return number_; }

    // IMediaControl
    HRESULT Run() override {
        if (!session_) return media::VFW_E_WRONG_STATE;
        if (running_ && !startAt_) return S_OK;
        PROPVARIANT position;
        PropVariantInit(&position);
        if (startAt_) {
            position.vt = VT_I8;
            position.hVal.QuadPart = *startAt_;
        }
        const HRESULT hr = session_->Start(&GUID_NULL, &position);
        if (FAILED(hr)) return hr;
        startAt_.reset();
        running_ = true;
        started_ = true;
        AutoShow();
        return S_OK;
    }
    HRESULT Pause() override {
        if (!session_) return media::VFW_E_WRONG_STATE;
        AutoShow();
        if (!running_) return S_OK;  // a session pauses only while it plays
        running_ = false;
        return session_->Pause();
    }
    HRESULT Stop() override {
        if (!session_) return media::VFW_E_WRONG_STATE;
        running_ = false;
        if (!started_) return S_OK;
        started_ = false;
        return session_->Stop();
    }
    // A clip that has not run yet is started and paused again as soon as
    // its first picture has come, so that the picture is there when it runs.
    HRESULT StopWhenReady() override {
        if (!session_) return media::VFW_E_WRONG_STATE;
        if (frames_ && !started_ && !running_) {
            if (const HRESULT hr = Run(); FAILED(hr)) return hr;
            frames_->Feed()->WaitForFrame(0, kCueWait);
            Pause();
        }
        AutoShow();
        return S_OK;
    }

    // IMediaEventEx
    HRESULT SetNotifyWindow(media::OAHWND window, LONG message, LONG_PTR instance) override {
        report_->SetNotifyWindow(reinterpret_cast<HWND>(window), static_cast<UINT>(message),
                                 instance);
        return S_OK;
    }
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG) override {
        if (code == nullptr || param1 == nullptr || param2 == nullptr) return E_POINTER;
        if (!report_->Take(code)) return E_ABORT;
        *param1 = 0;
        *param2 = 0;
        return S_OK;
    }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

    // IMediaPosition
    HRESULT put_CurrentPosition(media::REFTIME seconds) override {
        if (!session_) return media::VFW_E_WRONG_STATE;
        if (!(seconds >= 0.0)) seconds = 0.0;
        startAt_ = static_cast<LONGLONG>(seconds * kUnitsPerSecond);
        // A playing session moves at once; any other starts there next.
        return running_ ? Run() : S_OK;
    }

    // IVideoWindow
    HRESULT put_Visible(LONG visible) override {
        hidden_ = visible == 0;
        if (!frames_) return E_NOINTERFACE;
        frames_->SetVisible(!hidden_);
        return S_OK;
    }
    HRESULT put_Owner(media::OAHWND owner) override {
        owner_ = reinterpret_cast<HWND>(owner);
        if (!frames_) return E_NOINTERFACE;
        frames_->SetOwner(owner_);
        return S_OK;
    }
    HRESULT put_MessageDrain(media::OAHWND drain) override {
        if (!frames_) return E_NOINTERFACE;
        frames_->SetMessageDrain(reinterpret_cast<HWND>(drain));
        return S_OK;
    }
    HRESULT put_WindowStyle(LONG style) override {
        if (!frames_) return E_NOINTERFACE;
        frames_->SetStyle(style);
        return S_OK;
    }
    HRESULT SetWindowForeground(LONG focus) override {
        if (!frames_) return E_NOINTERFACE;
        frames_->TakeForeground(focus != 0);
        return S_OK;
    }
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override {
        if (!frames_) return E_NOINTERFACE;
        frames_->SetPosition(left, top, width, height);
        return S_OK;
    }

    // IBasicVideo
    HRESULT get_SourceWidth(LONG* width) override {
        if (width == nullptr) return E_POINTER;
        if (!frames_) return E_NOINTERFACE;
        *width = frames_->Feed()->Width();
        return S_OK;
    }
    HRESULT get_SourceHeight(LONG* height) override {
        if (height == nullptr) return E_POINTER;
        if (!frames_) return E_NOINTERFACE;
        *height = frames_->Feed()->Height();
        return S_OK;
    }

private:
    ~MediaFoundationGraph() { Close(); }

    HRESULT Open(const wchar_t* path) {
        ComRef<IMFSourceResolver> resolver;
        HRESULT hr = MFCreateSourceResolver(resolver.Put());
        if (FAILED(hr)) return hr;
        MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
        ComRef<::IUnknown> object;
        hr = resolver->CreateObjectFromURL(path, MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_READ,
                                           nullptr, &type, object.Put());
        if (FAILED(hr)) return media::VFW_E_UNSUPPORTED_STREAM;
        hr = object->QueryInterface(IID_IMFMediaSource, source_.PutVoid());
        if (FAILED(hr)) return media::VFW_E_UNSUPPORTED_STREAM;

        ComRef<IMFPresentationDescriptor> presentation;
        ComRef<IMFTopology> topology;
        hr = source_->CreatePresentationDescriptor(presentation.Put());
        if (SUCCEEDED(hr)) hr = MFCreateTopology(topology.Put());
        DWORD streams = 0;
        if (SUCCEEDED(hr)) hr = presentation->GetStreamDescriptorCount(&streams);
        if (FAILED(hr)) return hr;
        for (DWORD i = 0; i < streams; ++i) {
            BOOL selected = FALSE;
            ComRef<IMFStreamDescriptor> stream;
            if (FAILED(presentation->GetStreamDescriptorByIndex(i, &selected, stream.Put()))) {
                continue;
            }
            bool picture = false;
            ComRef<IMFActivate> sink = SinkFor(stream.Get(), &picture);
            if (!sink || FAILED(AddBranch(topology.Get(), source_.Get(), presentation.Get(),
                                          stream.Get(), sink.Get()))) {
                if (picture) frames_.reset();
                presentation->DeselectStream(i);
                continue;
            }
            presentation->SelectStream(i);
            (picture ? frameSink_ : soundSink_) = std::move(sink);
        }
        if (!frameSink_ && !soundSink_) return media::VFW_E_UNSUPPORTED_STREAM;

        hr = MFCreateMediaSession(nullptr, session_.Put());
        if (SUCCEEDED(hr)) listener_ = std::make_unique<SessionListener>(session_.Get(), report_);
        if (SUCCEEDED(hr)) hr = session_->SetTopology(0, topology.Get());
        return hr;
    }

    // The sink for the first video and the first audio stream (*picture
    // says which); none for every other stream. A video sink comes with the
    // frame window it feeds.
    ComRef<IMFActivate> SinkFor(IMFStreamDescriptor* stream, bool* picture) {
        ComRef<IMFActivate> sink;
        ComRef<IMFMediaTypeHandler> handler;
        GUID major = GUID_NULL;
        if (FAILED(stream->GetMediaTypeHandler(handler.Put())) ||
            FAILED(handler->GetMajorType(&major))) {
            return sink;
        }
        if (major == MFMediaType_Audio && !soundSink_) {
            MFCreateAudioRendererActivate(sink.Put());
            return sink;
        }
        if (major != MFMediaType_Video || frameSink_) return sink;
        *picture = true;
        ComRef<IMFMediaType> current;
        LONG width = 0;
        LONG height = 0;
        if (FAILED(handler->GetCurrentMediaType(current.Put())) ||
            !ReadPictureSize(current.Get(), &width, &height)) {
            return sink;
        }
        // Top-down 32-bit RGB of the picture's own size.
        ComRef<IMFMediaType> wanted;
        if (FAILED(MFCreateMediaType(wanted.Put())) ||
            FAILED(wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video)) ||
            FAILED(wanted->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_RGB32)) ||
            FAILED(MFSetAttributeSize(wanted.Get(), MF_MT_FRAME_SIZE, static_cast<UINT32>(width),
                                      static_cast<UINT32>(height)))) {
            return sink;
        }
        frames_ = FrameWindow::Create(width, height);
        if (frames_ && FAILED(CreateFrameSink(wanted.Get(), frames_->Feed(), sink.Put()))) {
            sink.Reset();
        }
        return sink;
    }

    // Lets the session go, to be ended aside; the frame window, whose feed
    // takes no more frames, goes at once.
    void Close() {
        SessionRemains remains;
        remains.session = std::move(session_);
        remains.source = std::move(source_);
        remains.frameSink = std::move(frameSink_);
        remains.soundSink = std::move(soundSink_);
        remains.listener = std::move(listener_);
        remains.report = report_;
        if (frames_) remains.feed = frames_->Feed();
        EndSessionAside(std::move(remains));
        frames_.reset();
    }

    // A renderer shows its window when the session pauses or runs, unless
    // it was hidden; a window nobody owns stays out of sight.
    void AutoShow() {
        if (frames_ && owner_ != nullptr && !hidden_) frames_->SetVisible(true);
    }

    std::atomic<ULONG> references_{1};
    const uint64_t number_;
    std::shared_ptr<SessionReport> report_ = std::make_shared<SessionReport>();
    ComRef<IMFMediaSource> source_;
    ComRef<IMFMediaSession> session_;
    std::unique_ptr<SessionListener> listener_;
    ComRef<IMFActivate> frameSink_;
    ComRef<IMFActivate> soundSink_;
    std::unique_ptr<FrameWindow> frames_;

    bool running_ = false;
    bool started_ = false;
    std::optional<LONGLONG> startAt_;
    HWND owner_ = nullptr;
    bool hidden_ = false;
};

}  // namespace
}  // namespace tarn

namespace tarn::media {

HRESULT CreateMediaFoundationGraph(IUnknown** graph) {
    if (graph == nullptr) return E_POINTER;
    *graph = static_cast<IGraphBuilder*>(new tarn::MediaFoundationGraph);
    return S_OK;
}

}  // namespace tarn::media
