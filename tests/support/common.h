// What every part of the test support uses: where the built files lie, a
// bounded wait, and wide text made narrow.
#pragma once

#include <windows.h>

#include <string>

// The folder that holds the test executable, Keyscry and the fake provider.
std::string BinaryFolder();
// Keyscry's executable in that folder (Keyscry.exe or Keyscry64.exe, the one
// of the test's own build tree).
std::string KeyscryPath();
// fake_provider.dll in that folder.
std::string FakeProviderPath();

// The bound of a wait for another process, in milliseconds: a busy machine
// may take seconds to start a Wine process.
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

// `length` wide characters (-1: up to the NUL) in the given code page.
std::string Narrow(const wchar_t* wide, int length = -1, UINT codePage = CP_ACP);
