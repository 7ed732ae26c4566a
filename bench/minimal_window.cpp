// The reference of the start-up benchmark: the least a program does to show a
// window with one filled list, built the ordinary way with the C runtime.
#include <windows.h>

#include "app/identifiers.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA; // which destroys the window on WM_CLOSE
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "MinimalWindow";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, "MinimalWindow", "Minimal window", WS_OVERLAPPEDWINDOW, 0, 0,
                                  645, 430, nullptr, nullptr, instance, nullptr);
    // The driver finds the list by the id Keyscry gives its algorithm list.
    HWND list = CreateWindowExA(0, "LISTBOX", nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 600, 300,
                                window, reinterpret_cast<HMENU>(IDC_ALGORITHMS), instance, nullptr);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("one row"));
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (IsWindow(window) && GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
