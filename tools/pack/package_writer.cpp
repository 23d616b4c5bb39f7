#include "package_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "jpeg_baseline.h"
#include "pending_output.h"
#include "platform/kernel/process.h"
#include "show/show_record.h"
#include "startup/package_directory.h"

namespace tarnpack {
namespace {

constexpr size_t kCopyBytes = 1 << 20;

class Copier {
public:
    Copier(PendingOutput& out, uint64_t total, const ProgressReport& progress, std::string* error)
        : out_(out), total_(total), progress_(progress), error_(error), buffer_(kCopyBytes) {}

    bool Bytes(const std::string& data) { return Write(data.data(), data.size()); }

    // The first `size` bytes of the file at `path`.
    bool File(const PlannedEntry& entry) {
        std::ifstream in(entry.path, std::ios::binary);
        if (!in) return Fail("cannot read " + entry.path + ": " + std::strerror(errno));
        uint64_t left = entry.size;
        while (left > 0) {
            if (tarn::TerminationSignalCaught() != 0) return Fail("interrupted");
            const size_t want = left < buffer_.size() ? static_cast<size_t>(left) : buffer_.size();
            in.read(buffer_.data(), static_cast<std::streamsize>(want));
            const size_t n = static_cast<size_t>(in.gcount());
            if (in.bad()) return Fail("cannot read " + entry.path + ": " + std::strerror(errno));
            if (n == 0) return Fail(entry.path + " became shorter while it was packed");
            if (!Write(buffer_.data(), n)) return false;
            left -= n;
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
        if (!out_.Truncate(position)) return Fail(out_.Error());
        written_ = position;
        return true;
    }

    bool Write(const char* data, size_t size) {
        if (!out_.Write(data, size)) return Fail(out_.Error());
        written_ += size;
        if (progress_) progress_(entry_, written_ < total_ ? written_ : total_, total_);
        return true;
    }

    PendingOutput& out_;
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
        *error = pending.Error();
        return false;
    }
    // The directory, written last, holds the sizes as stored.
    const uint64_t directoryBytes = plan.entries.size() * PACKAGE_RECORD_BYTES + PACKAGE_TRAILER_BYTES;
    Copier copier(pending, plan.totalBytes + directoryBytes, settings.progress, error);
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
    if (!pending.Commit()) return copier.Fail(pending.Error());
    copier.ReportDone();
    return true;
}

}  // namespace tarnpack
