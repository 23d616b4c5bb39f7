#include "media/sound_channel.h"

#include <vector>

using namespace tarn::media;

SoundChannel::~SoundChannel() { Stop(); }

HRESULT SoundChannel::Play(const char* name, HWND window, UINT message) {
    // The name in both forms: 8-bit for the existence test, UTF-16 for the graph.
    const int length = name ? lstrlenA(name) : 0;
    std::vector<tarn::media::WCHAR> wide(static_cast<size_t>(length) + 1, 0);
    if (length > 0) AnsiToWide(name, wide.data(), length + 1);

    if (length == 0 || GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) return -1;
    if (wide[0] == 0) return -1;

    // A new graph for every sound; the previous one is let go without a stop.
    graph.Reset();
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                  IID_IUnknown, unknown.PutVoid());
    if (FAILED(hr)) return hr;
    hr = OleRun(unknown.Get());
    if (FAILED(hr)) return hr;
    hr = unknown->QueryInterface(IID_IGraphBuilder, graph.PutVoid());
    unknown.Reset();
    if (FAILED(hr)) return hr;

    hr = graph->RenderFile(wide.data(), nullptr);
    if (FAILED(hr)) return hr;

    if (ComPtr<IMediaEventEx> events = Query<IMediaEventEx>(graph); events && IsWindow(window)) {
        events->SetNotifyWindow(reinterpret_cast<OAHWND>(window), static_cast<LONG>(message),
                                static_cast<LONG_PTR>(graph->GraphNumber()));
    }
    if (ComPtr<IMediaControl> control = Query<IMediaControl>(graph)) hr = control->Run();
    return hr;
}

HRESULT SoundChannel::Stop() {
    if (graph) {
        if (ComPtr<IMediaControl> control = Query<IMediaControl>(graph)) control->Stop();
        graph.Reset();
    }
    return S_OK;
}

HRESULT SoundChannel::Pause() {
    if (graph) {
        if (ComPtr<IMediaControl> control = Query<IMediaControl>(graph)) control->Pause();
    }
    return S_OK;
}

HRESULT SoundChannel::Resume() {
    if (graph) {
        if (ComPtr<IMediaControl> control = Query<IMediaControl>(graph)) control->Run();
    }
    return S_OK;
}

HRESULT SoundChannel::HandleEvent(UINT message, WPARAM wParam, LPARAM lParam, bool& finished) {
    if (!graph) return S_OK;
    // Graph numbers are never reused, so comparing values is enough: a
    // notification from a released graph never matches, and nothing is
    // called on the object it came from.
    if (lParam != static_cast<LPARAM>(graph->GraphNumber())) return S_OK;

    ComPtr<IMediaEventEx> events = Query<IMediaEventEx>(graph);
    if (!events) return S_OK;

    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    // One event per notification; none waiting means nothing to act on.
    if (FAILED(events->GetEvent(&code, &param1, &param2, 0))) return S_OK;

    switch (code) {
    case EC_COMPLETE:
        if (loop) {
            ComPtr<IMediaControl> control = Query<IMediaControl>(graph);
            ComPtr<IMediaPosition> position = Query<IMediaPosition>(graph);
            if (position) position->put_CurrentPosition(0.0);
            if (control) control->Run();
            break;
        }
        [[fallthrough]];
    case EC_USERABORT:
        if (ComPtr<IMediaControl> control = Query<IMediaControl>(graph)) control->Stop();
        finished = true;
        break;
    case EC_ERRORABORT:
    case EC_NEED_RESTART:
    case EC_DEVICE_LOST:
        graph.Reset();  // `events` keeps the object alive until we are done
        finished = true;
        break;
    default:
        break;
    }
    events->FreeEventParams(code, param1, param2);
    return S_OK;
}
