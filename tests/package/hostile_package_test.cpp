// Malformed and hostile packages: each is refused, writes nothing outside the
// temporary folder and leaves nothing in it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "startup/package.h"
#include "startup/package_files.h"

namespace {

using namespace tarn::test;

struct HostileCase {
    const char* what;
    std::string bytes;
};

std::string ValidData() { return std::string("\x7f" "ELF-player", 11) + "[SLIDES]\r\n" + "picture"; }

std::vector<PackageEntry> ValidRecords() {
    return {Record(11, "player"), Record(10, "show.ini"), Record(7, "a.jpg")};
}

std::string WithRecord(size_t slot, const PackageEntry& record) {
    std::vector<PackageEntry> records = ValidRecords();
    records[slot] = record;
    return RawPackage(ValidData(), records, 3);
}

std::vector<HostileCase> Corpus() {
    std::vector<HostileCase> corpus;
    corpus.push_back({"an empty file", ""});
    corpus.push_back({"a file shorter than the trailer", "\x02\x00\x00"});
    corpus.push_back({"a plain program (count 0)", std::string("\x7f" "ELF", 4) + std::string(600, '\0')});
    corpus.push_back({"count 1", RawPackage("only", {Record(4, "player")}, 1)});
    corpus.push_back({"count -1", RawPackage(ValidData(), ValidRecords(), -1)});
    corpus.push_back({"count INT32_MIN", RawPackage(ValidData(), ValidRecords(), INT32_MIN)});
    corpus.push_back({"count INT32_MAX", RawPackage(ValidData(), ValidRecords(), INT32_MAX)});
    {
        std::vector<PackageEntry> records;
        std::string data;
        for (int i = 0; i < 100; ++i) {
            records.push_back(Record(1, "f" + std::to_string(i)));
            data += "x";
        }
        corpus.push_back({"count 100", RawPackage(data, records, 100)});
    }
    {
        std::string bytes(100, 'x');
        AppendInt32(bytes, 5);
        corpus.push_back({"a directory that starts before the file", bytes});
    }
    corpus.push_back({"a name with a folder", WithRecord(2, Record(7, "sub/a.jpg"))});
    corpus.push_back({"a name climbing out", WithRecord(2, Record(7, "../../outside/a.jpg"))});
    corpus.push_back({"an absolute name", WithRecord(2, Record(7, "/tmp/a.jpg"))});
    corpus.push_back({"a name with a backslash", WithRecord(2, Record(7, "..\\a.jpg"))});
    corpus.push_back({"the name ..", WithRecord(2, Record(7, ".."))});
    corpus.push_back({"the name .", WithRecord(2, Record(7, "."))});
    corpus.push_back({"an empty name", WithRecord(2, Record(7, ""))});
    corpus.push_back({"a name without NUL", WithRecord(2, Record(7, std::string(260, 'a')))});
    corpus.push_back({"a name with a line break", WithRecord(2, Record(7, "a.jpg\r\nCLEAN=0"))});
    corpus.push_back({"a bad name for the player", WithRecord(0, Record(11, "../player"))});
    corpus.push_back({"a bad name for the show description", WithRecord(1, Record(10, "x/show.ini"))});
    corpus.push_back({"a size of 2^31", WithRecord(2, Record(0x80000000u, "a.jpg"))});
    corpus.push_back({"a size of 2^32-1", WithRecord(2, Record(0xFFFFFFFFu, "a.jpg"))});
    corpus.push_back({"data shorter than the directory claims", WithRecord(2, Record(8, "a.jpg"))});
    corpus.push_back({"a player larger than the file", WithRecord(0, Record(100000, "player"))});
    {
        // Garbage between data and directory does not make up for missing data.
        std::vector<PackageEntry> records = ValidRecords();
        records[2].size = 7 + 264;
        corpus.push_back({"data claimed from the gap and the directory",
                          RawPackage(ValidData(), records, 3, std::string(100, 'g'))});
    }
    return corpus;
}

class HostilePackage : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&g_Show, 0, sizeof g_Show);
        ForgetPackageFiles();
        packagePath_ = scratch_.outside() + "/hostile.pkg";
    }
    // The extraction's holds on its files go before the folder does.
    void TearDown() override { ForgetPackageFiles(); }

    // Extracts `bytes` and checks that it was refused and left nothing.
    void ExpectRefused(const std::string& what, const std::string& bytes) {
        WriteBytes(packagePath_, bytes);
        EXPECT_EQ(ExtractPackageFrom(packagePath_.c_str()), 0) << what;
        EXPECT_TRUE(scratch_.TempNames().empty()) << what << ": left " << scratch_.TempNames().size();
        EXPECT_EQ(ScratchFolder::Names(scratch_.root()), (std::vector<std::string>{"outside", "tmp"}))
            << what;
        EXPECT_EQ(ScratchFolder::Names(scratch_.outside()), std::vector<std::string>{"hostile.pkg"})
            << what;
    }

    ScratchFolder scratch_;
    std::string packagePath_;
};

