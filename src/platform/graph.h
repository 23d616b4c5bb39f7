// The media graph interface the MediaPlayer and its SoundChannels are written
// against: a small set of reference-counted interfaces shaped like the
// DirectShow and DirectSound ones (same names, methods, argument meanings and
// result codes), so that the player logic reads the same whatever plays the
// media. On Linux the graph is the FFmpeg graph of src/platform/media; a
// Windows build can put DirectShow under the same interfaces.
//
// Rules, as in COM: an interface pointer handed out by QueryInterface or a
// creation function counts as one reference the receiver must Release.
// Queries for an interface an object lacks fail with E_NOINTERFACE.
//
// Graph identity: every graph carries a number that is never reused in the
// process (GraphNumber). Event notifications carry that number as lParam, so
// a notification is matched to its graph by value alone; a late message from
// a released graph is recognised without touching the released object.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/win32.h"

namespace tarn::media {

// ---- Identifiers -----------------------------------------------------------
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    friend constexpr bool operator==(const Guid& a, const Guid& b) {
        if (a.data1 != b.data1 || a.data2 != b.data2 || a.data3 != b.data3) return false;
        for (int i = 0; i < 8; ++i)
            if (a.data4[i] != b.data4[i]) return false;
        return true;
    }
};

inline constexpr Guid CLSID_FilterGraph{
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr Guid IID_IGraphBuilder{
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IMediaControl{
    0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IMediaPosition{
    0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IVideoWindow{
    0x56A868B4, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IBasicVideo{
    0x56A868B5, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IMediaEventEx{
    0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr Guid IID_IDirectSound{
    0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr Guid IID_IDirectSoundBuffer{
    0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

// ---- Types and constants ---------------------------------------------------
using WCHAR = char16_t;
using LPCWSTR = const WCHAR*;
using OAHWND = LONG_PTR;
using OAEVENT = LONG_PTR;
using REFTIME = double;  // seconds

inline constexpr LONG OAFALSE = 0;
inline constexpr LONG OATRUE = -1;

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;

// <windows.h> defines these two as macros of the same values.
#ifndef E_ABORT
inline constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
#endif
#ifndef REGDB_E_CLASSNOTREG
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
#endif
// The graph found no way to play the file (format unknown or unreadable).
inline constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x8004025Eu);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
inline constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
inline constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
inline constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);
inline constexpr HRESULT DSERR_INVALIDPARAM = E_INVALIDARG;

// Event codes a graph queues.
inline constexpr LONG EC_COMPLETE = 0x01;
inline constexpr LONG EC_USERABORT = 0x02;
inline constexpr LONG EC_ERRORABORT = 0x03;
inline constexpr LONG EC_NEED_RESTART = 0x14;
inline constexpr LONG EC_DEVICE_LOST = 0x1F;

inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr DWORD DSBPLAY_LOOPING = 0x1;

struct WAVEFORMATEX;
struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    Guid guid3DAlgorithm;
};

// ---- Interfaces ------------------------------------------------------------
class IUnknown {
public:
    static constexpr const Guid& iid = IID_IUnknown;
    virtual HRESULT QueryInterface(const Guid& riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;  // objects end through Release
};

// The graph itself: builds the playback chain for a file.
class IGraphBuilder : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IGraphBuilder;
    // Builds the chain that plays `file` (pictures, clips, sounds).
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    // The graph's process-unique, never reused number (not part of the
    // DirectShow interface; it is what notifications carry as lParam).
    virtual uint64_t GraphNumber() = 0;

protected:
    ~IGraphBuilder() = default;
};

class IMediaControl : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IMediaControl;
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    // Cues the graph: waits until the first picture is on screen, then stops.
    virtual HRESULT StopWhenReady() = 0;

protected:
    ~IMediaControl() = default;
};

class IMediaEventEx : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IMediaEventEx;
    // Every event queued from now on posts `message` to `window` with
    // wParam 0 and lParam `instance`. A zero window stops the notifications.
    virtual HRESULT SetNotifyWindow(OAHWND window, LONG message, LONG_PTR instance) = 0;
    // Takes the oldest queued event; E_ABORT (and nothing filled) when none
    // is queued within `timeoutMs`.
    virtual HRESULT GetEvent(LONG* eventCode, LONG_PTR* param1, LONG_PTR* param2,
                             LONG timeoutMs) = 0;
    virtual HRESULT FreeEventParams(LONG eventCode, LONG_PTR param1, LONG_PTR param2) = 0;

protected:
    ~IMediaEventEx() = default;
};

class IMediaPosition : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IMediaPosition;
    virtual HRESULT put_CurrentPosition(REFTIME seconds) = 0;

protected:
    ~IMediaPosition() = default;
};

// The picture's place: a rectangle of the owner window.
class IVideoWindow : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IVideoWindow;
    virtual HRESULT put_Visible(LONG visible) = 0;
    virtual HRESULT put_Owner(OAHWND owner) = 0;
    virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
    virtual HRESULT put_WindowStyle(LONG style) = 0;
    virtual HRESULT SetWindowForeground(LONG focus) = 0;
    virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;

protected:
    ~IVideoWindow() = default;
};

class IBasicVideo : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IBasicVideo;
    virtual HRESULT get_SourceWidth(LONG* width) = 0;
    virtual HRESULT get_SourceHeight(LONG* height) = 0;

protected:
    ~IBasicVideo() = default;
};

// The primary buffer belongs to its device object: it lives as long as that
// object, and its own AddRef/Release count nothing.
class IDirectSoundBuffer : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IDirectSoundBuffer;
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;

protected:
    ~IDirectSoundBuffer() = default;
};

