// Keyscry's executable as a file, PE32 or PE32+: its headers and its import
// table, read straight from the bytes on disk rather than through the loader.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image/under_test.h"

namespace {

constexpr size_t SizeLimit = 16384;

using Bytes = std::vector<unsigned char>;

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Copies a header out of the file; false when it would reach past the end.
template <typename Header> bool ReadAt(const Bytes& bytes, size_t offset, Header& header) {
    if (offset > bytes.size() || bytes.size() - offset < sizeof header)
        return false;
    std::memcpy(&header, bytes.data() + offset, sizeof header);
    return true;
}

// The parts of the optional header that the checks read; the two formats
// differ in the width of a few fields before these.
struct OptionalHeader {
    WORD magic = 0;
    DWORD entryPoint = 0;
    WORD subsystem = 0;
    WORD dllCharacteristics = 0;
    IMAGE_DATA_DIRECTORY directories[IMAGE_NUMBEROF_DIRECTORY_ENTRIES]{};
};

struct Image {
    bool valid = false;
    IMAGE_FILE_HEADER file{};
    OptionalHeader optional;
    std::vector<IMAGE_SECTION_HEADER> sections;
};

template <typename Header> bool ReadOptionalHeader(const Bytes& bytes, size_t at, Image& image) {
    Header header{};
    if (!ReadAt(bytes, at, header) || header.Magic != image.optional.magic)
        return false;
    image.optional.entryPoint = header.AddressOfEntryPoint;
    image.optional.subsystem = header.Subsystem;
    image.optional.dllCharacteristics = header.DllCharacteristics;
    std::memcpy(image.optional.directories, header.DataDirectory, sizeof header.DataDirectory);
    return true;
}

Image ParseImage(const Bytes& bytes) {
    Image image;
    IMAGE_DOS_HEADER dos{};
    DWORD signature = 0;
    if (!ReadAt(bytes, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE ||
        !ReadAt(bytes, dos.e_lfanew, signature) || signature != IMAGE_NT_SIGNATURE)
        return image;
    size_t fileHeaderAt = dos.e_lfanew + sizeof signature;
    size_t optionalAt = fileHeaderAt + sizeof image.file;
    if (!ReadAt(bytes, fileHeaderAt, image.file) ||
        !ReadAt(bytes, optionalAt, image.optional.magic))
        return image;
    bool optionalRead = image.optional.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC
                            ? ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(bytes, optionalAt, image)
                            : ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(bytes, optionalAt, image);
    if (!optionalRead)
        return image;
    size_t sectionAt = optionalAt + image.file.SizeOfOptionalHeader;
    for (WORD i = 0; i < image.file.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER section{};
        if (!ReadAt(bytes, sectionAt + i * sizeof section, section))
            return image;
        image.sections.push_back(section);
    }
    image.valid = true;
    return image;
}

const IMAGE_SECTION_HEADER* SectionOf(const Image& image, DWORD rva) {
    for (const IMAGE_SECTION_HEADER& section : image.sections) {
        DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
            return &section;
    }
    return nullptr;
}

// The file offset of an address in the loaded image, or 0 when no section's
// file bytes hold it.
size_t OffsetOf(const Image& image, DWORD rva) {
    const IMAGE_SECTION_HEADER* section = SectionOf(image, rva);
    if (!section || rva - section->VirtualAddress >= section->SizeOfRawData)
        return 0;
    return section->PointerToRawData + (rva - section->VirtualAddress);
}

std::string StringAt(const Bytes& bytes, size_t offset) {
    if (offset == 0 || offset >= bytes.size())
        return "<outside the file>";
    auto start = bytes.begin() + static_cast<std::ptrdiff_t>(offset);
    return std::string(start, std::find(start, bytes.end(), 0));
}

struct ImportedDll {
    std::string name;
    std::vector<std::string> functions; // "#n" for an import by ordinal
};

// One entry of an import lookup table: 32 bits in PE32, 64 in PE32+, the top
// bit marking an import by ordinal.
template <typename Thunk>
void ReadImportedFunctions(const Image& image, const Bytes& bytes, size_t thunkAt,
                           ImportedDll& dll) {
    constexpr Thunk OrdinalFlag = Thunk(1) << (sizeof(Thunk) * 8 - 1);
    Thunk thunk = 0;
    while (thunkAt && ReadAt(bytes, thunkAt, thunk) && thunk) {
        if (thunk & OrdinalFlag)
            dll.functions.push_back("#" + std::to_string(thunk & 0xFFFF));
        else // a two-byte hint comes before the name
            dll.functions.push_back(
                StringAt(bytes, OffsetOf(image, static_cast<DWORD>(thunk) + 2)));
        thunkAt += sizeof thunk;
    }
}

std::vector<ImportedDll> ReadImports(const Image& image, const Bytes& bytes) {
    std::vector<ImportedDll> dlls;
    const IMAGE_DATA_DIRECTORY& directory =
        image.optional.directories[IMAGE_DIRECTORY_ENTRY_IMPORT];
    size_t at = OffsetOf(image, directory.VirtualAddress);
    IMAGE_IMPORT_DESCRIPTOR descriptor{};
    while (at && ReadAt(bytes, at, descriptor) && descriptor.Name) {
        ImportedDll dll{StringAt(bytes, OffsetOf(image, descriptor.Name)), {}};
        DWORD lookup =
            descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        size_t thunkAt = OffsetOf(image, lookup);
        if (image.optional.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC)
            ReadImportedFunctions<ULONGLONG>(image, bytes, thunkAt, dll);
        else
            ReadImportedFunctions<DWORD>(image, bytes, thunkAt, dll);
        dlls.push_back(dll);
        at += sizeof descriptor;
    }
    return dlls;
}

bool IsAllowedDll(const std::string& name) {
    static const char* const allowed[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll",
                                          "advapi32.dll"};
    return std::any_of(std::begin(allowed), std::end(allowed),
                       [&](const char* dll) { return lstrcmpiA(dll, name.c_str()) == 0; });
}

// Functions that neither take nor return text and so come without an A or W
// variant. Anything else imported must be the A variant.
const char* const TextFreeFunctions[] = {
    "CryptGetProvParam", "CryptReleaseContext", "RegCloseKey",      "InitCommonControls",
    "GetStockObject",    "SetBkColor",          "SetTextColor",     "DeleteObject",
    "ExitProcess",       "GetLastError",        "GetSystemMetrics", "PostQuitMessage",
    "ShowWindow",        "TranslateMessage",    "UpdateWindow",     "DestroyWindow",
};

bool IsAnsiOrTextFree(const std::string& function) {
    if (!function.empty() && function.back() == 'A')
        return true;
    return std::any_of(std::begin(TextFreeFunctions), std::end(TextFreeFunctions),
                       [&](const char* name) { return function == name; });
}

class KeyscryImage : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(underTest.facts) << "unknown architecture";
        bytes = ReadWholeFile(underTest.path);
        ASSERT_FALSE(bytes.empty()) << underTest.path << " not found";
        image = ParseImage(bytes);
        ASSERT_TRUE(image.valid) << underTest.path << " is not a PE image";
    }
    ExecutableUnderTest underTest = UnderTest();
    Bytes bytes;
    Image image;
};

} // namespace