TEST_F(HostilePackage, TheValidBaseOfTheCorpusIsAccepted) {
    // The corpus changes one thing of this package at a time.
    WriteBytes(packagePath_, RawPackage(ValidData(), ValidRecords(), 3));
    ASSERT_EQ(ExtractPackageFrom(packagePath_.c_str()), 1);
    EXPECT_EQ(scratch_.TempNames().size(), 4u);
}

TEST_F(HostilePackage, EveryCaseOfTheCorpusIsRefusedAndLeavesNothing) {
    for (const HostileCase& hostile : Corpus()) ExpectRefused(hostile.what, hostile.bytes);
}

TEST_F(HostilePackage, AMissingPackageFileIsRefused) {
    EXPECT_EQ(ExtractPackageFrom((scratch_.outside() + "/absent.pkg").c_str()), 0);
    EXPECT_TRUE(scratch_.TempNames().empty());
}

TEST_F(HostilePackage, AnOutputPathLongerThanThePlatformAllowsIsRefusedNotCut) {
    // Folder + "/KTZxxxx.tmp." (at most 14) + name must stay below 260.
    std::string folder = scratch_.temp() + kSeparator + std::string(150, 'd');
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    setenv("TMPDIR", folder.c_str(), 1);
    const size_t room = 259 - folder.size() - 14;
    const std::string fits(room, 'n');
    const std::string tooLong(room + 5, 'n');

    WriteBytes(packagePath_, RawPackage(ValidData(), {Record(11, "player"), Record(10, "show.ini"),
                                                      Record(7, tooLong)}, 3));
    EXPECT_EQ(ExtractPackageFrom(packagePath_.c_str()), 0);
    EXPECT_TRUE(ScratchFolder::Names(folder).empty());

    WriteBytes(packagePath_, RawPackage(ValidData(), {Record(11, "player"), Record(10, "show.ini"),
                                                      Record(7, fits)}, 3));
    EXPECT_EQ(ExtractPackageFrom(packagePath_.c_str()), 1) << "the longest name that fits";
    EXPECT_EQ(ScratchFolder::Names(folder).size(), 4u);
}

#ifndef _WIN32
// Links planted under every possible name, a file size limit and signals
// are Linux's.
TEST(HostilePackageLinks, APlantedLinkIsNeverWrittenThrough) {
    ScratchFolder scratch(FastScratchBase());
    const std::string package = scratch.outside() + "/hostile.pkg";
    std::memset(&g_Show, 0, sizeof g_Show);
    ForgetPackageFiles();
    // Whatever decorator the extraction picks, the show description's name
    // beside it is already a link to a file outside.
    const std::string target = scratch.outside() + "/precious.txt";
    WriteBytes(target, "precious");
    for (unsigned number = 1; number <= 0xFFFF; ++number) {
        char name[64];
        std::snprintf(name, sizeof name, "/KTZ%X.tmp.show.ini", number);
        ASSERT_EQ(symlink(target.c_str(), (scratch.temp() + name).c_str()), 0);
    }
    WriteBytes(package, RawPackage(ValidData(), ValidRecords(), 3));
    EXPECT_EQ(ExtractPackageFrom(package.c_str()), 0);
    EXPECT_EQ(ReadBytes(target), "precious");
    // Only the planted links remain: the decorator and the player it wrote
    // before the refusal are gone.
    const std::vector<std::string> left = scratch.TempNames();
    EXPECT_EQ(left.size(), 0xFFFFu);
    for (const std::string& name : left) {
        ASSERT_TRUE(name.size() > 13 && name.compare(name.size() - 13, 13, ".tmp.show.ini") == 0)
            << name;
    }
}

TEST_F(HostilePackage, AWriteThatFailsPartWayIsNotReportedAsSuccess) {
    // A file size limit stands in for a full disk: writes past it fail.
    const std::vector<PackageItem> items{{"player", Placeholder(1000, 1)},
                                         {"show.ini", "[SLIDES]\r\n"},
                                         {"big.jpg", Placeholder(300000, 2)},
                                         {"after.jpg", "after"}};
    WriteBytes(packagePath_, BuildPackage(items));
    struct rlimit previous {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = 100000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int result = ExtractPackageFrom(packagePath_.c_str());
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, 0);
    EXPECT_TRUE(scratch_.TempNames().empty());
}

TEST_F(HostilePackage, ATerminationSignalStopsTheExtractionAndLeavesNothing) {
    const std::string bytes = BuildPackage(SampleItems());
    WriteBytes(packagePath_, bytes);
    // In a child process: a caught signal stays recorded for its lifetime.
    EXPECT_EXIT(
        {
            const int first = ExtractPackageFrom(packagePath_.c_str());  // starts catching
            DeletePackageFiles(nullptr);
            std::raise(SIGTERM);  // caught: the process goes on, but extraction stops
            const int second = ExtractPackageFrom(packagePath_.c_str());
            const bool empty = scratch_.TempNames().empty();
            std::_Exit(first == 1 && second == 0 && empty ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
