// A recording stand-in for the platform's graphs and sound device, for tests
// of the MediaPlayer and of code that drives it. Install a RecordingMedia for
// the duration of a test: every graph and sound device the player creates is
// then a recording one, each call is appended to one shared log, and the
// test inspects or steers each graph through its GraphState.
//
// Log lines: "#<n> <Call>" for graph n (n counts graphs from 1 per
// RecordingMedia), "sound <Call>" for the sound device, e.g.
//   "#2 RenderFile a.jpg", "#2 SetWindowPosition 0 43 1024 682",
//   "#2 Release IVideoWindow", "sound SetCooperativeLevel 2".
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/graph.h"
#include "platform/win32.h"

namespace tarn::media::testing {

struct QueuedEvent {
    LONG code;
    LONG_PTR param1;
    LONG_PTR param2;
};

// What a test sees of one recording graph.
struct GraphState {
    int index = 0;             // 1, 2, ... in creation order
    uint64_t number = 0;       // the graph's never-reused number
    DWORD context = 0;         // the class context it was created with
    bool alive = true;         // false once the last reference is released
    int refs = 1;
    std::string renderedFile;  // the UTF-8 name given to RenderFile
    std::string state = "Stopped";  // Stopped, Paused, Running
    double position = -1;      // last put_CurrentPosition, -1 when none
    // Video window.
    LONG visible = OAFALSE;
    OAHWND owner = 0;
    OAHWND drain = 0;
    LONG style = 0;
    RECT rect{};
    // Notifications.
    OAHWND notifyWindow = 0;
    LONG notifyMessage = 0;
    LONG_PTR notifyInstance = 0;
    std::deque<QueuedEvent> events;
    int eventsTaken = 0;
    int eventsFreed = 0;

    // Steering, set by the test before the call concerned.
    HRESULT renderResult = S_OK;
    LONG sourceWidth = 640;
    LONG sourceHeight = 480;
    HRESULT sizeResult = S_OK;
    std::set<std::string> missingInterfaces;  // e.g. "IBasicVideo"
    HRESULT missingResult = E_NOINTERFACE;
};

// Steering of graphs not yet created: applied to each new graph.
struct GraphDefaults {
    HRESULT createResult = S_OK;  // a failure makes CoCreateInstance fail
    HRESULT renderResult = S_OK;
    LONG sourceWidth = 640;
    LONG sourceHeight = 480;
    std::set<std::string> missingInterfaces;
    HRESULT missingResult = E_NOINTERFACE;
};

struct SoundDeviceSteering {
    HRESULT createResult = S_OK;
    HRESULT cooperativeResult = S_OK;
    HRESULT bufferResult = S_OK;
};

class RecordingMedia;

namespace detail {

class RecordingGraph;

template <class I>
class Facet : public I {
public:
    Facet(RecordingGraph* graph, const char* name) : graph_(graph), name_(name) {}
    HRESULT QueryInterface(const Guid& riid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

protected:
    RecordingGraph* graph_;
    const char* name_;
};

class RecordingGraph {
public:
    RecordingGraph(std::shared_ptr<GraphState> state, std::shared_ptr<std::vector<std::string>> log)
        : state_(std::move(state)), log_(std::move(log)) {}

    void Log(const std::string& line) { log_->push_back("#" + std::to_string(state_->index) + " " + line); }
    GraphState& S() { return *state_; }

