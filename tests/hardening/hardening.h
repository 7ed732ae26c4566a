// Small helpers shared by the hardening tests.
#pragma once

#include <windows.h>

#include "support/test_window.h"

// True when the window still handles a message within two seconds.
bool Answers(HWND window);

// Makes entry `index` of the provider box current the way a user's choice
// does: the box's selection changes, then it notifies the main window.
void ChooseProvider(HWND window, HWND providerCombo, int index);
