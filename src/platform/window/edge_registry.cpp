// Which edge the core talks to.
#include <atomic>

#include "platform/window/headless_edge.h"

namespace tarn::ws {
namespace {

std::atomic<Edge*> g_edge{nullptr};

// Used while no edge is installed: an in-memory screen on whatever clock is
// current.
Edge& FallbackEdge() {
    static HeadlessEdge edge{HeadlessEdge::OnCurrentClock{}};
    return edge;
}

}  // namespace

void InstallEdge(Edge* edge) { g_edge.store(edge, std::memory_order_release); }

Edge* InstalledEdge() { return g_edge.load(std::memory_order_acquire); }

Edge& CurrentEdge() {
    Edge* edge = g_edge.load(std::memory_order_acquire);
    return edge ? *edge : FallbackEdge();
}

}  // namespace tarn::ws
