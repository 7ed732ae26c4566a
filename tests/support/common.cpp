#include "support/common.h"

#include "build_info.h"

std::string BinaryFolder() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string KeyscryPath() {
    return BinaryFolder() + KEYSCRY_EXE_FILE;
}

std::string FakeProviderPath() {
    return BinaryFolder() + "fake_provider.dll";
}

std::string Narrow(const wchar_t* wide, int length, UINT codePage) {
    int size = WideCharToMultiByte(codePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string narrow(size > 0 ? size : 0, '\0');
    WideCharToMultiByte(codePage, 0, wide, length, narrow.data(), size, nullptr, nullptr);
    if (length < 0 && !narrow.empty())
        narrow.pop_back(); // the NUL that came along
    return narrow;
}
