// The MediaPlayer's call orders, geometry, flags and failure paths, read from
// recording graphs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "media/media_player.h"
#include "media/media_test_support.h"
#include "media/recording_graph.h"
#include "show/show_record.h"

namespace {

using tarn::media::testing::RecordingMedia;
using Lines = std::vector<std::string>;
namespace tm = tarn::media;

constexpr UINT kBackgroundMessage = WM_USER + 5;
constexpr UINT kSlideMessage = WM_USER + 6;

class MediaPlayerTest : public media_test::MediaWindowTest {
protected:
    void SetUp() override {
        MediaWindowTest::SetUp();
        saved = g_Show;
        g_Show.AdvanceMethod = 0;
        g_Show.SoundOptions = 0;
        sound = folder.Write("sound.wav", "RIFF");
        otherSound = folder.Write("other.wav", "RIFF");
    }
    void TearDown() override {
        player.reset();
        g_Show = saved;
        MediaWindowTest::TearDown();
    }
    // Lines of graph n without the releases.
    Lines CallsOf(int n) {
        Lines out;
        for (const auto& line : media.LinesOf("#" + std::to_string(n) + " "))
            if (line.find(" Release ") == std::string::npos) out.push_back(line);
        return out;
    }
    LPARAM NumberOf(int n) { return static_cast<LPARAM>(media.Graph(n).number); }

