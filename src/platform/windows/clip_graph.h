// The steps of a slide's clip (or sound) in a DirectShow filter graph: built
// with the plain video renderer, cued, and run from the cue so that its
// pictures keep the times they were cued for.
#pragma once

#include <dshow.h>

namespace tarn {

// Renders `path` into `graph`. The plain video renderer goes into the graph
// first, so that a clip's pictures take it rather than the default one,
// which needs Direct3D; a file without pictures leaves it unconnected and it
// goes again (the graph would wait for it to finish otherwise).
HRESULT RenderClipFile(::IGraphBuilder* graph, const wchar_t* path);

// Pauses `graph` and waits (5 s at most) until its renderers hold their
// first data: the first picture is in the video renderer.
HRESULT CueClip(::IGraphBuilder* graph);

// Runs a cued graph with stream time 0 at the present time of its clock:
// the first picture is already shown, and the later ones come on their
// times from now. (IMediaControl::Run leaves a margin before stream time 0,
// which would hold the cued picture that much longer.) Without a clock the
// graph is run the ordinary way.
HRESULT RunCuedClip(::IGraphBuilder* graph);

}  // namespace tarn