    ULONG AddRefAs(const char*) { return static_cast<ULONG>(++state_->refs); }
    ULONG ReleaseAs(const char* name) {
        Log(std::string("Release ") + name);
        const int left = --state_->refs;
        if (left == 0) {
            state_->alive = false;
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    HRESULT QueryAs(const Guid& riid, void** object) {
        *object = nullptr;
        const char* name = nullptr;
        void* facet = nullptr;
        if (riid == IID_IUnknown) name = "IUnknown", facet = static_cast<IUnknown*>(&builder_);
        else if (riid == IID_IGraphBuilder) name = "IGraphBuilder", facet = static_cast<IGraphBuilder*>(&builder_);
        else if (riid == IID_IMediaControl) name = "IMediaControl", facet = static_cast<IMediaControl*>(&control_);
        else if (riid == IID_IMediaEventEx) name = "IMediaEventEx", facet = static_cast<IMediaEventEx*>(&events_);
        else if (riid == IID_IMediaPosition) name = "IMediaPosition", facet = static_cast<IMediaPosition*>(&position_);
        else if (riid == IID_IVideoWindow) name = "IVideoWindow", facet = static_cast<IVideoWindow*>(&video_);
        else if (riid == IID_IBasicVideo) name = "IBasicVideo", facet = static_cast<IBasicVideo*>(&basic_);
        else return E_NOINTERFACE;
        if (state_->missingInterfaces.count(name)) {
            Log(std::string("Query ") + name + " refused");
            return state_->missingResult;
        }
        ++state_->refs;
        *object = facet;
        return S_OK;
    }

    // The IUnknown handed to the factory's caller.
    IUnknown* Unknown() { return static_cast<IGraphBuilder*>(&builder_); }

    // Queues an event as the platform would, posting the notification when
    // a window is set.
    void Queue(const QueuedEvent& event) {
        state_->events.push_back(event);
        if (state_->notifyWindow)
            PostMessageA(reinterpret_cast<HWND>(state_->notifyWindow),
                         static_cast<UINT>(state_->notifyMessage), 0, state_->notifyInstance);
    }

private:
    struct Builder : Facet<IGraphBuilder> {
        using Facet::Facet;
        HRESULT RenderFile(LPCWSTR file, LPCWSTR) override {
            char name[2048];
            WideToAnsi(file, name, sizeof name);
            graph_->S().renderedFile = name;
            graph_->Log(std::string("RenderFile ") + name);
            return graph_->S().renderResult;
        }
        uint64_t GraphNumber() override { return graph_->S().number; }
    };
    struct Control : Facet<IMediaControl> {
        using Facet::Facet;
        HRESULT Run() override { return Set("Run", "Running"); }
        HRESULT Pause() override { return Set("Pause", "Paused"); }
        HRESULT Stop() override { return Set("Stop", "Stopped"); }
        HRESULT StopWhenReady() override { return Set("StopWhenReady", "Stopped"); }
        HRESULT Set(const char* call, const char* state) {
            graph_->Log(call);
            graph_->S().state = state;
            return S_OK;
        }
    };
    struct Events : Facet<IMediaEventEx> {
        using Facet::Facet;
        HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instance) override {
            graph_->Log("SetNotifyWindow " + std::to_string(message) + " " + std::to_string(instance));
            graph_->S().notifyWindow = window;
            graph_->S().notifyMessage = message;
            graph_->S().notifyInstance = instance;
            return S_OK;
        }
        HRESULT GetEvent(LONG* code, LONG_PTR* p1, LONG_PTR* p2, LONG timeout) override {
            auto& queue = graph_->S().events;
            if (queue.empty()) {
                graph_->Log("GetEvent none");
                return E_ABORT;
            }
            const QueuedEvent e = queue.front();
            queue.pop_front();
            ++graph_->S().eventsTaken;
            graph_->Log("GetEvent " + std::to_string(e.code));
            *code = e.code, *p1 = e.param1, *p2 = e.param2;
            return S_OK;
        }
        HRESULT FreeEventParams(LONG code, LONG_PTR, LONG_PTR) override {
            ++graph_->S().eventsFreed;
            graph_->Log("FreeEventParams " + std::to_string(code));
            return S_OK;
        }
    };
    struct Position : Facet<IMediaPosition> {
        using Facet::Facet;
        HRESULT put_CurrentPosition(REFTIME t) override {
            graph_->S().position = t;
            graph_->Log("put_CurrentPosition " + std::to_string(static_cast<int>(t)));
            return S_OK;
        }
    };
    struct Video : Facet<IVideoWindow> {
        using Facet::Facet;
        HRESULT put_Visible(LONG v) override {
            graph_->S().visible = v;
            graph_->Log("put_Visible " + std::to_string(v));
            return S_OK;
        }
        HRESULT put_Owner(OAHWND o) override {
            graph_->S().owner = o;
            graph_->Log(o ? "put_Owner window" : "put_Owner 0");
            return S_OK;
        }
        HRESULT put_MessageDrain(OAHWND d) override {
            graph_->S().drain = d;
            graph_->Log(d ? "put_MessageDrain window" : "put_MessageDrain 0");
            return S_OK;
        }
        HRESULT put_WindowStyle(LONG s) override {
            graph_->S().style = s;
            graph_->Log("put_WindowStyle " + std::to_string(static_cast<uint32_t>(s)));
            return S_OK;
        }
        HRESULT SetWindowForeground(LONG f) override {
            graph_->Log("SetWindowForeground " + std::to_string(f));
            return S_OK;
        }
        HRESULT SetWindowPosition(LONG l, LONG t, LONG w, LONG h) override {
            graph_->S().rect = RECT{l, t, l + w, t + h};
            graph_->Log("SetWindowPosition " + std::to_string(l) + " " + std::to_string(t) + " " +
                        std::to_string(w) + " " + std::to_string(h));
            return S_OK;
        }
    };
    struct Basic : Facet<IBasicVideo> {
        using Facet::Facet;
        HRESULT get_SourceWidth(LONG* w) override {
            if (FAILED(graph_->S().sizeResult)) return graph_->S().sizeResult;
            *w = graph_->S().sourceWidth;
            return S_OK;
        }
        HRESULT get_SourceHeight(LONG* h) override {
            if (FAILED(graph_->S().sizeResult)) return graph_->S().sizeResult;
            *h = graph_->S().sourceHeight;
            return S_OK;
        }
    };

    std::shared_ptr<GraphState> state_;
    std::shared_ptr<std::vector<std::string>> log_;
    Builder builder_{this, "IGraphBuilder"};
    Control control_{this, "IMediaControl"};
    Events events_{this, "IMediaEventEx"};
    Position position_{this, "IMediaPosition"};
    Video video_{this, "IVideoWindow"};
    Basic basic_{this, "IBasicVideo"};
};

template <class I>
HRESULT Facet<I>::QueryInterface(const Guid& riid, void** object) {
    return graph_->QueryAs(riid, object);
}
template <class I>
ULONG Facet<I>::AddRef() {
    return graph_->AddRefAs(name_);
}
template <class I>
ULONG Facet<I>::Release() {
    return graph_->ReleaseAs(name_);
}

class RecordingSoundDevice final : public IDirectSound {
public:
    RecordingSoundDevice(const SoundDeviceSteering& steering, std::shared_ptr<std::vector<std::string>> log,
                         std::shared_ptr<int> liveDevices)
        : steering_(steering), log_(std::move(log)), live_(std::move(liveDevices)) {
        ++*live_;
    }
    HRESULT QueryInterface(const Guid& riid, void** object) override {
        *object = nullptr;
        if (!(riid == IID_IUnknown) && !(riid == IID_IDirectSound)) return E_NOINTERFACE;
        ++refs_;
        *object = static_cast<IDirectSound*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs_); }
    ULONG Release() override {
        log_->push_back("sound Release");
        const int left = --refs_;
        if (left == 0) {
            --*live_;
            delete this;
        }
        return static_cast<ULONG>(left);
    }
    HRESULT CreateSoundBuffer(const DSBUFFERDESC* d, IDirectSoundBuffer** buffer, IUnknown*) override {
        log_->push_back("sound CreateSoundBuffer size=" + std::to_string(d->dwSize) +
                        " flags=" + std::to_string(d->dwFlags) + " bytes=" +
                        std::to_string(d->dwBufferBytes));
        *buffer = nullptr;
        if (steering_.bufferResult != S_OK) return steering_.bufferResult;
        *buffer = &primary_;
        return S_OK;
    }
    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        log_->push_back("sound SetCooperativeLevel " + std::to_string(level));
        return steering_.cooperativeResult;
    }

private:
    struct Primary final : IDirectSoundBuffer {
        explicit Primary(RecordingSoundDevice* d) : device(d) {}
        HRESULT QueryInterface(const Guid&, void** object) override {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return 1; }
        ULONG Release() override { return 1; }
        HRESULT Play(DWORD, DWORD, DWORD flags) override {
            device->log_->push_back("sound Play " + std::to_string(flags));
            return S_OK;
        }
        RecordingSoundDevice* device;
    };
    ~RecordingSoundDevice() = default;

