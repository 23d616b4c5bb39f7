// The two window classes and the creation of the show window and the hidden
// control bar.
#include "ui/show_window.h"

#include "media/media_player.h"
#include "ui/control_bar.h"
#include "platform/embedded_resources.h"

HINSTANCE g_Instance = nullptr;
HWND g_ShowWindow = nullptr;
HWND g_ControlBarWindow = nullptr;
MousePosition LastMousePosition = {-1, -1};

namespace {
// WS_POPUP | WS_MAXIMIZE and the class-specific bit 0x0008, which "MyClass"
// leaves without meaning.
constexpr DWORD SHOW_WINDOW_STYLE = 0x81000008u;
constexpr DWORD CONTROL_BAR_STYLE = WS_POPUP | WS_DLGFRAME;
}  // namespace

void RegisterWindowClasses(HINSTANCE instance) {
    EnsureResourcesRegistered();

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ShowWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "MyClass";
    windowClass.hIconSm = nullptr;
    RegisterClassExA(&windowClass);

    windowClass.lpszClassName = "MyFloatingClass";
    windowClass.lpfnWndProc = ControlBarProc;
    RegisterClassExA(&windowClass);
}

int CreateShowWindows(HINSTANCE instance, int showCommand) {
    // Creating the bar loads its bitmaps with this handle.
    g_Instance = instance;

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    g_ShowWindow = CreateWindowExA(0, "MyClass", "", SHOW_WINDOW_STYLE, 0, 0, screenWidth, screenHeight,
                                   nullptr, nullptr, instance, nullptr);
    if (g_ShowWindow == nullptr) {
        return 0;
    }
    SetWindowPos(g_ShowWindow, HWND_TOPMOST, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN), SWP_SHOWWINDOW);

    ComputeBarRectangle();
    g_ControlBarWindow = CreateWindowExA(0, "MyFloatingClass", "", CONTROL_BAR_STYLE, -100, -100, 0, 0,
                                         g_ShowWindow, nullptr, instance, nullptr);
    ShowWindow(g_ControlBarWindow, SW_HIDE);

    if (FAILED(CoInitialize(nullptr))) {
        return 0;
    }
    if (FAILED(TheMediaPlayer().Initialise())) {
        return 0;
    }
    ShowWindow(g_ShowWindow, showCommand);
    UpdateWindow(g_ShowWindow);
    return 1;
}

void ResetShowWindowState() {
    g_Instance = nullptr;
    g_ShowWindow = nullptr;
    g_ControlBarWindow = nullptr;
    LastMousePosition = {-1, -1};
}