    RecordingMedia media;
    media_test::TempFolder folder;
    std::unique_ptr<MediaPlayer> player = std::make_unique<MediaPlayer>();
    ShowRecord saved{};
    std::string sound;
    std::string otherSound;
};

// ---- Geometry -------------------------------------------------------------------

struct FitRow {
    LONG sourceWidth, sourceHeight;
    LONG left, top, width, height;
};

class FitVideoWindowTest : public MediaPlayerTest, public ::testing::WithParamInterface<FitRow> {};

TEST_P(FitVideoWindowTest, FitsIntoTheScreenWithoutEnlarging) {
    const FitRow row = GetParam();
    media.defaults.sourceWidth = row.sourceWidth;
    media.defaults.sourceHeight = row.sourceHeight;
    ASSERT_EQ(player->Initialise(), S_OK);
    player->FitVideoWindow();
    EXPECT_EQ(CallsOf(1).back(), "#1 SetWindowPosition " + std::to_string(row.left) + " " +
                                     std::to_string(row.top) + " " + std::to_string(row.width) + " " +
                                     std::to_string(row.height));
}

INSTANTIATE_TEST_SUITE_P(OnA1024x768Screen, FitVideoWindowTest,
                         ::testing::Values(FitRow{3000, 2000, 0, 43, 1024, 682},
                                           FitRow{1000, 2000, 320, 0, 384, 768},
                                           FitRow{2000, 2000, 128, 0, 768, 768},
                                           FitRow{640, 480, 192, 144, 640, 480},
                                           FitRow{0, 0, 512, 384, 0, 0},
                                           // Products that would overflow 32 bits.
                                           FitRow{2000000000, 3000000, 0, 383, 1024, 1},
                                           FitRow{1024, 2000000000, 512, 0, 0, 768}));

TEST_F(MediaPlayerTest, AnUnreadableSizeCountsAsZero) {
    media.defaults.sourceWidth = 3000;
    ASSERT_EQ(player->Initialise(), S_OK);
    media.Graph(1).sizeResult = E_FAIL;
    player->FitVideoWindow();
    EXPECT_EQ(CallsOf(1).back(), "#1 SetWindowPosition 512 384 0 0");
}

// ---- Initialise, keep-alive, teardown ----------------------------------------------

TEST_F(MediaPlayerTest, InitialiseCreatesTheGraphInProcessAndStartsTheKeepAlive) {
    ASSERT_EQ(player->Initialise(), S_OK);
    EXPECT_EQ(media.Graph(1).context, tm::CLSCTX_INPROC_SERVER);
    EXPECT_TRUE(player->HoldsDisplayGraph());
    EXPECT_TRUE(player->HoldsKeepAlive());
    EXPECT_EQ(media.LinesOf("sound "),
              (Lines{"sound DirectSoundCreate", "sound SetCooperativeLevel 2",
                     "sound CreateSoundBuffer size=" + std::to_string(sizeof(tm::DSBUFFERDESC)) +
                         " flags=1 bytes=0",
                     "sound Play 1"}));
}

TEST_F(MediaPlayerTest, AFailingQueryReleasesEverythingAndIsReturned) {
    media.defaults.missingInterfaces = {"IBasicVideo"};
    EXPECT_EQ(player->Initialise(), E_NOINTERFACE);
    EXPECT_FALSE(player->HoldsDisplayGraph());
    EXPECT_FALSE(player->HoldsKeepAlive());
    EXPECT_EQ(media.LiveGraphs(), 0);
    EXPECT_TRUE(media.LinesOf("sound ").empty()) << "the keep-alive comes after the queries";
}

TEST_F(MediaPlayerTest, AFailingCreationIsReturned) {
    media.defaults.createResult = tm::REGDB_E_CLASSNOTREG;
    EXPECT_EQ(player->Initialise(), tm::REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(player->HoldsDisplayGraph());
}

TEST_F(MediaPlayerTest, KeepAliveFailuresLeaveNoDeviceButInitialiseSucceeds) {
    media.sound.cooperativeResult = S_FALSE;  // anything but S_OK
    EXPECT_EQ(player->Initialise(), S_OK);
    EXPECT_FALSE(player->HoldsKeepAlive());
    EXPECT_EQ(media.LiveSoundDevices(), 0);

    media.sound = {};
    media.sound.bufferResult = E_FAIL;
    EXPECT_EQ(player->Initialise(), S_OK);
    EXPECT_FALSE(player->HoldsKeepAlive());
    EXPECT_EQ(media.LiveSoundDevices(), 0);

    media.sound = {};
    media.sound.createResult = tm::DSERR_NODRIVER;
    EXPECT_EQ(player->Initialise(), S_OK);
    EXPECT_FALSE(player->HoldsKeepAlive());
    EXPECT_TRUE(player->HoldsDisplayGraph());
}

TEST_F(MediaPlayerTest, ASecondInitialiseReplacesTheFirstSet) {
    ASSERT_EQ(player->Initialise(), S_OK);
    ASSERT_EQ(player->Initialise(), S_OK);
    EXPECT_FALSE(media.Graph(1).alive);
    EXPECT_TRUE(media.Graph(2).alive);
    EXPECT_EQ(media.LiveSoundDevices(), 1);
}

TEST_F(MediaPlayerTest, TeardownHidesDetachesThenReleasesInItsOrder) {
    ASSERT_EQ(player->Initialise(), S_OK);
    media.ClearLog();
    player->Teardown();
    EXPECT_EQ(*media.log, (Lines{"#1 put_Visible 0", "#1 put_Owner 0", "sound Release",
                                 "#1 Release IBasicVideo", "#1 Release IMediaControl",
                                 "#1 Release IVideoWindow", "#1 Release IGraphBuilder"}));
    EXPECT_EQ(media.LiveGraphs(), 0);
    EXPECT_EQ(media.LiveSoundDevices(), 0);

    media.ClearLog();
    player->Teardown();
    player->CloseDisplay();
    EXPECT_TRUE(media.log->empty()) << "nothing held, nothing done";
}

TEST_F(MediaPlayerTest, CloseDisplayHidesAndDetachesTwice) {
    ASSERT_EQ(player->Initialise(), S_OK);
    media.ClearLog();
    player->CloseDisplay();
    EXPECT_EQ(CallsOf(1), (Lines{"#1 put_Visible 0", "#1 put_Owner 0", "#1 put_Visible 0",
                                 "#1 put_Owner 0"}));
    EXPECT_FALSE(player->HoldsDisplayGraph());
}

// ---- Showing slides -----------------------------------------------------------------

TEST_F(MediaPlayerTest, ShowSlideRendersFitsAttachesCuesAndRuns) {
    media.defaults.sourceWidth = 3000;
    media.defaults.sourceHeight = 2000;
    ASSERT_EQ(player->ShowSlide("photo.jpg", window), S_OK);
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile photo.jpg", "#1 SetWindowPosition 0 43 1024 682",
                                 "#1 put_MessageDrain window",
                                 "#1 put_WindowStyle " + std::to_string(WS_CHILD | WS_CLIPSIBLINGS),
                                 "#1 SetWindowForeground -1", "#1 put_Owner window",
                                 "#1 StopWhenReady", "#1 Run"}));
    EXPECT_EQ(media.Graph(1).owner, reinterpret_cast<tm::OAHWND>(window));
    EXPECT_EQ(media.Graph(1).drain, reinterpret_cast<tm::OAHWND>(window));
}

