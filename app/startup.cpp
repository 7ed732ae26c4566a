// The process entry, the window class, the centred main window and the
// message loop.
#include "app/app.h"

#include <commctrl.h>

#include "app/app_state.h"

extern "C" void StartUp() {
    // Another instance is recognised by its class and title together.
    if (FindWindowA(WindowClassName, WindowTitle))
        ExitProcess(
            MessageBoxA(nullptr, "This program is already running...", "Keyscry", MB_ICONWARNING));

    HINSTANCE instance = GetModuleHandleA(nullptr);
    appState.instance = instance;
    appState.aboutParams.hInstance = instance;
    appState.commandLine = GetCommandLineA();
    InitCommonControls();
    ExitProcess(RunMainWindow(instance, nullptr, appState.commandLine, SW_SHOWDEFAULT));
}

int CentreOffset(unsigned size, unsigned screenSize) {
    return static_cast<int>(screenSize / 2) - static_cast<int>(size / 2);
}

int RunMainWindow(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = appState.instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClassName;
    RegisterClassExA(&windowClass);

    int x = CentreOffset(645, GetSystemMetrics(SM_CXSCREEN));
    int y = CentreOffset(430, GetSystemMetrics(SM_CYSCREEN));
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_ACCEPTFILES, WindowClassName, WindowTitle,
                                  WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 645, 430,
                                  nullptr, nullptr, instance, nullptr);
    // Without a window nothing could ever post the quit message.
    if (!window)
        return ExitNoWindow;
    appState.mainWindow = window;
    appState.aboutParams.hwndOwner = window;

    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
