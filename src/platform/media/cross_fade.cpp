// Cross-fades of the FFmpeg graphs: the window system's fade between the
// overlays of two still pictures.
#include <mutex>
#include <unordered_set>

#include "platform/graph.h"
#include "platform/media/still_overlays.h"
#include "platform/window_system.h"

namespace tarn::media {
namespace {

// Graphs are released on whatever thread drops their last reference.
std::mutex g_stillMutex;
std::unordered_set<uint64_t> g_stillGraphs;

bool IsStillGraph(uint64_t number) {
    std::lock_guard<std::mutex> lock(g_stillMutex);
    return g_stillGraphs.count(number) != 0;
}

}  // namespace

void AddStillGraph(uint64_t number) {
    std::lock_guard<std::mutex> lock(g_stillMutex);
    g_stillGraphs.insert(number);
}

void RemoveStillGraph(uint64_t number) {
    std::lock_guard<std::mutex> lock(g_stillMutex);
    g_stillGraphs.erase(number);
}

void StillPictureRuns(HWND owner, uint64_t number) {
    if (!ProcessExitBegun()) ws::StartCrossFade(owner, number);
}

void KeepPictureForCrossFade(HWND owner, DWORD milliseconds) {
    if (ProcessExitBegun()) return;
    ws::HoldPictureForFade(owner, static_cast<int64_t>(milliseconds) * 1000, IsStillGraph);
}

void ReleaseKeptPicture() {
    if (!ProcessExitBegun()) ws::ReleaseHeldPicture();
}

void FinishCrossFade() {
    if (!ProcessExitBegun()) ws::FinishCrossFade();
}

bool CrossFadeRunning() { return ws::CrossFadeRunning(); }

}  // namespace tarn::media
