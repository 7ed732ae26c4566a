// Message boxes as the platform makes them, and a watcher that records and
// takes down every box of this thread before it can block it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The platform creates a message box as a dialog of this class, with its text
// in a static control of this id.
inline const char MessageBoxClass[] = "#32770";
constexpr int MessageBoxTextId = 0xFFFF;

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    HWND owner;
    DWORD style; // as the platform's message box received it
};

// While it lives, every message box that this thread opens is recorded and
// taken down before it is shown. With `report`, each is also written to
// stderr as it is taken down, for a box shown by code that ends the process.
// It is a message hook, which makes every message of the thread dearer:
// nothing may be timed while one is installed.
struct MessageBoxWatcher {
    explicit MessageBoxWatcher(bool report = false);
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;
    std::vector<MessageBoxSeen> seen;
    const bool report;
};
