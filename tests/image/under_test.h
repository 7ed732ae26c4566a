// Which Keyscry executable the file checks read: the test's own tree's, or the
// one whose Linux path another tree wrote into the file KEYSCRY_IMAGE_RECORD,
// of the architecture KEYSCRY_IMAGE_ARCH. So the 64-bit tree, which runs on
// every machine, checks the 32-bit file too: reading takes no 32-bit code.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "build_info.h"
#include "support/common.h"

struct ArchitectureFacts {
    const char* name;     // as the build trees name it
    const char* fileName; // as a user downloads it, whatever the build calls it
    WORD machine;
    WORD optionalHeaderMagic;
    const char* manifestArchitecture;
};

inline const ArchitectureFacts Architectures[] = {
    {"x86", "Keyscry.exe", IMAGE_FILE_MACHINE_I386, IMAGE_NT_OPTIONAL_HDR32_MAGIC, "X86"},
    {"x64", "Keyscry64.exe", IMAGE_FILE_MACHINE_AMD64, IMAGE_NT_OPTIONAL_HDR64_MAGIC, "amd64"},
};

struct ExecutableUnderTest {
    std::string path;
    const ArchitectureFacts* facts = nullptr; // null for an unknown architecture
};

inline ExecutableUnderTest UnderTest() {
    const char* record = std::getenv("KEYSCRY_IMAGE_RECORD");
    const char* arch = std::getenv("KEYSCRY_IMAGE_ARCH");
    ExecutableUnderTest underTest{KeyscryPath(), nullptr};
    if (record) { // Wine sees the Linux file system as drive Z:
        std::string built;
        std::getline(std::ifstream(record), built);
        std::replace(built.begin(), built.end(), '/', '\\');
        underTest.path = built.empty() ? std::string("nothing written in ") + record : "Z:" + built;
    }
    for (const ArchitectureFacts& facts : Architectures)
        if (std::strcmp(facts.name, arch ? arch : KEYSCRY_ARCH) == 0)
            underTest.facts = &facts;
    return underTest;
}
