// Clips and sounds built ahead of their slide: what is prepared (the slide
// file and the sound hinted last; not stills, not files that do not play),
// how a render takes the prepared graph and plays it from its cue to its
// end, and that every prepared file is let go before a show's files are
// deleted.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/graph.h"
#include "platform/win32.h"
#include "platform/windows/prepared_clips.h"
#include "windows/media_files.h"

namespace {

namespace media = tarn::media;
using media::ComPtr;
using tarn::ClipIsPrepared;
using tarn::test::QuadrantBitmap;
using tarn::test::ScratchFolder;
using tarn::test::ToneWave;
using tarn::test::WriteBytes;

constexpr UINT kNotifyMessage = WM_USER + 7;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class PreparedClips : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        notify = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(notify, nullptr);
        for (const std::string* sound : {&first, &second, &third}) WriteBytes(*sound, ToneWave(300));
        WriteBytes(picture, QuadrantBitmap(64, 48));
        WriteBytes(text, "neither a picture nor a sound");
    }
    void TearDown() override {
        media::ForgetUpcomingFiles();
        DestroyWindow(notify);
        CoUninitialize();
    }

    // Runs the thread's message loop for `milliseconds`; the preparation
    // is done from it.
    static void Pump(DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    // Plays `graph` from StopWhenReady and Run, as the player does, until
    // its stream ends; false when no end is reported within 5 s.
    bool PlaysToItsEnd(const ComPtr<media::IGraphBuilder>& graph) {
        auto events = media::Query<media::IMediaEventEx>(graph);
        auto control = media::Query<media::IMediaControl>(graph);
        const LPARAM instance = static_cast<LPARAM>(graph->GraphNumber());
        if (!events || !control ||
            events->SetNotifyWindow(reinterpret_cast<media::OAHWND>(notify), kNotifyMessage, instance) != S_OK ||
            FAILED(control->StopWhenReady()) || FAILED(control->Run())) {
            return false;
        }
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < 5000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd != notify || msg.message != kNotifyMessage || msg.lParam != instance) {
                    DispatchMessageA(&msg);
                    continue;
                }
                LONG code = 0;
                LONG_PTR param1 = 0;
                LONG_PTR param2 = 0;
                while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
                    events->FreeEventParams(code, param1, param2);
                    if (code == EC_COMPLETE) {  // the SDK's name: prepared_clips.h brings its headers
                        control->Stop();
                        return true;
                    }
                }
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return false;
    }

    ComPtr<media::IGraphBuilder> NewGraph() {
        ComPtr<media::IGraphBuilder> graph;
        EXPECT_EQ(media::CoCreateInstance(media::CLSID_FilterGraph, nullptr, media::CLSCTX_INPROC_SERVER,
                                          media::IID_IGraphBuilder, graph.PutVoid()),
                  S_OK);
        return graph;
    }

    ScratchFolder scratch;
    HWND notify = nullptr;
    const std::string first = scratch / "first.wav";
    const std::string second = scratch / "second.wav";
    const std::string third = scratch / "third.wav";
    const std::string picture = scratch / "still.bmp";
    const std::string text = scratch / "notes.txt";
};

TEST_F(PreparedClips, TheSlideFileAndTheSoundHintedLastArePreparedOnceTheLoopRuns) {
    media::HintUpcomingSound(first.c_str());
    // Nothing is built during the change that hints, only from the loop.
    EXPECT_FALSE(ClipIsPrepared(Wide(first)));
    Pump(1000);
    EXPECT_TRUE(ClipIsPrepared(Wide(first)));

    // The next slide is hinted after the one before: the later one is kept.
    media::HintUpcomingFile(second.c_str());
    media::HintUpcomingFile(third.c_str());
    tarn::PrepareWantedClipsNow();
    EXPECT_FALSE(ClipIsPrepared(Wide(second)));
    EXPECT_TRUE(ClipIsPrepared(Wide(third)));
    EXPECT_TRUE(ClipIsPrepared(Wide(first))) << "the sound hinted last";

    media::HintUpcomingSound(second.c_str());
    tarn::PrepareWantedClipsNow();
    EXPECT_FALSE(ClipIsPrepared(Wide(first)));
    EXPECT_TRUE(ClipIsPrepared(Wide(second)));
    EXPECT_TRUE(ClipIsPrepared(Wide(third)));
}

TEST_F(PreparedClips, StillsFilesThatDoNotPlayAndMissingFilesAreNotPrepared) {
    const std::string missing = scratch / "missing.avi";
    for (const std::string* name : {&picture, &text, &missing}) {
        media::HintUpcomingFile(name->c_str());
        tarn::PrepareWantedClipsNow();
        EXPECT_FALSE(ClipIsPrepared(Wide(*name))) << *name;
    }
}

TEST_F(PreparedClips, ARenderTakesThePreparedGraphWhichPlaysFromItsCueToItsEnd) {
    media::HintUpcomingSound(first.c_str());
    tarn::PrepareWantedClipsNow();
    ASSERT_TRUE(ClipIsPrepared(Wide(first)));

    ComPtr<media::IGraphBuilder> taken = NewGraph();
    ASSERT_EQ(taken->RenderFile(Utf16(first).c_str(), nullptr), S_OK);
    EXPECT_FALSE(ClipIsPrepared(Wide(first))) << "handed out once";
    // A later hint of another file does not build the rendered one again.
    media::HintUpcomingFile(third.c_str());
    tarn::PrepareWantedClipsNow();
    EXPECT_FALSE(ClipIsPrepared(Wide(first)));
    EXPECT_TRUE(FAILED(taken->RenderFile(Utf16(first).c_str(), nullptr))) << "a graph renders one file";
    EXPECT_TRUE(PlaysToItsEnd(taken));

    // Without a prepared graph the same steps play the file as well.
    ComPtr<media::IGraphBuilder> built = NewGraph();
    ASSERT_EQ(built->RenderFile(Utf16(second).c_str(), nullptr), S_OK);
    EXPECT_TRUE(PlaysToItsEnd(built));
}

// Whether nobody else has the file open: only then may it be opened with
// no sharing at all (and deleted on Windows, whose file reader does not
// share deletion).
bool NobodyHolds(const std::string& path) {
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// A prepared graph holds its file open, as the show's clean-up would find
// it; once the platform forgets the upcoming files, the files can go.
TEST_F(PreparedClips, ForgettingTheUpcomingFilesLetsTheirFilesBeDeleted) {
    media::HintUpcomingFile(first.c_str());
    media::HintUpcomingSound(second.c_str());
    tarn::PrepareWantedClipsNow();
    ASSERT_TRUE(ClipIsPrepared(Wide(first)));
    ASSERT_TRUE(ClipIsPrepared(Wide(second)));
    EXPECT_FALSE(NobodyHolds(first)) << "the prepared graph reads the file";

    media::ForgetUpcomingFiles();
    EXPECT_TRUE(NobodyHolds(first));
    EXPECT_TRUE(NobodyHolds(second));
    EXPECT_FALSE(ClipIsPrepared(Wide(first)));
    EXPECT_FALSE(ClipIsPrepared(Wide(second)));
    EXPECT_TRUE(DeleteFileA(first.c_str()));
    EXPECT_TRUE(DeleteFileA(second.c_str()));
    // And what was wanted is forgotten with them: the loop builds nothing.
    WriteBytes(first, ToneWave(300));
    Pump(500);
    EXPECT_FALSE(ClipIsPrepared(Wide(first)));
}

}  // namespace
