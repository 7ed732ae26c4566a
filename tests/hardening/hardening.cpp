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

namespace {
QuickMessageBoxWatcher* activeQuickWatcher = nullptr;
HHOOK quickWatcherHook = nullptr;

LRESULT CALLBACK TakeDownMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    auto* handled = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    char className[64] = "";
    if (code == HC_ACTION && handled->message == WM_INITDIALOG && activeQuickWatcher &&
        GetClassNameA(handled->hwnd, className, sizeof className) &&
        lstrcmpA(className, "#32770") == 0) {
        HWND box = handled->hwnd;
        char text[2048] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        HWND owner = GetWindow(box, GW_OWNER);
        activeQuickWatcher->seen.push_back({TextOf(box), text, owner});
        // The modal loop ends when its window is gone; the owner it disabled
        // is given back its input.
        DestroyWindow(box);
        if (owner)
            EnableWindow(owner, TRUE);
    }
    return CallNextHookEx(quickWatcherHook, code, wParam, lParam);
}
} // namespace

QuickMessageBoxWatcher::QuickMessageBoxWatcher() {
    activeQuickWatcher = this;
    quickWatcherHook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, TakeDownMessageBoxes, nullptr, GetCurrentThreadId());
}

QuickMessageBoxWatcher::~QuickMessageBoxWatcher() {
    UnhookWindowsHookEx(quickWatcherHook);
    activeQuickWatcher = nullptr;
}
