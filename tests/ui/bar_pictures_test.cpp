// What the control bar shows, and the program's own pictures.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "controller/controller.h"
#include "controller/show_fixture.h"
#include "show/show_record.h"
#include "ui/control_bar.h"
#include "platform/embedded_resources.h"
#include "ui/show_window.h"

namespace tarn::test {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0x999999;  // 153, 153, 153

class BarPictures : public ShowFixture {
protected:
    void SetUp() override {
        ShowFixture::SetUp();
        EnsureResourcesRegistered();
    }

    // The pixels of resource bitmap `id`, loaded the way the bar loads them.
    static ws::Pixels Picture(int id) {
        HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
        const ws::Pixels* pixels = ws::BitmapPixels(bitmap);
        ws::Pixels copy = pixels ? *pixels : ws::Pixels{};
        DeleteObject(bitmap);
        return copy;
    }

    // Which of the seven button pictures the bar shows at button k.
    static int ShownAt(int k) {
        const ws::Pixels* surface = ws::Surface(g_ControlBarWindow);
        if (surface == nullptr || surface->width < 128 || surface->height < 32) return -1;
        for (int id : {IDB_PREVIOUS, IDB_PREVIOUS_GREY, IDB_NEXT, IDB_NEXT_GREY, IDB_PAUSE, IDB_RESUME, IDB_CLOSE}) {
            const ws::Pixels picture = Picture(id);
            bool same = picture.width == 32 && picture.height == 32;
            for (int y = 0; same && y < 32; ++y) {
                for (int x = 0; same && x < 32; ++x) same = surface->At(32 * k + x, y) == picture.At(x, y);
            }
            if (same) return id;
        }
        return 0;
    }

    static std::vector<int> Shown() { return {ShownAt(0), ShownAt(1), ShownAt(2), ShownAt(3)}; }
};

TEST_F(BarPictures, FirstMiddleAndLastSlides) {
    StartShowWith(ShowSpec::Slides(3));
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Shown(), (std::vector<int>{IDB_PREVIOUS_GREY, IDB_NEXT, IDB_PAUSE, IDB_CLOSE}));
    NextSlide(false);
    EXPECT_EQ(Shown(), (std::vector<int>{IDB_PREVIOUS, IDB_NEXT, IDB_PAUSE, IDB_CLOSE}));
    NextSlide(false);
    EXPECT_EQ(Shown(), (std::vector<int>{IDB_PREVIOUS, IDB_NEXT_GREY, IDB_PAUSE, IDB_CLOSE}));
    PreviousSlide();
    EXPECT_EQ(Shown(), (std::vector<int>{IDB_PREVIOUS, IDB_NEXT, IDB_PAUSE, IDB_CLOSE}));
}

class OddCountPictures : public BarPictures, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OddCountPictures, BothStepButtonsAreGreyed) {
    ShowSpec spec = ShowSpec::Slides(1);
    spec.count = GetParam();
    StartShowWith(spec);
    ASSERT_TRUE(RunFor(0));
    EXPECT_EQ(Shown(), (std::vector<int>{IDB_PREVIOUS_GREY, IDB_NEXT_GREY, IDB_PAUSE, IDB_CLOSE}));
}

INSTANTIATE_TEST_SUITE_P(OneZeroNegative, OddCountPictures, ::testing::Values(1, 0, -2));

TEST_F(BarPictures, PauseClickShowsTheResumePictureAtOnceAndBack) {
    StartShowWith(ShowSpec::Slides(3));
    ASSERT_TRUE(RunFor(0));
    SendMessageA(g_ControlBarWindow, WM_LBUTTONDOWN, 1, MAKELPARAM(70, 10));
    EXPECT_EQ(Paused, 1);
    EXPECT_EQ(ShownAt(2), IDB_RESUME);
    SendMessageA(g_ControlBarWindow, WM_LBUTTONDOWN, 1, MAKELPARAM(70, 10));
    EXPECT_EQ(Paused, 0);
    EXPECT_EQ(ShownAt(2), IDB_PAUSE);
}

