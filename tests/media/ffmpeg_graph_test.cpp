// The FFmpeg graph on real files made at test time: every listed picture,
// clip and sound format, pictures fitted and upright, sounds completing on
// the virtual clock, clips showing their pictures on time.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/graph.h"
#include "media/media_fixtures.h"
#include "media/media_test_support.h"
#include "platform/media/audio_output.h"
#include "platform/media/clock_audio_sink.h"
#include "platform/media/ffmpeg_graph.h"
#include "platform/media/picture_cache.h"
#include "platform/window_system.h"

namespace {

namespace tm = tarn::media;
using tm::ComPtr;
using tm::IGraphBuilder;
using tm::Query;

constexpr UINT kNotify = WM_USER + 6;

uint32_t Red(uint32_t p) { return (p >> 16) & 0xFF; }
uint32_t Blue(uint32_t p) { return p & 0xFF; }
bool IsRed(uint32_t p) { return Red(p) > 200 && Blue(p) < 60; }
bool IsBlue(uint32_t p) { return Blue(p) > 200 && Red(p) < 60; }

class GraphTest : public media_test::MediaWindowTest {
protected:
    void SetUp() override {
        MediaWindowTest::SetUp();
        sink = std::make_shared<tm::ClockAudioSink>(*edge->VirtualTime());
        tm::InstallAudioOutput(sink);
    }
    void TearDown() override {
        graph.Reset();
        tm::InstallAudioOutput(nullptr);
        sink.reset();
        MediaWindowTest::TearDown();
    }

    HRESULT Render(const std::string& path) {
        graph.Reset();
        EXPECT_EQ(tm::CoCreateInstance(tm::CLSID_FilterGraph, nullptr, tm::CLSCTX_INPROC_SERVER,
                                       tm::IID_IGraphBuilder, graph.PutVoid()),
                  S_OK);
        std::u16string wide(path.size() + 1, u'\0');
        tm::AnsiToWide(path.c_str(), wide.data(), static_cast<int>(wide.size()));
        return graph->RenderFile(wide.c_str(), nullptr);
    }
    tm::FfmpegGraph& Ffmpeg() { return *static_cast<tm::FfmpegGraph*>(graph.Get()); }
    tm::Size SourceSize() {
        LONG w = -1, h = -1;
        auto basic = Query<tm::IBasicVideo>(graph);
        if (FAILED(basic->get_SourceWidth(&w))) w = 0;
        if (FAILED(basic->get_SourceHeight(&h))) h = 0;
        return tm::Size{w, h};
    }
    void NotifyMe() {
        Query<tm::IMediaEventEx>(graph)->SetNotifyWindow(reinterpret_cast<tm::OAHWND>(window), kNotify,
                                                         static_cast<LONG_PTR>(graph->GraphNumber()));
    }
    void Run() { Query<tm::IMediaControl>(graph)->Run(); }
    // Places the picture as the player does and cues the graph.
    void ShowIn(const RECT& rect) {
        auto video = Query<tm::IVideoWindow>(graph);
        video->SetWindowPosition(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        video->put_Owner(reinterpret_cast<tm::OAHWND>(window));
        Query<tm::IMediaControl>(graph)->StopWhenReady();
    }
    // Pumps messages until `done` holds, waiting for other threads' posts
    // (not for time: virtual time only moves when the test moves it).
    bool PumpUntil(const std::function<bool()>& done) {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < give_up) {
            Pump();
            if (done()) return true;
            edge->WaitForPost(std::chrono::milliseconds(20));
        }
        return false;
    }
    uint32_t OverlayCentre() {
        const auto overlays = tarn::ws::VideoOverlays(window);
        if (overlays.empty() || !overlays[0].frame) return 0xFFFFFFFF;
        const auto& f = *overlays[0].frame;
        return f.At(f.width / 2, f.height / 2);
    }
    // Advances virtual time by `ms`, then hands over what was posted.
    void Advance(int64_t ms) {
        edge->RunFor(ms);
        Pump();
    }

