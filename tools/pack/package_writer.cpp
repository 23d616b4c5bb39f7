#include "package_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "jpeg_baseline.h"
#include "platform/kernel/process.h"
#include "show/show_record.h"
#include "startup/package_directory.h"

namespace tarnpack {
namespace {

constexpr size_t kCopyBytes = 1 << 20;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        if (fd_ < 0) return true;
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        return closed;
    }

private:
    int fd_;
};

// The new package under a temporary name beside the output; removed unless
// it was put in place.
class PendingOutput {
public:
    explicit PendingOutput(const std::string& output)
        : output_(output), path_(output + ".tarnpack-XXXXXX"), file_(mkstemp(path_.data())) {
        if (file_.get() < 0) path_.clear();
    }
    ~PendingOutput() {
        file_.Close();
        if (!path_.empty()) unlink(path_.c_str());
    }
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    bool IsOpen() const { return !path_.empty(); }
    int fd() const { return file_.get(); }

    bool Commit(std::string* error) {
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(file_.get(), 0777 & ~mask) != 0 || !file_.Close()) {
            *error = "cannot finish " + path_ + ": " + std::strerror(errno);
            return false;
        }
        if (rename(path_.c_str(), output_.c_str()) != 0) {
            *error = "cannot write " + output_ + ": " + std::strerror(errno);
            return false;
        }
        path_.clear();
        return true;
    }

private:
    std::string output_;
    std::string path_;
    Descriptor file_;
};

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

class Copier {
public:
    Copier(int out, uint64_t total, const ProgressReport& progress, std::string* error)
        : out_(out), total_(total), progress_(progress), error_(error), buffer_(kCopyBytes) {}

    bool Bytes(const std::string& data) { return Write(data.data(), data.size()); }

    // The first `size` bytes of the file at `path`.
    bool File(const PlannedEntry& entry) {
        Descriptor in(open(entry.path.c_str(), O_RDONLY | O_CLOEXEC));
        if (in.get() < 0) return Fail("cannot read " + entry.path + ": " + std::strerror(errno));
        uint64_t left = entry.size;
        while (left > 0) {
            if (tarn::TerminationSignalCaught() != 0) return Fail("interrupted");
            const size_t want = left < buffer_.size() ? static_cast<size_t>(left) : buffer_.size();
            const ssize_t n = read(in.get(), buffer_.data(), want);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return Fail("cannot read " + entry.path + ": " + std::strerror(errno));
            if (n == 0) return Fail(entry.path + " became shorter while it was packed");
            if (!Write(buffer_.data(), static_cast<size_t>(n))) return false;
            left -= static_cast<uint64_t>(n);
        }
        return true;
    }

    // A file the show names: a JPEG rewritten as one scan with restart
    // markers, anything else (or a JPEG that cannot be rewritten) as it is.
    bool ShowFile(PlannedEntry& entry) {
        if (tarn::TerminationSignalCaught() != 0) return Fail("interrupted");
        const uint64_t start = written_;
        bool tooLarge = false;
        const ByteSink sink = [&](const char* data, size_t size) {
            if (written_ - start + size >= PACKAGE_ENTRY_SIZE_LIMIT) {
                tooLarge = true;
                return false;
            }
            return Write(data, size);
        };
        bool multiScan = false;
        switch (WriteAsBaseline(entry.path, entry.size, sink, &multiScan)) {
            case BaselineResult::Written:
                entry.size = written_ - start;
                entry.storedRewritten = true;
                entry.storedAsBaseline = multiScan;
                return true;
            case BaselineResult::LeftAsItIs:
                return File(entry);
            case BaselineResult::SinkRefused:
                if (!tooLarge) return false;  // the package cannot be written
                break;
            case BaselineResult::Abandoned:
                break;
        }
        return Rewind(start) && File(entry);
    }

    bool Fail(const std::string& message) {
        *error_ = message;
        return false;
    }

    // The entry whose bytes come next.
    void Begin(const std::string& entry) {
        entry_ = entry;
        if (progress_) progress_(entry_, written_ < total_ ? written_ : total_, total_);
    }

    // The whole written, whatever the estimate was: stored JPEGs change size.
    void ReportDone() {
        if (progress_) progress_({}, total_, total_);
    }

private:
    // Drops what was written after `position`.
    bool Rewind(uint64_t position) {
        const off_t offset = static_cast<off_t>(position);
        if (ftruncate(out_, offset) != 0 || lseek(out_, offset, SEEK_SET) != offset) {
            return Fail(std::string("cannot write the package: ") + std::strerror(errno));
        }
        written_ = position;
        return true;
    }

    bool Write(const char* data, size_t size) {
        if (!WriteAll(out_, data, size)) {
            return Fail(std::string("cannot write the package: ") + std::strerror(errno));
        }
        written_ += size;
        if (progress_) progress_(entry_, written_ < total_ ? written_ : total_, total_);
        return true;
    }

    int out_;
    uint64_t total_;
    const ProgressReport& progress_;
    std::string* error_;
    std::vector<char> buffer_;
    uint64_t written_ = 0;
    std::string entry_;
};

std::string Directory(const PackagePlan& plan) {
    std::string directory;
    for (auto it = plan.entries.rbegin(); it != plan.entries.rend(); ++it) {
        char record[PACKAGE_RECORD_BYTES] = {};
        const uint32_t size = static_cast<uint32_t>(it->size);
        for (int i = 0; i < 4; ++i) record[i] = static_cast<char>((size >> (8 * i)) & 0xFF);
        std::memcpy(record + 4, it->name.data(), it->name.size());
        directory.append(record, sizeof record);
    }
    const uint32_t count = static_cast<uint32_t>(plan.entries.size());
    for (int i = 0; i < 4; ++i) directory.push_back(static_cast<char>((count >> (8 * i)) & 0xFF));
    return directory;
}

}  // namespace

bool WritePackage(PackagePlan& plan, const std::string& output, const WriteSettings& settings,
                  std::string* error) {
    tarn::CatchTerminationSignals();
    PendingOutput pending(output);
    if (!pending.IsOpen()) {
        *error = "cannot write " + output + ": " + std::strerror(errno);
        return false;
    }
    // The directory, written last, holds the sizes as stored.
    const uint64_t directoryBytes = plan.entries.size() * PACKAGE_RECORD_BYTES + PACKAGE_TRAILER_BYTES;
    Copier copier(pending.fd(), plan.totalBytes + directoryBytes, settings.progress, error);
    uint64_t stored = 0;
    for (PlannedEntry& entry : plan.entries) {
        copier.Begin(entry.name);
        bool copied;
        if (!entry.path.empty() && entry.showFile && !settings.keepJpeg) {
            copied = copier.ShowFile(entry);
        } else {
            copied = entry.path.empty() ? copier.Bytes(entry.bytes) : copier.File(entry);
        }
        if (!copied) return false;
        stored += entry.size;
    }
    plan.totalBytes = stored;
    copier.Begin({});
    if (!copier.Bytes(Directory(plan))) return false;
    if (tarn::TerminationSignalCaught() != 0) return copier.Fail("interrupted");
    if (!pending.Commit(error)) return false;
    copier.ReportDone();
    return true;
}

}  // namespace tarnpack
