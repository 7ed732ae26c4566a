// In-process harness: Keyscry's own window procedure in a test window, built
// and driven the way the running program is, and read back through its
// controls.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Builds a main window of a test class of its own, with Keyscry's window
// procedure, through WM_CREATE as start-up builds Keyscry's (BuildMainWindow
// fills the provider box and runs the first refresh), with AppState reset to
// zero first, as it is when a process starts. The window is destroyed, and
// AppState reset again, when this goes out of scope, however the test ends.
struct TestWindow {
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    operator HWND() const {
        return handle;
    }
    HWND handle;
};

// Sends a command to the window as a control would.
void SendCommand(HWND window, WPARAM wParam);

// Makes entry `index` of the provider box current the way a user's choice
// does: the box's selection changes, then it notifies the main window, which
// refreshes.
void ChooseProviderAt(HWND window, int index);
// The same for the entry of that name; false when the box has none.
bool ChooseProvider(HWND window, const std::string& name);

// A window's children in their order, in this process or another.
std::vector<HWND> ChildrenOf(HWND window);
std::vector<std::string> ComboEntries(HWND combo);
std::string ComboShownText(HWND combo); // the text of the edit part
std::vector<std::string> ListRows(HWND list);
std::string TextOf(HWND window);

// True when the window still handles a message within two seconds.
bool Answers(HWND window);