TEST(ImportRules, AcceptOnlyTheFiveSystemDllsInAnyCase) {
    const struct {
        const char* dll;
        bool allowed;
    } cases[] = {
        {"KERNEL32.dll", true}, {"user32.dll", true},       {"GDI32.DLL", true},
        {"COMCTL32.DLL", true}, {"AdvApi32.dll", true},     {"msvcrt.dll", false},
        {"shell32.dll", false}, {"libstdc++-6.dll", false}, {"kernel32", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAllowedDll(c.dll), c.allowed) << c.dll;
}

TEST(ImportRules, AcceptAVariantsAndListedTextFreeFunctions) {
    const struct {
        const char* function;
        bool allowed;
    } cases[] = {
        {"MessageBoxA", true},
        {"MessageBoxW", false},
        {"CreateWindowExW", false},
        {"lstrcpyA", true},
        {"lstrcpy", false},
        {"ExitProcess", true},
        {"RegCloseKey", true},
        {"MultiByteToWideChar", false},
        {"#12", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsAnsiOrTextFree(c.function), c.allowed) << c.function;
}

TEST_F(KeyscryImage, IsASmallGuiExecutableOfItsArchitecture) {
    EXPECT_LE(bytes.size(), SizeLimit);
    EXPECT_EQ(image.optional.magic, underTest.facts->optionalHeaderMagic);
    EXPECT_EQ(image.file.Machine, underTest.facts->machine);
    EXPECT_EQ(image.optional.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(image.optional.directories[IMAGE_DIRECTORY_ENTRY_TLS].VirtualAddress, 0u);
    EXPECT_EQ(image.optional.directories[IMAGE_DIRECTORY_ENTRY_TLS].Size, 0u);
}

// It always loads at its preferred base, so it carries no relocations and
// doesn't ask to be moved.
TEST_F(KeyscryImage, LoadsAtAFixedBaseWithoutRelocations) {
    EXPECT_EQ(image.optional.directories[IMAGE_DIRECTORY_ENTRY_BASERELOC].Size, 0u);
    EXPECT_EQ(image.optional.dllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, 0);
    for (const IMAGE_SECTION_HEADER& section : image.sections) {
        const char* name = reinterpret_cast<const char*>(section.Name);
        EXPECT_NE(std::string(name, strnlen(name, sizeof section.Name)), ".reloc");
    }
}

// A time stamp would make every build differ from the last.
TEST_F(KeyscryImage, CarriesNoTimeStamps) {
    EXPECT_EQ(image.file.TimeDateStamp, 0u);
    const IMAGE_DATA_DIRECTORY& resources =
        image.optional.directories[IMAGE_DIRECTORY_ENTRY_RESOURCE];
    IMAGE_RESOURCE_DIRECTORY root{};
    ASSERT_TRUE(ReadAt(bytes, OffsetOf(image, resources.VirtualAddress), root));
    EXPECT_EQ(root.TimeDateStamp, 0u);
}

TEST_F(KeyscryImage, EntryPointLiesInExecutableCode) {
    const IMAGE_SECTION_HEADER* section = SectionOf(image, image.optional.entryPoint);
    ASSERT_TRUE(section) << "entry point outside every section";
    EXPECT_TRUE(section->Characteristics & IMAGE_SCN_CNT_CODE);
    EXPECT_TRUE(section->Characteristics & IMAGE_SCN_MEM_EXECUTE);
}

TEST_F(KeyscryImage, ImportsOnlyAnsiOrTextFreeFunctionsOfTheFiveSystemDlls) {
    std::vector<ImportedDll> dlls = ReadImports(image, bytes);
    ASSERT_FALSE(dlls.empty()) << "no import table";
    for (const ImportedDll& dll : dlls) {
        EXPECT_TRUE(IsAllowedDll(dll.name)) << dll.name;
        EXPECT_FALSE(dll.functions.empty()) << dll.name;
        for (const std::string& function : dll.functions)
            EXPECT_TRUE(IsAnsiOrTextFree(function)) << dll.name << ": " << function;
    }
    // All five, each once: without comctl32 the window gets the old controls.
    std::vector<std::string> names;
    for (ImportedDll& dll : dlls)
        names.push_back(CharLowerA(dll.name.data()));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"advapi32.dll", "comctl32.dll", "gdi32.dll",
                                               "kernel32.dll", "user32.dll"}));
}
