#include "controller/recording_media.h"

#include <algorithm>
#include <deque>

#include "platform/graph.h"
#include "platform/win32.h"

namespace tarn::test {

using namespace tarn::media;

namespace {

// The file's own name: without its folder and without the temp decorator
// ("KTZxxxx.tmp.") that extraction puts in front of it.
std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t decorator = name.find(".tmp.");
    if (name.rfind("KTZ", 0) == 0 && decorator != std::string::npos) name = name.substr(decorator + 5);
    return name;
}

struct QueuedEvent {
    LONG code;
};

}  // namespace

class RecordingGraph final : public IGraphBuilder,
                             public IMediaControl,
                             public IMediaEventEx,
                             public IMediaPosition,
                             public IVideoWindow,
                             public IBasicVideo,
                             public TimeListener {
public:
    RecordingGraph(MediaRecorder* recorder, bool sound)
        : recorder_(recorder), sound_(sound), number_(NewGraphNumber()) {
        recorder_->live.push_back(this);
        recorder_->clock.AddListener(this);
        Note(sound ? "create sound" : "create display");
    }

    ~RecordingGraph() { Detach(); }

    // The recorder is going away: forget it and the clock.
    void Detach() {
        if (recorder_ == nullptr) return;
        recorder_->clock.RemoveListener(this);
        auto& live = recorder_->live;
        live.erase(std::remove(live.begin(), live.end(), this), live.end());
        recorder_ = nullptr;
    }

    bool IsSound() const { return sound_; }
    bool Running() const { return running_; }
    const std::string& File() const { return file_; }

    // ---- IUnknown --------------------------------------------------------
    HRESULT QueryInterface(const Guid& riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IGraphBuilder) {
            *object = static_cast<IGraphBuilder*>(this);
        } else if (riid == IID_IMediaControl) {
            *object = static_cast<IMediaControl*>(this);
        } else if (riid == IID_IMediaEventEx) {
            *object = static_cast<IMediaEventEx*>(this);
        } else if (riid == IID_IMediaPosition) {
            *object = static_cast<IMediaPosition*>(this);
        } else if (!sound_ && riid == IID_IVideoWindow) {
            *object = static_cast<IVideoWindow*>(this);
        } else if (!sound_ && riid == IID_IBasicVideo) {
            *object = static_cast<IBasicVideo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        ++references_;
        return S_OK;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++references_); }
    ULONG Release() override {
        const int left = --references_;
        if (left == 0) {
            Note("release " + Name());
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // ---- IGraphBuilder ---------------------------------------------------
    HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
        char name[1024] = {};
        WideToAnsi(file, name, static_cast<int>(sizeof name));
        file_ = BaseName(name);
        Note("render " + file_);
        if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return VFW_E_NOT_FOUND;
        rendered_ = true;
        if (sound_ && recorder_ != nullptr) lengthMicros_ = recorder_->SoundLengthMs(file_) * 1000;
        if (!sound_ && recorder_ != nullptr && recorder_->renderCostMs > 0) {
            recorder_->clock.AdvanceBy(recorder_->renderCostMs * 1000);
        }
        return S_OK;
    }
    uint64_t GraphNumber() override { return number_; }

    // ---- IMediaControl ---------------------------------------------------
    HRESULT Run() override {
        Note("run " + Name());
        if (!running_) {
            running_ = true;
            since_ = Now();
        }
        return rendered_ ? S_OK : S_FALSE;
    }
    HRESULT Pause() override {
        Note("pause " + Name());
        Hold();
        return S_OK;
    }
    HRESULT Stop() override {
        Note("stop " + Name());
        Hold();
        return S_OK;
    }
    HRESULT StopWhenReady() override {
        Note("cue " + Name());
        return rendered_ ? S_OK : VFW_E_WRONG_STATE;
    }

    // ---- IMediaEventEx ---------------------------------------------------
    HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instance) override {
        window_ = reinterpret_cast<HWND>(window);
        message_ = static_cast<UINT>(message);
        instance_ = instance;
        return S_OK;
    }
    HRESULT GetEvent(LONG* code, LONG_PTR* p1, LONG_PTR* p2, LONG) override {
        if (events_.empty()) return E_ABORT;
        *code = events_.front().code;
        *p1 = 0;
        *p2 = 0;
        events_.pop_front();
        return S_OK;
    }
    HRESULT FreeEventParams(LONG, LONG_PTR, LONG_PTR) override { return S_OK; }

    // ---- IMediaPosition --------------------------------------------------
    HRESULT put_CurrentPosition(REFTIME seconds) override {
        Note("rewind " + Name());
        position_ = static_cast<int64_t>(seconds * 1e6);
        since_ = Now();
        completed_ = false;
        return S_OK;
    }

    // ---- IVideoWindow ----------------------------------------------------
    HRESULT put_Visible(LONG) override { return S_OK; }
    HRESULT put_Owner(OAHWND) override { return S_OK; }
    HRESULT put_MessageDrain(OAHWND) override { return S_OK; }
    HRESULT put_WindowStyle(LONG) override { return S_OK; }
    HRESULT SetWindowForeground(LONG) override { return S_OK; }
    HRESULT SetWindowPosition(LONG, LONG, LONG, LONG) override { return S_OK; }

    // ---- IBasicVideo -----------------------------------------------------
    HRESULT get_SourceWidth(LONG* width) override {
        *width = recorder_ ? recorder_->pictureWidth : 0;
        return S_OK;
    }
    HRESULT get_SourceHeight(LONG* height) override {
        *height = recorder_ ? recorder_->pictureHeight : 0;
        return S_OK;
    }

    // ---- TimeListener: a running sound ends when its length has played -----
    int64_t NextEventMicros() const override {
        if (!sound_ || !running_ || completed_ || lengthMicros_ <= 0) return INT64_MAX;
        return since_ + (lengthMicros_ - position_);
    }
    void OnTimeAdvanced(int64_t now) override {
        if (NextEventMicros() > now) return;
        position_ = lengthMicros_;
        running_ = false;
        completed_ = true;
        events_.push_back({EC_COMPLETE});
        if (window_ != nullptr) PostMessageA(window_, message_, 0, instance_);
    }

