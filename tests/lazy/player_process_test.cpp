// The real player executable: it names neither SDL, FFmpeg nor libjpeg
// among its libraries, its package process never loads them while the player it
// started does, a player whose media libraries cannot be loaded says which
// and fails, and the sound library leaves nothing in the temporary folder.
// Played on a private X server.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/version.h>
}

#include "e2e/child_process.h"
#include "e2e/virtual_screen.h"
#include "package/package_builder.h"

namespace tarn {
namespace {

namespace fs = std::filesystem;
using e2e::ChildProcess;
using e2e::VirtualScreen;

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
constexpr uint32_t kSlideColour = 0x3CA064;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Lines naming one of `names`.
std::vector<std::string> LibraryLines(const std::string& text, std::initializer_list<const char*> names) {
    std::vector<std::string> found;
    for (const std::string& line : Lines(text)) {
        for (const char* name : names) {
            if (line.find(name) != std::string::npos) {
                found.push_back(line);
                break;
            }
        }
    }
    return found;
}

// What a package process may load to decode the first slide's JPEG for its
// player: libavutil and libswscale, which scale it. Never SDL, the codec,
// format or resampling libraries.
std::vector<std::string> PlayerOnlyLibraryLines(const std::string& text) {
    return LibraryLines(text, {"libSDL2", "libavcodec", "libavformat", "libswresample"});
}

// The output of a command line, or empty when it failed.
std::string CommandOutput(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return "";
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
    return out;
}

// Lines naming SDL, an FFmpeg library or libjpeg.
std::vector<std::string> MediaLibraryLines(const std::string& text) {
    return LibraryLines(text,
                        {"libSDL2", "libavutil", "libavcodec", "libavformat", "libswscale", "libswresample", "libjpeg"});
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

bool ShowsSlide(const ws::Pixels& screen) {
    if (screen.width != kScreenWidth || screen.height != kScreenHeight) return false;
    for (const auto& [x, y] : {std::pair{kScreenWidth / 2, kScreenHeight / 2}, std::pair{40, kScreenHeight - 40}}) {
        if (!Near(screen.At(x, y) & 0xFFFFFF, kSlideColour, 12)) return false;
    }
    return true;
}

// Without any of them the dynamic loader would refuse to start it, with a
// message of its own; the player says which library is missing instead.
TEST(PlayerExecutable, NamesNeitherSdlFfmpegNorLibjpegAmongItsLibraries) {
    const std::string dynamic = CommandOutput(std::string("readelf -d -W ") + TARN_PLAYER);
    ASSERT_NE(dynamic.find("Shared library: [libc.so.6]"), std::string::npos) << "readelf said:\n" << dynamic;
    EXPECT_EQ(MediaLibraryLines(dynamic), std::vector<std::string>{});

    // Nor does it import or export any of their functions.
    const std::string symbols = CommandOutput(std::string("readelf --dyn-syms -W ") + TARN_PLAYER);
    ASSERT_NE(symbols.find("GLIBC_"), std::string::npos) << "readelf said:\n" << symbols;
    for (const std::string& line : Lines(symbols)) {
        for (const char* prefix : {" SDL_", " av_", " avcodec_", " avformat_", " sws_", " swr_", " jpeg_"})
            EXPECT_EQ(line.find(prefix), std::string::npos) << line;
    }
}

class PlayerProcess : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = std::string(TARN_BINARY_DIR) + "/tests/lazy/run-" + info->name();
        fs::remove_all(work_);
        fs::create_directories(work_ + "/tmp");
        char colour[32];
        std::snprintf(colour, sizeof colour, "color=c=0x%06X:s=800x600", kSlideColour);
        ASSERT_EQ(e2e::RunToEnd({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", colour,
                                 "-frames:v", "1", "-q:v", "2", work_ + "/slide.jpg"},
                                60000, {}, work_ + "/make.log"),
                  0)
            << "ffmpeg could not make the slide; see " << work_ << "/make.log";
        slide_ = ReadAll(work_ + "/slide.jpg");
        ASSERT_TRUE(screen_.Start(kScreenWidth, kScreenHeight, work_ + "/xvfb.log"));
    }

    void TearDown() override { process_.Kill(SIGKILL); }

    // One slide, shown until a key ends the show.
    static std::string ShowDescription(const std::string& slide) {
        return "[OPTIONS]\r\nAdvanceMethod=0\r\nShowSplash=0\r\n\r\n[SLIDES]\r\nCount=1\r\n"
               "Image1000=" + slide + "\r\nSound1000=\r\n";
    }

