// Clips and sounds played by Media Foundation: an MP4 (H.264 and AAC) whose
// pictures reach their window, fitted and upright, and whose end is
// announced; AAC in .m4a as a sound, paused, finished and played again from
// the start; and the platform graph's fallback to it when the filter graph
// refuses a file.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/graph.h"
#include "platform/win32.h"
#include "platform/windows/platform_graphs.h"

namespace {

namespace media = tarn::media;
using media::ComPtr;

constexpr UINT kNotifyMessage = WM_USER + 7;

// The full Windows name of a file the build made.
std::u16string MediaFile(const char* name) {
    const std::string path = std::string(TARN_TEST_MEDIA_DIR) + "/" + name;
    wchar_t full[MAX_PATH];
    const DWORD length =
        GetFullPathNameW(std::wstring(path.begin(), path.end()).c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(full), length);
}

// A graph that refuses every file, as a filter graph does one it has no
// source or decoder for.
std::atomic<int> g_refusals{0};
class RefusingGraph final : public media::IGraphBuilder {
public:
    HRESULT QueryInterface(const media::Guid& riid, void** object) override {
        *object = nullptr;
        if (!(riid == media::IID_IUnknown || riid == media::IID_IGraphBuilder)) {
            return E_NOINTERFACE;
        }
        *object = static_cast<media::IGraphBuilder*>(this);
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
        ++g_refusals;
        return media::VFW_E_UNSUPPORTED_STREAM;
    }
    uint64_t GraphNumber() override { return 0; }

private:
    ~RefusingGraph() = default;
    std::atomic<ULONG> references_{1};
};

HRESULT MakeRefusingGraph(media::IUnknown** graph) {
    *graph = static_cast<media::IGraphBuilder*>(new RefusingGraph);
    return S_OK;
}

class MediaFoundationPlayback : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        notify = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(notify, nullptr);
    }
    void TearDown() override {
        if (owner != nullptr) DestroyWindow(owner);
        DestroyWindow(notify);
        CoUninitialize();
    }

    template <class I>
    static ComPtr<I> Face(const ComPtr<media::IUnknown>& graph) {
        ComPtr<I> face = media::Query<I>(graph);
        EXPECT_TRUE(face);
        return face;
    }

    // Handles the thread's messages for up to `milliseconds`, taking the
    // graph's events as their notifications come; true when `wanted` came.
    bool WaitForEvent(media::IMediaEventEx* events, LPARAM instance, LONG wanted,
                      DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == notify && msg.message == kNotifyMessage &&
                    msg.lParam == instance) {
                    LONG code = 0;
                    LONG_PTR param1 = 0;
                    LONG_PTR param2 = 0;
                    while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
                        events->FreeEventParams(code, param1, param2);
                        if (code == wanted) return true;
                    }
                    continue;
                }
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return false;
    }

    // A plain black top-level window for a clip's picture to sit in.
    HWND Owner() {
        owner = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
        return owner;
    }

    HWND notify = nullptr;
    HWND owner = nullptr;
    const std::u16string clip = MediaFile("quadrants.mp4");
    const std::u16string sound = MediaFile("tone.m4a");
};

// The colour at (x, y) of `window`'s client area, 0xRRGGBB.
uint32_t ColourAt(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return (uint32_t{GetRValue(colour)} << 16) | (uint32_t{GetGValue(colour)} << 8) |
           GetBValue(colour);
}

// Each channel within 48 of the expected colour's (the clip is compressed).
bool Near(uint32_t colour, uint32_t expected) {
    for (int shift : {0, 8, 16}) {
        const int a = static_cast<int>((colour >> shift) & 0xFF);
        const int b = static_cast<int>((expected >> shift) & 0xFF);
        if (a - b > 48 || b - a > 48) return false;
    }
    return true;
}