// The sound device: holding it keeps the device open and its mixer running.
class IDirectSound : public IUnknown {
public:
    static constexpr const Guid& iid = IID_IDirectSound;
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description,
                                      IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;

protected:
    ~IDirectSound() = default;
};

// ---- Reference holder ------------------------------------------------------
// Holds one reference to an interface; releases it when reset or destroyed.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over a reference the caller owns.
    static ComPtr Attach(T* p) {
        ComPtr c;
        c.p_ = p;
        return c;
    }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases the held reference, if any.
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For out parameters: releases the current reference first.
    T** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }

private:
    T* p_ = nullptr;
};

// Queries `from` for interface I. A failed query (E_NOINTERFACE or any other
// failure) yields an empty reference, and the caller skips the step.
template <class I, class From>
ComPtr<I> Query(From* from) {
    ComPtr<I> result;
    if (from) from->QueryInterface(I::iid, result.PutVoid());
    return result;
}
template <class I, class From>
ComPtr<I> Query(const ComPtr<From>& from) {
    return Query<I>(from.Get());
}

// ---- Creation --------------------------------------------------------------
// Creates an instance of `clsid` (only CLSID_FilterGraph is known) and
// queries it for `riid`.
HRESULT CoCreateInstance(const Guid& clsid, IUnknown* outer, DWORD context, const Guid& riid,
                         void** object);
// Puts an object into its running state (a graph is running once created).
HRESULT OleRun(IUnknown* object);
// Opens the default sound device (`device` null).
HRESULT DirectSoundCreate(const Guid* device, IDirectSound** sound, IUnknown* outer);

// Tells the platform that the file `name` (8-bit) is likely to be rendered
// soon, so that it may prepare it ahead of time. Has no effect while a test
// graph factory is installed.
void HintUpcomingFile(const char* name);
// The same for a sound file that a slide change will start.
void HintUpcomingSound(const char* name);
// Tells the platform that no file hinted so far will be rendered: what it
// holds open for them is let go (before the show's files are deleted).
void ForgetUpcomingFiles();

// Cross-fades between still pictures (beyond DirectShow's interfaces).
// Keeps the still picture now shown in `owner` (nothing when a clip or no
// picture is shown, or a cross-fade cannot be drawn): when the next picture
// that runs in `owner` is a still picture, it fades in over the kept one
// during `milliseconds`. A fade still running ends first.
void KeepPictureForCrossFade(HWND owner, DWORD milliseconds);
// Lets go of a kept picture that no fade has taken up.
void ReleaseKeptPicture();
// Ends a running fade at once, the new picture shown whole, and lets go of
// a kept picture.
void FinishCrossFade();
// Whether a fade is running now.
bool CrossFadeRunning();

// The process is ending: from now on graphs still being released leave the
// window system alone (its state may already be gone) and post nothing.
void EnterProcessExit();
bool ProcessExitBegun();

// Makes a new graph; returns its IUnknown (one reference) in *graph.
using GraphFactory = std::function<HRESULT(DWORD context, IUnknown** graph)>;
// Opens the sound device; returns it (one reference) in *sound.
using SoundDeviceFactory = std::function<HRESULT(IDirectSound** sound)>;

// Replace the platform's graph or sound device (tests); an empty function
// restores the platform's own.
void InstallGraphFactory(GraphFactory factory);
void InstallSoundDeviceFactory(SoundDeviceFactory factory);

// The number for the next graph: process-unique, never reused, never 0.
uint64_t NewGraphNumber();

// 8-bit (ANSI code page) name to UTF-16 and back. On Linux the ANSI code
// page is UTF-8; bytes that are not valid UTF-8 are carried through as the
// lone surrogates U+DC80..U+DCFF so every name survives the round trip.
// Each returns the number of units written including the terminating zero,
// or 0 (with an empty result when room allows) when `capacity` is too small.
int AnsiToWide(const char* text, WCHAR* out, int capacity);
int WideToAnsi(const WCHAR* text, char* out, int capacity);

}  // namespace tarn::media
