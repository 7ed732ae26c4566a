// The icon, manifest and version block, read back from the built executable,
// each in US English alone.
#include <gtest/gtest.h>

#include <windows.h>

#include "image/under_test.h"
#include "support/keyscry_numbers.h"

namespace {

const WORD UsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The file these checks read (by default the tree's own Keyscry), and the
// facts of its architecture: "?" for an unknown one, which no check accepts.
const ExecutableUnderTest Image = UnderTest();
const ArchitectureFacts UnknownArchitecture{"?", "?", 0, 0, "?"};
const ArchitectureFacts& Facts = Image.facts ? *Image.facts : UnknownArchitecture;

// One node of the version block: a key, a value and children, each part
// aligned to four bytes from the block's start.
struct VersionNode {
    std::string key;
    WORD type = 0; // 1: text, 0: binary
    std::string text;
    std::vector<BYTE> bytes;
    std::vector<VersionNode> children;
};

size_t Aligned(size_t offset) {
    return (offset + 3) & ~size_t(3);
}

VersionNode ParseNode(const BYTE* block, size_t offset, size_t* next) {
    const WORD* header = reinterpret_cast<const WORD*>(block + offset);
    size_t end = offset + header[0];
    VersionNode node;
    node.type = header[2];
    const wchar_t* key = reinterpret_cast<const wchar_t*>(header + 3);
    size_t keyLength = wcslen(key);
    node.key = Narrow(key, static_cast<int>(keyLength));
    size_t value = Aligned(offset + 6 + (keyLength + 1) * 2);
    size_t valueBytes = node.type == 1 ? header[1] * 2 : header[1];
    if (node.type == 1 && header[1])
        node.text = Narrow(reinterpret_cast<const wchar_t*>(block + value), header[1] - 1);
    else
        node.bytes.assign(block + value, block + value + valueBytes);
    for (size_t child = Aligned(value + valueBytes); child < end;)
        node.children.push_back(ParseNode(block, child, &child));
    *next = Aligned(end);
    return node;
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

// The executable loaded as data, for its raw resources.
class KeyscryResources : public testing::Test {
  protected:
    void SetUp() override {
        module = LoadLibraryExA(Image.path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module);
    }
    void TearDown() override {
        FreeLibrary(module);
    }
    // A resource, which the executable must hold in US English and in no
    // other language.
    std::string Resource(LPCSTR type, LPCSTR name) const {
        std::vector<WORD> languages;
        EnumResourceLanguagesA(module, type, name, AddLanguage,
                               reinterpret_cast<LONG_PTR>(&languages));
        EXPECT_EQ(languages, std::vector<WORD>{UsEnglish})
            << "type " << reinterpret_cast<UINT_PTR>(type);
        HRSRC found = FindResourceExA(module, type, name, UsEnglish);
        if (!found)
            return {};
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(data, SizeofResource(module, found));
    }
    HMODULE module = nullptr;
};

// The fixed part, the translation, and one string table with five strings
// in order.
TEST_F(KeyscryResources, VersionBlock) {
    EXPECT_FALSE(Resource(RT_VERSION, MAKEINTRESOURCEA(1)).empty());
    const DWORD size = GetFileVersionInfoSizeA(Image.path.c_str(), nullptr);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(size && GetFileVersionInfoA(Image.path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_EQ(length, sizeof *fixed);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    const std::pair<DWORD, DWORD> fields[] = {
        {fixed->dwFileVersionMS, 0x00010000}, // 1.0.2.0, as the file's properties show it
        {fixed->dwFileVersionLS, 0x00020000},
        {fixed->dwProductVersionMS, 0x00010000},
        {fixed->dwProductVersionLS, 0x00020000},
        {fixed->dwFileFlagsMask, 0x3F},
        {fixed->dwFileFlags, 0x0B},
        {fixed->dwFileOS, 0x00010001},
        {fixed->dwFileType, 1},
        {fixed->dwFileSubtype, 0},
        {fixed->dwFileDateMS, 0},
        {fixed->dwFileDateLS, 0},
    };
    for (size_t i = 0; i < std::size(fields); ++i)
        EXPECT_EQ(fields[i].first, fields[i].second) << "field " << i;

    WORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 1252);

    size_t end = 0;
    VersionNode root = ParseNode(block.data(), 0, &end);
    EXPECT_EQ(root.key, "VS_VERSION_INFO");

    std::vector<std::string> sections;
    const VersionNode* strings = nullptr;
    for (const VersionNode& section : root.children) {
        sections.push_back(section.key);
        if (section.key == "StringFileInfo") {
            ASSERT_EQ(section.children.size(), 1u);
            strings = &section.children[0];
        }
    }
    EXPECT_EQ(sections, (std::vector<std::string>{"StringFileInfo", "VarFileInfo"}));
    ASSERT_TRUE(strings);
    EXPECT_EQ(strings->key, "040904E4");

    const std::pair<const char*, const char*> expected[] = {
        {"FileDescription", "Keyscry - Enumerates Crypto Service Providers"},
        {"FileVersion", "1.0.2.0"},
        {"OriginalFilename", Facts.fileName},
        {"CompanyName", nullptr}, // credits: any text
        {"LegalCopyright", nullptr},
    };
    ASSERT_EQ(strings->children.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const VersionNode& value = strings->children[i];
        EXPECT_EQ(value.key, expected[i].first);
        EXPECT_EQ(value.type, 1);
        if (expected[i].second) {
            EXPECT_EQ(value.text, expected[i].second);
        } else {
            EXPECT_FALSE(value.text.empty()) << value.key;
        }
    }
}

// The whole manifest, letter for letter: an element added, dropped or changed
// fails. It names the build's architecture twice.
std::string Manifest(const std::string& architecture) {
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
<assemblyIdentity version="1.0.0.0" processorArchitecture=")" +
           architecture + R"(" name="Keyscry" type="win32"/>
<description>Keyscry</description>
<dependency>
<dependentAssembly>
<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture=")" +
           architecture + R"(" publicKeyToken="6595b64144ccf1df" language="*"/>
</dependentAssembly>
</dependency>
</assembly>
)";
}

TEST_F(KeyscryResources, ManifestIsKeyscrysAskingForCommonControlsSixAlone) {
    EXPECT_EQ(Resource(RT_MANIFEST, MAKEINTRESOURCEA(1)), Manifest(Facts.manifestArchitecture));
}

#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitsPerPixel;
    DWORD bytes;
    WORD id;
};
struct IconGroup {
    WORD reserved, type, count;
    IconGroupEntry entries[1];
};
#pragma pack(pop)

TEST_F(KeyscryResources, IconGroupHasOne32By32ImageOf8Bits) {
    std::string group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IconId));
    ASSERT_EQ(group.size(), sizeof(IconGroup));
    const IconGroup* icons = reinterpret_cast<const IconGroup*>(group.data());
    EXPECT_EQ(icons->type, 1);
    ASSERT_EQ(icons->count, 1);
    const IconGroupEntry& entry = icons->entries[0];
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.bitsPerPixel, 8);
    EXPECT_EQ(entry.id, 1);

    std::string image = Resource(RT_ICON, MAKEINTRESOURCEA(1));
    ASSERT_EQ(image.size(), entry.bytes);
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
    const BITMAPINFOHEADER* header = reinterpret_cast<const BITMAPINFOHEADER*>(image.data());
    EXPECT_EQ(header->biWidth, 32);
    EXPECT_EQ(header->biHeight, 64); // the colour and the mask image
    EXPECT_EQ(header->biBitCount, 8);
}

} // namespace