TEST_F(BarPictures, SpaceKeyPauseShowsAtTheNextPaint) {
    StartShowWith(ShowSpec::Slides(3));
    ASSERT_TRUE(RunFor(0));
    SendMessageA(g_ShowWindow, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ(ShownAt(2), IDB_PAUSE) << "nothing repainted the bar yet";
    NextSlide(false);
    EXPECT_EQ(ShownAt(2), IDB_RESUME);
}

// ---- The drawings themselves --------------------------------------------------

std::set<uint32_t> Colours(const ws::Pixels& p) {
    return std::set<uint32_t>(p.data.begin(), p.data.end());
}

TEST_F(BarPictures, ButtonsAreBlackOrGreyOnWhite) {
    for (int id : {IDB_PREVIOUS, IDB_NEXT, IDB_PAUSE, IDB_RESUME, IDB_CLOSE}) {
        const ws::Pixels p = Picture(id);
        ASSERT_EQ(p.width, 32) << id;
        ASSERT_EQ(p.height, 32) << id;
        EXPECT_EQ(Colours(p), (std::set<uint32_t>{kWhite, kBlack})) << id;
        EXPECT_EQ(p.At(0, 0), kWhite) << id;
    }
    for (int id : {IDB_PREVIOUS_GREY, IDB_NEXT_GREY}) {
        const ws::Pixels p = Picture(id);
        ASSERT_EQ(p.width, 32) << id;
        EXPECT_EQ(Colours(p), (std::set<uint32_t>{kWhite, kGrey})) << id;
    }
}

TEST_F(BarPictures, GreyedPicturesAreTheBlackOnesInGrey) {
    for (auto [black, grey] : {std::pair{IDB_PREVIOUS, IDB_PREVIOUS_GREY}, std::pair{IDB_NEXT, IDB_NEXT_GREY}}) {
        const ws::Pixels b = Picture(black);
        const ws::Pixels g = Picture(grey);
        ASSERT_EQ(b.data.size(), g.data.size());
        for (size_t i = 0; i < b.data.size(); ++i) {
            ASSERT_EQ(g.data[i], b.data[i] == kBlack ? kGrey : kWhite) << black << " pixel " << i;
        }
    }
}

TEST_F(BarPictures, PreviousAndNextPointOppositeWays) {
    const ws::Pixels previous = Picture(IDB_PREVIOUS);
    const ws::Pixels next = Picture(IDB_NEXT);
    // Left-pointing triangles are widest on the right of each triangle, so
    // the middle row has more ink in its left-hand tips than the top row.
    auto ink = [](const ws::Pixels& p, int y, int x0, int x1) {
        int n = 0;
        for (int x = x0; x < x1; ++x) n += p.At(x, y) == kBlack;
        return n;
    };
    EXPECT_GT(ink(previous, 16, 0, 10), 0) << "the previous arrow's tip is on the left";
    EXPECT_EQ(ink(previous, 16, 27, 32), 0);
    EXPECT_GT(ink(next, 16, 22, 32), 0) << "the next arrow's tip is on the right";
    EXPECT_EQ(ink(next, 16, 0, 5), 0);
}

TEST_F(BarPictures, SplashAndIconHaveTheirSizes) {
    const ws::Pixels splash = Picture(IDB_SPLASH);
    EXPECT_EQ(splash.width, 420);
    EXPECT_EQ(splash.height, 154);
    EXPECT_GT(Colours(splash).size(), 16u) << "a true-colour picture";

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_PROGRAM));
    const ws::Pixels* iconPixels = ws::IconPixels(icon);
    ASSERT_NE(iconPixels, nullptr);
    EXPECT_EQ(iconPixels->width, 32);
    EXPECT_EQ(iconPixels->height, 32);
}

}  // namespace
}  // namespace tarn::test
