// The main window's commands and the About box.
#include "ui/ui.h"

#include "app/app_state.h"
#include "provider/provider.h"

const char AboutText[] = "Keyscry\r\n"
                         "Version 1.0\r\n"
                         "\r\n"
                         "Originally created by \r\n"
                         "The Keyscry authors <keyscry@example.org>\r\n"
                         "\r\n"
                         "Contributor:\r\n"
                         "The Keyscry contributors <keyscry-contributors@example.org>\r\n"
                         "\r\n"
                         "\r\n"
                         "This tool enumerates Crypto Service Providers.\r\n"
                         "\r\n";

// The whole wParam is compared: notification code and control id together.
void HandleCommand(HWND window, WPARAM wParam) {
    switch (wParam) {
    case IDC_REFRESH:
        RefreshProvider(window);
        break;
    case IDC_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);
        break;
    case MAKEWPARAM(IDC_PROVIDER, CBN_SELCHANGE):
        SendMessageA(window, WM_COMMAND, IDC_REFRESH, 0);
        break;
    case IDC_ABOUT:
        ShowAbout();
        break;
    default: // the container box, typing into the provider box, focus changes
        break;
    }
}

void ShowAbout() {
    MSGBOXPARAMSA& params = appState.aboutParams; // instance and owner come from start-up
    params.cbSize = sizeof params;
    params.lpszText = AboutText;
    params.lpszCaption = "About";
    params.dwStyle = MB_USERICON;
    params.lpszIcon = MAKEINTRESOURCEA(IDI_APP);
    MessageBoxIndirectA(&params);
}
