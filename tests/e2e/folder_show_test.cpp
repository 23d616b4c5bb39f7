// A show made from a folder with one tarnpack command and played for real:
// the slides come in name order or in the order the photos were taken (one
// photo's EXIF date is older than its neighbours'), the slide's own sound
// and the tune are played from the extracted files, and nothing is left.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "screen_checks.h"
#include "support/exif_writer.h"
#include "virtual_screen.h"

namespace tarn::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kDelayMs = 2000;

struct Slide {
    const char* file;
    const char* exifDate;  // nullptr: none
    int width;
    int height;
    uint32_t colour;
    int tolerance;  // JPEG or H.264 colours come back near, not exact
};

// In name order. img10 was taken long before its neighbours; the clip has no
// date but its file's, today.
const Slide kSlides[] = {
    {"img1.jpg", "2019:06:01 10:00:00", 800, 600, 0xC83232, 12},
    {"img2.jpg", "2019:06:02 10:00:00", 640, 480, 0x3264C8, 12},
    {"img10.jpg", "2001:01:01 10:00:00", 900, 500, 0xE6C832, 12},
    {"img11.mp4", nullptr, 320, 240, 0x3CC85A, 24},
};

std::string Hex(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%06X", colour);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The names of the files under `folder` that some process has open now.
std::set<std::string> OpenFilesIn(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& process : fs::directory_iterator("/proc", error)) {
        std::error_code ignored;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", ignored)) {
            const fs::path target = fs::read_symlink(fd.path(), ignored);
            if (!ignored && target.parent_path() == folder) names.insert(target.filename().string());
        }
    }
    return names;
}

// Whether an extracted file of `entry` ("KTZ1234.tmp.img2.wav") is among
// `names`.
bool HasEntry(const std::set<std::string>& names, const std::string& entry) {
    for (const std::string& name : names) {
        if (name.size() > entry.size() && name.compare(name.size() - entry.size() - 1, std::string::npos, "." + entry) == 0) {
            return true;
        }
    }
    return false;
}

