// The bare start's window: the class, the centred window and its controls,
// the catalogue read and the first refresh, as the start-up benchmark's bare
// program makes them; the window tests check that it is Keyscry's window.
#pragma once

#include <windows.h>

HWND BuildBareWindow(HINSTANCE instance);
