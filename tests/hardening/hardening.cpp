#include "hardening/hardening.h"

bool Answers(HWND window) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

void ChooseProvider(HWND window, HWND providerCombo, int index) {
    SendMessageA(providerCombo, CB_SETCURSEL, index, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(providerCombo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(providerCombo));
}
