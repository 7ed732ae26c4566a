// Keyscry's code and relocations run away from the executable's preferred
// base, where away_host sits: only complete and correct relocations let it
// come up, refresh and end there as it does at home.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "support/keyscry_numbers.h"
#include "build_info.h"
#include "support/image_headers.h"
#include "support/other_process.h"

namespace {

// Where the platform says that a process's module of that file name lies.
ULONGLONG ModuleBase(DWORD processId, const char* fileName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    ULONGLONG base = 0;
    MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    for (BOOL found = Module32First(snapshot, &module); found && !base;
         found = Module32Next(snapshot, &module))
        if (lstrcmpiA(module.szModule, fileName) == 0)
            base = reinterpret_cast<ULONGLONG>(module.modBaseAddr);
    CloseHandle(snapshot);
    return base;
}

TEST(AwayFromItsBase, KeyscryRunsWhereTheLoaderPlacesIt) {
    const ULONGLONG preferred = ParseImage(ReadWholeFile(KeyscryPath())).optional.imageBase;
    ASSERT_NE(preferred, 0u) << KeyscryPath();
    const std::string copyName = std::string("away_") + KEYSCRY_EXE_FILE;
    const std::string copy = BinaryFolder() + copyName;

    StartedProgram keyscry = StartProgram("\"" + BinaryFolder() + "away_host.exe\" \"" +
                                          KeyscryPath() + "\" \"" + copy + "\"");
    ASSERT_TRUE(keyscry.process);
    HWND window = WaitForShownKeyscryWindow(keyscry);
    ASSERT_TRUE(window) << "the host's exit code: " << WaitForExit(keyscry, 0);

    const ULONGLONG base = ModuleBase(keyscry.id, copyName.c_str());
    EXPECT_NE(base, 0u);
    EXPECT_NE(base, preferred);

    // A refresh, whose type name comes from a table of pointers that the
    // loader must have moved with the module.
    HWND typeField = FindWindowExA(window, nullptr, "Edit", nullptr);
    HWND algorithmList = GetDlgItem(window, AlgorithmsId);
    SetWindowTextW(typeField, L"");
    SendMessageA(algorithmList, LB_RESETCONTENT, 0, 0);
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutA(window, WM_COMMAND, RefreshId, 0, SMTO_NORMAL, 30000, &result));
    EXPECT_GT(SendMessageA(algorithmList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(FieldTextOf(typeField), "PROV_RSA_FULL"); // Wine's base provider sorts first

    PostMessageA(GetDlgItem(window, ExitId), BM_CLICK, 0, 0);
    EXPECT_EQ(WaitForExit(keyscry, 15000), 0u);
    EndProgram(keyscry);
    DeleteFileA(copy.c_str());
}

} // namespace
