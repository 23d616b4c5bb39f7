#include "platform/windows/clip_graph.h"

#include "platform/windows/com_ref.h"

namespace tarn {
namespace {

constexpr LONG kCueMilliseconds = 5000;

bool HasConnectedPin(::IBaseFilter* filter) {
    ComRef<::IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return false;
    for (;;) {
        ComRef<::IPin> pin;
        if (pins->Next(1, pin.Put(), nullptr) != S_OK) return false;
        ComRef<::IPin> peer;
        if (SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer) return true;
    }
}

}  // namespace

HRESULT RenderClipFile(::IGraphBuilder* graph, const wchar_t* path) {
    ComRef<::IBaseFilter> renderer;
    if (SUCCEEDED(::CoCreateInstance(::CLSID_VideoRenderer, nullptr, ::CLSCTX_INPROC_SERVER,
                                     ::IID_IBaseFilter, renderer.PutVoid())) &&
        FAILED(graph->AddFilter(renderer.Get(), L"Video Renderer"))) {
        renderer.Reset();
    }
    const HRESULT hr = graph->RenderFile(path, nullptr);
    if (renderer && !HasConnectedPin(renderer.Get())) graph->RemoveFilter(renderer.Get());
    return hr;
}

HRESULT CueClip(::IGraphBuilder* graph) {
    ComRef<::IMediaControl> control;
    HRESULT hr = graph->QueryInterface(::IID_IMediaControl, control.PutVoid());
    if (FAILED(hr)) return hr;
    hr = control->Pause();
    if (FAILED(hr)) return hr;
    OAFilterState state = State_Stopped;
    control->GetState(kCueMilliseconds, &state);
    return hr;
}

HRESULT RunCuedClip(::IGraphBuilder* graph) {
    ComRef<::IMediaFilter> filter;
    if (SUCCEEDED(graph->QueryInterface(::IID_IMediaFilter, filter.PutVoid()))) {
        ComRef<::IReferenceClock> clock;
        if (FAILED(filter->GetSyncSource(clock.Put())) || !clock) {
            // The graph chooses its clock when it first runs: now.
            ComRef<::IFilterGraph> filters;
            if (SUCCEEDED(graph->QueryInterface(::IID_IFilterGraph, filters.PutVoid()))) {
                filters->SetDefaultSyncSource();
            }
            filter->GetSyncSource(clock.Put());
        }
        REFERENCE_TIME now = 0;
        if (clock && SUCCEEDED(clock->GetTime(&now)) && now != 0) return filter->Run(now);
    }
    ComRef<::IMediaControl> control;
    const HRESULT hr = graph->QueryInterface(::IID_IMediaControl, control.PutVoid());
    return FAILED(hr) ? hr : control->Run();
}

}  // namespace tarn
