#include "support/other_process.h"

#include <gtest/gtest.h>

#include "support/keyscry_texts.h"
#include "support/message_boxes.h"

StartedProgram StartKeyscry() {
    return StartProgram("\"" + KeyscryPath() + "\"");
}

StartedProgram StartProgram(std::string commandLine) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    StartedProgram program;
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hThread);
        program.process = info.hProcess;
        program.id = info.dwProcessId;
    }
    return program;
}

DWORD WaitForExit(const StartedProgram& program, DWORD milliseconds) {
    WaitForSingleObject(program.process, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(program.process, &code);
    return code;
}

void EndProgram(StartedProgram& program) {
    if (!program.process)
        return;
    if (WaitForExit(program, 0) == STILL_ACTIVE) {
        TerminateProcess(program.process, 99);
        // A Keyscry window left behind would make the next start warn.
        EXPECT_EQ(WaitForSingleObject(program.process, Patience), WAIT_OBJECT_0)
            << "the program (process " << program.id << ") did not end when terminated";
    }
    CloseHandle(program.process);
    program = {};
}

DWORD RunToEnd(const std::string& commandLine) {
    StartedProgram program = StartProgram(commandLine);
    if (!program.process)
        return GetLastError();
    DWORD code = WaitForExit(program, 60000);
    CloseHandle(program.process);
    return code;
}

namespace {
struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* title;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[256] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->processId && lstrcmpA(className, search->className) == 0 &&
        (!search->title || WindowTextOf(window) == search->title))
        search->found = window;
    return !search->found;
}
} // namespace

HWND FindWindowOf(DWORD processId, const char* className, const char* title) {
    WindowSearch search{processId, className, title, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindowOf(const StartedProgram& program, const char* className, const char* title,
                     DWORD milliseconds) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOf(program.id, className, title)) != nullptr; },
              milliseconds);
    return found;
}

HWND WaitForKeyscryWindow(const StartedProgram& keyscry, DWORD milliseconds) {
    return WaitForWindowOf(keyscry, KeyscryClass, KeyscryTitle, milliseconds);
}

HWND WaitForShownKeyscryWindow(const StartedProgram& keyscry) {
    HWND window = WaitForKeyscryWindow(keyscry);
    if (window && WaitUntil([&] { return IsWindowVisible(window) != FALSE; }))
        return window;
    ADD_FAILURE() << "Keyscry's window was not " << (window ? "shown" : "there") << " within "
                  << Patience << " ms";
    return nullptr;
}

bool WaitUntilReady(HWND box) {
    HWND text = nullptr;
    if (WaitUntil([&] {
            text = GetDlgItem(box, MessageBoxTextId);
            return IsWindowVisible(box) && text && !WindowTextOf(text).empty();
        }))
        return true;
    ADD_FAILURE() << "the message box \"" << WindowTextOf(box) << "\" was not ready within "
                  << Patience << " ms: " << (IsWindow(box) ? "" : "gone, ")
                  << (IsWindowVisible(box) ? "shown" : "not shown") << ", "
                  << (text ? "text \"" + WindowTextOf(text) + "\"" : "no text control");
    return false;
}

HWND WaitForReadyBox(const StartedProgram& program) {
    HWND box = WaitForWindowOf(program, MessageBoxClass, nullptr, Patience);
    if (!box)
        ADD_FAILURE() << "no message box of the program appeared within " << Patience << " ms";
    return box && WaitUntilReady(box) ? box : nullptr;
}

std::string WindowTextOf(HWND window) {
    wchar_t wide[1024] = L"";
    GetWindowTextW(window, wide, 1024);
    return Narrow(wide);
}

std::string FieldTextOf(HWND field) {
    wchar_t wide[1024] = L"";
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(field, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG,
                        Patience, &copied);
    return Narrow(wide);
}
