// Starting the built Keyscry (Keyscry.exe or Keyscry64.exe, the one of the
// test's own build tree) as its own process and finding its window.
#pragma once

#include <windows.h>

#include <string>

// The folder that holds the test executable, Keyscry and the fake provider.
std::string BinaryFolder();
// Keyscry's executable in that folder.
std::string KeyscryPath();

struct KeyscryProcess {
    HANDLE process = nullptr;
    DWORD id = 0;
};

KeyscryProcess StartKeyscry();
// Starts another program, the command line naming it first.
KeyscryProcess StartProgram(std::string commandLine);
// The exit code, or STILL_ACTIVE when the process is still running after the wait.
DWORD WaitForExit(const KeyscryProcess& keyscry, DWORD milliseconds);
// Ends a process that a failed test left running.
void EndKeyscry(KeyscryProcess& keyscry);

// The top-level window of the given class and title owned by the process, or null.
HWND WaitForWindowOf(const KeyscryProcess& keyscry, const char* className, const char* title,
                     DWORD milliseconds);
HWND WaitForKeyscryWindow(const KeyscryProcess& keyscry, DWORD milliseconds = 15000);

// Text of a window in another process, read through the W variant (the A
// variant comes back garbled across processes under Wine).
std::string WindowTextOf(HWND window);
