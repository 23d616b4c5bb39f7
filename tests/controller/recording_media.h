// Stand-in media graphs for the controller and window tests.
//
// Every graph the MediaPlayer creates is a RecordingGraph: it renders
// nothing, but writes what is done to it into one shared log ("create
// sound", "render a.wav", "run a.wav", "stop a.wav", "release a.wav", ...),
// so a test can read the order of the media calls of a show. Sound files
// have a length (registered by the test); a running sound graph follows the
// virtual clock and, when its length has played, queues EC_COMPLETE and posts
// its notification, as a real graph does.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/win32.h"

namespace tarn::test {

class RecordingGraph;

class MediaRecorder {
public:
    // Installs the graph factory and a sound device that cannot be opened
    // (the audio keep-alive is not what these tests look at).
    explicit MediaRecorder(VirtualClock& clock);
    // Uninstalls both and detaches any graph still alive from the clock.
    ~MediaRecorder();
    MediaRecorder(const MediaRecorder&) = delete;
    MediaRecorder& operator=(const MediaRecorder&) = delete;

    // A sound file (by its name without folder) plays for `lengthMs`.
    void SetSoundLength(const std::string& fileName, int64_t lengthMs);
    // Rendering a slide takes this long in virtual time (the clock moves on
    // inside RenderFile, as a slow decoder would make it).
    void SetRenderCost(int64_t ms) { renderCostMs = ms; }
    int64_t renderCostMs = 0;
    // When set, every graph creation fails with this result.
    HRESULT creationFailure = 0;
    // Source size reported for pictures.
    void SetPictureSize(int width, int height);

    // Appends an entry from outside the graphs (the recording edge).
    void Note(const std::string& entry);
    const std::vector<std::string>& Log() const { return log_; }
    // Virtual times (ms) at which `entry` was logged.
    std::vector<int64_t> TimesOf(const std::string& entry) const;
    // The entries since the last Mark(), then marks the end.
    std::vector<std::string> TakeSinceMark();
    void Mark() { mark_ = log_.size(); }
    void Clear() {
        log_.clear();
        logTimes_.clear();
        mark_ = 0;
    }

    // Sound graphs alive and running, by file name (for "is it playing").
    bool SoundRunning(const std::string& fileName) const;
    int LiveGraphs() const;

    // Used by the graphs.
    int64_t SoundLengthMs(const std::string& fileName) const;
    int pictureWidth = 640;
    int pictureHeight = 480;
    VirtualClock& clock;
    std::vector<RecordingGraph*> live;

private:
    std::map<std::string, int64_t> soundLengths_;
    std::vector<std::string> log_;
    std::vector<int64_t> logTimes_;
    size_t mark_ = 0;
};

}  // namespace tarn::test
