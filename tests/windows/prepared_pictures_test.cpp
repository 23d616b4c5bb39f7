// Pictures decoded ahead of time on Windows: a hinted picture is shown
// without a second decode, a file changed since its hint is decoded again,
// three pictures at most are kept, and hints for anything but a readable
// picture leave nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "kernel/scratch_folder.h"
#include "platform/graph.h"
#include "media/media_player.h"
#include "platform/win32.h"
#include "platform/windows/picture_decode.h"
#include "platform/windows/picture_window.h"
#include "platform/windows/prepared_pictures.h"
#include "show/show_record.h"
#include "windows/media_files.h"

namespace {

using tarn::DecodedPictureCount;
using tarn::FittedPictureSize;
using tarn::PictureIsPrepared;
using tarn::PictureSize;
using tarn::PictureWindow;
using tarn::PreparedPictureCount;
using tarn::test::QuadrantBitmap;
using tarn::test::ScratchFolder;
using tarn::test::SolidBitmap;
using tarn::test::ToneWave;
using tarn::test::WriteBytes;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

uint32_t PixelAt(const PictureWindow& window, int x, int y) {
    const unsigned char* p =
        &window.Pixels()[static_cast<size_t>((y * window.PixelWidth() + x) * 4)];
    return (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
}

FILETIME WriteTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data));
    return data.ftLastWriteTime;
}

void SetWriteTime(const std::string& path, FILETIME time) {
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
    CloseHandle(file);
}

FILETIME SecondsLater(FILETIME time, int seconds) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += static_cast<ULONGLONG>(seconds) * 10'000'000;
    return FILETIME{value.LowPart, value.HighPart};
}

class PreparedPictures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        tarn::ClearPreparedPictures();
    }
    void TearDown() override {
        tarn::ClearPreparedPictures();
        CoUninitialize();
    }

    // Prepares `path` the way the player's hint does and waits for it.
    void Prepare(const std::string& path) {
        tarn::media::HintUpcomingFile(path.c_str());
        PreparedPictureCount();
    }

    // Opens `path` and places it at `size`, as the graph does for a slide.
    std::unique_ptr<PictureWindow> Show(const std::string& path, PictureSize size) {
        std::unique_ptr<PictureWindow> window = PictureWindow::Open(Wide(path).c_str());
        if (window) {
            EXPECT_TRUE(window->SetPosition(0, 0, size.width, size.height));
        }
        return window;
    }

    ScratchFolder scratch;
    const PictureSize screen{GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
};

TEST(PictureFit, NeverEnlargesAndKeepsTheAspectInTheSameIntegerSteps) {
    const PictureSize screen{1024, 768};
    auto fit = [&](LONG width, LONG height) {
        const PictureSize size = FittedPictureSize(PictureSize{width, height}, screen);
        return std::make_pair(size.width, size.height);
    };
    EXPECT_EQ(fit(300, 200), std::make_pair(300L, 200L));
    EXPECT_EQ(fit(2048, 1000), std::make_pair(1024L, 500L));
    EXPECT_EQ(fit(1000, 2000), std::make_pair(384L, 768L));
    // Width first: 1600x1300 -> 1024x832, then the height: 768 * 1024 / 832.
    EXPECT_EQ(fit(1600, 1300), std::make_pair(945L, 768L));
    // Products that do not fit in 32 bits.
    EXPECT_EQ(fit(2'000'000'000, 2'000'000'000), std::make_pair(768L, 768L));
}

TEST_F(PreparedPictures, AHintedSlideIsShownWithoutASecondDecode) {
    // Larger than the screen, so that the player scales it.
    const PictureSize source{screen.width + screen.width / 2, screen.height + 10};
    const PictureSize fitted = FittedPictureSize(source, screen);
    const std::string hinted = scratch / "hinted.bmp";
    const std::string plain = scratch / "plain.bmp";
    WriteBytes(hinted, QuadrantBitmap(source.width, source.height));
    WriteBytes(plain, QuadrantBitmap(source.width, source.height));

    HWND owner = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, screen.width, screen.height,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    g_Show.Count = 0;  // the player hints no neighbours
    g_Show.CurrentSlide = 0;
    Prepare(hinted);
    ASSERT_TRUE(PictureIsPrepared(Wide(hinted)));

    MediaPlayer player;
    const uint64_t before = DecodedPictureCount();
    ASSERT_EQ(player.ShowSlide(hinted.c_str(), owner), S_OK);
    EXPECT_EQ(DecodedPictureCount(), before);
    HWND shown = FindWindowExW(owner, nullptr, L"TarnPictureWindow", nullptr);
    ASSERT_NE(shown, nullptr);
    RECT placed{};
    GetWindowRect(shown, &placed);
    EXPECT_EQ(placed.right - placed.left, fitted.width);
    EXPECT_EQ(placed.bottom - placed.top, fitted.height);

    // A slide nobody hinted is decoded when it is shown.
    ASSERT_EQ(player.ShowSlide(plain.c_str(), owner), S_OK);
    EXPECT_EQ(DecodedPictureCount(), before + 1);
    player.Reset();
    DestroyWindow(owner);
}

