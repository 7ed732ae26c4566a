// Small helpers shared by the hardening tests.
#pragma once

#include <windows.h>

#include <vector>

#include "support/test_window.h"

// True when the window still handles a message within two seconds.
bool Answers(HWND window);

// Makes entry `index` of the provider box current the way a user's choice
// does: the box's selection changes, then it notifies the main window.
void ChooseProvider(HWND window, HWND providerCombo, int index);

// Like MessageBoxWatcher, but each box is recorded and taken down as soon as
// its dialog is initialised, before it is ever shown. Closing a shown box
// costs two seconds under Xvfb, where Wine's display driver waits in vain for
// a window manager when the owner becomes active again; the hardening tests
// meet hundreds of boxes. The product ignores what MessageBoxA returns.
struct QuickMessageBoxWatcher {
    QuickMessageBoxWatcher();
    ~QuickMessageBoxWatcher();
    QuickMessageBoxWatcher(const QuickMessageBoxWatcher&) = delete;
    QuickMessageBoxWatcher& operator=(const QuickMessageBoxWatcher&) = delete;
    std::vector<MessageBoxSeen> seen;
};
