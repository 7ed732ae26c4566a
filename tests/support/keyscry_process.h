// Starting the built Keyscry (Keyscry.exe or Keyscry64.exe, the one of the
// test's own build tree) as its own process, finding its windows and waiting
// for the state a test reads. Every wait is bounded; a busy machine may take
// seconds to start a Wine process, so the usual bound is generous, and a wait
// that holds returns at once.
#pragma once

#include <windows.h>

#include <string>

// The folder that holds the test executable, Keyscry and the fake provider.
std::string BinaryFolder();
// Keyscry's executable in that folder.
std::string KeyscryPath();

// The bound of a wait for another process, in milliseconds.
constexpr DWORD Patience = 15000;

// Polls `holds` until it is true or `milliseconds` have passed; its last value.
template <typename Condition> bool WaitUntil(Condition holds, DWORD milliseconds = Patience) {
    DWORD start = GetTickCount();
    for (;;) {
        if (holds())
            return true;
        if (GetTickCount() - start >= milliseconds)
            return false;
        Sleep(20);
    }
}

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
// The main window can be found while it is still being built.
HWND WaitForKeyscryWindow(const KeyscryProcess& keyscry, DWORD milliseconds = Patience);
// The main window once it is shown, with all its controls and the first
// refresh over; null, with a test failure, when it isn't shown in time.
HWND WaitForShownKeyscryWindow(const KeyscryProcess& keyscry);

// The platform creates a message box's dialog first and gives it its caption,
// text, icon and buttons while it initialises it; it shows the box after
// that. So a box is read once it is shown with its text in place.
constexpr int MessageBoxTextId = 0xFFFF; // the box's static text control
bool IsReadyBox(HWND box);
// Waits until the box is ready; false, with a test failure that says what it
// lacked, when it doesn't get there in time.
bool WaitUntilReady(HWND box);
// The process's message box once it is ready; null, with a test failure,
// when none is within the time.
HWND WaitForReadyBox(const KeyscryProcess& keyscry);

// Text of a window in another process, read through the W variant (the A
// variant comes back garbled across processes under Wine).
std::string WindowTextOf(HWND window);
