// A package's road on Windows' own kernel and profile functions:
// extraction into the temporary folder, the rewrite, the player's clean-up
// and the package process's.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "kernel/scratch_folder.h"
#include "platform/win32.h"
#include "show/cleanup.h"
#include "show/show_record.h"
#include "startup/launch.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using tarn::test::Exists;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

struct Item {
    std::string name;
    std::string data;
};

// The items back to back, their records in reverse order, then the count.
std::string BuildPackage(const std::vector<Item>& items) {
    std::string package;
    for (const Item& item : items) package += item.data;
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        PackageEntry record{};
        record.size = static_cast<uint32_t>(item->data.size());
        std::memcpy(record.name, item->name.c_str(), item->name.size());
        package.append(reinterpret_cast<const char*>(&record), sizeof record);
    }
    const int32_t count = static_cast<int32_t>(items.size());
    package.append(reinterpret_cast<const char*>(&count), sizeof count);
    return package;
}

std::string Value(const char* section, const char* key) {
    char value[MAX_PATH];
    GetPrivateProfileStringA(section, key, "<absent>", value, sizeof value,
                             g_Show.ShowDescriptionPath);
    return value;
}

class PackageOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        LoadDefaultPaths();
        ForgetPackageFiles();
        WriteBytes(package, BuildPackage({{"tarnplayer.exe", player},
                                          {"show.ini", description},
                                          {"a.jpg", "picture a"},
                                          {"s.wav", "sound"},
                                          {"b.jpg", "picture b"}}));
    }
    void TearDown() override { ForgetPackageFiles(); }

    std::string Extracted(const std::string& name) const {
        return std::string(g_Show.TempFileDecorator) + "." + name;
    }

    ScratchFolder outside;
    ScratchFolder scratch;  // made last: the temporary folder while the test runs
    const std::string package = outside / "show.exe";
    const std::string player = "MZ" + std::string(70000, 'p');
    const std::string description =
        "[OPTIONS]\r\nAdvanceMethod=2\r\nBackgroundSound=\r\n"
        "DelayBetweenSlidesInMilliseconds=3000\r\n\r\n"
        "[SLIDES]\r\nCount=2\r\nImage1000=a.jpg\r\nSound1000=s.wav\r\nImage1001=b.jpg\r\n";
};

TEST_F(PackageOnWindows, ExtractsBesideAFreshDecoratorInTheTemporaryFolder) {
    ASSERT_EQ(ExtractPackageFrom(package.c_str()), 1);
    char folder[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof folder, folder), 0u);
    const std::string decorator = g_Show.TempFileDecorator;
    ASSERT_EQ(decorator.rfind(std::string(folder) + "KTZ", 0), 0u) << decorator;
    EXPECT_EQ(decorator.substr(decorator.size() - 4), ".tmp");
    EXPECT_EQ(ReadBytes(decorator), "");
    EXPECT_EQ(std::string(g_Show.PlayerPath), Extracted("tarnplayer.exe"));
    EXPECT_EQ(std::string(g_Show.ShowDescriptionPath), Extracted("show.ini"));
    EXPECT_EQ(ReadBytes(Extracted("tarnplayer.exe")), player);
    EXPECT_EQ(ReadBytes(Extracted("b.jpg")), "picture b");
}

TEST_F(PackageOnWindows, RewriteNamesTheExtractedFilesThroughTheProfileFunctions) {
    ASSERT_EQ(ExtractPackageFrom(package.c_str()), 1);
    EXPECT_EQ(RewriteShowDescription(), 1);
    EXPECT_EQ(Value("OPTIONS", "TempFileDecorator"), g_Show.TempFileDecorator);
    EXPECT_EQ(Value("OPTIONS", "BackgroundSound"), "");
    EXPECT_EQ(Value("SLIDES", "Image1000"), Extracted("a.jpg"));
    EXPECT_EQ(Value("SLIDES", "Sound1000"), Extracted("s.wav"));
    EXPECT_EQ(Value("SLIDES", "Image1001"), Extracted("b.jpg"));
    EXPECT_EQ(Value("SLIDES", "Sound1001"), "<absent>");
    EXPECT_EQ(Value("options", "advancemethod"), "2");  // names match in any case
}

TEST_F(PackageOnWindows, ThePlayersCleanUpLeavesOnlyThePlayerCopy) {
    ASSERT_EQ(ExtractPackageFrom(package.c_str()), 1);
    RewriteShowDescription();
    const std::string exe = g_Show.PlayerPath;
    ReadShowSettings();
    ReadBackgroundSound();
    EXPECT_EQ(g_Show.Count, 2);
    EXPECT_EQ(g_Show.DelayBetweenSlidesInMilliseconds, 3000);
    CleanUpShowFiles();
    // A deleted name lasts while another handle is open: the package
    // process lets go of its own, as it does when it ends.
    ForgetPackageFiles();
    EXPECT_EQ(scratch.Names(), std::vector<std::string>{exe.substr(exe.find_last_of('\\') + 1)});
}

TEST_F(PackageOnWindows, ThePackageProcessDeletesEverythingItMade) {
    ASSERT_EQ(ExtractPackageFrom(package.c_str()), 1);
    RewriteShowDescription();
    EXPECT_EQ(scratch.Names().size(), 6u);
    DeletePackageFiles(nullptr);
    EXPECT_TRUE(scratch.Names().empty());
    EXPECT_TRUE(Exists(package));
}

}  // namespace
