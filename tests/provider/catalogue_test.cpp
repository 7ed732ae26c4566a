// The provider box filled from the catalogue, and type numbers as names.
#include "provider/provider.h"
#include "provider_fixture.h"

namespace {

using Names = std::vector<std::string>;

struct BoxAfterStart {
    Names entries;
    LRESULT current;
    std::string shown;
};

// Starts a window over a catalogue holding just these subkeys, created in
// this order (none of them can be opened; the failure boxes are answered).
BoxAfterStart BoxFor(const Names& subkeys, bool catalogueKeyExists = true) {
    ScratchCatalogue catalogue;
    for (const std::string& name : subkeys)
        catalogue.AddProvider(name, PROV_RSA_FULL);
    if (!catalogueKeyExists)
        catalogue.RemoveCatalogueKey();
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    BoxAfterStart box{ComboEntries(appState.providerCombo),
                      SendMessageA(appState.providerCombo, CB_GETCURSEL, 0, 0),
                      ComboShownText(appState.providerCombo)};
    DestroyTestMainWindow(window);
    return box;
}

TEST(Catalogue, BoxSortsNamesItselfAndStartsOnTheFirst) {
    struct Case {
        Names subkeys;
        Names entries;
    };
    const Case cases[] = {
        {{"Zeta", "alpha", "Mid"}, {"alpha", "Mid", "Zeta"}},
        // The registry hands these out as co-op, Co-Z, coop (by character
        // code, '-' before letters); the box sorts by words, the hyphen
        // weighing only between otherwise equal names.
        {{"Co-Z", "co-op", "coop"}, {"coop", "co-op", "Co-Z"}},
    };
    for (const Case& test : cases) {
        BoxAfterStart box = BoxFor(test.subkeys);
        EXPECT_EQ(box.entries, test.entries);
        EXPECT_EQ(box.current, 0);
        EXPECT_EQ(box.shown, test.entries[0]);
    }
}

TEST(Catalogue, NoSubkeysOrNoKeyGiveAnEmptyBox) {
    for (bool keyExists : {true, false}) {
        BoxAfterStart box = BoxFor({}, keyExists);
        EXPECT_TRUE(box.entries.empty()) << keyExists;
        EXPECT_EQ(box.current, CB_ERR) << keyExists;
        EXPECT_EQ(box.shown, "") << keyExists;
    }
}

// Names the size of keyNameBuffer and beyond: RegEnumKeyA is given room for
// 253 characters and its NUL, so longer names fail with ERROR_MORE_DATA.
TEST(Catalogue, UnreadableNamesGiveEmptyEntries) {
    auto longNames = [](size_t count, size_t length) {
        Names names;
        for (size_t i = 0; i < count; ++i) {
            std::string suffix = std::to_string(1000 + i);
            names.push_back(std::string(length - suffix.size(), 'b') + suffix);
        }
        return names;
    };
    auto withNeighbours = [](Names names) {
        names.insert(names.begin(), "a");
        names.push_back("c");
        return names;
    };
    Names longest = longNames(1, 253);
    struct Case {
        Names subkeys;
        Names entries;
    };
    const Case cases[] = {
        {withNeighbours(longest), {"a", longest[0], "c"}},
        // A short run of failures: an empty entry each, and on to "c".
        {withNeighbours(longNames(3, 254)), {"", "", "", "a", "c"}},
        // A run longer than the bound on failures: these indexes exist, so
        // the enumeration goes on to "c".
        {withNeighbours(longNames(20, 255)),
         [] {
             Names entries(20, "");
             entries.push_back("a");
             entries.push_back("c");
             return entries;
         }()},
    };
    for (const Case& test : cases)
        EXPECT_EQ(BoxFor(test.subkeys).entries, test.entries);
}

// On 64-bit Windows the catalogue has two views: 64-bit programs see the
// native one, 32-bit programs the WOW64 one. Each build must read its own;
// here a provider registered in the 32-bit view only is left out by the
// 64-bit build. The machine's own catalogue is used, so the key is removed again.
TEST(Catalogue, SixtyFourBitBuildReadsTheNativeView) {
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "a 32-bit prefix has one view only";
    const std::string name = "Keyscry Test 32-bit View Only";
    const std::string path = std::string(ProviderKeyPath) + "\\" + name;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    Names entries = ComboEntries(appState.providerCombo);
    DestroyTestMainWindow(window);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);

