#include "platform/windows/prepared_pictures.h"

#include <objbase.h>

#include <condition_variable>
#include <deque>
#include <list>
#include <mutex>
#include <thread>

namespace tarn {
namespace {

constexpr size_t kKeptPictures = 3;
// Only the latest hints matter: the player hints two neighbours per slide.
constexpr size_t kMostWaiting = 2;

struct Request {
    std::wstring path;
    PictureSize screen;
    bool Same(const Request& other) const {
        return path == other.path && screen.width == other.screen.width &&
               screen.height == other.screen.height;
    }
};

struct Kept {
    Request request;
    std::shared_ptr<const PreparedPicture> picture;
};

// The calling thread's apartment, for as long as it is held.
class Apartment {
public:
    Apartment() : entered_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~Apartment() {
        if (entered_) CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    const bool entered_;
};

// Decodes the picture of `request` upright, fitted to its screen; nothing
// when the file is no picture, cannot be read, or changes while it is read.
std::shared_ptr<const PreparedPicture> DecodeRequest(IWICImagingFactory* factory,
                                                     const Request& request) {
    auto picture = std::make_shared<PreparedPicture>();
    picture->path = request.path;
    if (!ReadFileStamp(request.path, &picture->stamp)) return nullptr;
    {
        ComRef<IWICBitmapFrameDecode> frame = FirstPictureFrame(factory, request.path.c_str());
        if (!ReadPictureLayout(frame.Get(), request.path.c_str(), &picture->layout)) return nullptr;
        picture->fitted = FittedPictureSize(picture->layout.Upright(), request.screen);
        picture->pixels =
            DecodeUprightPicture(factory, frame.Get(), picture->layout, picture->fitted);
        if (!picture->pixels) return nullptr;
    }  // the decoder lets the file go here
    FileStamp after;
    if (!ReadFileStamp(request.path, &after) || !(after == picture->stamp)) return nullptr;
    return picture;
}

class PictureCache {
public:
    ~PictureCache() { Stop(); }

    void Prepare(Request request) {
        FileStamp stamp;
        if (!ReadFileStamp(request.path, &stamp)) return;  // nothing there to decode
        std::lock_guard<std::mutex> thread(threadMutex_);
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            if (it->request.Same(request) && it->picture->stamp == stamp) {
                kept_.splice(kept_.begin(), kept_, it);  // used again: kept longest
                return;
            }
        }
        if (busy_ && busyRequest_.Same(request)) return;
        for (const Request& waiting : waiting_) {
            if (waiting.Same(request)) return;
        }
        waiting_.push_back(std::move(request));
        while (waiting_.size() > kMostWaiting) waiting_.pop_front();
        if (!worker_.joinable()) {
            stop_ = false;
            worker_ = std::thread([this] { Work(); });
        }
        wake_.notify_all();
    }

    std::shared_ptr<const PreparedPicture> Take(const std::wstring& path) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (auto it = waiting_.begin(); it != waiting_.end();) {
            it = it->path == path ? waiting_.erase(it) : std::next(it);
        }
        done_.wait(lock, [&] { return !(busy_ && busyRequest_.path == path); });
        FileStamp now;
        const bool exists = ReadFileStamp(path, &now);
        std::shared_ptr<const PreparedPicture> found;
        for (auto it = kept_.begin(); it != kept_.end();) {
            if (it->picture->path != path) {
                ++it;
            } else if (!exists || !(it->picture->stamp == now)) {
                it = kept_.erase(it);  // the file changed: this one is never right again
            } else {
                if (!found) {
                    found = it->picture;
                    kept_.splice(kept_.begin(), kept_, it);
                }
                ++it;
            }
        }
        return found;
    }

    void BeginForeground() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++takers_;
        }
        decoding_.lock();
    }
    void EndForeground() {
        decoding_.unlock();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --takers_;
        }
        wake_.notify_all();
    }

    void Stop() {
        std::lock_guard<std::mutex> thread(threadMutex_);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
            waiting_.clear();
        }
        wake_.notify_all();
        done_.notify_all();
        if (worker_.joinable()) worker_.join();
        std::lock_guard<std::mutex> lock(mutex_);
        kept_.clear();
        stop_ = false;
    }

    size_t Count() {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitUntilIdle(lock);
        return kept_.size();
    }

    bool Has(const std::wstring& path) {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitUntilIdle(lock);
        for (const Kept& kept : kept_) {
            if (kept.picture->path == path) return true;
        }
        return false;
    }

private:
    void WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
        done_.wait(lock, [&] { return waiting_.empty() && !busy_; });
    }

    // Under mutex_.
    void Keep(Kept kept) {
        for (auto it = kept_.begin(); it != kept_.end();) {
            it = it->picture->path == kept.picture->path ? kept_.erase(it) : std::next(it);
        }
        kept_.push_front(std::move(kept));
        while (kept_.size() > kKeptPictures) kept_.pop_back();
    }

    void Work() {
        Apartment apartment;
        ComRef<IWICImagingFactory> factory = NewImagingFactory();
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stop_ || (!waiting_.empty() && takers_ == 0); });
            if (stop_) break;
            busyRequest_ = std::move(waiting_.back());  // the latest hint first
            waiting_.pop_back();
            busy_ = true;
            lock.unlock();
            std::shared_ptr<const PreparedPicture> picture;
            {
                std::lock_guard<std::mutex> decoding(decoding_);
                picture = DecodeRequest(factory.Get(), busyRequest_);
            }
            lock.lock();
            if (picture) Keep(Kept{busyRequest_, std::move(picture)});
            busy_ = false;
            done_.notify_all();
        }
        lock.unlock();
        factory.Reset();  // before the apartment closes
    }

    std::mutex threadMutex_;  // starting and ending the worker
    std::mutex mutex_;        // everything below
    std::mutex decoding_;     // held by whoever decodes: one picture at a time
    std::condition_variable wake_;
    std::condition_variable done_;
    std::deque<Request> waiting_;
    std::list<Kept> kept_;  // most recently used first
    Request busyRequest_;
    bool busy_ = false;
    bool stop_ = false;
    int takers_ = 0;  // callers decoding a picture themselves
    std::thread worker_;
};

PictureCache& Cache() {
    static PictureCache cache;
    return cache;
}

}  // namespace

bool ReadFileStamp(const std::wstring& path, FileStamp* stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return false;
    }
    stamp->size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp->writeTime =
        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

void PreparePicture(const std::wstring& path, PictureSize screen) {
    if (path.empty() || screen.width <= 0 || screen.height <= 0) return;
    Cache().Prepare(Request{path, screen});
}

std::shared_ptr<const PreparedPicture> TakePreparedPicture(const std::wstring& path) {
    if (path.empty()) return nullptr;
    return Cache().Take(path);
}

ForegroundDecode::ForegroundDecode() { Cache().BeginForeground(); }
ForegroundDecode::~ForegroundDecode() { Cache().EndForeground(); }

void ClearPreparedPictures() { Cache().Stop(); }

size_t PreparedPictureCount() { return Cache().Count(); }

bool PictureIsPrepared(const std::wstring& path) { return Cache().Has(path); }

}  // namespace tarn