    SoundDeviceSteering steering_;
    std::shared_ptr<std::vector<std::string>> log_;
    std::shared_ptr<int> live_;
    int refs_ = 1;
    Primary primary_{this};
};

}  // namespace detail

// Installs recording factories for its lifetime.
class RecordingMedia {
public:
    RecordingMedia() {
        InstallGraphFactory([this](DWORD context, IUnknown** out) -> HRESULT {
            *out = nullptr;
            log->push_back("CoCreateInstance " + std::to_string(context));
            if (FAILED(defaults.createResult)) return defaults.createResult;
            auto state = std::make_shared<GraphState>();
            state->index = static_cast<int>(graphs.size()) + 1;
            state->number = NewGraphNumber();
            state->context = context;
            state->renderResult = defaults.renderResult;
            state->sourceWidth = defaults.sourceWidth;
            state->sourceHeight = defaults.sourceHeight;
            state->missingInterfaces = defaults.missingInterfaces;
            state->missingResult = defaults.missingResult;
            auto* graph = new detail::RecordingGraph(state, log);
            graphs.push_back(state);
            objects.push_back(graph);
            *out = graph->Unknown();
            return S_OK;
        });
        InstallSoundDeviceFactory([this](IDirectSound** out) -> HRESULT {
            *out = nullptr;
            log->push_back("sound DirectSoundCreate");
            if (FAILED(sound.createResult)) return sound.createResult;
            *out = new detail::RecordingSoundDevice(sound, log, liveSoundDevices);
            return S_OK;
        });
    }
    ~RecordingMedia() {
        InstallGraphFactory(nullptr);
        InstallSoundDeviceFactory(nullptr);
    }
    RecordingMedia(const RecordingMedia&) = delete;
    RecordingMedia& operator=(const RecordingMedia&) = delete;

