// The private profile functions over INI files on disk. A change made by
// anyone takes effect at the next read; a write replaces the file
// atomically.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/kernel/profile_batch.h"
#include "platform/kernel/profile_text.h"
#include "platform/kernel/whole_file.h"
#include "platform/win32.h"

namespace {

// Copies `text` into `buffer` of `size` bytes, cut to size - 1 characters;
// returns the characters copied.
DWORD CopyCut(std::string_view text, LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// The last file read, indexed, for as long as it stays the same file with
// the same contents. Walks over a show's slides read one file thousands of
// times; without this each read would parse the whole file again, and a
// large show description would keep the player busy for minutes.
//
// The file counts as unchanged while its device, inode, size and change
// times are. A file changed within the last seconds is read afresh every
// time: a change in the same tick of the file system's clock, keeping the
// size, would not show in those times.
class ProfileCache {
public:
    std::optional<std::string> Find(LPCSTR section, LPCSTR key, LPCSTR fileName) {
        struct stat info {};
        if (::stat(fileName, &info) != 0) return std::nullopt;  // reads as empty
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (index_ && Same(info, identity_) && !Recent(info)) return index_->Find(section, key);
        }
        std::string contents;
        if (tarn::ReadWholeFile(fileName, &contents) != tarn::ReadResult::Read) {
            return std::nullopt;  // a missing or unreadable file reads as empty
        }
        // A file still being written (a rewrite changes it key by key) is
        // read afresh each time: one scan for the key is cheaper than an
        // index that would not be used again.
        if (Recent(info)) return tarn::profile::FindValue(contents, section, key);
        auto index = std::make_shared<const tarn::profile::ValueIndex>(contents);
        {
            // Kept under the times taken before the read: a change during
            // the read leaves other times, so it is read again next time.
            std::lock_guard<std::mutex> lock(mutex_);
            index_ = index;
            identity_ = info;
        }
        return index->Find(section, key);
    }

private:
    static bool SameTime(const timespec& a, const timespec& b) {
        return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
    }
    static bool Same(const struct stat& a, const struct stat& b) {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
               SameTime(a.st_mtim, b.st_mtim) && SameTime(a.st_ctim, b.st_ctim);
    }
    static bool Recent(const struct stat& info) {
        constexpr time_t kSettledSeconds = 2;
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const time_t latest = std::max(info.st_mtim.tv_sec, info.st_ctim.tv_sec);
        return latest + kSettledSeconds >= now.tv_sec;
    }

    std::mutex mutex_;
    struct stat identity_ {};
    std::shared_ptr<const tarn::profile::ValueIndex> index_;
};

// The text of the file an open ProfileWriteBatch gathers writes for.
struct GatheredFile {
    bool open = false;
    std::string path;
    bool exists = false;   // the file existed, or a write has created it
    bool changed = false;  // a write changed the text since it was read
    std::string contents;
};

std::mutex g_gatheredMutex;
GatheredFile g_gathered;

bool IsGathered(LPCSTR fileName) { return g_gathered.open && g_gathered.path == fileName; }

std::optional<std::string> LookUp(LPCSTR section, LPCSTR key, LPCSTR fileName) {
    if (section == nullptr || key == nullptr || fileName == nullptr) return std::nullopt;
    {
        std::lock_guard<std::mutex> lock(g_gatheredMutex);
        if (IsGathered(fileName)) {
            if (!g_gathered.exists) return std::nullopt;  // a missing file reads as empty
            return tarn::profile::FindValue(g_gathered.contents, section, key);
        }
    }
    // Never destroyed: static objects may still read profiles at exit.
    static ProfileCache& cache = *new ProfileCache;
    return cache.Find(section, key, fileName);
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName) {
    if (const std::optional<std::string> value = LookUp(section, key, fileName)) {
        return CopyCut(*value, buffer, size);
    }
    // The default loses its trailing blanks, as the value in a file would.
    std::string_view fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.remove_suffix(1);
    return CopyCut(fallback, buffer, size);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR fileName) {
    const std::optional<std::string> value = LookUp(section, key, fileName);
    if (!value || value->empty()) return static_cast<UINT>(defaultValue);
    return static_cast<UINT>(tarn::profile::ParseInteger(*value));
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (section == nullptr || key == nullptr || fileName == nullptr || fileName[0] == '\0') {
        return FALSE;
    }
    if (!tarn::profile::IsWritableSection(section) || !tarn::profile::IsWritableKey(key) ||
        (value != nullptr && !tarn::profile::IsWritableValue(value))) {
        return FALSE;
    }
    std::optional<std::string_view> newValue;
    if (value != nullptr) newValue = value;
    {
        std::lock_guard<std::mutex> lock(g_gatheredMutex);
        if (IsGathered(fileName)) {
            std::string edited = tarn::profile::SetValue(g_gathered.contents, section, key, newValue);
            if (edited != g_gathered.contents) {
                g_gathered.contents = std::move(edited);
                g_gathered.changed = true;
                g_gathered.exists = true;
            }
            return TRUE;
        }
    }
    std::string contents;
    // Only a file that does not exist yet starts empty; one that exists but
    // cannot be read is never overwritten.
    if (tarn::ReadWholeFile(fileName, &contents) == tarn::ReadResult::Refused) return FALSE;
    const std::string edited = tarn::profile::SetValue(contents, section, key, newValue);
    if (edited == contents) return TRUE;
    return tarn::ReplaceWholeFile(fileName, edited) ? TRUE : FALSE;
}

namespace tarn {

ProfileWriteBatch::ProfileWriteBatch(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') return;
    std::lock_guard<std::mutex> lock(g_gatheredMutex);
    if (g_gathered.open) return;
    std::string contents;
    const ReadResult read = ReadWholeFile(fileName, &contents);
    if (read == ReadResult::Refused) return;  // never overwritten, as by a single write
    g_gathered = GatheredFile{true, fileName, read == ReadResult::Read, false, std::move(contents)};
    open_ = true;
}

ProfileWriteBatch::~ProfileWriteBatch() { Commit(); }

bool ProfileWriteBatch::Commit() {
    if (!open_) return true;
    open_ = false;
    std::lock_guard<std::mutex> lock(g_gatheredMutex);
    GatheredFile gathered = std::move(g_gathered);
    g_gathered = GatheredFile{};
    if (!gathered.changed) return true;
    return ReplaceWholeFile(gathered.path.c_str(), gathered.contents);
}

}  // namespace tarn
