#include "support/message_boxes.h"

#include <cstdio>

#include "support/window_harness.h"

namespace {
MessageBoxWatcher* activeWatcher = nullptr;
HHOOK watcherHook = nullptr;

// Each box is recorded and taken down as soon as its dialog is initialised,
// before it is shown: closing a shown box costs two seconds under Xvfb, where
// Wine's display driver waits in vain for a window manager when the owner
// becomes active again. Keyscry ignores what its message boxes return.
LRESULT CALLBACK TakeDownMessageBoxes(int code, WPARAM wParam, LPARAM lParam) {
    auto* handled = reinterpret_cast<CWPRETSTRUCT*>(lParam);
    char className[64] = "";
    if (code == HC_ACTION && handled->message == WM_INITDIALOG && activeWatcher &&
        GetClassNameA(handled->hwnd, className, sizeof className) &&
        lstrcmpA(className, MessageBoxClass) == 0) {
        HWND box = handled->hwnd;
        HWND owner = GetWindow(box, GW_OWNER);
        // A message box's dialog is given the box's parameters; on the way
        // there the A call has become a W one.
        DWORD style = reinterpret_cast<const MSGBOXPARAMSW*>(handled->lParam)->dwStyle;
        const MessageBoxSeen& seen = activeWatcher->seen.emplace_back(
            MessageBoxSeen{TextOf(box), TextOf(GetDlgItem(box, MessageBoxTextId)), owner, style});
        if (activeWatcher->report)
            fprintf(stderr, "box 0x%lx owner %p \"%s\" \"%s\"\n", style, static_cast<void*>(owner),
                    seen.caption.c_str(), seen.text.c_str());
        // The modal loop ends when its window is gone; the owner it disabled
        // is given back its input.
        DestroyWindow(box);
        if (owner)
            EnableWindow(owner, TRUE);
    }
    return CallNextHookEx(watcherHook, code, wParam, lParam);
}
} // namespace

MessageBoxWatcher::MessageBoxWatcher(bool report) : report(report) {
    activeWatcher = this;
    watcherHook =
        SetWindowsHookExA(WH_CALLWNDPROCRET, TakeDownMessageBoxes, nullptr, GetCurrentThreadId());
}

MessageBoxWatcher::~MessageBoxWatcher() {
    UnhookWindowsHookEx(watcherHook);
    activeWatcher = nullptr;
}
