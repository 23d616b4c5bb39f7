// The graph interface on DirectShow and DirectSound: pictures decoded by
// the imaging component and shown in a window of their own, sounds played
// by a real filter graph, the sound device of the audio keep-alive.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/graph.h"
#include "platform/media/platform_media.h"
#include "platform/win32.h"
#include "windows/media_files.h"
#include "platform/windows/picture_window.h"

namespace {

namespace media = tarn::media;
using media::ComPtr;
using tarn::PictureWindow;
using tarn::test::QuadrantBitmap;
using tarn::test::ScratchFolder;
using tarn::test::ToneWave;
using tarn::test::WriteBytes;

constexpr UINT kNotifyMessage = WM_USER + 6;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::u16string Utf16(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class WindowsMedia : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        notify = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(notify, nullptr);
        WriteBytes(picture, QuadrantBitmap(300, 200));
        WriteBytes(sound, ToneWave(300));
        WriteBytes(text, "not a picture, not a sound");
    }
    void TearDown() override {
        DestroyWindow(notify);
        CoUninitialize();
    }

    ComPtr<media::IGraphBuilder> NewGraph() {
        ComPtr<media::IGraphBuilder> graph;
        EXPECT_EQ(media::CoCreateInstance(media::CLSID_FilterGraph, nullptr,
                                          media::CLSCTX_INPROC_SERVER, media::IID_IGraphBuilder,
                                          graph.PutVoid()),
                  S_OK);
        return graph;
    }

    // Waits up to `milliseconds` for the next notification of the graph
    // numbered `instance`, handling the thread's messages meanwhile.
    bool WaitForNotification(LPARAM instance, DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < milliseconds) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.hwnd == notify && msg.message == kNotifyMessage && msg.lParam == instance) {
                    return true;
                }
                DispatchMessageA(&msg);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        return false;
    }

    ScratchFolder scratch;
    HWND notify = nullptr;
    const std::string picture = scratch / "quadrants.bmp";
    const std::string sound = scratch / "tone.wav";
    const std::string text = scratch / "notes.txt";
};

TEST_F(WindowsMedia, AGraphAnswersEveryInterfaceOfThePlayerAndHasItsOwnNumber) {
    ComPtr<media::IGraphBuilder> first = NewGraph();
    ComPtr<media::IGraphBuilder> second = NewGraph();
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->GraphNumber(), second->GraphNumber());
    for (const media::Guid* iid : {&media::IID_IUnknown, &media::IID_IMediaControl,
                                   &media::IID_IMediaEventEx, &media::IID_IMediaPosition,
                                   &media::IID_IVideoWindow, &media::IID_IBasicVideo}) {
        ComPtr<media::IUnknown> face;
        EXPECT_EQ(first->QueryInterface(*iid, face.PutVoid()), S_OK);
        EXPECT_TRUE(face);
    }
    ComPtr<media::IUnknown> none;
    EXPECT_EQ(first->QueryInterface(media::IID_IDirectSound, none.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(none);
}

TEST_F(WindowsMedia, APictureIsScaledToItsWindowAndKeepsItsQuadrants) {
    std::unique_ptr<PictureWindow> window = PictureWindow::Open(Wide(picture).c_str());
    ASSERT_TRUE(window);
    EXPECT_EQ(window->SourceWidth(), 300);
    EXPECT_EQ(window->SourceHeight(), 200);
    ASSERT_TRUE(window->SetPosition(5, 7, 150, 100));
    ASSERT_EQ(window->PixelWidth(), 150);
    ASSERT_EQ(window->PixelHeight(), 100);
    RECT placed{};
    GetWindowRect(window->Handle(), &placed);
    EXPECT_EQ(placed.right - placed.left, 150);
    EXPECT_EQ(placed.bottom - placed.top, 100);
    // Pixels are BGRX, top row first.
    auto pixel = [&](int x, int y) {
        const unsigned char* p = &window->Pixels()[static_cast<size_t>((y * 150 + x) * 4)];
        return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
    };
    EXPECT_EQ(pixel(10, 10), 0xFF0000u);
    EXPECT_EQ(pixel(140, 10), 0x00FF00u);
    EXPECT_EQ(pixel(10, 90), 0x0000FFu);
    EXPECT_EQ(pixel(140, 90), 0xFFFFFFu);
    // An empty rectangle shows nothing and keeps no pixels.
    EXPECT_TRUE(window->SetPosition(0, 0, 0, 0));
    EXPECT_TRUE(window->Pixels().empty());
}

TEST_F(WindowsMedia, OnlyPicturesAreTakenForPictures) {
    EXPECT_FALSE(PictureWindow::Open(Wide(text).c_str()));
    EXPECT_FALSE(PictureWindow::Open(Wide(sound).c_str()));
    EXPECT_FALSE(PictureWindow::Open(Wide(scratch / "absent.jpg").c_str()));
    EXPECT_FALSE(PictureWindow::Open(L""));
}

TEST_F(WindowsMedia, APicturesStreamEndsOnceEachTimeItRunsFromTheStart) {
    ComPtr<media::IGraphBuilder> graph = NewGraph();
    ASSERT_EQ(graph->RenderFile(Utf16(picture).c_str(), nullptr), S_OK);
    auto video = media::Query<media::IBasicVideo>(graph);
    LONG width = 0;
    LONG height = 0;
    EXPECT_EQ(video->get_SourceWidth(&width), S_OK);
    EXPECT_EQ(video->get_SourceHeight(&height), S_OK);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);

    auto events = media::Query<media::IMediaEventEx>(graph);
    auto control = media::Query<media::IMediaControl>(graph);
    const LPARAM instance = static_cast<LPARAM>(graph->GraphNumber());
    events->SetNotifyWindow(reinterpret_cast<media::OAHWND>(notify), kNotifyMessage, instance);
    EXPECT_EQ(control->Run(), S_OK);
    ASSERT_TRUE(WaitForNotification(instance, 1000));
    LONG code = 0;
    LONG_PTR param1 = 1;
    LONG_PTR param2 = 1;
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 0), S_OK);
    EXPECT_EQ(code, media::EC_COMPLETE);
    EXPECT_EQ(events->FreeEventParams(code, param1, param2), S_OK);
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 0), E_ABORT);

    // Running again without a rewind ends nothing new; a rewind does.
    control->Pause();
    control->Run();
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 0), E_ABORT);
    auto position = media::Query<media::IMediaPosition>(graph);
    EXPECT_EQ(position->put_CurrentPosition(0.0), S_OK);
    ASSERT_TRUE(WaitForNotification(instance, 1000));
    EXPECT_EQ(events->GetEvent(&code, &param1, &param2, 0), S_OK);
    EXPECT_EQ(code, media::EC_COMPLETE);
}

