// The headers of an executable file of this build's own architecture.
#pragma once

#include <windows.h>

#include <fstream>

struct ImageHeaders {
    LONG at = 0; // their offset in the file; 0 when the file is no such executable
    IMAGE_NT_HEADERS nt{};
};

inline ImageHeaders ImageHeadersOf(const char* path) {
    std::ifstream file(path, std::ios::binary);
    IMAGE_DOS_HEADER dos{};
    ImageHeaders headers;
    file.read(reinterpret_cast<char*>(&dos), sizeof dos);
    file.seekg(dos.e_lfanew);
    file.read(reinterpret_cast<char*>(&headers.nt), sizeof headers.nt);
    if (file && dos.e_magic == IMAGE_DOS_SIGNATURE && headers.nt.Signature == IMAGE_NT_SIGNATURE &&
        headers.nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR_MAGIC)
        headers.at = dos.e_lfanew;
    return headers;
}
