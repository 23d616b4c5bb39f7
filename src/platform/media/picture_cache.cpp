#include "platform/media/picture_cache.h"

#include <sys/stat.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

#include "platform/lazy/player_libraries.h"
#include "platform/picture_handover.h"
#include "platform/window_system.h"

namespace tarn::media {

namespace {

constexpr size_t kKeptPictures = 3;
constexpr size_t kMostWaiting = 2;

struct Key {
    std::string path;
    int64_t fileSize = -1;
    int64_t modified = 0;
    Size screen;
    bool operator==(const Key& o) const {
        return path == o.path && fileSize == o.fileSize && modified == o.modified &&
               screen.width == o.screen.width && screen.height == o.screen.height;
    }
};

bool MakeKey(const std::string& path, Size screen, Key* key) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    key->path = path;
    key->fileSize = info.st_size;
    key->modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    key->screen = screen;
    return true;
}

// The picture the package process handed over when it is this one (the
// show's first), else decoded here.
StillResult Decode(const Key& key, Urgency urgency, StillPicture* out) {
    if (TakeHandedPicture(key.path, key.fileSize, key.modified, key.screen, out)) return StillResult::Decoded;
    return DecodeStillPicture(key.path.c_str(), key.screen, out, urgency);
}

struct Kept {
    Key key;
    StillResult result;
    StillPicture picture;
};

class PictureCache {
public:
    ~PictureCache() { Stop(); }

    void Prepare(const Key& key) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (Find(key) || (busy_ && busyKey_ == key)) return;
        for (const Key& w : waiting_)
            if (w == key) return;
        waiting_.push_back(key);
        while (waiting_.size() > kMostWaiting) waiting_.pop_front();  // only the latest hints matter
        if (!worker_.joinable()) {
            stop_ = false;
            worker_ = std::thread([this] { Work(); });
        }
        wake_.notify_all();
    }

    StillResult Take(const Key& key, StillPicture* out) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            taken_ = true;
            for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
                if (*it == key) {
                    waiting_.erase(it);
                    break;
                }
            }
            if (busy_ && busyKey_ == key) {
                // The show waits for this picture (its first): meanwhile the
                // windows it will appear in are made ready.
                lock.unlock();
                ws::CurrentEdge().PrepareWindows();
                lock.lock();
            }
            done_.wait(lock, [&] { return !(busy_ && busyKey_ == key); });
            if (const Kept* kept = Find(key)) {
                *out = kept->picture;
                return kept->result;
            }
        }
        // Not prepared: decode here, on the caller's thread, but never beside
        // the worker: one decoder at a time bounds the memory (a progressive
        // photo's decoder alone holds tens of megabytes). The worker finishes
        // the picture it has, then waits until this one is decoded.
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++takers_;
        }
        StillPicture picture;
        StillResult result;
        {
            std::lock_guard<std::mutex> decoding(decoding_);
            result = Decode(key, Urgency::Wanted, &picture);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        --takers_;
        Keep(Kept{key, result, picture});
        *out = std::move(picture);
        wake_.notify_all();
        return result;
    }

    void Shown() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (shown_) return;
        shown_ = true;
        wake_.notify_all();  // the worker finishes loading the libraries
    }

    bool Has(const Key& key) {
        std::unique_lock<std::mutex> lock(mutex_);
        done_.wait(lock, [&] {
            if (busy_ && busyKey_ == key) return false;
            for (const Key& w : waiting_)
                if (w == key) return false;
            return true;
        });
        return Find(key) != nullptr;
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            waiting_.clear();
        }
        wake_.notify_all();
        if (worker_.joinable()) worker_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        kept_.clear();
        taken_ = false;
        shown_ = false;
    }

private:
    // Under mutex_. Moves a found entry to the front (most recent).
    const Kept* Find(const Key& key) {
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->key == key) {
                kept_.splice(kept_.begin(), kept_, it);
                return &kept_.front();
            }
        }
        return nullptr;
    }
    void Keep(Kept kept) {
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->key == kept.key) {
                kept_.erase(it);
                break;
            }
        }
        kept_.push_front(std::move(kept));
        while (kept_.size() > kKeptPictures) kept_.pop_back();
    }

    void Work() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] {
                return stop_ || (!waiting_.empty() && takers_ == 0) || (shown_ && !librariesFinished_);
            });
            if (stop_) return;
            if (waiting_.empty() || takers_ != 0) {
                // Nothing to decode now, and the show's first picture is on
                // screen: the rest of the media libraries load here, not on
                // the user-interface thread and not before the first slide.
                librariesFinished_ = true;
                lock.unlock();
                FinishLoadingPlayerLibraries();
                lock.lock();
                continue;
            }
            busyKey_ = waiting_.back();  // the latest hint first
            waiting_.pop_back();
            busy_ = true;
            // Until the show takes its first picture that picture is awaited
            // (the show is starting); after it, pictures are decoded ahead
            // while a slide is on screen.
            const Urgency urgency = taken_ ? Urgency::Ahead : Urgency::Wanted;
            lock.unlock();
            StillPicture picture;
            StillResult result;
            {
                std::lock_guard<std::mutex> decoding(decoding_);
                result = Decode(busyKey_, urgency, &picture);
            }
            lock.lock();
            Keep(Kept{busyKey_, result, std::move(picture)});
            busy_ = false;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::mutex decoding_;  // held by whoever decodes: one decoder at a time
    int takers_ = 0;       // callers decoding a picture that was not prepared
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Key> waiting_;
    std::list<Kept> kept_;
    Key busyKey_;
    bool busy_ = false;
    bool stop_ = false;
    bool taken_ = false;  // a picture was taken: the show is running
    bool shown_ = false;  // a picture was put on screen
    bool librariesFinished_ = false;
    std::thread worker_;
};

PictureCache& Cache() {
    static PictureCache cache;
    return cache;
}

}  // namespace

void PreparePicture(const std::string& path, Size screen) {
    Key key;
    if (MakeKey(path, screen, &key)) Cache().Prepare(key);
}

StillResult DecodeStillPictureCached(const std::string& path, Size screen, StillPicture* out) {
    Key key;
    if (!MakeKey(path, screen, &key)) return DecodeStillPicture(path.c_str(), screen, out);
    return Cache().Take(key, out);
}

void PictureOnScreen() { Cache().Shown(); }

bool PictureIsPrepared(const std::string& path, Size screen) {
    Key key;
    return MakeKey(path, screen, &key) && Cache().Has(key);
}

void ClearPreparedPictures() { Cache().Stop(); }

}  // namespace tarn::media
