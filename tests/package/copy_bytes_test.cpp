// CopyBytes: chunked, forward-only copying of one entry.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "package/package_builder.h"
#include "package/scratch_folder.h"
#include "startup/package.h"

namespace {

using namespace tarn::test;

class CopyBytesTest : public ::testing::Test {
protected:
    // Shared for reading, so that the test can look at a file while it is
    // open (Windows refuses a second opening otherwise).
    HANDLE Open(const std::string& path, DWORD access, DWORD disposition) {
        HANDLE handle = CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(handle, INVALID_HANDLE_VALUE) << path;
        opened_.push_back(handle);
        return handle;
    }
    void TearDown() override {
        for (HANDLE handle : opened_) CloseHandle(handle);
    }
    DWORD Position(HANDLE file) { return SetFilePointer(file, 0, nullptr, FILE_CURRENT); }

    ScratchFolder scratch_;
    std::string source_ = scratch_.outside() + "/source";
    std::string destination_ = scratch_.outside() + "/destination";
    std::vector<HANDLE> opened_;
};

TEST_F(CopyBytesTest, ConsecutiveCopiesTakeConsecutiveStretchesOfTheSource) {
    const std::string data = Placeholder(2 * 65536 + 5 + 70000, 7);
    WriteBytes(source_, data);
    HANDLE source = Open(source_, GENERIC_READ, OPEN_EXISTING);
    HANDLE first = Open(destination_, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    HANDLE second = Open(destination_ + "2", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);

    EXPECT_EQ(CopyBytes(first, source, 2 * 65536 + 5), 1);
    EXPECT_EQ(Position(source), 2u * 65536 + 5);
    EXPECT_EQ(CopyBytes(second, source, 70000), 1);
    EXPECT_EQ(ReadBytes(destination_), data.substr(0, 2 * 65536 + 5));
    EXPECT_EQ(ReadBytes(destination_ + "2"), data.substr(2 * 65536 + 5));
}

TEST_F(CopyBytesTest, ACopyOfNothingReadsNothingAndReportsNoSuccess) {
    WriteBytes(source_, "abc");
    HANDLE source = Open(source_, GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(destination_, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(CopyBytes(destination, source, 0), 0);
    EXPECT_EQ(Position(source), 0u);
    EXPECT_EQ(ReadBytes(destination_), "");
}

TEST_F(CopyBytesTest, ASourceThatEndsEarlyIsAFailedCopy) {
    WriteBytes(source_, Placeholder(70000, 1));
    HANDLE source = Open(source_, GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(destination_, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(CopyBytes(destination, source, 100000), 0);
    EXPECT_EQ(ReadBytes(destination_).size(), 70000u) << "what could be read was written";
}

#ifndef _WIN32
// The space set aside for a whole entry: taken by a full copy, given back by
// one that ended early (a file system that sets nothing aside passes too).
TEST_F(CopyBytesTest, SpaceSetAsideForAnEntryIsGivenBackWhenTheSourceEndsEarly) {
    constexpr int32_t kClaimed = 8 << 20;
    WriteBytes(source_, Placeholder(70000, 2));
    HANDLE source = Open(source_, GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(destination_, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(CopyBytes(destination, source, kClaimed), 0);
    struct stat info {};
    ASSERT_EQ(::stat(destination_.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 70000);
    EXPECT_LT(int64_t{info.st_blocks} * 512, int64_t{1} << 20) << "the unfilled space was kept";

    const std::string whole = Placeholder(3 * 65536 + 11, 4);
    WriteBytes(source_ + "2", whole);
    HANDLE second = Open(source_ + "2", GENERIC_READ, OPEN_EXISTING);
    HANDLE copy = Open(destination_ + "2", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(CopyBytes(copy, second, static_cast<int32_t>(whole.size())), 1);
    EXPECT_EQ(ReadBytes(destination_ + "2"), whole);
}
#endif

TEST_F(CopyBytesTest, AFailedWriteFailsTheCopyButTheSourceStillAdvancesByTheWholeEntry) {
    WriteBytes(source_, Placeholder(200000, 3));
    WriteBytes(destination_, "");
    HANDLE source = Open(source_, GENERIC_READ, OPEN_EXISTING);
    HANDLE readOnly = Open(destination_, GENERIC_READ, OPEN_EXISTING);  // writes fail
    EXPECT_EQ(CopyBytes(readOnly, source, 150000), 0);
    EXPECT_EQ(Position(source), 150000u);
}

}  // namespace
