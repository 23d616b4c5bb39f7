// The loader and the jumps behind the player executable's SDL and FFmpeg
// functions, in a program linked like the player: against the jumps, not
// the libraries. Each case runs in a process of its own (a fresh re-run of
// this program), since loading cannot be undone.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <latch>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include "platform/lazy/lazy_libraries.h"
#include "platform/lazy/player_libraries.h"

namespace tarn::lazy {
namespace {

// The process's mappings that belong to a file whose name starts with `name`.
bool Mapped(const std::string& name) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        const size_t slash = line.rfind('/');
        if (slash != std::string::npos && line.compare(slash + 1, name.size(), name) == 0) return true;
    }
    return false;
}

const std::vector<std::string> kLibraryNames = {"libSDL2", "libavutil", "libavcodec",
                                                "libavformat", "libswscale", "libswresample"};

std::string AnyMapped() {
    for (const std::string& name : kLibraryNames)
        if (Mapped(name)) return name;
    return "";
}

// Runs `check` in a new process of this program; it returns what went wrong,
// or nothing.
void InFreshProcess(const std::function<std::string()>& check) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::string why = check();
            if (!why.empty()) std::fprintf(stderr, "%s\n", why.c_str());
            std::fflush(stderr);
            std::_Exit(why.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Two ARGB pixels to ABGR, through SDL: eight arguments, two on the stack.
std::string ConvertTwoPixels() {
    const uint32_t source[2] = {0xFF112233u, 0x80A0B0C0u};
    uint32_t target[2] = {0, 0};
    if (SDL_ConvertPixels(2, 1, SDL_PIXELFORMAT_ARGB8888, source, 8, SDL_PIXELFORMAT_ABGR8888, target, 8) != 0)
        return "SDL_ConvertPixels failed";
    if (target[0] != 0xFF332211u || target[1] != 0x80C0B0A0u) {
        char text[96];
        std::snprintf(text, sizeof text, "SDL_ConvertPixels gave %08X %08X", target[0], target[1]);
        return text;
    }
    return "";
}

std::string FindDecoders() {
    const AVCodec* mjpeg = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (mjpeg == nullptr || std::strcmp(mjpeg->name, "mjpeg") != 0) return "no mjpeg decoder";
    if (h264 == nullptr || std::strcmp(h264->name, "h264") != 0) return "no h264 decoder";
    return "";
}

std::string CompareLayouts() {
    AVChannelLayout stereo{}, mono{}, copy{};
    av_channel_layout_default(&stereo, 2);
    av_channel_layout_default(&mono, 1);
    if (av_channel_layout_copy(&copy, &stereo) != 0) return "av_channel_layout_copy failed";
    const bool right = stereo.nb_channels == 2 && av_channel_layout_compare(&copy, &stereo) == 0 &&
                       av_channel_layout_compare(&mono, &stereo) != 0;
    av_channel_layout_uninit(&copy);
    return right ? "" : "channel layouts compare wrongly";
}

// A 2 x 2 grey picture to 4 x 4 RGBA through libswscale: ten arguments.
std::string ScaleGrey() {
    SwsContext* context =
        sws_getContext(2, 2, AV_PIX_FMT_GRAY8, 4, 4, AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr);
    if (context == nullptr) return "sws_getContext failed";
    alignas(16) uint8_t grey[2 * 16] = {};
    std::memset(grey, 0x70, sizeof grey);
    alignas(16) uint8_t rgba[4 * 16] = {};
    const uint8_t* sourceRows[1] = {grey};
    const int sourceStrides[1] = {16};
    uint8_t* targetRows[1] = {rgba};
    const int targetStrides[1] = {16};
    const int rows = sws_scale(context, sourceRows, sourceStrides, 0, 2, targetRows, targetStrides);
    sws_freeContext(context);
    if (rows != 4) return "sws_scale wrote " + std::to_string(rows) + " rows";
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            for (int c = 0; c < 3; ++c)
                if (rgba[y * 16 + x * 4 + c] != 0x70) return "sws_scale gave a wrong pixel";
    return "";
}

TEST(LazyLibraries, NoneIsMappedBeforeTheLoadAndEveryOneAfter) {
    InFreshProcess([]() -> std::string {
        if (const std::string early = AnyMapped(); !early.empty()) return early + " mapped before the load";
        if (LibrariesLoaded()) return "loaded before the load";
        if (!LoadPlayerLibraries()) return "the load failed";
        for (const std::string& name : kLibraryNames)
            if (!Mapped(name)) return name + " not mapped after the load";
        if (!LibrariesLoaded() || !LoadPlayerLibraries()) return "a second load failed";
        for (const std::string& why : {ConvertTwoPixels(), FindDecoders(), CompareLayouts(), ScaleGrey()})
            if (!why.empty()) return why;
        return "";
    });
}

// The display libraries first: SDL and libswscale work, the codec and format
// libraries stay unmapped until the first call of one of their functions
// loads them, or the rest is loaded.
TEST(LazyLibraries, TheDisplayLibrariesLoadAloneAndAFirstCallLoadsTheRest) {
    InFreshProcess([]() -> std::string {
        if (!LoadPlayerDisplayLibraries()) return "the display load failed";
        for (const char* name : {"libSDL2", "libavutil", "libswscale"})
            if (!Mapped(name)) return std::string(name) + " not mapped after the display load";
        for (const char* name : {"libavcodec", "libavformat", "libswresample"})
            if (Mapped(name)) return std::string(name) + " mapped by the display load";
        if (LibrariesLoaded() || !LibrariesLoaded(kDisplayLibraries)) return "wrong loaded state";
        for (const std::string& why : {ConvertTwoPixels(), ScaleGrey()})
            if (!why.empty()) return why;
        if (Mapped("libavcodec")) return "SDL or libswscale loaded libavcodec";
        if (const std::string why = FindDecoders(); !why.empty()) return why;
        if (!LibrariesLoaded() || !Mapped("libavformat")) return "the first codec call did not load the rest";
        FinishLoadingPlayerLibraries();  // nothing left: returns at once
        return CompareLayouts();
    });
}

// A function called before the load loads the libraries itself and gets
// its arguments as they were, those on the stack included.
TEST(LazyLibraries, AFirstCallBeforeTheLoadLoadsThemAndKeepsItsArguments) {
    InFreshProcess([]() -> std::string {
        if (const std::string early = AnyMapped(); !early.empty()) return early + " mapped before the call";
        if (const std::string why = ConvertTwoPixels(); !why.empty()) return why;
        if (!LibrariesLoaded() || !Mapped("libSDL2") || !Mapped("libavformat")) return "the call loaded nothing";
        return ScaleGrey();
    });
}

TEST(LazyLibraries, FirstCallsFromSeveralThreadsAtOnceAllReachTheLibraries) {
    InFreshProcess([]() -> std::string {
        const std::vector<std::function<std::string()>> calls = {ConvertTwoPixels, FindDecoders, CompareLayouts,
                                                                  ScaleGrey};
        std::vector<std::string> results(calls.size());
        std::latch start(static_cast<std::ptrdiff_t>(calls.size()));
        std::vector<std::thread> threads;
        for (size_t k = 0; k < calls.size(); ++k) {
            threads.emplace_back([&, k] {
                start.arrive_and_wait();
                results[k] = calls[k]();
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (const std::string& why : results)
            if (!why.empty()) return why;
        return "";
    });
}

// All or nothing: a library that does not open, or one that lacks the
// functions asked of it, leaves nothing loaded, and a later load succeeds.
TEST(LazyLibraries, AFailedLoadLeavesNothingLoadedAndCanBeRetried) {
    InFreshProcess([]() -> std::string {
        Sonames missing = CompiledSonames();
        missing[static_cast<size_t>(Library::SwResample)] = "libtarn-no-such-library.so.0";
        LoadFailure failure;
        if (LoadLibraries(missing, kAllLibraries, &failure)) return "a missing library loaded";
        if (LibrariesLoaded()) return "loaded after a missing library";
        // The failure names the library that did not open, and its package.
        const std::string package = LibraryPackage(Library::SwResample);
        if (package.rfind("libswresample", 0) != 0) return "the resampling library's package is " + package;
        const std::string said = DescribeLoadFailure(missing, failure);
        if (said != "cannot load libtarn-no-such-library.so.0 (install " + package + ")") return "said: " + said;

        // libavutil opens in SDL's place but has none of SDL's functions.
        Sonames swapped = CompiledSonames();
        std::swap(swapped[static_cast<size_t>(Library::Sdl)], swapped[static_cast<size_t>(Library::AvUtil)]);
        failure = LoadFailure{};
        if (LoadLibraries(swapped, kAllLibraries, &failure)) return "libraries lacking the functions loaded";
        if (LibrariesLoaded()) return "loaded after a library lacked its functions";
        if (failure.library != Library::Sdl || failure.missingFunction == nullptr ||
            std::string(failure.missingFunction).rfind("SDL_", 0) != 0) {
            return "the failure named the wrong library or function";
        }
        const std::string lacking = DescribeLoadFailure(swapped, failure);
        if (lacking != "cannot load " + std::string(swapped[0]) + ": it lacks " + failure.missingFunction +
                           " (install " + LibraryPackage(Library::Sdl) + ")") {
            return "said: " + lacking;
        }
        if (Mapped("libSDL2")) return "libSDL2 left mapped by the failed loads";

        if (!LoadPlayerLibraries()) return "the retry failed";
        return FindDecoders();
    });
}

}  // namespace
}  // namespace tarn::lazy
