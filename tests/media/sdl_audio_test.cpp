// The real audio edge: SDL's disk driver writes what the device plays, so
// the mixed output of a tone can be read back; and with no device at all the
// keep-alive is absent while sounds still end on time.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/graph.h"
#include "media/media_fixtures.h"
#include "media/media_test_support.h"
#include "platform/media/audio_output.h"
#include "platform/media/sdl_audio.h"

namespace {

namespace tm = tarn::media;
using tm::ComPtr;

ComPtr<tm::IGraphBuilder> PlayFile(const std::string& path) {
    ComPtr<tm::IGraphBuilder> graph;
    EXPECT_EQ(tm::CoCreateInstance(tm::CLSID_FilterGraph, nullptr, tm::CLSCTX_INPROC_SERVER,
                                   tm::IID_IGraphBuilder, graph.PutVoid()),
              S_OK);
    std::u16string wide(path.size() + 1, u'\0');
    tm::AnsiToWide(path.c_str(), wide.data(), static_cast<int>(wide.size()));
    EXPECT_EQ(graph->RenderFile(wide.c_str(), nullptr), S_OK);
    tm::Query<tm::IMediaControl>(graph)->Run();
    return graph;
}

// Waits (in real time: these outputs run on the real clock) for the graph's
// completion; returns the seconds it took, or a negative value.
double SecondsToCompletion(const ComPtr<tm::IGraphBuilder>& graph) {
    auto events = tm::Query<tm::IMediaEventEx>(graph);
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (events->GetEvent(&code, &p1, &p2, 0) == S_OK && code == tm::EC_COMPLETE)
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return -1;
}

// Strength of `hertz` in a mono signal, by the Goertzel recurrence.
double Strength(const std::vector<float>& signal, double hertz, double rate) {
    const double k = 2 * std::cos(2 * M_PI * hertz / rate);
    double s1 = 0, s2 = 0;
    for (float x : signal) {
        const double s0 = x + k * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return std::sqrt(s1 * s1 + s2 * s2 - k * s1 * s2) / static_cast<double>(signal.size());
}

TEST(SdlAudio, WithoutADeviceThereIsNoKeepAliveButSoundsStillEndOnTime) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_FALSE(tm::StartSdlAudio());
    EXPECT_FALSE(tm::CurrentAudioOutput()->IsDevice());
    ComPtr<tm::IDirectSound> sound;
    EXPECT_EQ(tm::DirectSoundCreate(nullptr, sound.Put(), nullptr), tm::DSERR_NODRIVER);
    EXPECT_FALSE(sound);

    auto graph = PlayFile(media_test::ToneFixture("tone300.wav", 0.3));
    const double took = SecondsToCompletion(graph);
    EXPECT_GE(took, 0.25);
    EXPECT_LT(took, 2.0);
}

TEST(SdlAudio, TheDiskDriverReceivesTheMixedTone) {
    media_test::TempFolder folder;
    const std::string written = folder.Path("device.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", written.c_str(), 1);
    ASSERT_TRUE(tm::StartSdlAudio());
    ASSERT_TRUE(tm::CurrentAudioOutput()->IsDevice());
    {
        ComPtr<tm::IDirectSound> sound;
        EXPECT_EQ(tm::DirectSoundCreate(nullptr, sound.Put(), nullptr), S_OK) << "the keep-alive";
        auto graph = PlayFile(media_test::ToneFixture("tone1k.wav", 0.4, 1000));
        EXPECT_GT(SecondsToCompletion(graph), 0.3);
    }
    tm::StopSdlAudio();
    EXPECT_FALSE(tm::CurrentAudioOutput()->IsDevice());

    const std::string bytes = media_test::ReadBytes(written);
    const size_t frames = bytes.size() / (2 * sizeof(float));
    ASSERT_GT(frames, 48000u * 3 / 10) << "at least the tone's length was written";
    std::vector<float> left(frames);
    for (size_t i = 0; i < frames; ++i) std::memcpy(&left[i], bytes.data() + i * 8, sizeof(float));
    float peak = 0;
    for (float s : left) peak = std::max(peak, std::abs(s));
    EXPECT_NEAR(peak, 0.125f, 0.02f) << "ffmpeg's sine has amplitude 1/8";
    const double tone = Strength(left, 1000, 48000);
    const double elsewhere = Strength(left, 1700, 48000);
    EXPECT_GT(tone, 20 * elsewhere) << "the 1 kHz tone dominates what was played";
}

}  // namespace