TEST_F(PreparedPictures, APictureShownWhileItsHintIsPendingIsDecodedOnce) {
    const std::string path = scratch / "quadrants.bmp";
    WriteBytes(path, QuadrantBitmap(300, 200));
    const uint64_t before = DecodedPictureCount();
    tarn::media::HintUpcomingFile(path.c_str());
    std::unique_ptr<PictureWindow> window = Show(path, PictureSize{300, 200});
    ASSERT_TRUE(window);
    PreparedPictureCount();
    EXPECT_EQ(DecodedPictureCount(), before + 1);
    EXPECT_EQ(PixelAt(*window, 10, 10), 0xFF0000u);
    EXPECT_EQ(PixelAt(*window, 290, 190), 0xFFFFFFu);
}

TEST_F(PreparedPictures, APreparedPictureHasItsQuadrantsAtTheFittedSize) {
    const PictureSize source{screen.width * 2, screen.height * 2};
    const std::string path = scratch / "large.bmp";
    WriteBytes(path, QuadrantBitmap(source.width, source.height));
    Prepare(path);
    const uint64_t before = DecodedPictureCount();
    std::unique_ptr<PictureWindow> window = Show(path, screen);
    ASSERT_TRUE(window);
    EXPECT_EQ(DecodedPictureCount(), before);
    EXPECT_EQ(window->SourceWidth(), source.width);
    EXPECT_EQ(window->SourceHeight(), source.height);
    ASSERT_EQ(window->PixelWidth(), screen.width);
    ASSERT_EQ(window->PixelHeight(), screen.height);
    EXPECT_EQ(PixelAt(*window, 10, 10), 0xFF0000u);
    EXPECT_EQ(PixelAt(*window, screen.width - 10, 10), 0x00FF00u);
    EXPECT_EQ(PixelAt(*window, 10, screen.height - 10), 0x0000FFu);
    EXPECT_EQ(PixelAt(*window, screen.width - 10, screen.height - 10), 0xFFFFFFu);

    // Placed at another size than the screen's fit, it is decoded for it.
    window->SetPosition(0, 0, 100, 50);
    EXPECT_EQ(DecodedPictureCount(), before + 1);
    EXPECT_EQ(PixelAt(*window, 90, 40), 0xFFFFFFu);
}

TEST_F(PreparedPictures, AFileChangedSinceItsHintIsDecodedAgainWithItsNewContent) {
    const std::string path = scratch / "changing.bmp";
    const PictureSize size{300, 200};

    // The same size, a later write time.
    WriteBytes(path, QuadrantBitmap(size.width, size.height));
    Prepare(path);
    ASSERT_TRUE(PictureIsPrepared(Wide(path)));
    const FILETIME hinted = WriteTimeOf(path);
    WriteBytes(path, SolidBitmap(size.width, size.height, 0x00FFFFu));
    SetWriteTime(path, SecondsLater(hinted, 5));
    uint64_t before = DecodedPictureCount();
    std::unique_ptr<PictureWindow> window = Show(path, size);
    ASSERT_TRUE(window);
    EXPECT_EQ(DecodedPictureCount(), before + 1);
    EXPECT_EQ(PixelAt(*window, 10, 10), 0x00FFFFu);
    window.reset();

    // The same write time, another size.
    WriteBytes(path, QuadrantBitmap(size.width, size.height));
    Prepare(path);
    ASSERT_TRUE(PictureIsPrepared(Wide(path)));
    const FILETIME second = WriteTimeOf(path);
    WriteBytes(path, SolidBitmap(size.width, size.height, 0xFF00FFu) + "trailing bytes");
    SetWriteTime(path, second);
    before = DecodedPictureCount();
    window = Show(path, size);
    ASSERT_TRUE(window);
    EXPECT_EQ(DecodedPictureCount(), before + 1);
    EXPECT_EQ(PixelAt(*window, 10, 10), 0xFF00FFu);
    // The outdated picture is not kept for later.
    EXPECT_FALSE(PictureIsPrepared(Wide(path)));
}

