// The main window's one window procedure.
#include "app/app.h"

#include "ui/ui.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        // The window isn't destroyed: the process ends right after the loop.
        PostQuitMessage(0);
        return 0;
    case WM_CREATE:
        BuildMainWindow(window);
        return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<LRESULT>(
            HandleControlColour(message, reinterpret_cast<HDC>(wParam)));
    case WM_COMMAND:
        HandleCommand(window, wParam);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