TEST_F(MediaPlayerTest, EverySlideGetsANewGraphAndKeepAlive) {
    player->ShowSlide("a.jpg", window);
    player->ShowSlide("b.jpg", window);
    EXPECT_FALSE(media.Graph(1).alive);
    EXPECT_TRUE(media.Graph(2).alive);
    EXPECT_EQ(media.Graph(2).renderedFile, "b.jpg");
    EXPECT_EQ(media.LiveSoundDevices(), 1);
}

TEST_F(MediaPlayerTest, AnUnrenderableSlideStaysUnattachedButIsRunAndTheNextWorks) {
    media.defaults.renderResult = tm::VFW_E_UNSUPPORTED_STREAM;
    EXPECT_EQ(player->ShowSlide("missing.jpg", window), S_OK) << "Run's result";
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile missing.jpg", "#1 Run"}));
    EXPECT_EQ(media.Graph(1).owner, 0);

    media.defaults.renderResult = S_OK;
    player->ShowSlide("next.jpg", window);
    EXPECT_EQ(media.Graph(2).owner, reinterpret_cast<tm::OAHWND>(window));
}

TEST_F(MediaPlayerTest, RenderSlideReturnsTheRenderFailure) {
    ASSERT_EQ(player->Initialise(), S_OK);
    media.Graph(1).renderResult = tm::VFW_E_CANNOT_RENDER;
    EXPECT_EQ(player->RenderSlide("x.jpg", window), tm::VFW_E_CANNOT_RENDER);
}

TEST_F(MediaPlayerTest, ASlideWhoseGraphCannotBeMadeIsSkipped) {
    media.defaults.createResult = E_OUTOFMEMORY;
    EXPECT_EQ(player->ShowSlide("a.jpg", window), E_OUTOFMEMORY);
    EXPECT_FALSE(player->HoldsDisplayGraph());
    media.defaults.createResult = S_OK;
    EXPECT_EQ(player->ShowSlide("a.jpg", window), S_OK);
    EXPECT_TRUE(player->HoldsDisplayGraph());
}

TEST_F(MediaPlayerTest, NamesReachTheGraphUnchanged) {
    const std::string name = "f\xC3\xBCr \xE2\x82\xAC \xF0\x9F\x8E\xB5 \xFF\x80.jpg";
    player->ShowSlide(name.c_str(), window);
    EXPECT_EQ(media.Graph(1).renderedFile, name);
}

// ---- Sounds ---------------------------------------------------------------------------

TEST_F(MediaPlayerTest, ASlideSoundIsPlayedOnAGraphOfItsOwnWithNotifications) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    EXPECT_EQ(media.Graph(1).context, tm::CLSCTX_INPROC_SERVER | tm::CLSCTX_INPROC_HANDLER |
                                          tm::CLSCTX_LOCAL_SERVER);
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile " + sound,
                                 "#1 SetNotifyWindow " + std::to_string(kSlideMessage) + " " +
                                     std::to_string(media.Graph(1).number),
                                 "#1 Run"}));
    EXPECT_EQ(media.Graph(1).notifyWindow, reinterpret_cast<tm::OAHWND>(window));
    EXPECT_FALSE(player->SlideSoundFinished());
    // Only the channel's own reference is left.
    EXPECT_EQ(media.Graph(1).refs, 1);
}

