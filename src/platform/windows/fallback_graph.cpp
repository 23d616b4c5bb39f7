// The platform's graph: each file is rendered by a DirectShow filter graph
// where it can render the whole file, by a Media Foundation session where it
// cannot (a file it refuses or plays only in part, such as MP4 on a stock
// Windows, which ships no DirectShow source for it). The caller holds this
// graph's interfaces from the start; each call goes to the graph that holds
// the file.
#include "platform/graph.h"

#include <atomic>

#include "platform/media/platform_media.h"
#include "platform/windows/platform_graphs.h"

namespace tarn {
namespace {

using media::ComPtr;
using media::GraphMaker;
using media::Query;

class FallbackGraph final : public media::IGraphBuilder,
                            public media::IMediaControl,
                            public media::IMediaEventEx,
                            public media::IMediaPosition,
                            public media::IVideoWindow,
                            public media::IBasicVideo {
public:
    FallbackGraph(ComPtr<media::IUnknown> first, GraphMaker second)
        : active_(std::move(first)), second_(second), number_(media::NewGraphNumber()) {}

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
    HRESULT RenderFile(media::LPCWSTR file, media::LPCWSTR playList) override {
        if (rendered_) return media::VFW_E_WRONG_STATE;
        const HRESULT first = Builder([&](auto* g) { return g->RenderFile(file, playList); });
        // S_OK alone means every stream of the file plays.
        if (first != S_OK && second_ != nullptr) {
            ComPtr<media::IUnknown> other;
            if (SUCCEEDED(second_(other.Put()))) {
                auto builder = Query<media::IGraphBuilder>(other);
                if (builder && builder->RenderFile(file, playList) == S_OK) {
                    active_ = std::move(other);
                    // The notifications come from the graph that plays.
                    if (notifyWindow_ != 0) {
                        Events([&](auto* g) {
                            return g->SetNotifyWindow(notifyWindow_, notifyMessage_,
                                                      notifyInstance_);
                        });
                    }
                    rendered_ = true;
                    return S_OK;
                }
            }
        }
        rendered_ = SUCCEEDED(first);
        return first;
    }
    uint64_t GraphNumber() override { return number_; }

    // IMediaControl
    HRESULT Run() override { return Control([&](auto* g) { return g->Run(); }); }
    HRESULT Pause() override { return Control([&](auto* g) { return g->Pause(); }); }
    HRESULT Stop() override { return Control([&](auto* g) { return g->Stop(); }); }
    HRESULT StopWhenReady() override {
        return Control([&](auto* g) { return g->StopWhenReady(); });
    }

    // IMediaEventEx
    HRESULT SetNotifyWindow(media::OAHWND window, LONG message, LONG_PTR instance) override {
        notifyWindow_ = window;
        notifyMessage_ = message;
        notifyInstance_ = instance;
        return Events([&](auto* g) { return g->SetNotifyWindow(window, message, instance); });
    }
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) override {
        return Events([&](auto* g) { return g->GetEvent(code, param1, param2, timeout); });
    }
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override {
        return Events([&](auto* g) { return g->FreeEventParams(code, param1, param2); });
    }

    // IMediaPosition
    HRESULT put_CurrentPosition(media::REFTIME seconds) override {
        return Position([&](auto* g) { return g->put_CurrentPosition(seconds); });
    }

    // IVideoWindow
    HRESULT put_Visible(LONG visible) override {
        return Video([&](auto* g) { return g->put_Visible(visible); });
    }
    HRESULT put_Owner(media::OAHWND owner) override {
        return Video([&](auto* g) { return g->put_Owner(owner); });
    }
    HRESULT put_MessageDrain(media::OAHWND drain) override {
        return Video([&](auto* g) { return g->put_MessageDrain(drain); });
    }
    HRESULT put_WindowStyle(LONG style) override {
        return Video([&](auto* g) { return g->put_WindowStyle(style); });
    }
    HRESULT SetWindowForeground(LONG focus) override {
        return Video([&](auto* g) { return g->SetWindowForeground(focus); });
    }
    HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) override {
        return Video([&](auto* g) { return g->SetWindowPosition(left, top, width, height); });
    }

    // IBasicVideo
    HRESULT get_SourceWidth(LONG* width) override {
        return BasicVideo([&](auto* g) { return g->get_SourceWidth(width); });
    }
    HRESULT get_SourceHeight(LONG* height) override {
        return BasicVideo([&](auto* g) { return g->get_SourceHeight(height); });
    }

private:
    ~FallbackGraph() = default;

    // Calls `call` with the active graph's interface I.
    template <class I, class Call>
    HRESULT Forward(Call call) {
        const ComPtr<I> face = Query<I>(active_);
        return face ? call(face.Get()) : E_NOINTERFACE;
    }
    template <class Call>
    HRESULT Builder(Call call) { return Forward<media::IGraphBuilder>(call); }
    template <class Call>
    HRESULT Control(Call call) { return Forward<media::IMediaControl>(call); }
    template <class Call>
    HRESULT Events(Call call) { return Forward<media::IMediaEventEx>(call); }
    template <class Call>
    HRESULT Position(Call call) { return Forward<media::IMediaPosition>(call); }
    template <class Call>
    HRESULT Video(Call call) { return Forward<media::IVideoWindow>(call); }
    template <class Call>
    HRESULT BasicVideo(Call call) { return Forward<media::IBasicVideo>(call); }


    std::atomic<ULONG> references_{1};
    ComPtr<media::IUnknown> active_;
    const GraphMaker second_;
    const uint64_t number_;
    bool rendered_ = false;
    media::OAHWND notifyWindow_ = 0;
    LONG notifyMessage_ = 0;
    LONG_PTR notifyInstance_ = 0;
};

}  // namespace
}  // namespace tarn

namespace tarn::media {

HRESULT CreateFallbackGraph(GraphMaker first, GraphMaker second, IUnknown** graph) {
    if (graph == nullptr || first == nullptr) return E_POINTER;
    *graph = nullptr;
    ComPtr<IUnknown> primary;
    const HRESULT hr = first(primary.Put());
    if (FAILED(hr)) return hr;
    if (!primary) return E_FAIL;
    *graph = static_cast<IGraphBuilder*>(new tarn::FallbackGraph(std::move(primary), second));
    return S_OK;
}

HRESULT CreatePlatformGraph(IUnknown** graph) {
    return CreateFallbackGraph(&CreateDirectShowGraph, &CreateMediaFoundationGraph, graph);
}

}  // namespace tarn::media
