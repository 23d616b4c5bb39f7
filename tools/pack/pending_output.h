// A new package under a temporary name beside the output, put in place of
// the output only when whole; removed otherwise. One implementation for
// POSIX systems, one for Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tarnpack {

class PendingOutput {
public:
    explicit PendingOutput(const std::string& output);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // False when the temporary file could not be made; Error() says why.
    bool IsOpen() const;
    bool Write(const char* data, size_t size);
    // Drops everything after `position` and writes on from there.
    bool Truncate(uint64_t position);
    // Makes the file executable and puts it in place of the output.
    bool Commit();
    // The last failure, as "cannot ... PATH: reason".
    const std::string& Error() const { return error_; }

private:
    struct Handle;
    std::string output_;
    std::string path_;  // empty once committed or when never made
    std::unique_ptr<Handle> handle_;
    std::string error_;
};

}  // namespace tarnpack