TEST_F(MediaPlayerTest, WaitingForTheSlideSoundHoldsUntilItCompletes) {
    g_Show.AdvanceMethod = ADVANCE_TIMED | ADVANCE_WAIT_FOR_SOUND;
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    EXPECT_FALSE(player->MayAdvance());

    player->PauseSounds();
    EXPECT_EQ(media.Graph(1).state, "Paused");
    EXPECT_FALSE(player->MayAdvance());
    player->ResumeSounds();
    EXPECT_EQ(media.Graph(1).state, "Running");

    media.QueueEvent(1, tm::EC_COMPLETE);
    Pump();
    const auto posted = Received(kSlideMessage);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].lParam, NumberOf(1));
    player->OnSlideSoundEvent(kSlideMessage, posted[0].wParam, posted[0].lParam);
    EXPECT_TRUE(player->MayAdvance());
    EXPECT_EQ(media.Graph(1).state, "Stopped");
    EXPECT_TRUE(media.Graph(1).alive) << "a completed sound's graph stays held";
}

TEST_F(MediaPlayerTest, WithoutTheWaitFlagAdvanceIsAlwaysAllowed) {
    g_Show.AdvanceMethod = ADVANCE_TIMED;
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    EXPECT_TRUE(player->MayAdvance());
}

TEST_F(MediaPlayerTest, AMissingOrEmptySlideSoundCountsAsFinishedAtOnce) {
    g_Show.AdvanceMethod = ADVANCE_WAIT_FOR_SOUND;
    player->StartSlideSound(folder.Path("0").c_str(), window, kSlideMessage);
    EXPECT_TRUE(player->MayAdvance());
    player->StartSlideSound("", window, kSlideMessage);
    EXPECT_TRUE(player->MayAdvance());
    EXPECT_EQ(media.GraphCount(), 0);
}

TEST_F(MediaPlayerTest, AMissingNameLeavesTheChannelsGraphAlone) {
    tm::testing::GraphState* first = nullptr;
    SoundChannel channel;
    ASSERT_EQ(channel.Play(sound.c_str(), window, kSlideMessage), S_OK);
    first = &media.Graph(1);
    EXPECT_EQ(channel.Play(folder.Path("nothing.wav").c_str(), window, kSlideMessage), -1);
    EXPECT_TRUE(first->alive);
    EXPECT_EQ(first->state, "Running");
    EXPECT_EQ(channel.graph->GraphNumber(), first->number);
}

TEST_F(MediaPlayerTest, AnUnrenderableSoundFinishesTheSlideAndStaysIdle) {
    g_Show.AdvanceMethod = ADVANCE_WAIT_FOR_SOUND;
    media.defaults.renderResult = tm::VFW_E_UNSUPPORTED_STREAM;
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    EXPECT_TRUE(player->MayAdvance());
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile " + sound}));
    EXPECT_TRUE(player->SlideChannel().graph) << "the un-rendered graph stays";
}

TEST_F(MediaPlayerTest, AnyOtherPlayReplacesTheGraphWithoutStoppingIt) {
    SoundChannel channel;
    channel.Play(sound.c_str(), window, kSlideMessage);
    channel.Play(otherSound.c_str(), window, kSlideMessage);
    EXPECT_FALSE(media.Graph(1).alive);
    EXPECT_EQ(CallsOf(1).back(), "#1 Run") << "released, never stopped";
}

TEST_F(MediaPlayerTest, TheNextSlideSoundStopsThePrevious) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    player->StartSlideSound(otherSound.c_str(), window, kSlideMessage);
    EXPECT_EQ(CallsOf(1).back(), "#1 Stop");
    EXPECT_FALSE(media.Graph(1).alive);
}

TEST_F(MediaPlayerTest, ANotificationOfThePreviousSlidesGraphChangesNothing) {
    g_Show.AdvanceMethod = ADVANCE_WAIT_FOR_SOUND;
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    const LPARAM previous = NumberOf(1);
    player->StartSlideSound(otherSound.c_str(), window, kSlideMessage);
    media.QueueEvent(2, tm::EC_COMPLETE);
    media.ClearLog();

    player->OnSlideSoundEvent(kSlideMessage, 0, previous);
    EXPECT_TRUE(media.log->empty()) << "no event fetched";
    EXPECT_FALSE(player->MayAdvance());
    EXPECT_EQ(media.Graph(2).events.size(), 1u);
}