    bool WaitForSlide(int timeoutMs) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < until) {
            if (ShowsSlide(screen_.Capture())) return true;
            if (!process_.Running()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return false;
    }

    std::string Said() { return ReadAll(work_ + "/output.log"); }

    std::string work_;
    std::string slide_;
    VirtualScreen screen_;
    ChildProcess process_;
};

// The package process copies files, decodes the first slide's JPEG for its
// player and waits: SDL and the codec and format libraries are loaded by the
// player it starts, by dlopen, and never by the package process, neither
// while it waits nor when it ends.
TEST_F(PlayerProcess, OnlyThePlayerAPackageStartsLoadsSdlAndTheCodecLibraries) {
    const std::string package = work_ + "/show-package";
    test::WriteBytes(package, test::BuildPackage({{"tarnplayer", ReadAll(TARN_PLAYER)},
                                                  {"show.ini", ShowDescription("a.jpg")},
                                                  {"a.jpg", slide_}}));
    ASSERT_EQ(chmod(package.c_str(), 0755), 0);
    // The dynamic loader writes what each process loads to ld.<pid>.
    process_ = ChildProcess::Spawn({package},
                                   {{"DISPLAY", screen_.Name()},
                                    {"TMPDIR", work_ + "/tmp"},
                                    {"LD_DEBUG", "files"},
                                    {"LD_DEBUG_OUTPUT", work_ + "/ld"}},
                                   work_ + "/output.log");
    ASSERT_TRUE(process_.Started());
    ASSERT_TRUE(WaitForSlide(20000)) << "the slide never showed";

    const std::string packagePid = std::to_string(process_.Pid());
    const std::vector<std::string> children =
        Lines(ReadAll("/proc/" + packagePid + "/task/" + packagePid + "/children"));
    ASSERT_EQ(children.size(), 1u);
    const std::string playerPid = children[0].substr(0, children[0].find(' '));

    const std::string packageMaps = ReadAll("/proc/" + packagePid + "/maps");
    ASSERT_NE(packageMaps.find("/libc.so.6"), std::string::npos) << packageMaps;
    EXPECT_EQ(PlayerOnlyLibraryLines(packageMaps), std::vector<std::string>{});
    // The codec libraries follow once the first slide is on screen.
    std::string playerMaps;
    for (int tries = 0; tries < 500; ++tries) {
        playerMaps = ReadAll("/proc/" + playerPid + "/maps");
        if (playerMaps.find("/libavcodec.so.") != std::string::npos &&
            playerMaps.find("/libavformat.so.") != std::string::npos) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(playerMaps.find("/libSDL2-2.0.so.0"), std::string::npos);
    EXPECT_NE(playerMaps.find("/libavcodec.so."), std::string::npos);
    EXPECT_NE(playerMaps.find("/libavformat.so."), std::string::npos);

    ASSERT_TRUE(screen_.Key("Escape"));
    int code = -1;
    ASSERT_TRUE(process_.WaitFor(10000, &code)) << "the package process did not end";
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Said(), "");

    const std::string packageLoads = ReadAll(work_ + "/ld." + packagePid);
    ASSERT_NE(packageLoads.find("file=libjpeg.so"), std::string::npos) << "no loader log of the package process";
    EXPECT_EQ(PlayerOnlyLibraryLines(packageLoads), std::vector<std::string>{});
    const std::string playerLoads = ReadAll(work_ + "/ld." + playerPid);
    bool sdlOpened = false;
    for (const std::string& line : Lines(playerLoads)) {
        if (line.find("file=libSDL2-2.0.so.0") != std::string::npos &&
            line.find("dynamically loaded by") != std::string::npos)
            sdlOpened = true;
    }
    EXPECT_TRUE(sdlOpened) << "the player did not dlopen SDL:\n" << ::testing::PrintToString(MediaLibraryLines(playerLoads));
}

// A damaged FFmpeg library in the player's library path: the player cannot
// load its media libraries and ends with status 1 and one line naming the
// library and the package that brings it (a JPEG slide needs no codec
// library, so it may first show it; the libraries are loaded right after).
// The same show with the libraries intact plays and waits for its key.
TEST_F(PlayerProcess, APlayerWhoseMediaLibrariesDoNotLoadSaysWhichAndFails) {
    const std::string damaged = work_ + "/damaged-libraries";
    fs::create_directories(damaged);
    const std::string codec = "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR);
    test::WriteBytes(damaged + "/" + codec, "not a shared library\n");
    auto writeShow = [&] {
        test::WriteBytes(work_ + "/show.ini", ShowDescription(work_ + "/a.jpg"));
        test::WriteBytes(work_ + "/a.jpg", slide_);
    };

    writeShow();
    process_ = ChildProcess::Spawn({TARN_PLAYER, work_ + "/show.ini"},
                                   {{"DISPLAY", screen_.Name()}, {"TMPDIR", work_ + "/tmp"}},
                                   work_ + "/output.log");
    ASSERT_TRUE(WaitForSlide(20000)) << "the intact player never showed the slide";
    ASSERT_TRUE(screen_.Key("Escape"));
    int code = -1;
    ASSERT_TRUE(process_.WaitFor(10000, &code));
    ASSERT_EQ(code, 0);
    ASSERT_EQ(Said(), "");

    writeShow();
    process_ = ChildProcess::Spawn({TARN_PLAYER, work_ + "/show.ini"},
                                   {{"DISPLAY", screen_.Name()},
                                    {"TMPDIR", work_ + "/tmp"},
                                    {"LD_LIBRARY_PATH", damaged}},
                                   work_ + "/output.log");
    ASSERT_TRUE(process_.WaitFor(10000, &code)) << "the player went on without its media libraries";
    EXPECT_EQ(code, 1);
    EXPECT_EQ(Said(), "tarnplayer: cannot load " + codec + " (install libavcodec" +
                          std::to_string(LIBAVCODEC_VERSION_MAJOR) + ")\n");
}

// SDL or libjpeg hidden from a package's player: the player says which
// before it opens any window, and the package process, which also looks for
// libjpeg to decode the first slide ahead, passes the status on without a
// word of its own, leaving nothing in the temporary folder.
TEST_F(PlayerProcess, APackageWhosePlayerLacksALibraryPassesItsStatusAndLineOn) {
    const std::string package = work_ + "/show-package";
    test::WriteBytes(package, test::BuildPackage({{"tarnplayer", ReadAll(TARN_PLAYER)},
                                                  {"show.ini", ShowDescription("a.jpg")},
                                                  {"a.jpg", slide_}}));
    ASSERT_EQ(chmod(package.c_str(), 0755), 0);
    const std::pair<std::string, std::string> libraries[] = {{"libSDL2-2.0.so.0", "libsdl2-2.0-0"},
                                                             {"libjpeg.so.62", "libjpeg62-turbo"}};
    for (const auto& [soname, debianPackage] : libraries) {
        const std::string hidden = work_ + "/stand-ins-" + soname;
        fs::create_directories(hidden);
        test::WriteBytes(hidden + "/" + soname, "");
        fs::remove(work_ + "/output.log");
        process_ = ChildProcess::Spawn(
            {package}, {{"DISPLAY", screen_.Name()}, {"TMPDIR", work_ + "/tmp"}, {"LD_LIBRARY_PATH", hidden}},
            work_ + "/output.log");
        int code = -1;
        ASSERT_TRUE(process_.WaitFor(20000, &code)) << "the package went on without " << soname;
        EXPECT_EQ(code, 1) << soname;
        EXPECT_EQ(Said(), "tarnplayer: cannot load " + soname + " (install " + debianPackage + ")\n");
        EXPECT_TRUE(fs::is_empty(work_ + "/tmp")) << soname;
    }
}

// Without a runtime folder (a fresh root, a su session), the sound library
// makes a "pulse-..." folder in the temporary folder while it looks for a
// sound server, and a link to it in the user's settings. A show leaves
// neither behind.
TEST_F(PlayerProcess, NothingOfTheSoundLibraryStaysInTheTemporaryFolder) {
    const std::string home = work_ + "/home";
    fs::create_directories(home);
    const std::string package = work_ + "/show-package";
    test::WriteBytes(package, test::BuildPackage({{"tarnplayer", ReadAll(TARN_PLAYER)},
                                                  {"show.ini", ShowDescription("a.jpg")},
                                                  {"a.jpg", slide_}}));
    ASSERT_EQ(chmod(package.c_str(), 0755), 0);
    // Empty values remove the variables: SDL then tries the PulseAudio
    // library first, as on a desktop.
    process_ = ChildProcess::Spawn({package},
                                   {{"DISPLAY", screen_.Name()},
                                    {"TMPDIR", work_ + "/tmp"},
                                    {"HOME", home},
                                    {"XDG_RUNTIME_DIR", ""},
                                    {"XDG_CONFIG_HOME", ""},
                                    {"PULSE_RUNTIME_PATH", ""},
                                    {"PULSE_SERVER", ""},
                                    {"SDL_AUDIODRIVER", ""}},
                                   work_ + "/output.log");
    ASSERT_TRUE(WaitForSlide(20000)) << "the slide never showed";
    ASSERT_TRUE(screen_.Key("Escape"));
    int code = -1;
    ASSERT_TRUE(process_.WaitFor(10000, &code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Said(), "");
    // The library did run its fallback: it made its settings folder.
    ASSERT_TRUE(fs::is_directory(home + "/.config/pulse")) << "the sound library was not asked for a server";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(work_ + "/tmp")) left.push_back(entry.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{});
    for (const auto& entry : fs::directory_iterator(home + "/.config/pulse")) {
        EXPECT_FALSE(entry.is_symlink()) << "a link into the removed folder stays: " << entry.path();
    }
}

}  // namespace
}  // namespace tarn
