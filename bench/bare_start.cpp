// The baseline of the start-up benchmark: the platform calls that Keyscry
// makes before its window first shows, in one straight row and nothing else:
// the single-instance check, version-6 common controls (the same manifest),
// the same icon, class, centred window, three fonts and eleven controls, the
// catalogue read into the provider box right after it is made, and the first
// refresh, the bare refresh's. Linked like Keyscry, without a runtime, so that
// Keyscry against it is Keyscry's own share.
#include "bare_start.h"

#include <commctrl.h>
#include <wincrypt.h>

#include <iterator>

#include "app/identifiers.h"
#include "bare_refresh.h"
#include "provider/provider.h"
#include "support/keyscry_numbers.h"
#include "ui/ui.h"

namespace {

char keyName[LongestNameListed + 1];

LRESULT CALLBACK BareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HFONT Font(int height, const char* face) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

struct Control {
    DWORD extendedStyle;
    const char* className;
    const char* text;
    DWORD style;
    int x, y, width, height, id;
    int font; // 0 ui, 1 label, 2 fixed, -1 none
};

const DWORD Label = WS_CHILD | WS_VISIBLE;
const DWORD Button = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
const DWORD Combo =
    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_SORT | CBS_AUTOHSCROLL | CBS_DROPDOWN;

const Control Controls[] = {
    {0, "STATIC", "Provider:", Label, 10, 20, 100, 20, 0, 1},
    {0, "COMBOBOX", nullptr, Combo, 110, 16, 520, 750, IDC_PROVIDER, 0},
    {0, "STATIC", "Provider Type:", Label, 10, 48, 120, 20, 0, 1},
    {WS_EX_STATICEDGE, "EDIT", " ", 0x50010881, 110, 45, 220, 20, 0, 0},
    {0, "STATIC", "Container:", Label, 350, 48, 90, 20, 0, 1},
    {0, "COMBOBOX", nullptr, Combo, 420, 45, 210, 100, IDC_CONTAINER, 0},
    {0, "BUTTON", "Refresh", Button, 420, 370, 100, 24, IDC_REFRESH, 1},
    {0, "BUTTON", "Exit", Button, 530, 370, 100, 24, IDC_EXIT, 1},
    {0, "BUTTON", "About", Button, 10, 370, 100, 24, IDC_ABOUT, 1},
    {WS_EX_CLIENTEDGE, "LISTBOX", nullptr, 0x50B05143, 10, 110, 620, 250, IDC_ALGORITHMS, 2},
    {0, "STATIC", HeaderText, Label, 10, 90, 620, 20, 0, 2},
};

} // namespace

HWND BuildBareWindow(HINSTANCE instance) {
    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = BareWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon;
    windowClass.hIconSm = icon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "BareStart";
    RegisterClassExA(&windowClass);
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - 645 / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - 430 / 2;
    HWND window = CreateWindowExA(WS_EX_TOPMOST | WS_EX_ACCEPTFILES, "BareStart", "Bare start",
                                  WS_OVERLAPPED | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 645, 430,
                                  nullptr, nullptr, instance, nullptr);

    HFONT fonts[] = {Font(-12, "Tahoma"), Font(-11, "Tahoma"), Font(-12, "Courier New")};
    HWND controls[std::size(Controls)];
    for (size_t i = 0; i < std::size(Controls); ++i) {
        const Control& c = Controls[i];
        controls[i] = CreateWindowExA(
            c.extendedStyle, c.className, c.text, c.style, c.x, c.y, c.width, c.height, window,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), instance, nullptr);
        SendMessageA(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(fonts[c.font]), TRUE);
        if (c.id != IDC_PROVIDER)
            continue;
        HKEY key = nullptr;
        RegOpenKeyA(HKEY_LOCAL_MACHINE, ProviderKeyPath, &key);
        for (DWORD index = 0;
             RegEnumKeyA(key, index, keyName, sizeof keyName) != ERROR_NO_MORE_ITEMS; ++index)
            SendMessageA(controls[i], CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(keyName));
        RegCloseKey(key);
        SendMessageA(controls[i], CB_SETCURSEL, 0, 0);
    }

    DWORD length = 0;
    BareRefresh({controls[1], controls[3], controls[5], controls[9]}, length);
    return window;
}

extern "C" void BareStart() {
    FindWindowA("BareStart", "Bare start");
    HINSTANCE instance = GetModuleHandleA(nullptr);
    GetCommandLineA();
    InitCommonControls();
    HWND window = BuildBareWindow(instance);
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ExitProcess(static_cast<UINT>(message.wParam));
}