TEST_F(MediaPlayerTest, ANotificationWithoutAGraphIsIgnored) {
    player->OnSlideSoundEvent(kSlideMessage, 0, 12345);
    player->OnBackgroundSoundEvent(kBackgroundMessage, 0, 12345);
    EXPECT_FALSE(player->SlideSoundFinished());
    EXPECT_TRUE(media.log->empty());
}

TEST_F(MediaPlayerTest, EachMessageTakesExactlyOneEvent) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    media.QueueEvent(1, 0x0E);  // an event the channel does not act on
    media.QueueEvent(1, tm::EC_COMPLETE);
    player->OnSlideSoundEvent(kSlideMessage, 0, NumberOf(1));
    EXPECT_EQ(media.Graph(1).eventsTaken, 1);
    EXPECT_EQ(media.Graph(1).eventsFreed, 1);
    EXPECT_FALSE(player->SlideSoundFinished());
    player->OnSlideSoundEvent(kSlideMessage, 0, NumberOf(1));
    EXPECT_EQ(media.Graph(1).eventsTaken, 2);
    EXPECT_TRUE(player->SlideSoundFinished());
}

TEST_F(MediaPlayerTest, AMessageWithNoEventWaitingActsOnNothing) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    media.ClearLog();
    player->OnSlideSoundEvent(kSlideMessage, 0, NumberOf(1));
    EXPECT_EQ(CallsOf(1), (Lines{"#1 GetEvent none"})) << "nothing freed, nothing stopped";
    EXPECT_FALSE(player->SlideSoundFinished());
}

TEST_F(MediaPlayerTest, UserAbortStopsAndFinishes) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    media.QueueEvent(1, tm::EC_USERABORT);
    player->OnSlideSoundEvent(kSlideMessage, 0, NumberOf(1));
    EXPECT_TRUE(player->SlideSoundFinished());
    EXPECT_EQ(media.Graph(1).state, "Stopped");
    EXPECT_TRUE(media.Graph(1).alive);
}

class ErrorEventTest : public MediaPlayerTest, public ::testing::WithParamInterface<LONG> {};