TEST_F(MediaFoundationPlayback, AClipTheFilterGraphRefusesPlaysFittedUprightAndSaysItEnded) {
    ASSERT_FALSE(clip.empty());
    ComPtr<media::IUnknown> graph;
    ASSERT_EQ(media::CreateFallbackGraph(&MakeRefusingGraph, &media::CreateMediaFoundationGraph,
                                         graph.Put()),
              S_OK);
    const int refusalsBefore = g_refusals.load();
    ASSERT_EQ(Face<media::IGraphBuilder>(graph)->RenderFile(clip.c_str(), nullptr), S_OK);
    EXPECT_EQ(g_refusals.load(), refusalsBefore + 1);

    LONG width = 0;
    LONG height = 0;
    auto video = Face<media::IBasicVideo>(graph);
    EXPECT_EQ(video->get_SourceWidth(&width), S_OK);
    EXPECT_EQ(video->get_SourceHeight(&height), S_OK);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);

    // Placed as the player places a clip: a child of its window, here at
    // three quarters of the clip's size.
    auto window = Face<media::IVideoWindow>(graph);
    ASSERT_NE(Owner(), nullptr);
    EXPECT_EQ(window->SetWindowPosition(40, 30, 240, 180), S_OK);
    EXPECT_EQ(window->put_WindowStyle(static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS)), S_OK);
    EXPECT_EQ(window->put_Owner(reinterpret_cast<media::OAHWND>(owner)), S_OK);

    auto events = Face<media::IMediaEventEx>(graph);
    const LPARAM instance = 77;
    events->SetNotifyWindow(reinterpret_cast<media::OAHWND>(notify), kNotifyMessage, instance);
    auto control = Face<media::IMediaControl>(graph);
    ASSERT_EQ(control->StopWhenReady(), S_OK);
    ASSERT_EQ(control->Run(), S_OK);

    // Half-way through, the picture is in its rectangle, quadrants in place.
    HWND picture = GetWindow(owner, GW_CHILD);
    ASSERT_NE(picture, nullptr);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 1000) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        Sleep(10);
    }
    EXPECT_TRUE(IsWindowVisible(picture));
    RECT placed{};
    GetWindowRect(picture, &placed);
    MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 40);
    EXPECT_EQ(placed.top, 30);
    EXPECT_EQ(placed.right - placed.left, 240);
    EXPECT_EQ(placed.bottom - placed.top, 180);
    EXPECT_PRED2(Near, ColourAt(picture, 30, 30), 0xFF0000u);
    EXPECT_PRED2(Near, ColourAt(picture, 210, 30), 0x00FF00u);
    EXPECT_PRED2(Near, ColourAt(picture, 30, 150), 0x0000FFu);
    EXPECT_PRED2(Near, ColourAt(picture, 210, 150), 0xFFFFFFu);

    EXPECT_TRUE(WaitForEvent(events.Get(), instance, media::EC_COMPLETE, 15000));
    EXPECT_EQ(control->Stop(), S_OK);
    EXPECT_EQ(window->put_Visible(media::OAFALSE), S_OK);
    EXPECT_FALSE(IsWindowVisible(picture));
}

TEST_F(MediaFoundationPlayback, AnM4aSoundPausesEndsAndPlaysAgainFromTheStart) {
    ASSERT_FALSE(sound.empty());
    ComPtr<media::IUnknown> graph;
    ASSERT_EQ(media::CreateMediaFoundationGraph(graph.Put()), S_OK);
    ASSERT_EQ(Face<media::IGraphBuilder>(graph)->RenderFile(sound.c_str(), nullptr), S_OK);
    // A sound has no picture.
    LONG width = -1;
    EXPECT_TRUE(FAILED(Face<media::IBasicVideo>(graph)->get_SourceWidth(&width)));
    EXPECT_EQ(width, -1);

    auto events = Face<media::IMediaEventEx>(graph);
    auto control = Face<media::IMediaControl>(graph);
    const LPARAM instance = 78;
    events->SetNotifyWindow(reinterpret_cast<media::OAHWND>(notify), kNotifyMessage, instance);
    ASSERT_EQ(control->Run(), S_OK);
    ASSERT_EQ(control->Pause(), S_OK);
    // Paused at once, the one-second sound does not end in two.
    EXPECT_FALSE(WaitForEvent(events.Get(), instance, media::EC_COMPLETE, 2000));
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForEvent(events.Get(), instance, media::EC_COMPLETE, 10000));

    // Ended, it plays again once rewound, as a looping sound does.
    ASSERT_EQ(Face<media::IMediaPosition>(graph)->put_CurrentPosition(0.0), S_OK);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(WaitForEvent(events.Get(), instance, media::EC_COMPLETE, 10000));
}

TEST_F(MediaFoundationPlayback, FilesNeitherGraphPlaysAreRefusedAndAFileIsRenderedOnce) {
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, folder), 0u);
    const std::string text = std::string(folder) + "tarn-not-media.txt";
    HANDLE file = CreateFileA(text.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "neither picture nor sound", 25, &written, nullptr);
    CloseHandle(file);
    const std::u16string wideText(text.begin(), text.end());

    for (auto maker : {&media::CreateMediaFoundationGraph, &media::CreateDirectShowGraph}) {
        ComPtr<media::IUnknown> graph;
        ASSERT_EQ(media::CreateFallbackGraph(maker, &media::CreateMediaFoundationGraph,
                                             graph.Put()),
                  S_OK);
        EXPECT_TRUE(FAILED(Face<media::IGraphBuilder>(graph)->RenderFile(wideText.c_str(),
                                                                         nullptr)));
    }
    DeleteFileA(text.c_str());

    ComPtr<media::IUnknown> graph;
    ASSERT_EQ(media::CreateMediaFoundationGraph(graph.Put()), S_OK);
    auto builder = Face<media::IGraphBuilder>(graph);
    ASSERT_EQ(builder->RenderFile(sound.c_str(), nullptr), S_OK);
    EXPECT_EQ(builder->RenderFile(sound.c_str(), nullptr), media::VFW_E_WRONG_STATE);
}

}  // namespace
