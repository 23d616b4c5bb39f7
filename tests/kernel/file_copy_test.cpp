// Copying a stretch between two open files: inside the kernel between plain
// files, through the caller's buffer otherwise, with the source always moving
// past the whole stretch.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernel/scratch_folder.h"
#include "platform/kernel/file_copy.h"
#include "platform/win32.h"

namespace {

using tarn::CopyFileChunk;
using tarn::test::ReadBytes;
using tarn::test::ScratchFolder;
using tarn::test::WriteBytes;

constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 23);
    }
    return bytes;
}

class FileCopy : public ::testing::Test {
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
    static DWORD Position(HANDLE file) { return SetFilePointer(file, 0, nullptr, FILE_CURRENT); }

    ScratchFolder folder_;
    std::vector<HANDLE> opened_;
    std::vector<char> buffer_ = std::vector<char>(1 << 20, '\x5a');
    bool BufferUntouched() const {
        for (char c : buffer_) {
            if (c != '\x5a') return false;
        }
        return true;
    }
};

// Both positions at the same place within a page (5 bytes in): the kernel
// moves whole pages.
TEST_F(FileCopy, PlainFilesAtTheSamePlaceInAPageCopyFromBothPositionsInsideTheKernel) {
    const std::string data = Pattern(300000, 1);
    WriteBytes(folder_ / "source", data);
    WriteBytes(folder_ / "destination", "head:");
    HANDLE source = Open(folder_ / "source", GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(folder_ / "destination", kReadWrite, OPEN_EXISTING);
    ASSERT_EQ(SetFilePointer(source, 4096 + 5, nullptr, FILE_BEGIN), 4101u);
    ASSERT_EQ(SetFilePointer(destination, 0, nullptr, FILE_END), 5u);

    DWORD read = 0;
    DWORD written = 0;
    EXPECT_TRUE(CopyFileChunk(destination, source, 200000, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 200000u);
    EXPECT_EQ(written, 200000u);
    EXPECT_EQ(Position(source), 204101u);
    EXPECT_EQ(Position(destination), 200005u);
    // The next chunk follows on from both positions.
    EXPECT_TRUE(CopyFileChunk(destination, source, 1000, buffer_.data(), &read, &written));
    EXPECT_EQ(ReadBytes(folder_ / "destination"), "head:" + data.substr(4101, 201000));
#ifndef _WIN32
    // Windows has no in-kernel copy between two open files: there the bytes
    // always pass through the buffer.
    EXPECT_TRUE(BufferUntouched()) << "plain files on one file system are copied by the kernel";
#endif
}

// Positions apart within a page, as a package's entries mostly are: the same
// bytes, through the buffer, and the next chunk still follows on.
TEST_F(FileCopy, PlainFilesApartWithinAPageCopyThroughTheBuffer) {
    const std::string data = Pattern(300000, 5);
    WriteBytes(folder_ / "source", data);
    HANDLE source = Open(folder_ / "source", GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(folder_ / "destination", kReadWrite, CREATE_NEW);
    ASSERT_EQ(SetFilePointer(source, 1000, nullptr, FILE_BEGIN), 1000u);

    DWORD read = 0;
    DWORD written = 0;
    EXPECT_TRUE(CopyFileChunk(destination, source, 65536, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 65536u);
    EXPECT_EQ(written, 65536u);
    EXPECT_EQ(Position(source), 66536u);
    EXPECT_EQ(Position(destination), 65536u);
    EXPECT_FALSE(BufferUntouched());
    EXPECT_TRUE(CopyFileChunk(destination, source, 65536, buffer_.data(), &read, &written));
    EXPECT_EQ(ReadBytes(folder_ / "destination"), data.substr(1000, 2 * 65536));
}

TEST_F(FileCopy, TheSourcesEndGivesAShortCountAndThenNothing) {
    WriteBytes(folder_ / "source", Pattern(70000, 2));
    HANDLE source = Open(folder_ / "source", GENERIC_READ, OPEN_EXISTING);
    HANDLE destination = Open(folder_ / "destination", kReadWrite, CREATE_NEW);
    DWORD read = 0;
    DWORD written = 0;
    EXPECT_TRUE(CopyFileChunk(destination, source, 65536, buffer_.data(), &read, &written));
    EXPECT_TRUE(CopyFileChunk(destination, source, 65536, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 70000u - 65536u);
    EXPECT_EQ(written, read);
    EXPECT_TRUE(CopyFileChunk(destination, source, 65536, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(ReadBytes(folder_ / "destination"), Pattern(70000, 2));
}

#ifndef _WIN32
// Named pipes in the file system are a POSIX thing.
TEST_F(FileCopy, APipeTheKernelWillNotCopyFromGoesThroughTheBufferExactly) {
    const std::string pipe = folder_ / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Open for reading and writing, so that neither end waits for the other.
    HANDLE source = Open(pipe, kReadWrite, OPEN_EXISTING);
    const std::string data = Pattern(40000, 3);
    DWORD put = 0;
    ASSERT_TRUE(WriteFile(source, data.data(), static_cast<DWORD>(data.size()), &put, nullptr));
    HANDLE destination = Open(folder_ / "destination", kReadWrite, CREATE_NEW);

    DWORD read = 0;
    DWORD written = 0;
    EXPECT_TRUE(CopyFileChunk(destination, source, 40000, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 40000u);
    EXPECT_EQ(written, 40000u);
    EXPECT_EQ(ReadBytes(folder_ / "destination"), data);
    EXPECT_FALSE(BufferUntouched());
}
#endif

TEST_F(FileCopy, AFailingDestinationStillMovesTheSourceByTheWholeStretch) {
    WriteBytes(folder_ / "source", Pattern(150000, 4));
    WriteBytes(folder_ / "destination", "");
    HANDLE source = Open(folder_ / "source", GENERIC_READ, OPEN_EXISTING);
    HANDLE readOnly = Open(folder_ / "destination", GENERIC_READ, OPEN_EXISTING);
    DWORD read = 0;
    DWORD written = 1;
    EXPECT_TRUE(CopyFileChunk(readOnly, source, 100000, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 100000u);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Position(source), 100000u);
    EXPECT_EQ(ReadBytes(folder_ / "destination"), "");

    // A destination that is no file at all: the same.
    EXPECT_TRUE(CopyFileChunk(nullptr, source, 50000, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 50000u);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Position(source), 150000u);
}

TEST_F(FileCopy, ASourceThatIsNoFileFailsWithNothingMoved) {
    HANDLE destination = Open(folder_ / "destination", kReadWrite, CREATE_NEW);
    DWORD read = 7;
    DWORD written = 7;
    EXPECT_FALSE(CopyFileChunk(destination, nullptr, 100, buffer_.data(), &read, &written));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(Position(destination), 0u);
}

}  // namespace
