// Small helpers shared by the hardening tests.
#pragma once

#include <windows.h>

#include "support/test_window.h"

// True when the window still handles a message within two seconds.
bool Answers(HWND window);