    std::shared_ptr<tm::ClockAudioSink> sink;
    ComPtr<IGraphBuilder> graph;
    media_test::TempFolder folder;
};

// ---- Still pictures -------------------------------------------------------------------

struct StillCase {
    const char* name;
    std::function<std::string()> make;
};

class StillFormats : public GraphTest, public ::testing::WithParamInterface<StillCase> {};

TEST_P(StillFormats, RenderWithTheirSourceSizeAndShowFitted) {
    const std::string path = GetParam().make();
    ASSERT_FALSE(path.empty()) << "fixture could not be made";
    ASSERT_EQ(Render(path), S_OK);
    EXPECT_EQ(Ffmpeg().RenderedKind(), tm::FfmpegGraph::Kind::Still);
    const tm::Size size = SourceSize();
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 240);
    ShowIn(RECT{352, 264, 672, 504});
    const auto overlays = tarn::ws::VideoOverlays(window);
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_TRUE(overlays[0].visible);
    EXPECT_EQ(overlays[0].rect.left, 352);
    ASSERT_TRUE(overlays[0].frame);
    EXPECT_EQ(overlays[0].frame->width, 320) << "never enlarged";
    EXPECT_EQ(overlays[0].frame->height, 240);
}

INSTANTIATE_TEST_SUITE_P(
    Each, StillFormats,
    ::testing::Values(StillCase{"JpegBaseline", [] { return media_test::StillFixture("baseline.jpg", 320, 240); }},
                      StillCase{"JpegProgressive", [] { return media_test::ProgressiveJpeg(); }},
                      StillCase{"Png", [] { return media_test::StillFixture("still.png", 320, 240); }},
                      StillCase{"Bmp", [] { return media_test::StillFixture("still.bmp", 320, 240); }},
                      StillCase{"Gif", [] { return media_test::StillFixture("still.gif", 320, 240); }},
                      StillCase{"Webp", [] { return media_test::StillFixture("still.webp", 320, 240); }},
                      StillCase{"Tiff", [] { return media_test::StillFixture("still.tiff", 320, 240); }},
                      // JPEG pictures one after the other under a JPEG's name: its first picture.
                      StillCase{"JpegsOneAfterTheOther", [] {
                                    return media_test::Fixture(
                                        "frames.jpg", "-f lavfi -i color=c=red:s=320x240:r=25:d=0.2 -c:v mjpeg -f mjpeg");
                                }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(GraphTest, APictureIsShownInItsColoursAndHiddenWhenDetached) {
    ASSERT_EQ(Render(media_test::HalvesJpeg()), S_OK);
    ShowIn(RECT{352, 264, 672, 504});
    const auto overlays = tarn::ws::VideoOverlays(window);
    ASSERT_EQ(overlays.size(), 1u);
    const auto& frame = *overlays[0].frame;
    EXPECT_TRUE(IsRed(frame.At(40, 120)));
    EXPECT_TRUE(IsBlue(frame.At(280, 120)));

    Query<tm::IVideoWindow>(graph)->put_Visible(tm::OAFALSE);
    EXPECT_FALSE(tarn::ws::VideoOverlays(window)[0].visible);
    Query<tm::IVideoWindow>(graph)->put_Owner(0);
    EXPECT_TRUE(tarn::ws::VideoOverlays(window).empty());
}

// A running still picture is put on screen by Run itself, so that a timed
// slide's time counts from its appearance; a sound's graph shows nothing.
TEST_F(GraphTest, RunningAStillPutsItOnScreenAtOnce) {
    ASSERT_EQ(Render(media_test::HalvesJpeg()), S_OK);
    Run();
    EXPECT_EQ(edge->ImmediatePresentCount(window), 0) << "a picture without a window is shown nowhere";

    ASSERT_EQ(Render(media_test::HalvesJpeg()), S_OK);
    ShowIn(RECT{0, 0, 320, 240});
    EXPECT_EQ(edge->ImmediatePresentCount(window), 0) << "cueing alone waits for the next wait";
    Run();
    EXPECT_EQ(edge->ImmediatePresentCount(window), 1);

    ASSERT_EQ(Render(media_test::ToneFixture("tone1000.wav", 1.0)), S_OK);
    Run();
    EXPECT_EQ(edge->ImmediatePresentCount(window), 1);
}

TEST_F(GraphTest, ReleasingTheGraphTakesItsPictureAway) {
    ASSERT_EQ(Render(media_test::HalvesJpeg()), S_OK);
    ShowIn(RECT{0, 0, 320, 240});
    ASSERT_EQ(tarn::ws::VideoOverlays(window).size(), 1u);
    graph.Reset();
    EXPECT_TRUE(tarn::ws::VideoOverlays(window).empty());
}

TEST_F(GraphTest, ALargePhotoIsDecodedReducedAndNeverHeldAtFullSize) {
    const std::string path = media_test::Fixture(
        "large.jpg", "-f lavfi -i testsrc2=s=6000x4000:d=1 -frames:v 1 -update 1 -q:v 8");
    ASSERT_FALSE(path.empty());
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ASSERT_EQ(Render(path), S_OK);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(SourceSize().width, 6000);
    EXPECT_EQ(SourceSize().height, 4000);
    EXPECT_EQ(Ffmpeg().ReducedLevel(), 2) << "1500 x 1000 still covers 1024 x 682";
    const auto picture = Ffmpeg().CurrentPicture();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 1024);
    EXPECT_EQ(picture->height, 682);
    // A full-size 0RGB copy alone would be 96 MB; the peak stays far below.
    const long grownKb = after.ru_maxrss - before.ru_maxrss;
    EXPECT_LT(grownKb, 40 * 1024) << "peak memory grew by " << grownKb << " kB";
}

// A JPEG APP1 segment that carries only the EXIF orientation tag.
std::string WithOrientation(const std::string& jpeg, int orientation, bool littleEndian) {
    std::string tiff = littleEndian ? std::string("II*\0\x08\0\0\0", 8) : std::string("MM\0*\0\0\0\x08", 8);
    auto u16 = [&](int v) {
        return littleEndian ? std::string{char(v & 0xFF), char(v >> 8)} : std::string{char(v >> 8), char(v & 0xFF)};
    };
    tiff += u16(1);                                  // one entry
    tiff += u16(0x0112) + u16(3);                    // orientation, SHORT
    tiff += littleEndian ? std::string("\x01\0\0\0", 4) : std::string("\0\0\0\x01", 4);
    tiff += u16(orientation) + std::string(2, '\0');
    tiff += std::string(4, '\0');                    // no next IFD
    const std::string payload = std::string("Exif\0\0", 6) + tiff;
    const int length = static_cast<int>(payload.size()) + 2;
    const std::string segment = std::string("\xFF\xE1") + char(length >> 8) + char(length & 0xFF) + payload;
    return jpeg.substr(0, 2) + segment + jpeg.substr(2);
}

TEST_F(GraphTest, AnExifTurnedPhotoIsShownUprightWithTheTurnedSize) {
    const std::string halves = media_test::ReadBytes(media_test::HalvesJpeg());
    ASSERT_FALSE(halves.empty());
    // Orientation 6: the stored picture must be turned a quarter clockwise,
    // so its left (red) half ends on top.
    ASSERT_EQ(Render(folder.Write("turned.jpg", WithOrientation(halves, 6, false))), S_OK);
    EXPECT_EQ(SourceSize().width, 240);
    EXPECT_EQ(SourceSize().height, 320);
    auto picture = Ffmpeg().CurrentPicture();
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, 240);
    EXPECT_TRUE(IsRed(picture->At(120, 40)));
    EXPECT_TRUE(IsBlue(picture->At(120, 280)));

    // Orientation 8 (little-endian EXIF): a quarter anticlockwise, red below.
    ASSERT_EQ(Render(folder.Write("turned8.jpg", WithOrientation(halves, 8, true))), S_OK);
    picture = Ffmpeg().CurrentPicture();
    ASSERT_TRUE(picture);
    EXPECT_TRUE(IsBlue(picture->At(120, 40)));
    EXPECT_TRUE(IsRed(picture->At(120, 280)));
}

TEST_F(GraphTest, APreparedPictureIsPlacedWithoutDecodingAgainUntilTheFileChanges) {
    tm::ClearPreparedPictures();
    const std::string path = folder.Path("changing.jpg");
    std::filesystem::copy_file(media_test::HalvesJpeg(), path);
    tm::PreparePicture(path, tm::Size{1024, 768});
    EXPECT_TRUE(tm::PictureIsPrepared(path, tm::Size{1024, 768}));
    EXPECT_FALSE(tm::PictureIsPrepared(path, tm::Size{800, 600})) << "made for another screen";
    ASSERT_EQ(Render(path), S_OK);
    const auto first = Ffmpeg().CurrentPicture();
    ASSERT_EQ(Render(path), S_OK);
    EXPECT_EQ(Ffmpeg().CurrentPicture(), first) << "the very same decoded picture";

    // Another picture under the same name is decoded anew.
    folder.Write("changing.jpg", media_test::ReadBytes(media_test::StillFixture("baseline.jpg", 320, 240)));
    ASSERT_EQ(Render(path), S_OK);
    ASSERT_NE(Ffmpeg().CurrentPicture(), first);
    EXPECT_NE(Ffmpeg().CurrentPicture()->data, first->data);
    tm::ClearPreparedPictures();
}

// ---- Sounds ------------------------------------------------------------------------------

struct SoundCase {
    const char* name;
    const char* file;
    const char* codec;
};

class SoundFormats : public GraphTest, public ::testing::WithParamInterface<SoundCase> {};

TEST_P(SoundFormats, PlayToTheirEndAndReportCompletion) {
    const std::string path = media_test::Fixture(
        GetParam().file, std::string("-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 ") +
                             GetParam().codec);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(Render(path), S_OK);
    EXPECT_FALSE(Ffmpeg().Stream()->HasPicture());
    EXPECT_EQ(SourceSize().width, 0) << "a sound has no picture size";
    NotifyMe();
    Run();
    Advance(900);
    EXPECT_TRUE(Received(kNotify).empty());
    Advance(300);  // encoders pad the end a little
    ASSERT_EQ(Received(kNotify).size(), 1u);
    EXPECT_EQ(Received(kNotify)[0].lParam, static_cast<LPARAM>(graph->GraphNumber()));
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    auto events = Query<tm::IMediaEventEx>(graph);
    ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, tm::EC_COMPLETE);
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), tm::E_ABORT);
}

