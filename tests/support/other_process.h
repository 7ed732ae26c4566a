// Another process: the built Keyscry, or another program, started as a user
// would start it, its windows found and the state a test reads waited for.
// Every wait is bounded, and a wait that holds returns at once.
#pragma once

#include <windows.h>

#include <string>

#include "support/common.h"

struct StartedProgram {
    HANDLE process = nullptr;
    DWORD id = 0;
};

StartedProgram StartKeyscry();
// Starts another program, the command line naming it first.
StartedProgram StartProgram(std::string commandLine);
// The exit code, or STILL_ACTIVE when the process is still running after the wait.
DWORD WaitForExit(const StartedProgram& program, DWORD milliseconds);
// Ends a process that a failed test left running, and forgets it.
void EndProgram(StartedProgram& program);
// Runs a program to its end (a minute at most): its exit code, or the error
// that kept it from starting.
DWORD RunToEnd(const std::string& commandLine);

// The top-level window of the given class (and title, unless null) owned by
// the process, or null: one look, no wait.
HWND FindWindowOf(DWORD processId, const char* className, const char* title);
// The same, looked for until it is there or the time is over.
HWND WaitForWindowOf(const StartedProgram& program, const char* className, const char* title,
                     DWORD milliseconds);
// The main window can be found while it is still being built.
HWND WaitForKeyscryWindow(const StartedProgram& keyscry, DWORD milliseconds = Patience);
// The main window once it is shown, with all its controls and the first
// refresh over; null, with a test failure, when it isn't shown in time.
HWND WaitForShownKeyscryWindow(const StartedProgram& keyscry);

// The platform creates a message box's dialog first and gives it its caption,
// text, icon and buttons while it initialises it; it shows the box after
// that. So a box is ready once it is shown with its text in place. Waits for
// that; false, with a test failure that says what it lacked, when it doesn't
// get there in time.
bool WaitUntilReady(HWND box);
// The process's message box once it is ready; null, with a test failure,
// when none is within the time.
HWND WaitForReadyBox(const StartedProgram& program);

// Text of a window in another process, read through the W variant (the A
// variant comes back garbled across processes under Wine).
std::string WindowTextOf(HWND window);
// The text of an edit field in another process, which only the field itself
// holds: GetWindowText gives the caption the field was created with.
std::string FieldTextOf(HWND field);
