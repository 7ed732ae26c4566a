// Keyscry's executable as a file, PE32 or PE32+: its headers and its import
// table, read straight from the bytes on disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "image/under_test.h"
#include "support/image_headers.h"

namespace {

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

std::string SectionName(const IMAGE_SECTION_HEADER& section) {
    const char* name = reinterpret_cast<const char*>(section.Name);
    return std::string(name, strnlen(name, sizeof section.Name));
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

// The platform's writers, each with its A and W variants and its Ex, 2 and
// Transacted forms (every name that starts so). An open's flags, which may
// create a key set, don't show here: the refresh tests pin them.
const char* const Writers[] = {
    // advapi32: the registry, providers, security
    "RegCreateKey", "RegSetValue", "RegSetKeyValue", "RegSetKeySecurity", "RegDeleteKey",
    "RegDeleteValue", "RegDeleteTree", "RegCopyTree", "RegRenameKey", "RegRestoreKey", "RegSaveKey",
    "RegReplaceKey", "RegLoadKey", "RegLoadAppKey", "RegUnLoadKey", "RegFlushKey", "CryptGenKey",
    "CryptDeriveKey", "CryptImportKey", "CryptSetKeyParam", "CryptSetProvParam", "CryptSetProvider",
    "SetFileSecurity", "SetNamedSecurityInfo", "SetSecurityInfo", "EncryptFile", "DecryptFile",
    // kernel32: files, folders and profiles
    "CreateFile", "OpenFile", "_lcreat", "_lopen", "_lwrite", "_hwrite", "WriteFile", "DeleteFile",
    "MoveFile", "CopyFile", "ReplaceFile", "CreateDirectory", "RemoveDirectory",
    "SetFileAttributes", "SetFileTime", "SetFileInformationByHandle", "SetEndOfFile",
    "CreateHardLink", "CreateSymbolicLink", "GetTempFileName", "WritePrivateProfile",
    "WriteProfile",
    // user32 and gdi32: settings saved to the profile, files written
    "SystemParametersInfo", "ChangeDisplaySettings", "CreateEnhMetaFile", "CreateMetaFile",
    "CopyEnhMetaFile", "CopyMetaFile", "CreateScalableFontResource"};

bool IsWriter(const std::string& function) {
    return std::any_of(std::begin(Writers), std::end(Writers),
                       [&](const char* writer) { return function.starts_with(writer); });
}

// What each build asks of the loader, and the one kind of relocation that
// its architecture's absolute addresses take.
struct Hardening {
    const char* arch;
    WORD dllCharacteristics;
    WORD relocationType;
};

const Hardening Hardenings[] = {
    {"x86",
     IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
         IMAGE_DLLCHARACTERISTICS_NO_SEH | IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
     IMAGE_REL_BASED_HIGHLOW},
    {"x64",
     IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA | IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE |
         IMAGE_DLLCHARACTERISTICS_NX_COMPAT | IMAGE_DLLCHARACTERISTICS_NO_SEH |
         IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE,
     IMAGE_REL_BASED_DIR64},
};

const Hardening* HardeningOf(const ArchitectureFacts& facts) {
    for (const Hardening& hardening : Hardenings)
        if (std::strcmp(hardening.arch, facts.name) == 0)
            return &hardening;
    return nullptr;
}

struct RelocationCheck {
    size_t fixups = 0;
    std::vector<std::string> faults;
};

std::string Hex(ULONGLONG value) {
    char text[24];
    wsprintfA(text, "0x%I64x", value);
    return text;
}

// The fixup of one slot: the slot lies in a section's content, is fixed up
// once only, and holds an address inside the image, as the loader's adding of
// the distance moved assumes.
void CheckFixup(const Image& image, const Bytes& bytes, DWORD rva, std::set<DWORD>& fixed,
                RelocationCheck& check) {
    const size_t width = image.optional.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC ? 8 : 4;
    const IMAGE_SECTION_HEADER* section = SectionOf(image, rva);
    DWORD content = section ? std::min(section->Misc.VirtualSize, section->SizeOfRawData) : 0;
    if (!section || rva - section->VirtualAddress + width > content) {
        check.faults.push_back("slot " + Hex(rva) + " lies outside every section's content");
        return;
    }
    if (!fixed.insert(rva).second)
        check.faults.push_back("slot " + Hex(rva) + " is fixed up twice");
    ULONGLONG value = 0;
    std::memcpy(&value, bytes.data() + OffsetOf(image, rva), width);
    if (value - image.optional.imageBase >= image.optional.sizeOfImage)
        check.faults.push_back("slot " + Hex(rva) + " holds " + Hex(value) + ", outside the image");
}

// Walks the base relocation directory block by block. Each block covers one
// 4 KiB page of the image; its entries are the architecture's one type, and
// an ABSOLUTE entry only pads a block's end to four bytes.
RelocationCheck CheckRelocations(const Image& image, const Bytes& bytes, WORD type) {
    RelocationCheck check;
    const IMAGE_DATA_DIRECTORY& directory =
        image.optional.directories[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    const IMAGE_SECTION_HEADER* section = SectionOf(image, directory.VirtualAddress);
    if (!directory.Size || !section || SectionName(*section) != ".reloc" ||
        directory.VirtualAddress - section->VirtualAddress + directory.Size >
            std::min(section->Misc.VirtualSize, section->SizeOfRawData)) {
        check.faults.push_back("no relocation directory inside a .reloc section");
        return check;
    }
    const size_t start = OffsetOf(image, directory.VirtualAddress);
    std::set<DWORD> fixed;
    for (DWORD at = 0; at < directory.Size;) {
        IMAGE_BASE_RELOCATION block{};
        ReadAt(bytes, start + at, block);
        if (directory.Size - at < sizeof block || block.SizeOfBlock < sizeof block ||
            block.SizeOfBlock % 4 != 0 || block.SizeOfBlock > directory.Size - at) {
            check.faults.push_back("block at +" + Hex(at) + " has size " + Hex(block.SizeOfBlock));
            return check;
        }
        if (block.VirtualAddress % 0x1000 != 0 ||
            block.VirtualAddress >= image.optional.sizeOfImage)
            check.faults.push_back("block at +" + Hex(at) + " covers page " +
                                   Hex(block.VirtualAddress) + ", outside the image");
        for (DWORD entryAt = sizeof block; entryAt < block.SizeOfBlock; entryAt += 2) {
            WORD entry = 0;
            ReadAt(bytes, start + at + entryAt, entry);
            DWORD rva = block.VirtualAddress + (entry & 0xFFF);
            if (entry >> 12 == IMAGE_REL_BASED_ABSOLUTE) {
                if (entryAt + 2 != block.SizeOfBlock)
                    check.faults.push_back("ABSOLUTE entry inside the block of page " +
                                           Hex(block.VirtualAddress));
            } else if (entry >> 12 != type) {
                check.faults.push_back("slot " + Hex(rva) + " has type " + Hex(entry >> 12));
            } else {
                ++check.fixups;
                CheckFixup(image, bytes, rva, fixed, check);
            }
        }
        at += block.SizeOfBlock;
    }
    return check;
}

class KeyscryImage : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(underTest.facts) << "unknown architecture";
        EXPECT_TRUE(underTest.path.ends_with(std::string("\\") + underTest.facts->fileName))
            << underTest.path << " is not named " << underTest.facts->fileName;
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

TEST(ImportRules, AcceptAVariantsAndListedTextFreeFunctionsAndSpotWriters) {
    const struct {
        const char* function;
        bool allowed;
        bool writer;
    } cases[] = {
        {"MessageBoxA", true, false},
        {"MessageBoxW", false, false},
        {"CreateWindowExW", false, false},
        {"lstrcpyA", true, false},
        {"lstrcpy", false, false},
        {"ExitProcess", true, false},
        {"RegCloseKey", true, false},
        {"MultiByteToWideChar", false, false},
        {"#12", false, false},
        {"", false, false},
        {"RegOpenKeyExA", true, false},
        {"RegCreateKeyA", true, true},
        {"RegSetValueExW", false, true},
        {"CreateFile2", false, true},
        {"CryptSetProviderExA", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsAnsiOrTextFree(c.function), c.allowed) << c.function;
        EXPECT_EQ(IsWriter(c.function), c.writer) << c.function;
    }
}

TEST_F(KeyscryImage, IsAGuiExecutableOfItsArchitecture) {
    EXPECT_EQ(image.optional.magic, underTest.facts->optionalHeaderMagic);
    EXPECT_EQ(image.file.Machine, underTest.facts->machine);
    EXPECT_EQ(image.optional.subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    EXPECT_EQ(image.optional.directories[IMAGE_DIRECTORY_ENTRY_TLS].VirtualAddress, 0u);
    EXPECT_EQ(image.optional.directories[IMAGE_DIRECTORY_ENTRY_TLS].Size, 0u);
}

// What scanners of executables look for: the loader may place it anywhere
// (on x64 anywhere in the 64-bit space, from a base above 4 GiB), its data
// never runs, and it keeps what moving it takes.
TEST_F(KeyscryImage, AsksForEveryProtectionOfItsArchitecture) {
    const Hardening* hardening = HardeningOf(*underTest.facts);
    ASSERT_TRUE(hardening);
    EXPECT_EQ(image.optional.dllCharacteristics, hardening->dllCharacteristics)
        << Hex(image.optional.dllCharacteristics) << ", not " << Hex(hardening->dllCharacteristics);
    EXPECT_EQ(image.file.Characteristics & IMAGE_FILE_RELOCS_STRIPPED, 0);
    if (image.optional.magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        EXPECT_GT(image.optional.imageBase, 0xFFFFFFFFull);
    }
}

TEST_F(KeyscryImage, RelocationsAreWellFormedAndStayInsideTheImage) {
    const Hardening* hardening = HardeningOf(*underTest.facts);
    ASSERT_TRUE(hardening);
    RelocationCheck check = CheckRelocations(image, bytes, hardening->relocationType);
    EXPECT_GT(check.fixups, 0u);
    for (const std::string& fault : check.faults)
        ADD_FAILURE() << fault;
}

TEST_F(KeyscryImage, NoSectionIsBothWritableAndExecutable) {
    for (const IMAGE_SECTION_HEADER& section : image.sections)
        EXPECT_FALSE((section.Characteristics & IMAGE_SCN_MEM_WRITE) &&
                     (section.Characteristics & (IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_CNT_CODE)))
            << SectionName(section);
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

// What a security reviewer checks, which holds where access rights are checked
// as Wine doesn't: Keyscry asks advapi32 for these readers alone (a new one
// fails here until reviewed and added), and imports nothing that can write.
TEST_F(KeyscryImage, ImportsOnlyReadersAndNothingThatWrites) {
    std::set<std::string> advapi32;
    for (const ImportedDll& dll : ReadImports(image, bytes))
        for (const std::string& function : dll.functions) {
            EXPECT_FALSE(IsWriter(function)) << dll.name << ": " << function;
            if (lstrcmpiA(dll.name.c_str(), "advapi32.dll") == 0)
                advapi32.insert(function);
        }
    EXPECT_EQ(advapi32, (std::set<std::string>{"CryptAcquireContextA", "CryptGetProvParam",
                                               "CryptReleaseContext", "RegCloseKey", "RegEnumKeyA",
                                               "RegOpenKeyA", "RegQueryValueExA"}));
}
