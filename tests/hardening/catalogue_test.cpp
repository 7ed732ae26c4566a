// Hostile provider catalogues: very many entries, names at and past the
// buffer limits, bytes outside ASCII, odd "Type" values, and a catalogue key
// that disappears. Entries without an "Image Path" can't be opened, so each
// refresh of one shows the failure message; the watcher answers it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "app/app_state.h"
#include "hardening/hardening.h"
#include "provider/provider.h"
#include "support/test_window.h"

namespace {

std::string KeyPathOf(const std::string& name) {
    return std::string(ProviderKeyPath) + "\\" + name;
}

// Nothing past the end of keyPath was written: containerName follows it and
// stays all zero in a refresh that can't open its provider.
bool ContainerNameUntouched() {
    const char* bytes = appState.containerName;
    return std::all_of(bytes, bytes + sizeof appState.containerName,
                       [](char byte) { return byte == 0; });
}

} // namespace

TEST(HostileCatalogue, ThousandProvidersAreListedSortedWithTheFirstCurrent) {
    ScratchCatalogue catalogue;
    std::vector<std::string> expected;
    for (int i = 0; i < 1000; ++i) {
        char name[32];
        wsprintfA(name, i % 2 ? "provider %03d" : "PROVIDER %03d", i);
        expected.push_back(name);
    }
    // Registered out of order; case alternates, the box's order ignores it.
    for (int i = 0; i < 1000; ++i)
        catalogue.AddProvider(expected[(i * 7919) % 1000], PROV_RSA_FULL);

    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    EXPECT_EQ(ComboEntries(appState.providerCombo), expected);
    EXPECT_EQ(ComboShownText(appState.providerCombo), "PROVIDER 000");
    EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
    DestroyTestMainWindow(window);
}