INSTANTIATE_TEST_SUITE_P(Each, SoundFormats,
                         ::testing::Values(SoundCase{"Wav", "tone1.wav", ""},
                                           SoundCase{"Mp3", "tone1.mp3", "-c:a libmp3lame"},
                                           SoundCase{"Ogg", "tone1.ogg", "-c:a libvorbis"},
                                           SoundCase{"Flac", "tone1.flac", ""},
                                           SoundCase{"Wma", "tone1.wma", "-c:a wmav2"},
                                           SoundCase{"Aac", "tone1.m4a", "-c:a aac"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(GraphTest, AWavCompletesAtItsLength) {
    ASSERT_EQ(Render(media_test::ToneFixture("tone1500.wav", 1.5)), S_OK);
    NotifyMe();
    Run();
    Advance(1490);
    EXPECT_TRUE(Received(kNotify).empty());
    Advance(20);
    EXPECT_EQ(Received(kNotify).size(), 1u);
}

TEST_F(GraphTest, RewindingPlaysTheSoundAgainFromTheStart) {
    ASSERT_EQ(Render(media_test::ToneFixture("tone1000.wav", 1.0)), S_OK);
    NotifyMe();
    Run();
    Advance(1010);
    ASSERT_EQ(Received(kNotify).size(), 1u);
    Query<tm::IMediaPosition>(graph)->put_CurrentPosition(0.0);
    Run();
    Advance(980);
    EXPECT_EQ(Received(kNotify).size(), 1u);
    Advance(30);
    EXPECT_EQ(Received(kNotify).size(), 2u);
}

TEST_F(GraphTest, APausedSoundDoesNotMoveOn) {
    ASSERT_EQ(Render(media_test::ToneFixture("tone1000.wav", 1.0)), S_OK);
    NotifyMe();
    Run();
    Advance(500);
    Query<tm::IMediaControl>(graph)->Pause();
    Advance(5000);
    EXPECT_TRUE(Received(kNotify).empty());
    Run();
    Advance(490);
    EXPECT_TRUE(Received(kNotify).empty());
    Advance(30);
    EXPECT_EQ(Received(kNotify).size(), 1u);
}

TEST_F(GraphTest, TwoSoundsAreMixed) {
    ComPtr<IGraphBuilder> first;
    ASSERT_EQ(Render(media_test::ToneFixture("tone1000.wav", 1.0)), S_OK);
    Run();
    first = graph;
    ASSERT_EQ(Render(media_test::ToneFixture("tone1000.wav", 1.0)), S_OK);
    Run();
    sink->CaptureMix(4800);
    Advance(100);
    const auto mix = sink->CapturedMix();
    ASSERT_EQ(mix.size(), 4800u * 2);
    float peak = 0;
    for (float s : mix) peak = std::max(peak, std::abs(s));
    // ffmpeg's sine source has amplitude 1/8; two in phase add up.
    EXPECT_NEAR(peak, 0.25f, 0.03f);
}

// ---- Clips -----------------------------------------------------------------------------

struct ClipCase {
    const char* name;
    const char* file;
    const char* codecs;
    bool withSound;
};

class ClipFormats : public GraphTest, public ::testing::WithParamInterface<ClipCase> {};

TEST_P(ClipFormats, RenderWithTheirSizeAndPlayTheirPicturesOnTime) {
    const ClipCase c = GetParam();
    const std::string path = media_test::ClipFixture(c.file, c.codecs, c.withSound);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(Render(path), S_OK);
    ASSERT_EQ(Ffmpeg().RenderedKind(), tm::FfmpegGraph::Kind::Stream);
    EXPECT_TRUE(Ffmpeg().Stream()->HasPicture());
    EXPECT_EQ(Ffmpeg().Stream()->HasSound(), c.withSound);
    EXPECT_EQ(SourceSize().width, 160);
    EXPECT_EQ(SourceSize().height, 120);

    NotifyMe();
    ShowIn(RECT{432, 324, 592, 444});
    EXPECT_TRUE(IsRed(OverlayCentre())) << "the cued first picture";
    Run();
    Advance(300);
    EXPECT_TRUE(PumpUntil([&] { return Ffmpeg().Stream()->Position() >= 0.29; }));
    Pump();
    EXPECT_TRUE(IsRed(OverlayCentre()));
    Advance(400);  // 0.7 s: the blue half
    EXPECT_TRUE(PumpUntil([&] { return IsBlue(OverlayCentre()); }));
    EXPECT_TRUE(Received(kNotify).empty());
    Advance(450);  // past the end
    EXPECT_TRUE(PumpUntil([&] { return Received(kNotify).size() == 1; }));
}

INSTANTIATE_TEST_SUITE_P(
    Each, ClipFormats,
    ::testing::Values(ClipCase{"Mpeg1", "clip1.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", true},
                      ClipCase{"Mpeg2", "clip2.mpg", "-c:v mpeg2video -c:a mp2 -f vob", true},
                      ClipCase{"Mp4H264", "clip.mp4", "-c:v libx264 -preset ultrafast -c:a aac", true},
                      ClipCase{"Mp4Silent", "silent.mp4", "-c:v libx264 -preset ultrafast", false},
                      ClipCase{"Avi", "clip.avi", "-c:v mpeg4 -c:a libmp3lame", true},
                      ClipCase{"Wmv", "clip.wmv", "-c:v wmv2 -c:a wmav2", true},
                      ClipCase{"Webm", "clip.webm", "-c:v libvpx -deadline realtime -c:a libvorbis", true},
                      // JPEG pictures one after the other: a clip, not the still of its first.
                      ClipCase{"MotionJpeg", "clip.mjpeg", "-c:v mjpeg -f mjpeg", false}),
    [](const auto& param) { return std::string(param.param.name); });

// A clip filmed on its side: red on the left, blue on the right as stored,
// with a display matrix telling a turn of `degrees` (the muxer's "rotate").
std::string TurnedClip(int degrees) {
    const std::string stored = media_test::Fixture(
        "halves.mp4",
        "-f lavfi -i color=c=red:s=80x120:r=25:d=0.4 -f lavfi -i color=c=blue:s=80x120:r=25:d=0.4 "
        "-filter_complex [0][1]hstack[v] -map [v] -pix_fmt yuv420p -c:v libx264 -preset ultrafast");
    if (stored.empty()) return {};
    return media_test::Fixture("turned" + std::to_string(degrees) + ".mp4",
                               "-i '" + stored + "' -c copy -metadata:s:v:0 rotate=" + std::to_string(degrees));
}

// The first picture of `path` as the ffmpeg tool shows it (it turns clips
// upright by their display matrix), 0x00RRGGBB.
tarn::ws::Pixels ReferencePicture(const std::string& path, int width, int height) {
    tarn::ws::Pixels out;
    const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -i '" + path +
                                "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return out;
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    if (std::fread(rgb.data(), 1, rgb.size(), pipe.get()) != rgb.size()) return out;
    out.width = width;
    out.height = height;
    for (size_t i = 0; i < rgb.size(); i += 3) out.data.push_back(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
    return out;
}

class TurnedClips : public GraphTest, public ::testing::WithParamInterface<int> {};

TEST_P(TurnedClips, AreShownUprightWithTheTurnedSizeAsTheFfmpegToolShowsThem) {
    const int degrees = GetParam();
    const std::string path = TurnedClip(degrees);
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(Render(path), S_OK);
    const bool sideways = degrees % 180 != 0;
    const tm::Size seen = SourceSize();
    EXPECT_EQ(seen.width, sideways ? 120 : 160);
    EXPECT_EQ(seen.height, sideways ? 160 : 120);

    ShowIn(RECT{0, 0, seen.width, seen.height});
    const auto overlays = tarn::ws::VideoOverlays(window);
    ASSERT_FALSE(overlays.empty());
    ASSERT_TRUE(overlays[0].frame);
    const tarn::ws::Pixels& shown = *overlays[0].frame;
    ASSERT_EQ(shown.width, seen.width);
    ASSERT_EQ(shown.height, seen.height);

    const tarn::ws::Pixels reference = ReferencePicture(path, seen.width, seen.height);
    ASSERT_EQ(reference.width, seen.width) << "the ffmpeg tool did not decode " << path;
    // Well inside each half, away from the colour bleeding at the seam.
    const int w = seen.width;
    const int h = seen.height;
    for (const auto& [x, y] : {std::pair{w / 2, h / 8}, std::pair{w / 2, h - 1 - h / 8},
                               std::pair{w / 8, h / 2}, std::pair{w - 1 - w / 8, h / 2}}) {
        const uint32_t ours = shown.At(x, y);
        const uint32_t theirs = reference.At(x, y);
        EXPECT_EQ(IsRed(ours), IsRed(theirs)) << "at " << x << "," << y;
        EXPECT_EQ(IsBlue(ours), IsBlue(theirs)) << "at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(QuarterTurns, TurnedClips, ::testing::Values(0, 90, 180, 270));

// ---- Failures ---------------------------------------------------------------------------

TEST_F(GraphTest, AMissingFileFailsToRender) {
    EXPECT_LT(Render(folder.Path("none.jpg")), 0);
    EXPECT_LT(Render(folder.Path("")), 0) << "a folder is not a file";
    EXPECT_EQ(Ffmpeg().RenderedKind(), tm::FfmpegGraph::Kind::Empty);
    EXPECT_LT(SourceSize().width, 1);
}

TEST_F(GraphTest, RunningAnEmptyGraphDoesNothingHarmful) {
    EXPECT_LT(Render(folder.Path("none.jpg")), 0);
    Run();
    Advance(1000);
    EXPECT_TRUE(Received(kNotify).empty());
    EXPECT_TRUE(tarn::ws::VideoOverlays(window).empty());
}

}  // namespace
