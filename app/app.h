// Start-up, the main window's class and the message loop.
#pragma once

#include <windows.h>

extern "C" void StartUp();
int RunMainWindow(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine,
                  int showCommand);
int CentreOffset(unsigned size, unsigned screenSize);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Exit code when the main window can't be created (1 means another instance runs).
constexpr int ExitNoWindow = 2;