TEST_P(ErrorEventTest, DropsTheGraphAndFinishes) {
    player->StartSlideSound(sound.c_str(), window, kSlideMessage);
    media.QueueEvent(1, GetParam());
    media.ClearLog();
    player->OnSlideSoundEvent(kSlideMessage, 0, NumberOf(1));
    EXPECT_TRUE(player->SlideSoundFinished());
    EXPECT_FALSE(media.Graph(1).alive);
    EXPECT_FALSE(player->SlideChannel().graph);
    const Lines calls = CallsOf(1);
    EXPECT_EQ(calls.back(), "#1 FreeEventParams " + std::to_string(GetParam()));
    for (const auto& c : calls) EXPECT_NE(c, "#1 Stop") << "released without a stop";

    media.ClearLog();
    player->PauseSounds();
    player->ResumeSounds();
    EXPECT_TRUE(media.log->empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, ErrorEventTest,
                         ::testing::Values(tm::EC_ERRORABORT, tm::EC_NEED_RESTART, tm::EC_DEVICE_LOST));

TEST_F(MediaPlayerTest, ALoopingBackgroundRewindsAndRunsOnCompletion) {
    g_Show.SoundOptions = SOUND_LOOP_BACKGROUND;
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    EXPECT_TRUE(player->BackgroundChannel().loop);
    for (int round = 0; round < 3; ++round) {
        media.QueueEvent(1, tm::EC_COMPLETE);
        media.ClearLog();
        player->OnBackgroundSoundEvent(kBackgroundMessage, 0, NumberOf(1));
        EXPECT_EQ(CallsOf(1), (Lines{"#1 GetEvent 1", "#1 put_CurrentPosition 0", "#1 Run",
                                     "#1 FreeEventParams 1"}));
        EXPECT_FALSE(player->BackgroundSoundFinished());
    }
}

TEST_F(MediaPlayerTest, ABackgroundWithoutLoopStopsOnCompletion) {
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    EXPECT_FALSE(player->BackgroundChannel().loop);
    media.QueueEvent(1, tm::EC_COMPLETE);
    player->OnBackgroundSoundEvent(kBackgroundMessage, 0, NumberOf(1));
    EXPECT_EQ(media.Graph(1).state, "Stopped");
    EXPECT_TRUE(player->BackgroundSoundFinished());
    EXPECT_FALSE(player->SlideSoundFinished()) << "the slide's flag is its own";
}

TEST_F(MediaPlayerTest, TheBackgroundStartsOnlyOnce) {
    player->StartBackgroundSound(folder.Path("none.wav").c_str(), window, kBackgroundMessage);
    EXPECT_FALSE(player->BackgroundPending());
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    EXPECT_EQ(media.GraphCount(), 0) << "a second start has no effect, even after a miss";
}

TEST_F(MediaPlayerTest, PauseResumeAndStopGoSlideFirstThenBackground) {
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    player->StartSlideSound(otherSound.c_str(), window, kSlideMessage);
    media.ClearLog();
    player->PauseSounds();
    player->ResumeSounds();
    player->StopSounds();
    Lines controls;
    for (const auto& line : *media.log)
        if (line.find("Release") == std::string::npos) controls.push_back(line);
    EXPECT_EQ(controls, (Lines{"#2 Pause", "#1 Pause", "#2 Run", "#1 Run", "#2 Stop", "#1 Stop"}));
    EXPECT_EQ(media.LiveGraphs(), 0);
}

TEST_F(MediaPlayerTest, ChannelOperationsOnAnEmptyChannelDoNothing) {
    SoundChannel channel;
    bool finished = false;
    EXPECT_EQ(channel.Stop(), S_OK);
    EXPECT_EQ(channel.Pause(), S_OK);
    EXPECT_EQ(channel.Resume(), S_OK);
    EXPECT_EQ(channel.HandleEvent(kSlideMessage, 0, 1, finished), S_OK);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(media.log->empty());
}

TEST_F(MediaPlayerTest, WithoutAValidWindowASoundPlaysUnannounced) {
    SoundChannel channel;
    channel.Play(sound.c_str(), nullptr, kSlideMessage);
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile " + sound, "#1 Run"}));
}

TEST_F(MediaPlayerTest, AGraphWithoutControlKeepsTheRenderResult) {
    media.defaults.missingInterfaces = {"IMediaControl", "IMediaEventEx"};
    SoundChannel channel;
    EXPECT_EQ(channel.Play(sound.c_str(), window, kSlideMessage), S_OK);
    EXPECT_EQ(CallsOf(1), (Lines{"#1 RenderFile " + sound, "#1 Query IMediaEventEx refused",
                                 "#1 Query IMediaControl refused"}));
}

TEST_F(MediaPlayerTest, DestructionStopsTheSlideChannelThenTheBackground) {
    player->ShowSlide("a.jpg", window);
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    player->StartSlideSound(otherSound.c_str(), window, kSlideMessage);
    media.ClearLog();
    player.reset();
    Lines stops;
    for (const auto& line : *media.log)
        if (line.find("Stop") != std::string::npos || line.find("put_") != std::string::npos) stops.push_back(line);
    EXPECT_EQ(stops, (Lines{"#1 put_Visible 0", "#1 put_Owner 0", "#3 Stop", "#2 Stop"}));
    EXPECT_EQ(media.LiveGraphs(), 0);
    EXPECT_EQ(media.LiveSoundDevices(), 0);
}

TEST_F(MediaPlayerTest, ResetReturnsToTheStateOfConstruction) {
    player->StartBackgroundSound(sound.c_str(), window, kBackgroundMessage);
    player->StartSlideSound(folder.Path("none").c_str(), window, kSlideMessage);
    player->ShowSlide("a.jpg", window);
    player->Reset();
    EXPECT_TRUE(player->BackgroundPending());
    EXPECT_FALSE(player->SlideSoundFinished());
    EXPECT_EQ(media.LiveGraphs(), 0);
    EXPECT_EQ(media.LiveSoundDevices(), 0);
}

}  // namespace