class FolderShow : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        work_ = std::string(TARN_BINARY_DIR) + "/tests/e2e/run-" + info->name();
        fs::remove_all(work_);
        folder_ = work_ + "/photos";
        temp_ = work_ + "/tmp";
        fs::create_directories(folder_);
        fs::create_directories(temp_);
        ASSERT_TRUE(MakeFolder()) << "could not make the photos; see " << work_ << "/make.log";
        ASSERT_TRUE(screen_.Start(kScreenWidth, kScreenHeight, work_ + "/xvfb.log"));
    }
    void TearDown() override { package_.Kill(SIGKILL); }

    bool FF(std::vector<std::string> arguments) {
        std::vector<std::string> argv{"ffmpeg", "-hide_banner", "-loglevel", "error", "-y"};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunToEnd(argv, 60000, {}, work_ + "/make.log") == 0;
    }

    bool MakeFolder() {
        for (const Slide& slide : kSlides) {
            const std::string source = "color=c=0x" + Hex(slide.colour) + ":s=" + std::to_string(slide.width) + "x" +
                                       std::to_string(slide.height);
            const std::string path = folder_ + "/" + slide.file;
            if (slide.exifDate == nullptr) {
                if (!FF({"-f", "lavfi", "-i", source + ":r=25:d=2", "-c:v", "libx264", "-pix_fmt", "yuv420p",
                         "-preset", "veryfast", path})) {
                    return false;
                }
                continue;
            }
            if (!FF({"-f", "lavfi", "-i", source, "-frames:v", "1", "-q:v", "2", path})) return false;
            const std::string photo = ReadFile(path);
            std::ofstream(path, std::ios::binary | std::ios::trunc) << tarn::test::WithExifDate(photo, slide.exifDate);
        }
        // img2's own sound, longer than its slide, and the tune.
        return FF({"-f", "lavfi", "-i", "sine=frequency=880:d=6", folder_ + "/img2.wav"}) &&
               FF({"-f", "lavfi", "-i", "sine=frequency=330:d=30", "-c:a", "libvorbis", folder_ + "/tune.ogg"}) &&
               static_cast<bool>(std::ofstream(folder_ + "/readme.txt") << "not a slide\n");
    }

    // One command packs the folder; the show then plays by itself.
    void PackAndPlay(const std::string& order) {
        const std::string package = work_ + "/show-" + order;
        const std::string log = work_ + "/tarnpack.log";
        ASSERT_EQ(RunToEnd({TARN_TARNPACK, "create", folder_, "-o", package, "--player", TARN_PLAYER, "--order",
                            order, "--delay", std::to_string(kDelayMs), "--music", folder_ + "/tune.ogg"},
                           60000, {}, log),
                  0)
            << ReadFile(log);
        EXPECT_NE(ReadFile(log).find("left out " + folder_ + "/readme.txt"), std::string::npos) << ReadFile(log);
        package_ = ChildProcess::Spawn({package}, {{"DISPLAY", screen_.Name()}, {"TMPDIR", temp_}},
                                       work_ + "/player.log");
        ASSERT_TRUE(package_.Started());
    }

    // The slide on screen (its index in kSlides), or -1.
    int Showing(const ws::Pixels& screen) {
        for (int i = 0; i < static_cast<int>(std::size(kSlides)); ++i) {
            const Slide& slide = kSlides[i];
            const Box box = FitRectangle(slide.width, slide.height, kScreenWidth, kScreenHeight);
            // The control bar may cover the top right corner at first.
            const Box bar{kScreenWidth - 128 - 20, 20, 128, 32};
            if (CheckSlide(screen, box, slide.colour, slide.tolerance, bar).empty()) return i;
        }
        return -1;
    }

    // Watches the show to its end: the slides in the order they came, and
    // the extracted files the player had open meanwhile.
    void Watch(std::vector<int>* seen, std::set<std::string>* opened) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        int code = -1;
        while (!package_.WaitFor(0, &code)) {
            ASSERT_LT(std::chrono::steady_clock::now(), until) << "the show did not end";
            const int slide = Showing(screen_.Capture());
            if (slide >= 0 && (seen->empty() || seen->back() != slide)) seen->push_back(slide);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            // Once the first slide is up, the extraction is over: an open
            // file is the player's.
            if (seen->empty()) continue;
            for (const std::string& name : OpenFilesIn(temp_)) opened->insert(name);
        }
        EXPECT_EQ(code, 0);
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(temp_)) {
            // The sound library's own runtime folder on a machine without
            // XDG_RUNTIME_DIR is not the show's.
            const std::string name = entry.path().filename().string();
            if (!(entry.is_directory() && name.rfind("pulse-", 0) == 0)) left.push_back(name);
        }
        EXPECT_TRUE(left.empty()) << "left in the temporary folder: " << ::testing::PrintToString(left);
        EXPECT_EQ(ReadFile(work_ + "/player.log"), "") << "the show says nothing";
    }

    std::string work_;
    std::string folder_;
    std::string temp_;
    VirtualScreen screen_;
    ChildProcess package_;
};

TEST_F(FolderShow, InNameOrderImg2ComesBeforeImg10) {
    PackAndPlay("name");
    std::vector<int> seen;
    std::set<std::string> opened;
    Watch(&seen, &opened);
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(HasEntry(opened, "tune.ogg")) << "the tune was never played; open: " << ::testing::PrintToString(opened);
    EXPECT_TRUE(HasEntry(opened, "img2.wav")) << "img2's sound was never played; open: "
                                          << ::testing::PrintToString(opened);
}

TEST_F(FolderShow, InDateOrderThePhotoTakenFirstComesFirst) {
    PackAndPlay("date");
    std::vector<int> seen;
    std::set<std::string> opened;
    Watch(&seen, &opened);
    EXPECT_EQ(seen, (std::vector<int>{2, 0, 1, 3}));
    EXPECT_TRUE(HasEntry(opened, "tune.ogg")) << "the tune was never played; open: " << ::testing::PrintToString(opened);
    EXPECT_TRUE(HasEntry(opened, "img2.wav")) << "img2's sound was never played; open: "
                                          << ::testing::PrintToString(opened);
}

}  // namespace
}  // namespace tarn::e2e
