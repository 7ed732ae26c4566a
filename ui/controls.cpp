// The control factory. A style of 0 stands for the factory's default style.
#include "ui/ui.h"

#include "app/app_state.h"

static HWND CreateControl(DWORD extendedStyle, const char* className, const char* text, DWORD style,
                          int x, int y, int width, int height, HWND parent, int id) {
    return CreateWindowExA(extendedStyle, className, text, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), appState.instance,
                           nullptr);
}

static HWND WithFont(HWND control, HFONT font, BOOL redraw) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    return control;
}

HWND CreateLabel(const char* text, HWND parent, int x, int y, int width, int height, int id,
                 DWORD style) {
    HWND label = CreateControl(0, "STATIC", text, style ? style : WS_CHILD | WS_VISIBLE, x, y,
                               width, height, parent, id);
    return WithFont(label, appState.labelFont, FALSE);
}

HWND CreateButton(const char* text, HWND parent, int x, int y, int width, int height, int id,
                  DWORD style) {
    DWORD defaultStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    HWND button = CreateControl(0, "BUTTON", text, style ? style : defaultStyle, x, y, width,
                                height, parent, id);
    return WithFont(button, appState.labelFont, FALSE);
}

HWND CreateTextField(const char* text, int x, int y, int width, int height, HWND parent, int id,
                     DWORD style, DWORD extendedStyle) {
    DWORD defaultStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
    HWND field = CreateControl(extendedStyle, "EDIT", text, style ? style : defaultStyle, x, y,
                               width, height, parent, id);
    return WithFont(field, appState.uiFont, TRUE);
}

HWND CreateCombo(int x, int y, int width, int height, HWND parent, int id, DWORD style) {
    DWORD defaultStyle =
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_SORT | CBS_AUTOHSCROLL | CBS_DROPDOWN;
    HWND combo = CreateControl(0, "COMBOBOX", nullptr, style ? style : defaultStyle, x, y, width,
                               height, parent, id);
    return WithFont(combo, appState.uiFont, TRUE);
}

HWND CreateList(int x, int y, int width, int height, HWND parent, int id) {
    // LBS_SORT only matters for LB_ADDSTRING; rows go in with LB_INSERTSTRING
    // and keep the provider's order.
    DWORD style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOSEL |
                  LBS_DISABLENOSCROLL | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | LBS_SORT |
                  LBS_NOTIFY;
    return CreateControl(WS_EX_CLIENTEDGE, "LISTBOX", nullptr, style, x, y, width, height, parent,
                         id);
}
