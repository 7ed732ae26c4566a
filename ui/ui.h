// The main window's content: the control factory, the layout, the colours,
// and the commands with the About box.
#pragma once

#include <windows.h>

HWND CreateLabel(const char* text, HWND parent, int x, int y, int width, int height, int id,
                 DWORD style);
HWND CreateButton(const char* text, HWND parent, int x, int y, int width, int height, int id,
                  DWORD style);
HWND CreateTextField(const char* text, int x, int y, int width, int height, HWND parent, int id,
                     DWORD style, DWORD extendedStyle);
HWND CreateCombo(int x, int y, int width, int height, HWND parent, int id, DWORD style);
HWND CreateList(int x, int y, int width, int height, HWND parent, int id);

extern const char HeaderText[];
void BuildMainWindow(HWND window);
HBRUSH HandleControlColour(UINT message, HDC deviceContext);

extern const char AboutText[];
void HandleCommand(HWND window, WPARAM wParam);
void ShowAbout();