private:
    int64_t Now() const { return recorder_ ? recorder_->clock.NowMicros() : 0; }
    std::string Name() const { return file_.empty() ? std::string("-") : file_; }
    void Note(const std::string& entry) {
        if (recorder_ != nullptr) recorder_->Note(entry);
    }
    void Hold() {
        if (running_) position_ += Now() - since_;
        running_ = false;
    }

    MediaRecorder* recorder_;
    const bool sound_;
    const uint64_t number_;
    int references_ = 1;
    std::string file_;
    bool rendered_ = false;
    bool running_ = false;
    bool completed_ = false;
    int64_t since_ = 0;
    int64_t position_ = 0;
    int64_t lengthMicros_ = 0;
    HWND window_ = nullptr;
    UINT message_ = 0;
    LONG_PTR instance_ = 0;
    std::deque<QueuedEvent> events_;
};

MediaRecorder::MediaRecorder(VirtualClock& virtualClock) : clock(virtualClock) {
    InstallGraphFactory([this](DWORD context, IUnknown** graph) {
        // The display graph is created in-process only; sound graphs admit
        // a local server as well.
        const bool sound = (context & CLSCTX_LOCAL_SERVER) != 0;
        if (FAILED(creationFailure)) {
            *graph = nullptr;
            return creationFailure;
        }
        *graph = static_cast<IGraphBuilder*>(new RecordingGraph(this, sound));
        return S_OK;
    });
    InstallSoundDeviceFactory([](IDirectSound** sound) {
        *sound = nullptr;
        return DSERR_NODRIVER;
    });
}

MediaRecorder::~MediaRecorder() {
    InstallGraphFactory(nullptr);
    InstallSoundDeviceFactory(nullptr);
    while (!live.empty()) live.back()->Detach();
}

void MediaRecorder::SetSoundLength(const std::string& fileName, int64_t lengthMs) {
    soundLengths_[fileName] = lengthMs;
}

void MediaRecorder::SetPictureSize(int width, int height) {
    pictureWidth = width;
    pictureHeight = height;
}

void MediaRecorder::Note(const std::string& entry) {
    log_.push_back(entry);
    logTimes_.push_back(clock.NowMillis());
}

std::vector<int64_t> MediaRecorder::TimesOf(const std::string& entry) const {
    std::vector<int64_t> times;
    for (size_t i = 0; i < log_.size(); ++i) {
        if (log_[i] == entry) times.push_back(logTimes_[i]);
    }
    return times;
}

std::vector<std::string> MediaRecorder::TakeSinceMark() {
    std::vector<std::string> result(log_.begin() + static_cast<std::ptrdiff_t>(std::min(mark_, log_.size())),
                                    log_.end());
    mark_ = log_.size();
    return result;
}

bool MediaRecorder::SoundRunning(const std::string& fileName) const {
    for (const RecordingGraph* graph : live) {
        if (graph->IsSound() && graph->File() == fileName && graph->Running()) return true;
    }
    return false;
}

int MediaRecorder::LiveGraphs() const {
    return static_cast<int>(live.size());
}

int64_t MediaRecorder::SoundLengthMs(const std::string& fileName) const {
    const auto found = soundLengths_.find(fileName);
    return found == soundLengths_.end() ? 0 : found->second;
}

}  // namespace tarn::test