    EXPECT_EQ(std::count(entries.begin(), entries.end(), name), 0);
    EXPECT_EQ(
        std::count(entries.begin(), entries.end(), "Microsoft Base Cryptographic Provider v1.0"),
        1);
}

class CatalogueWindow : public ProviderWindowTest {
  protected:
    DWORD LookUp(const std::string& name) {
        return LookUpProviderType((std::string(ProviderKeyPath) + "\\" + name).c_str());
    }
};

TEST_F(CatalogueWindow, IsReadOnlyOnceWhenTheWindowIsBuilt) {
    AddFake("First");
    Build();
    catalogue.AddProvider("Later", PROV_RSA_FULL, FakeProviderPath());
    SendCommand(window, IDC_REFRESH);
    EXPECT_EQ(ComboEntries(appState.providerCombo), Names{"First"});
}

TEST_F(CatalogueWindow, TypeNumbersAsNames) {
    const struct {
        DWORD type;
        const char* name;
    } table[] = {
        {1, "PROV_RSA_FULL"},      {2, "PROV_RSA_SIG"},         {3, "PROV_DSS"},
        {4, "PROV_FORTEZZA"},      {5, "PROV_MS_EXCHANGE"},     {6, "PROV_SSL"},
        {12, "PROV_RSA_SCHANNEL"}, {13, "PROV_DSS_DH"},         {14, "PROV_EC_ECDSA_SIG"},
        {15, "PROV_EC_ECNRA_SIG"}, {16, "PROV_EC_ECDSA_FULL"},  {17, "PROV_EC_ECNRA_FULL"},
        {18, "PROV_DH_SCHANNEL"},  {20, "PROV_SPYRUS_LYNKS"},   {24, "PROV_RSA_AES"},
        {0, "PROV_UNKNOW"},        {7, "PROV_UNKNOW"},          {11, "PROV_UNKNOW"},
        {19, "PROV_UNKNOW"},       {21, "PROV_UNKNOW"},         {23, "PROV_UNKNOW"},
        {25, "PROV_UNKNOW"},       {0xFFFFFFFF, "PROV_UNKNOW"},
    };
    Build();
    for (const auto& entry : table) {
        catalogue.AddProvider("Typed", entry.type);
        EXPECT_EQ(LookUp("Typed"), entry.type);
        EXPECT_EQ(TypeText(), entry.name) << entry.type;
    }
}

TEST_F(CatalogueWindow, TypeFieldStartsBlankUntilATypeIsRead) {
    catalogue.AddProviderWithoutType("Untyped");
    Build();
    EXPECT_EQ(TypeText(), " ");
}

TEST_F(CatalogueWindow, ProviderWithoutTypeKeepsThePreviousName) {
    AddFake("A typed", PROV_RSA_AES);
    catalogue.AddProviderWithoutType("B untyped");
    Build();
    ASSERT_EQ(TypeText(), "PROV_RSA_AES");
    Choose("B untyped");
    EXPECT_EQ(TypeText(), "PROV_RSA_AES");
}

// The value's bytes are a little-endian number whatever its registry type;
// shorter values fill the low-order bytes, longer ones aren't read at all.
TEST_F(CatalogueWindow, TypeValuesOfOtherSizes) {
    const struct {
        std::vector<BYTE> bytes;
        DWORD type;
        const char* shown;
    } cases[] = {
        {{0x01}, 1, "PROV_RSA_FULL"},
        {{0x18}, 24, "PROV_RSA_AES"},
        {{0x0C, 0x00}, 12, "PROV_RSA_SCHANNEL"},
        {{0x01, 0x01}, 0x101, "PROV_UNKNOW"},
        {{0x01, 0, 0, 0, 0, 0, 0, 0}, 0, "kept"},
    };
    Build();
    for (const auto& test : cases) {
        catalogue.AddProviderRaw("Raw", REG_BINARY, test.bytes);
        SetWindowTextA(appState.typeField, "kept");
        EXPECT_EQ(LookUp("Raw"), test.type) << test.bytes.size();
        EXPECT_EQ(TypeText(), test.shown) << test.bytes.size();
    }
}

} // namespace
