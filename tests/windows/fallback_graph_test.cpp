// The platform graph's choice between its two graphs, with scripted graphs
// in place of DirectShow and Media Foundation: which one renders the file,
// which one every later call reaches, and what the caller is told.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/graph.h"
#include "platform/windows/platform_graphs.h"

namespace {

namespace media = tarn::media;
using media::ComPtr;

constexpr HRESULT kPartialRender = 0x00040242;  // VFW_S_PARTIAL_RENDER

// What a scripted graph answers, and what it was asked.
struct Script {
    HRESULT render = S_OK;
    int made = 0;
    int renders = 0;
    int runs = 0;
    media::OAHWND notifyWindow = 0;
    LONG_PTR notifyInstance = 0;
};
Script g_first;
Script g_second;

class ScriptedGraph final : public media::IGraphBuilder,
                            public media::IMediaControl,
                            public media::IMediaEventEx {
public:
    explicit ScriptedGraph(Script* script) : script_(script) { ++script_->made; }

    HRESULT QueryInterface(const media::Guid& riid, void** object) override {
        *object = nullptr;
        if (riid == media::IID_IUnknown || riid == media::IID_IGraphBuilder) {
            *object = static_cast<media::IGraphBuilder*>(this);
        } else if (riid == media::IID_IMediaControl) {
            *object = static_cast<media::IMediaControl*>(this);
        } else if (riid == media::IID_IMediaEventEx) {
            *object = static_cast<media::IMediaEventEx*>(this);
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

    HRESULT RenderFile(media::LPCWSTR, media::LPCWSTR) override {
        ++script_->renders;
        return script_->render;
    }
    uint64_t GraphNumber() override { return 0; }

    HRESULT Run() override {
        ++script_->runs;
        return S_OK;
    }
    HRESULT Pause() override { return S_OK; }
    HRESULT Stop() override { return S_OK; }
    HRESULT StopWhenReady() override { return S_OK; }

    HRESULT SetNotifyWindow(media::OAHWND window, LONG, LONG_PTR instance) override {
        script_->notifyWindow = window;
        script_->notifyInstance = instance;
        return S_OK;
    }
    HRESULT GetEvent(LONG*, LONG_PTR*, LONG_PTR*, LONG) override { return E_ABORT; }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

private:
    ~ScriptedGraph() = default;
    std::atomic<ULONG> references_{1};
    Script* script_;
};

HRESULT MakeFirst(media::IUnknown** graph) {
    *graph = static_cast<media::IGraphBuilder*>(new ScriptedGraph(&g_first));
    return S_OK;
}
HRESULT MakeSecond(media::IUnknown** graph) {
    *graph = static_cast<media::IGraphBuilder*>(new ScriptedGraph(&g_second));
    return S_OK;
}

// Renders a file with the first graph answering `first` and the second
// `second`, the notify window set beforehand; returns the render's result.
struct Outcome {
    HRESULT rendered;
    ComPtr<media::IUnknown> graph;
};
Outcome Render(HRESULT first, HRESULT second) {
    g_first = Script{first};
    g_second = Script{second};
    Outcome outcome{E_FAIL, {}};
    EXPECT_EQ(media::CreateFallbackGraph(&MakeFirst, &MakeSecond, outcome.graph.Put()), S_OK);
    media::Query<media::IMediaEventEx>(outcome.graph)->SetNotifyWindow(0x1234, WM_USER, 99);
    outcome.rendered =
        media::Query<media::IGraphBuilder>(outcome.graph)->RenderFile(u"clip.mp4", nullptr);
    media::Query<media::IMediaControl>(outcome.graph)->Run();
    return outcome;
}

TEST(FallbackGraph, AFileTheFirstGraphPlaysWhollyStaysWithIt) {
    const Outcome outcome = Render(S_OK, S_OK);
    EXPECT_EQ(outcome.rendered, S_OK);
    EXPECT_EQ(g_second.made, 0);
    EXPECT_EQ(g_first.runs, 1);
    // A second file is refused, as a filter graph refuses it.
    EXPECT_EQ(media::Query<media::IGraphBuilder>(outcome.graph)->RenderFile(u"other.mp4", nullptr),
              media::VFW_E_WRONG_STATE);
    EXPECT_EQ(g_first.renders, 1);
}

TEST(FallbackGraph, AFileTheFirstRefusesOrPlaysInPartGoesToTheSecondWithTheNotifyWindow) {
    for (const HRESULT first : {media::VFW_E_UNSUPPORTED_STREAM, kPartialRender}) {
        const Outcome outcome = Render(first, S_OK);
        EXPECT_EQ(outcome.rendered, S_OK);
        EXPECT_EQ(g_second.renders, 1);
        EXPECT_EQ(g_second.runs, 1);
        EXPECT_EQ(g_first.runs, 0);
        EXPECT_EQ(g_second.notifyWindow, 0x1234);
        EXPECT_EQ(g_second.notifyInstance, 99);
        // Calls the playing graph does not answer fail; none reaches the other.
        LONG width = 0;
        EXPECT_EQ(media::Query<media::IBasicVideo>(outcome.graph)->get_SourceWidth(&width),
                  E_NOINTERFACE);
        // Notifications carry the number of the graph the caller holds, not
        // the one of the graph that plays.
        EXPECT_NE(media::Query<media::IGraphBuilder>(outcome.graph)->GraphNumber(), 0u);
    }
}

TEST(FallbackGraph, WhenTheSecondCannotPlayItEitherTheFirstGraphsAnswerStands) {
    // Played in part by the first: that part plays.
    Outcome outcome = Render(kPartialRender, media::VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(outcome.rendered, kPartialRender);
    EXPECT_EQ(g_first.runs, 1);
    EXPECT_EQ(g_second.runs, 0);
    // Refused by both: the first's reason.
    outcome = Render(media::VFW_E_CANNOT_RENDER, media::VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(outcome.rendered, media::VFW_E_CANNOT_RENDER);
    EXPECT_EQ(g_second.renders, 1);
}

}  // namespace
