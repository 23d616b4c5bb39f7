#include "platform/picture_handover.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/kernel/unique_fd.h"
#include "platform/lazy/player_libraries.h"
#include "platform/media/still_picture.h"
#include "platform/sdl/screen_guess.h"

namespace tarn::media {

namespace {

constexpr const char* kVariable = "TARN_HANDED_PICTURE";
constexpr uint32_t kAboutMagic = 0x54504831;  // what is being decoded
constexpr uint32_t kReadyMagic = 0x54505231;  // the picture is in the memory file
constexpr uint32_t kMostPathBytes = 4096;
constexpr int kMostSide = 1 << 15;
// The longest the player waits for the package process's decoding before it
// decodes the picture itself.
constexpr int kMostWaitMillis = 10'000;

struct About {
    uint32_t magic = kAboutMagic;
    uint32_t pathBytes = 0;
    int64_t fileSize = 0;
    int64_t modified = 0;
    int32_t screenWidth = 0;
    int32_t screenHeight = 0;
};

struct Ready {
    uint32_t magic = kReadyMagic;
    int32_t width = 0;
    int32_t height = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    int32_t reducedLevel = 0;
    int32_t orientation = 1;
    int32_t cutInTwo = 0;
};

bool SendAll(int socket, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        // No SIGPIPE when the player has gone: the package process waits on.
        const ssize_t sent = ::send(socket, bytes, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        bytes += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

// Receives exactly `size` bytes, waiting at most until `deadline` (a
// monotonic time in milliseconds) for them.
bool ReceiveAll(int socket, void* data, size_t size, int64_t deadline) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int64_t left = deadline - (int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000);
        if (left <= 0) return false;
        pollfd waiting{socket, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t got = ::recv(socket, bytes, size, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;  // the package process gave up: nothing comes
        bytes += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

// Moves `size` bytes between `data` and the file from its start, with
// `io` (pread or pwrite) called until all have gone.
template <typename Byte, typename Io>
bool WholeFromStart(Io io, int file, Byte* data, size_t size) {
    off_t at = 0;
    while (size > 0) {
        const ssize_t moved = io(file, data, size, at);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) return false;
        data += moved;
        at += moved;
        size -= static_cast<size_t>(moved);
    }
    return true;
}

int64_t ModifiedNanos(const struct stat& info) {
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
}

// ---- The package process's side ---------------------------------------------

// Runs on its own thread. Whatever stops it early closes the socket, which
// tells the player that nothing comes.
void DecodeAndHandOver(const std::string& path, Size known, UniqueFd socket, UniqueFd memory) {
    ScreenSize screen{known.width, known.height};
    if (screen.width < 1 && !GuessPrimaryScreenSize(&screen)) return;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    About about;
    about.pathBytes = static_cast<uint32_t>(path.size());
    about.fileSize = info.st_size;
    about.modified = ModifiedNanos(info);
    about.screenWidth = screen.width;
    about.screenHeight = screen.height;
    if (!SendAll(socket.Get(), &about, sizeof about) || !SendAll(socket.Get(), path.data(), path.size())) return;

    if (!LoadPictureLibraries()) return;
    StillPicture picture;
    if (!DecodeNamedJpeg(path.c_str(), Size{screen.width, screen.height}, &picture) || !picture.frame) return;
    const ws::VideoFrame& frame = *picture.frame;
    if (!WholeFromStart(::pwrite, memory.Get(), reinterpret_cast<const char*>(frame.data.data()),
                        frame.data.size() * sizeof(uint32_t))) {
        return;
    }
    memory.Reset();
    Ready ready;
    ready.width = frame.width;
    ready.height = frame.height;
    ready.sourceWidth = picture.source.width;
    ready.sourceHeight = picture.source.height;
    ready.reducedLevel = picture.reducedLevel;
    ready.orientation = picture.orientation;
    ready.cutInTwo = picture.cutInTwo ? 1 : 0;
    SendAll(socket.Get(), &ready, sizeof ready);
}

struct Sender {
    std::mutex mutex;
    bool begun = false;
    std::string path;
    UniqueFd socket;  // the player's end
    UniqueFd memory;
    UniqueFd socketCopy;  // inheritable copies, while the player starts
    UniqueFd memoryCopy;
    std::jthread decoder;
};

Sender& TheSender() {
    static Sender sender;
    return sender;
}

// ---- The player's side ----------------------------------------------------------

struct Receiver {
    std::mutex mutex;
    UniqueFd socket;
    UniqueFd memory;
};

Receiver& TheReceiver() {
    static Receiver receiver;
    return receiver;
}

// A descriptor number, all digits, ending at `end`.
bool ParseDescriptor(const char* text, char end, const char** after, int* fd) {
    char* stop = nullptr;
    errno = 0;
    const long value = std::strtol(text, &stop, 10);
    if (stop == text || *stop != end || errno != 0 || value < 0 || value > 1'000'000 || *text < '0' ||
        *text > '9') {
        return false;
    }
    *fd = static_cast<int>(value);
    *after = stop + (end != '\0' ? 1 : 0);
    return true;
}

bool IsA(int fd, mode_t kind) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && (info.st_mode & S_IFMT) == kind;
}

// A screen of width 0: the one the X server reports.
void BeginHandingOver(const char* path, Size screen) {
    Sender& sender = TheSender();
    std::lock_guard<std::mutex> lock(sender.mutex);
    if (sender.begun || path == nullptr || !NamedAsJpeg(path)) return;
    sender.begun = true;
    int ends[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
    UniqueFd theirs(ends[0]);
    UniqueFd ours(ends[1]);
    UniqueFd memory(::memfd_create("tarn-first-picture", MFD_CLOEXEC));
    if (!memory.Valid()) return;
    UniqueFd memoryForDecoder(::fcntl(memory.Get(), F_DUPFD_CLOEXEC, 3));
    if (!memoryForDecoder.Valid()) return;
    try {
        sender.decoder = std::jthread(DecodeAndHandOver, std::string(path), screen, std::move(ours),
                                      std::move(memoryForDecoder));
    } catch (const std::system_error&) {
        return;  // no thread: the player decodes the picture itself
    }
    sender.path = path;
    sender.socket = std::move(theirs);
    sender.memory = std::move(memory);
}

}  // namespace

void BeginHandingOverPicture(const char* path) { BeginHandingOver(path, Size{}); }

void BeginHandingOverPicture(const char* path, Size screen) {
    if (screen.width < 1 || screen.height < 1) return;
    BeginHandingOver(path, screen);
}

std::string PictureBeingHandedOver() {
    Sender& sender = TheSender();
    std::lock_guard<std::mutex> lock(sender.mutex);
    return sender.path;
}

std::string PrepareHandoverForChild() {
    Sender& sender = TheSender();
    std::lock_guard<std::mutex> lock(sender.mutex);
    if (!sender.socket.Valid() || !sender.memory.Valid()) return {};
    // Copies without close-on-exec are what the started program inherits.
    sender.socketCopy = UniqueFd(::fcntl(sender.socket.Get(), F_DUPFD, 3));
    sender.memoryCopy = UniqueFd(::fcntl(sender.memory.Get(), F_DUPFD, 3));
    if (!sender.socketCopy.Valid() || !sender.memoryCopy.Valid()) {
        sender.socketCopy.Reset();
        sender.memoryCopy.Reset();
        return {};
    }
    return std::string(kVariable) + "=" + std::to_string(sender.socketCopy.Get()) + "," +
           std::to_string(sender.memoryCopy.Get());
}

void ForgetHandoverCopies() {
    Sender& sender = TheSender();
    std::lock_guard<std::mutex> lock(sender.mutex);
    // The player has its own now; the package process keeps none, so that
    // the picture's memory goes with the player's copy.
    sender.socketCopy.Reset();
    sender.memoryCopy.Reset();
    sender.socket.Reset();
    sender.memory.Reset();
}

void EndHandingOverPicture() {
    Sender& sender = TheSender();
    std::lock_guard<std::mutex> lock(sender.mutex);
    if (sender.decoder.joinable()) sender.decoder.join();
    sender.begun = false;
    sender.path.clear();
    sender.socketCopy.Reset();
    sender.memoryCopy.Reset();
    sender.socket.Reset();
    sender.memory.Reset();
}

void AcceptHandedPicture() {
    const char* value = std::getenv(kVariable);
    if (value == nullptr) return;
    int socket = -1;
    int memory = -1;
    const char* rest = value;
    const bool parsed = ParseDescriptor(rest, ',', &rest, &socket) && ParseDescriptor(rest, '\0', &rest, &memory);
    ::unsetenv(kVariable);
    // Descriptors that are not what a package process hands over are left
    // alone: they are someone else's.
    if (!parsed || socket == memory || !IsA(socket, S_IFSOCK) || !IsA(memory, S_IFREG)) return;
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    ::fcntl(memory, F_SETFD, FD_CLOEXEC);
    Receiver& receiver = TheReceiver();
    std::lock_guard<std::mutex> lock(receiver.mutex);
    receiver.socket = UniqueFd(socket);
    receiver.memory = UniqueFd(memory);
}

bool TakeHandedPicture(const std::string& path, int64_t fileSize, int64_t modifiedNanos, Size screen,
                       StillPicture* out) {
    UniqueFd socket;
    UniqueFd memory;
    {
        Receiver& receiver = TheReceiver();
        std::lock_guard<std::mutex> lock(receiver.mutex);
        socket = std::move(receiver.socket);
        memory = std::move(receiver.memory);
    }
    if (!socket.Valid() || !memory.Valid()) return false;
    if (screen.width < 1 || screen.height < 1 || screen.width > kMostSide || screen.height > kMostSide) return false;

    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t deadline = int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000 + kMostWaitMillis;
    About about;
    if (!ReceiveAll(socket.Get(), &about, sizeof about, deadline) || about.magic != kAboutMagic ||
        about.pathBytes != path.size() || about.pathBytes > kMostPathBytes) {
        return false;
    }
    std::string handedPath(about.pathBytes, '\0');
    if (!ReceiveAll(socket.Get(), handedPath.data(), handedPath.size(), deadline)) return false;
    if (handedPath != path || about.fileSize != fileSize || about.modified != modifiedNanos ||
        about.screenWidth != screen.width || about.screenHeight != screen.height) {
        return false;
    }

    // The picture's memory is made ready while the package process still
    // decodes: a fitted picture is never larger than the screen.
    ws::Pixels picture;
    picture.data.resize(static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height));

    Ready ready;
    if (!ReceiveAll(socket.Get(), &ready, sizeof ready, deadline) || ready.magic != kReadyMagic) return false;
    if (ready.width < 1 || ready.height < 1 || ready.width > screen.width || ready.height > screen.height ||
        ready.sourceWidth < 1 || ready.sourceHeight < 1 || ready.orientation < 1 || ready.orientation > 8) {
        return false;
    }
    const size_t pixels = static_cast<size_t>(ready.width) * static_cast<size_t>(ready.height);
    struct stat info {};
    if (::fstat(memory.Get(), &info) != 0 || static_cast<uint64_t>(info.st_size) != pixels * sizeof(uint32_t)) {
        return false;
    }
    picture.width = ready.width;
    picture.height = ready.height;
    picture.data.resize(pixels);
    if (!WholeFromStart(::pread, memory.Get(), reinterpret_cast<char*>(picture.data.data()),
                        pixels * sizeof(uint32_t))) {
        return false;
    }

    out->source = Size{ready.sourceWidth, ready.sourceHeight};
    out->reducedLevel = ready.reducedLevel;
    out->orientation = ready.orientation;
    out->cutInTwo = ready.cutInTwo != 0;
    out->frame = std::make_shared<const ws::VideoFrame>(std::move(picture));
    return true;
}

}  // namespace tarn::media
