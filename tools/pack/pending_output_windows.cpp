#include <windows.h>

#include "pending_output.h"

namespace tarnpack {
namespace {

std::string SystemMessage(DWORD code) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                        0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}

}  // namespace

struct PendingOutput::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
    bool Close() {
        if (file == INVALID_HANDLE_VALUE) return true;
        const bool closed = CloseHandle(file) != 0;
        file = INVALID_HANDLE_VALUE;
        return closed;
    }
    ~Handle() { Close(); }
};

PendingOutput::PendingOutput(const std::string& output) : output_(output), handle_(std::make_unique<Handle>()) {
    // A name of the process and a counter: unique beside the output.
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        path_ = output_ + ".tarnpack-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
        handle_->file = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_->file != INVALID_HANDLE_VALUE) return;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    error_ = "cannot write " + output_ + ": " + SystemMessage(GetLastError());
    path_.clear();
}

PendingOutput::~PendingOutput() {
    handle_->Close();
    if (!path_.empty()) DeleteFileA(path_.c_str());
}

bool PendingOutput::IsOpen() const { return handle_->file != INVALID_HANDLE_VALUE; }

bool PendingOutput::Write(const char* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(handle_->file, data, chunk, &written, nullptr) || written == 0) {
            error_ = "cannot write the package: " + SystemMessage(GetLastError());
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

bool PendingOutput::Truncate(uint64_t position) {
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(handle_->file, offset, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_->file)) {
        error_ = "cannot write the package: " + SystemMessage(GetLastError());
        return false;
    }
    return true;
}

// A Windows program needs no mode to run; the name is the author's.
bool PendingOutput::Commit() {
    if (!handle_->Close()) {
        error_ = "cannot finish " + path_ + ": " + SystemMessage(GetLastError());
        return false;
    }
    if (!MoveFileExA(path_.c_str(), output_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error_ = "cannot write " + output_ + ": " + SystemMessage(GetLastError());
        return false;
    }
    path_.clear();
    return true;
}

}  // namespace tarnpack