TEST(HostileCatalogue, NamesAtAndPastTheBufferLimits) {
    struct Case {
        size_t length;
        bool listedWhole;  // false: the enumeration buffer can't take it
        bool typeLookedUp; // false: the name doesn't fit in keyPath
    } cases[] = {
        {1, true, true},    {204, true, true},   {205, true, false},
        {253, true, false}, {254, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string name;
        for (size_t i = 0; i < c.length; ++i)
            name += static_cast<char>('a' + i % 26);
        ScratchCatalogue catalogue;
        catalogue.AddProvider(name, PROV_RSA_AES);

        MessageBoxWatcher watcher;
        HWND window = CreateTestMainWindow();
        std::string entry = c.listedWhole ? name : "";
        EXPECT_EQ(ComboEntries(appState.providerCombo), std::vector<std::string>{entry});
        EXPECT_EQ(ComboShownText(appState.providerCombo), entry);
        EXPECT_EQ(appState.providerName, entry);
        EXPECT_EQ(TextOf(appState.typeField), c.typeLookedUp ? "PROV_RSA_AES" : " ");
        // keyPath is built only for names that fit; an empty entry fits.
        bool built = entry.size() <= MaxProviderNameInKeyPath;
        EXPECT_EQ(appState.keyPath, built ? KeyPathOf(entry) : "");
        EXPECT_TRUE(ContainerNameUntouched());
        ASSERT_EQ(watcher.seen.size(), 1u);
        EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
        // Owned by the window being built, before CreateWindowExA has returned.
        EXPECT_EQ(watcher.seen[0].owner, window);

        SendCommand(window, IDC_REFRESH); // the same again, nothing piles up
        EXPECT_EQ(appState.providerName, entry);
        EXPECT_TRUE(ContainerNameUntouched());
        ASSERT_EQ(watcher.seen.size(), 2u);
        EXPECT_EQ(watcher.seen[1].owner, window);
        EXPECT_TRUE(Answers(window));
        DestroyTestMainWindow(window);
    }
}

TEST(HostileCatalogue, NamesWithBytesAboveAsciiRoundTrip) {
    CPINFO codePage{};
    GetCPInfo(CP_ACP, &codePage);
    if (codePage.MaxCharSize != 1)
        GTEST_SKIP() << "the ANSI code page " << GetACP() << " is not single-byte";
    std::string high, low;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        (byte < 0xC0 ? low : high) += static_cast<char>(byte);
    for (const std::string& name : {"Sign " + low, high + " sign"}) {
        ScratchCatalogue catalogue;
        catalogue.AddProvider(name, PROV_DSS);
        MessageBoxWatcher watcher;
        HWND window = CreateTestMainWindow();
        EXPECT_EQ(ComboEntries(appState.providerCombo), std::vector<std::string>{name});
        EXPECT_EQ(ComboShownText(appState.providerCombo), name);
        // The type shows only when the lookup found the key by this name.
        EXPECT_EQ(TextOf(appState.typeField), "PROV_DSS");
        EXPECT_EQ(watcher.seen.size(), 1u);
        EXPECT_TRUE(Answers(window));
        DestroyTestMainWindow(window);
    }
}

TEST(HostileCatalogue, NameOutsideTheAnsiCodePageFailsPlainly) {
    // The name reaches Keyscry through the "A" calls with its unmappable
    // character replaced, so no key and no provider answer to it.
    ScratchCatalogue catalogue;
    HKEY key = nullptr;
    RegCreateKeyW(HKEY_CURRENT_USER,
                  L"Software\\KeyscryTests\\Machine\\SOFTWARE\\Microsoft\\Cryptography\\Defaults"
                  L"\\Provider\\Wide \x4E2D",
                  &key);
    DWORD type = PROV_RSA_FULL;
    RegSetValueExW(key, L"Type", 0, REG_DWORD, reinterpret_cast<BYTE*>(&type), sizeof type);
    RegCloseKey(key);
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    EXPECT_EQ(ComboEntries(appState.providerCombo), std::vector<std::string>{"Wide ?"});
    EXPECT_EQ(TextOf(appState.typeField), " ");
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
    DestroyTestMainWindow(window);
}

TEST(HostileCatalogue, TypeValuesOfAnyRegistryTypeAndSize) {
    // The previous provider shows PROV_RSA_SIG; a value that can't be read
    // into four bytes leaves that text standing.
    const char* kept = "PROV_RSA_SIG";
    struct Case {
        const char* what;
        bool present;
        DWORD valueType;
        std::vector<BYTE> bytes;
        const char* shown;
    } cases[] = {
        {"missing", false, REG_NONE, {}, kept},
        {"REG_SZ of one character", true, REG_SZ, {0x18, 0}, "PROV_RSA_AES"},
        {"REG_SZ of a type name", true, REG_SZ, {'P', 'R', 'O', 'V', '_', 'D', 'S', 'S', 0}, kept},
        {"REG_BINARY of 0 bytes", true, REG_BINARY, {}, "PROV_UNKNOW"},
        {"REG_BINARY of 1 byte", true, REG_BINARY, {0x18}, "PROV_RSA_AES"},
        {"REG_BINARY of 2 bytes", true, REG_BINARY, {0x0C, 0x00}, "PROV_RSA_SCHANNEL"},
        {"REG_BINARY of 2 bytes, high one set", true, REG_BINARY, {0x0C, 0x01}, "PROV_UNKNOW"},
        {"REG_BINARY of 3 bytes", true, REG_BINARY, {0x0D, 0x00, 0x00}, "PROV_DSS_DH"},
        {"REG_BINARY of 8 bytes", true, REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, kept},
        {"REG_DWORD 0xFFFFFFFF", true, REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "PROV_UNKNOW"},
        {"REG_DWORD 24", true, REG_DWORD, {24, 0, 0, 0}, "PROV_RSA_AES"},
        {"REG_DWORD_BIG_ENDIAN 1", true, REG_DWORD_BIG_ENDIAN, {0, 0, 0, 1}, "PROV_UNKNOW"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchCatalogue catalogue;
        catalogue.AddProvider("A previous", PROV_RSA_SIG);
        if (c.present)
            catalogue.AddProviderRaw("B odd type", c.valueType, c.bytes);
        else
            catalogue.AddProviderWithoutType("B odd type");

        MessageBoxWatcher watcher;
        HWND window = CreateTestMainWindow();
        ASSERT_EQ(TextOf(appState.typeField), kept);
        ChooseProviderAt(window, 1);
        EXPECT_EQ(appState.providerName, std::string("B odd type"));
        EXPECT_EQ(TextOf(appState.typeField), c.shown);
        EXPECT_EQ(watcher.seen.size(), 2u);
        EXPECT_TRUE(Answers(window));
        DestroyTestMainWindow(window);
    }
}

TEST(HostileCatalogue, CatalogueKeyDeletedWhileTheWindowExists) {
    ScratchCatalogue catalogue;
    // Wine's own RSA provider answers for any name it is registered under.
    catalogue.AddProvider("Alpha", PROV_RSA_FULL, "rsaenh.dll");
    catalogue.AddProvider("Beta", PROV_RSA_AES, "rsaenh.dll");
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    ASSERT_TRUE(watcher.seen.empty());
    ASSERT_FALSE(ListRows(appState.algorithmList).empty());

    catalogue.RemoveCatalogueKey();
    SendCommand(window, IDC_REFRESH);
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
    EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
    EXPECT_TRUE(ListRows(appState.algorithmList).empty());
    EXPECT_TRUE(ComboEntries(appState.containerCombo).empty());
    EXPECT_TRUE(Answers(window));

    // The box keeps what it listed when the window was built.
    ChooseProviderAt(window, 1);
    EXPECT_EQ(watcher.seen.size(), 2u);
    EXPECT_EQ(ComboEntries(appState.providerCombo), (std::vector<std::string>{"Alpha", "Beta"}));
    EXPECT_TRUE(Answers(window));
    DestroyTestMainWindow(window);
}

namespace {
ScratchCatalogue* vanishingCatalogue = nullptr;
HHOOK vanishHook = nullptr;

// Removes the catalogue key as soon as the first name reaches the provider
// box, while the enumeration still holds the key open.
LRESULT CALLBACK RemoveCatalogueOnFirstName(int code, WPARAM wParam, LPARAM lParam) {
    auto* sent = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && sent->message == CB_ADDSTRING && vanishingCatalogue) {
        vanishingCatalogue->RemoveCatalogueKey();
        vanishingCatalogue = nullptr;
    }
    return CallNextHookEx(vanishHook, code, wParam, lParam);
}
} // namespace

TEST(HostileCatalogue, CatalogueKeyDeletedWhileItIsEnumerated) {
    ScratchCatalogue catalogue;
    for (const char* name : {"One", "Three", "Two"})
        catalogue.AddProvider(name, PROV_RSA_FULL);
    vanishingCatalogue = &catalogue;
    vanishHook = SetWindowsHookExA(WH_CALLWNDPROC, RemoveCatalogueOnFirstName, nullptr,
                                   GetCurrentThreadId());
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    UnhookWindowsHookEx(vanishHook);

    // Every index after the first fails; each adds the empty string, and the
    // enumeration gives up after a bounded run of failures.
    std::vector<std::string> expected(MaxFailedIndexesInARow, "");
    expected.push_back("One");
    EXPECT_EQ(ComboEntries(appState.providerCombo), expected);
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
    DestroyTestMainWindow(window);
}

namespace {
using RegEnumKeyProc = LONG(WINAPI*)(HKEY, DWORD, LPSTR, DWORD);
RegEnumKeyProc platformRegEnumKeyA = nullptr;
DWORD unreadableIndexes = 0;

// The platform's RegEnumKeyA, but the first indexes can't be read.
LONG WINAPI RegEnumKeyUnreadableFirst(HKEY key, DWORD index, LPSTR name, DWORD size) {
    if (index < unreadableIndexes)
        return ERROR_ACCESS_DENIED;
    return platformRegEnumKeyA(key, index, name, size);
}

// Points this executable's import of `function` at `replacement` and returns
// what it pointed at before.
void* SwapImport(const char* function, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    DWORD imports =
        headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); dll->Name; ++dll) {
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                lstrcmpA(
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name,
                    function) != 0)
                continue;
            DWORD protection = 0;
            VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
            void* previous = reinterpret_cast<void*>(slot->u1.Function);
            slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(slot, sizeof *slot, protection, &protection);
            return previous;
        }
    }
    return nullptr;
}
} // namespace