    // The state of graph n (1-based), created in that order.
    GraphState& Graph(int n) { return *graphs.at(static_cast<size_t>(n - 1)); }
    GraphState& Last() { return *graphs.back(); }
    int GraphCount() const { return static_cast<int>(graphs.size()); }
    int LiveGraphs() const {
        int n = 0;
        for (const auto& g : graphs) n += g->alive ? 1 : 0;
        return n;
    }
    int LiveSoundDevices() const { return *liveSoundDevices; }

    // Queues an event on live graph n and posts its notification, if any.
    void QueueEvent(int n, LONG code, LONG_PTR p1 = 0, LONG_PTR p2 = 0) {
        GraphState& s = Graph(n);
        if (!s.alive) return;
        objects.at(static_cast<size_t>(n - 1))->Queue(QueuedEvent{code, p1, p2});
    }

    // Log lines that start with `prefix` (e.g. "#2 " or "sound "), in order.
    std::vector<std::string> LinesOf(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& line : *log)
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        return out;
    }
    void ClearLog() { log->clear(); }

    GraphDefaults defaults;
    SoundDeviceSteering sound;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

private:
    std::vector<std::shared_ptr<GraphState>> graphs;
    std::vector<detail::RecordingGraph*> objects;  // valid only while alive
    std::shared_ptr<int> liveSoundDevices = std::make_shared<int>(0);
};

}  // namespace tarn::media::testing
