// The main window's fonts, controls and colours.
#include "ui/ui.h"

#include "app/app_state.h"
#include "provider/provider.h"

const char HeaderText[] =
    " Algorithm        Proto  Description         Info length(bits):   Min    Max  Default";

static HFONT CreateUiFont(int height, const char* face) {
    return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS, DRAFT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

void BuildMainWindow(HWND window) {
    appState.uiFont = CreateUiFont(-12, "Tahoma");
    appState.labelFont = CreateUiFont(-11, "Tahoma");
    appState.fixedFont = CreateUiFont(-12, "Courier New");

    CreateLabel("Provider:", window, 10, 20, 100, 20, 0, 0);
    appState.providerCombo = CreateCombo(110, 16, 520, 750, window, IDC_PROVIDER, 0);
    FillProviderList();
    CreateLabel("Provider Type:", window, 10, 48, 120, 20, 0, 0);
    appState.typeField = CreateTextField(" ", 110, 45, 220, 20, window, 0,
                                         WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_READONLY |
                                             ES_AUTOHSCROLL | ES_CENTER,
                                         WS_EX_STATICEDGE);
    CreateLabel("Container:", window, 350, 48, 90, 20, 0, 0);
    appState.containerCombo = CreateCombo(420, 45, 210, 100, window, IDC_CONTAINER, 0);
    appState.refreshButton = CreateButton("Refresh", window, 420, 370, 100, 24, IDC_REFRESH, 0);
    appState.exitButton = CreateButton("Exit", window, 530, 370, 100, 24, IDC_EXIT, 0);
    CreateButton("About", window, 10, 370, 100, 24, IDC_ABOUT, 0);
    appState.algorithmList = CreateList(10, 110, 620, 250, window, IDC_ALGORITHMS);
    appState.headerLabel = CreateLabel(HeaderText, window, 10, 90, 620, 20, 0, 0);

    SendMessageA(appState.headerLabel, WM_SETFONT, reinterpret_cast<WPARAM>(appState.fixedFont),
                 TRUE);
    SendMessageA(appState.algorithmList, WM_SETFONT, reinterpret_cast<WPARAM>(appState.fixedFont),
                 TRUE);

    // The first refresh runs through the command route, before the window is shown.
    SendMessageA(window, WM_COMMAND, IDC_REFRESH, 0);
}

HBRUSH HandleControlColour(UINT message, HDC deviceContext) {
    SetTextColor(deviceContext, message == WM_CTLCOLOREDIT ? RGB(255, 255, 255) : RGB(0, 255, 0));
    SetBkColor(deviceContext, RGB(0, 0, 0));
    return static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
}
