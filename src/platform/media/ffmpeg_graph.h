// The FFmpeg graph: one object behind every graph interface of
// platform/graph.h. RenderFile picks what the file is: a still picture (decoded
// once, fitted to the screen), or a clip or sound (a MediaStream). The
// picture is shown as the video overlay of the owner window, named by the
// graph's number; every window-system call is made on the UI thread.
#pragma once

#include <atomic>
#include <memory>

#include "platform/graph.h"
#include "platform/media/audio_output.h"
#include "platform/media/graph_events.h"
#include "platform/media/media_stream.h"
#include "platform/media/still_picture.h"

namespace tarn::media {

class FfmpegGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaPosition,
                          public IVideoWindow,
                          public IBasicVideo {
public:
    FfmpegGraph();

    // IUnknown
    HRESULT QueryInterface(const Guid& riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    // IGraphBuilder
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    uint64_t GraphNumber() override { return number_; }
    // IMediaControl
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT StopWhenReady() override;
    // IMediaEventEx
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instance) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeoutMs) override;
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    // IMediaPosition
    HRESULT put_CurrentPosition(REFTIME seconds) override;
    // IVideoWindow
    HRESULT put_Visible(LONG visible) override;
    HRESULT put_Owner(OAHWND owner) override;
    HRESULT put_MessageDrain(OAHWND drain) override;
    HRESULT put_WindowStyle(LONG style) override;
    HRESULT SetWindowForeground(LONG focus) override;
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override;
    // IBasicVideo
    HRESULT get_SourceWidth(LONG* width) override;
    HRESULT get_SourceHeight(LONG* height) override;

    // For tests: what the graph built and holds.
    enum class Kind { Empty, Still, Stream };
    Kind RenderedKind() const { return kind_; }
    const MediaStream* Stream() const { return stream_.get(); }
    std::shared_ptr<const ws::VideoFrame> CurrentPicture() const { return picture_; }
    int ReducedLevel() const { return reducedLevel_; }

private:
    ~FfmpegGraph();
    enum class State { Stopped, Paused, Running };
    void SetState(State state);
    void AutoShow();
    void PlaceOverlay();
    void TakeNewPicture();

    std::atomic<ULONG> refs_{1};
    const uint64_t number_;
    std::shared_ptr<GraphEvents> events_ = std::make_shared<GraphEvents>();

    Kind kind_ = Kind::Empty;
    State state_ = State::Stopped;
    Size source_;
    int reducedLevel_ = 0;
    std::shared_ptr<const ws::VideoFrame> picture_;
    std::unique_ptr<MediaStream> stream_;

    // The video window.
    LONG visible_ = OAFALSE;
    HWND owner_ = nullptr;
    HWND drain_ = nullptr;
    LONG style_ = 0;
    RECT rect_{};
    bool overlayPlaced_ = false;
};

}  // namespace tarn::media