TEST_F(WindowsMedia, ARenderedFileCannotBeReplacedAndOtherFilesFail) {
    ComPtr<media::IGraphBuilder> graph = NewGraph();
    EXPECT_TRUE(FAILED(graph->RenderFile(Utf16(text).c_str(), nullptr)));
    ComPtr<media::IGraphBuilder> missing = NewGraph();
    EXPECT_TRUE(FAILED(missing->RenderFile(Utf16(scratch / "absent.avi").c_str(), nullptr)));
    ComPtr<media::IGraphBuilder> shown = NewGraph();
    ASSERT_EQ(shown->RenderFile(Utf16(picture).c_str(), nullptr), S_OK);
    EXPECT_TRUE(FAILED(shown->RenderFile(Utf16(picture).c_str(), nullptr)));
}

TEST_F(WindowsMedia, ASoundPlaysToItsEndAndSaysSo) {
    ComPtr<media::IGraphBuilder> graph = NewGraph();
    ASSERT_TRUE(SUCCEEDED(graph->RenderFile(Utf16(sound).c_str(), nullptr)));
    // A sound has no picture.
    LONG width = -1;
    media::Query<media::IBasicVideo>(graph)->get_SourceWidth(&width);
    EXPECT_LE(width, 0);

    auto events = media::Query<media::IMediaEventEx>(graph);
    const LPARAM instance = static_cast<LPARAM>(graph->GraphNumber());
    ASSERT_EQ(events->SetNotifyWindow(reinterpret_cast<media::OAHWND>(notify), kNotifyMessage,
                                      instance),
              S_OK);
    ASSERT_TRUE(SUCCEEDED(media::Query<media::IMediaControl>(graph)->Run()));
    bool complete = false;
    while (!complete && WaitForNotification(instance, 5000)) {
        LONG code = 0;
        LONG_PTR param1 = 0;
        LONG_PTR param2 = 0;
        while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
            complete = complete || code == media::EC_COMPLETE;
            events->FreeEventParams(code, param1, param2);
        }
    }
    EXPECT_TRUE(complete);
    EXPECT_EQ(media::Query<media::IMediaControl>(graph)->Stop(), S_OK);
}

TEST_F(WindowsMedia, TheKeepAliveOpensTheDeviceAndPlaysItsPrimaryBuffer) {
    ComPtr<media::IDirectSound> device;
    ASSERT_EQ(media::OpenPlatformSoundDevice(device.Put()), S_OK);
    EXPECT_EQ(device->SetCooperativeLevel(GetDesktopWindow(), media::DSSCL_PRIORITY), S_OK);
    media::DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = media::DSBCAPS_PRIMARYBUFFER;
    media::IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(device->CreateSoundBuffer(&description, &primary, nullptr), S_OK);
    ASSERT_NE(primary, nullptr);
    EXPECT_EQ(primary->Play(0, 0, media::DSBPLAY_LOOPING), S_OK);

    // Nothing but the primary buffer is made.
    description.dwFlags = 0;
    description.dwBufferBytes = 4096;
    media::IDirectSoundBuffer* other = nullptr;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &other, nullptr), media::DSERR_INVALIDPARAM);
    EXPECT_EQ(other, nullptr);
}

}  // namespace