TEST_F(PreparedPictures, AtMostThreePicturesAreKeptAndTheLeastRecentlyUsedGoes) {
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(scratch / ("slide" + std::to_string(i) + ".bmp"));
        WriteBytes(paths.back(), SolidBitmap(64, 48, 0x101010u * static_cast<uint32_t>(i + 1)));
    }
    for (int i = 0; i < 5; ++i) {
        Prepare(paths[static_cast<size_t>(i)]);
        EXPECT_EQ(PreparedPictureCount(), static_cast<size_t>(std::min(i + 1, 3)));
    }
    EXPECT_FALSE(PictureIsPrepared(Wide(paths[0])));
    EXPECT_FALSE(PictureIsPrepared(Wide(paths[1])));
    for (int i = 2; i < 5; ++i) EXPECT_TRUE(PictureIsPrepared(Wide(paths[static_cast<size_t>(i)])));

    // Showing slide 2 makes it the most recent: slide 3 goes next.
    const uint64_t before = DecodedPictureCount();
    std::unique_ptr<PictureWindow> window = Show(paths[2], PictureSize{64, 48});
    ASSERT_TRUE(window);
    EXPECT_EQ(DecodedPictureCount(), before);
    EXPECT_EQ(PixelAt(*window, 5, 5), 0x303030u);
    Prepare(paths[5]);
    EXPECT_EQ(PreparedPictureCount(), 3u);
    EXPECT_FALSE(PictureIsPrepared(Wide(paths[3])));
    EXPECT_TRUE(PictureIsPrepared(Wide(paths[2])));
    EXPECT_TRUE(PictureIsPrepared(Wide(paths[4])));
    EXPECT_TRUE(PictureIsPrepared(Wide(paths[5])));
}

TEST_F(PreparedPictures, HintsForFilesThatAreNoPictureLeaveNothingAndHarmNothing) {
    const std::string garbage = scratch / "garbage.jpg";
    const std::string empty = scratch / "empty.png";
    const std::string sound = scratch / "tone.wav";
    const std::string truncated = scratch / "truncated.bmp";
    const std::string picture = scratch / "picture.bmp";
    WriteBytes(garbage, std::string(4096, '\x5A'));
    WriteBytes(empty, "");
    WriteBytes(sound, ToneWave(200));
    WriteBytes(truncated, QuadrantBitmap(300, 200).substr(0, 60));
    WriteBytes(picture, QuadrantBitmap(40, 30));

    for (const std::string& path : {scratch / "absent.bmp", garbage, empty, sound, truncated,
                                    scratch.Path()}) {
        Prepare(path);
    }
    tarn::media::HintUpcomingFile(nullptr);
    tarn::media::HintUpcomingFile("");
    EXPECT_EQ(PreparedPictureCount(), 0u);
    EXPECT_FALSE(PictureWindow::Open(Wide(garbage).c_str()));
    EXPECT_FALSE(PictureWindow::Open(Wide(sound).c_str()));

    // The worker goes on with the next picture.
    Prepare(picture);
    EXPECT_TRUE(PictureIsPrepared(Wide(picture)));
    EXPECT_EQ(PreparedPictureCount(), 1u);
}

TEST_F(PreparedPictures, ClearingEndsTheWorkerAndLaterHintsStartAnother) {
    const std::string first = scratch / "first.bmp";
    const std::string second = scratch / "second.bmp";
    WriteBytes(first, QuadrantBitmap(screen.width, screen.height));
    WriteBytes(second, QuadrantBitmap(screen.width, screen.height));
    tarn::media::HintUpcomingFile(first.c_str());
    tarn::media::HintUpcomingFile(second.c_str());
    tarn::ClearPreparedPictures();
    EXPECT_EQ(PreparedPictureCount(), 0u);

    Prepare(first);
    EXPECT_TRUE(PictureIsPrepared(Wide(first)));
}

}  // namespace
