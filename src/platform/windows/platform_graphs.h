// The graphs of the Windows platform behind the interface of media/graph.h.
// The platform's graph (CreatePlatformGraph) renders a file with DirectShow
// and, where DirectShow cannot render it fully, with Media Foundation.
#pragma once

#include "platform/graph.h"

namespace tarn::media {

// Makes a graph; its IUnknown (one reference) in *graph.
using GraphMaker = HRESULT (*)(IUnknown** graph);

// A filter graph, with still pictures shown by the imaging component.
HRESULT CreateDirectShowGraph(IUnknown** graph);
// A Media Foundation session for clips and sounds.
HRESULT CreateMediaFoundationGraph(IUnknown** graph);
// A graph that renders each file with a graph made by `first` and, where
// that one fails or renders the file only in part, with one made by
// `second`; every call goes to the graph that holds the file.
HRESULT CreateFallbackGraph(GraphMaker first, GraphMaker second, IUnknown** graph);

}  // namespace tarn::media
