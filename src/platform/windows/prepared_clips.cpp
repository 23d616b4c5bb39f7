#include "platform/graph.h"

#include "platform/windows/prepared_clips.h"

#include <algorithm>
#include <deque>
#include <iterator>

#include "platform/windows/clip_graph.h"
#include "platform/windows/picture_decode.h"
#include "platform/windows/prepared_pictures.h"

namespace tarn {
namespace {

// After the slide change that hinted: long enough for the new slide to be
// painted first, which the timer's low priority alone does not ensure on
// every window system.
constexpr UINT kPrepareDelayMs = 100;

struct Prepared {
    std::wstring path;
    FileStamp stamp;
    ComRef<::IGraphBuilder> graph;
};

// Everything here runs on the user-interface thread. The graphs are let go
// by ReleasePreparedClips while COM is still there, never at static
// destruction: the list is never destroyed.
std::wstring g_wanted[2];  // by ClipKind
std::deque<Prepared>& g_prepared = *new std::deque<Prepared>;
UINT_PTR g_timer = 0;

bool IsStillPicture(const std::wstring& path) {
    ComRef<IWICImagingFactory> factory = NewImagingFactory();
    return factory && FirstPictureFrame(factory.Get(), path.c_str());
}

ComRef<::IGraphBuilder> BuildGraph(const std::wstring& path) {
    ComRef<::IGraphBuilder> graph;
    if (FAILED(::CoCreateInstance(::CLSID_FilterGraph, nullptr, ::CLSCTX_INPROC_SERVER, ::IID_IGraphBuilder,
                                  graph.PutVoid())) ||
        FAILED(RenderClipFile(graph.Get(), path.c_str()))) {
        graph.Reset();
    }
    return graph;
}

void KillPrepareTimer() {
    if (g_timer != 0) {
        KillTimer(nullptr, g_timer);
        g_timer = 0;
    }
}

VOID CALLBACK PrepareWhenIdle(HWND, UINT, UINT_PTR, DWORD) { PrepareWantedClipsNow(); }

bool Wanted(const std::wstring& path) {
    return std::find(std::begin(g_wanted), std::end(g_wanted), path) != std::end(g_wanted);
}

}  // namespace

void PrepareClip(const std::wstring& path, ClipKind kind) {
    if (path.empty() || media::ProcessExitBegun()) return;
    g_wanted[static_cast<int>(kind)] = path;
    KillPrepareTimer();
    g_timer = SetTimer(nullptr, 0, kPrepareDelayMs, &PrepareWhenIdle);
}

void PrepareWantedClipsNow() {
    KillPrepareTimer();
    if (media::ProcessExitBegun()) return;
    // Graphs of files no longer wanted go first (each holds its file).
    std::erase_if(g_prepared, [](const Prepared& p) { return !Wanted(p.path); });
    for (const std::wstring& path : g_wanted) {
        if (path.empty()) continue;
        FileStamp stamp;
        if (!ReadFileStamp(path, &stamp)) continue;
        auto kept = std::find_if(g_prepared.begin(), g_prepared.end(),
                                 [&](const Prepared& p) { return p.path == path; });
        if (kept != g_prepared.end()) {
            if (kept->stamp == stamp) continue;
            g_prepared.erase(kept);
        }
        if (IsStillPicture(path)) continue;
        if (ComRef<::IGraphBuilder> graph = BuildGraph(path)) {
            g_prepared.push_back(Prepared{path, stamp, std::move(graph)});
        }
    }
}

ComRef<::IGraphBuilder> TakePreparedClip(const std::wstring& path) {
    // Rendered now: not to be built again for a later hint of another file.
    for (std::wstring& wanted : g_wanted) {
        if (wanted == path) wanted.clear();
    }
    auto kept = std::find_if(g_prepared.begin(), g_prepared.end(),
                             [&](const Prepared& p) { return p.path == path; });
    if (kept == g_prepared.end()) return {};
    ComRef<::IGraphBuilder> graph;
    FileStamp stamp;
    if (ReadFileStamp(path, &stamp) && stamp == kept->stamp) graph = std::move(kept->graph);
    g_prepared.erase(kept);
    return graph;
}

void ReleasePreparedClips() {
    KillPrepareTimer();
    for (std::wstring& path : g_wanted) path.clear();
    g_prepared.clear();
}

bool ClipIsPrepared(const std::wstring& path) {
    return std::any_of(g_prepared.begin(), g_prepared.end(), [&](const Prepared& p) { return p.path == path; });
}

}  // namespace tarn