// Fewer unreadable indexes in a row than the bound of 16 are passed over and
// the names after them listed; as many as that end the list.
TEST(HostileCatalogue, ShortRunOfUnreadableIndexesIsPassedOver) {
    ScratchCatalogue catalogue;
    std::vector<std::string> names;
    for (char letter = 'A'; letter <= 'T'; ++letter)
        names.push_back(std::string("Good ") + letter);
    for (const std::string& name : names)
        catalogue.AddProvider(name, PROV_RSA_FULL);
    MessageBoxWatcher watcher;
    platformRegEnumKeyA = reinterpret_cast<RegEnumKeyProc>(
        SwapImport("RegEnumKeyA", reinterpret_cast<void*>(RegEnumKeyUnreadableFirst)));
    ASSERT_TRUE(platformRegEnumKeyA);
    for (DWORD unreadable : {15u, 16u}) {
        unreadableIndexes = unreadable;
        std::vector<std::string> expected(unreadable, "");
        if (unreadable < 16)
            expected.insert(expected.end(), names.begin() + unreadable, names.end());
        HWND window = CreateTestMainWindow();
        EXPECT_EQ(ComboEntries(appState.providerCombo), expected) << unreadable;
        DestroyTestMainWindow(window);
    }
    SwapImport("RegEnumKeyA", reinterpret_cast<void*>(platformRegEnumKeyA));
}
