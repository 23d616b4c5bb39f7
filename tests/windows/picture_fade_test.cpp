// The cross-fade of the Windows build: two still pictures in an owner
// window, the second faded in over the first by a window of its own that
// redraws on its timer and goes when the fade's time is over.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/graph.h"
#include "platform/win32.h"
#include "windows/media_files.h"

namespace {

namespace media = tarn::media;
using media::ComPtr;
using tarn::test::ScratchFolder;
using tarn::test::SolidBitmap;
using tarn::test::WriteBytes;

std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class PictureFade : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        owner = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(owner, nullptr);
        WriteBytes(red, SolidBitmap(320, 240, 0xFF0000));
        WriteBytes(blue, SolidBitmap(320, 240, 0x0000FF));
    }
    void TearDown() override {
        media::FinishCrossFade();
        shown.Reset();
        DestroyWindow(owner);
        CoUninitialize();
    }

    // A graph showing `file` over the whole owner, running, as the player's
    // slide change leaves it.
    void Show(const std::string& file) {
        ComPtr<media::IGraphBuilder> graph;
        ASSERT_EQ(media::CoCreateInstance(media::CLSID_FilterGraph, nullptr, media::CLSCTX_INPROC_SERVER,
                                          media::IID_IGraphBuilder, graph.PutVoid()),
                  S_OK);
        ASSERT_EQ(graph->RenderFile(Utf16(file).c_str(), nullptr), S_OK);
        auto video = media::Query<media::IVideoWindow>(graph);
        auto control = media::Query<media::IMediaControl>(graph);
        video->SetWindowPosition(0, 0, 320, 240);
        video->put_Owner(reinterpret_cast<media::OAHWND>(owner));
        control->StopWhenReady();
        shown.Reset();  // the previous slide's graph goes before the new one runs
        control->Run();
        shown = graph;
    }

    void Pump(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }

    ScratchFolder scratch;
    HWND owner = nullptr;
    ComPtr<media::IGraphBuilder> shown;
    const std::string red = scratch / "red.bmp";
    const std::string blue = scratch / "blue.bmp";
};

TEST_F(PictureFade, TheNewPictureFadesInOverTheKeptOneAndTheFadeEndsOnItsOwn) {
    Show(red);
    media::KeepPictureForCrossFade(owner, 600);
    EXPECT_FALSE(media::CrossFadeRunning()) << "keeping starts nothing";
    Show(blue);
    ASSERT_TRUE(media::CrossFadeRunning());
    HWND fade = GetTopWindow(owner);
    ASSERT_NE(fade, nullptr);
    char name[64] = {};
    GetClassNameA(fade, name, sizeof name);
    EXPECT_STREQ(name, "TarnPictureFade") << "the fade is drawn above the new picture";

    Pump(250);
    EXPECT_TRUE(media::CrossFadeRunning());
    Pump(600);
    EXPECT_FALSE(media::CrossFadeRunning());
    EXPECT_FALSE(IsWindow(fade));
}

TEST_F(PictureFade, FinishingEndsTheFadeAtOnceAndNothingKeptFadesLater) {
    Show(red);
    media::KeepPictureForCrossFade(owner, 5000);
    Show(blue);
    ASSERT_TRUE(media::CrossFadeRunning());
    media::FinishCrossFade();
    EXPECT_FALSE(media::CrossFadeRunning());

    // A kept picture let go before the next one runs fades nothing.
    media::KeepPictureForCrossFade(owner, 5000);
    media::ReleaseKeptPicture();
    Show(red);
    EXPECT_FALSE(media::CrossFadeRunning());
}

}  // namespace
