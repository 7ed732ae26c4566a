// The provider box filled from the catalogue: its order, names of every kind
// and length, many of them, and the two views of a 64-bit machine.
#include "provider/provider.h"
#include "support/provider_window_test.h"

namespace {

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
    TestWindow window;
    return {ComboEntries(appState.providerCombo),
            SendMessageA(appState.providerCombo, CB_GETCURSEL, 0, 0),
            ComboShownText(appState.providerCombo)};
}

TEST(ProviderBox, BoxSortsNamesItselfAndStartsOnTheFirst) {
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

TEST(ProviderBox, NoSubkeysOrNoKeyGiveAnEmptyBox) {
    for (bool keyExists : {true, false}) {
        BoxAfterStart box = BoxFor({}, keyExists);
        EXPECT_TRUE(box.entries.empty()) << keyExists;
        EXPECT_EQ(box.current, CB_ERR) << keyExists;
        EXPECT_EQ(box.shown, "") << keyExists;
    }
}

// Names as long as the catalogue lists and longer, which don't fit the
// enumeration's buffer and fail with ERROR_MORE_DATA.
TEST(ProviderBox, UnreadableNamesGiveEmptyEntries) {
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
    Names longest = longNames(1, LongestNameListed);
    struct Case {
        Names subkeys;
        Names entries;
    };
    const Case cases[] = {
        {withNeighbours(longest), {"a", longest[0], "c"}},
        // A short run of failures: an empty entry each, and on to "c".
        {withNeighbours(longNames(3, LongestNameListed + 1)), {"", "", "", "a", "c"}},
        // A run longer than the bound on failures: these indexes exist, so
        // the enumeration goes on to "c".
        {withNeighbours(longNames(20, LongestNameListed + 2)),
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
TEST(ProviderBox, SixtyFourBitBuildReadsTheNativeView) {
    if (sizeof(void*) != 8)
        GTEST_SKIP() << "a 32-bit prefix has one view only";
    const std::string name = "Keyscry Test 32-bit View Only";
    const std::string path = std::string(ProviderKeyPath) + "\\" + name;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    Names entries;
    {
        MessageBoxWatcher watcher;
        TestWindow window;
        entries = ComboEntries(appState.providerCombo);
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), KEY_WOW64_32KEY, 0);

    EXPECT_EQ(std::count(entries.begin(), entries.end(), name), 0);
    EXPECT_EQ(
        std::count(entries.begin(), entries.end(), "Microsoft Base Cryptographic Provider v1.0"),
        1);
}

class ProviderBoxWindow : public ProviderWindowTest {};

TEST_F(ProviderBoxWindow, CatalogueIsReadOnceWhenTheWindowIsBuilt) {
    AddFake("First");
    Build();
    catalogue.AddProvider("Later", PROV_RSA_FULL, FakeProviderPath());
    SendCommand(window, RefreshId);
    EXPECT_EQ(ComboEntries(appState.providerCombo), Names{"First"});
}

TEST(ProviderBox, ThousandProvidersAreListedSortedWithTheFirstCurrent) {
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
    TestWindow window;
    EXPECT_EQ(ComboEntries(appState.providerCombo), expected);
    EXPECT_EQ(ComboShownText(appState.providerCombo), "PROVIDER 000");
    EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
}

TEST(ProviderBox, NamesWithBytesAboveAsciiRoundTrip) {
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
        TestWindow window;
        EXPECT_EQ(ComboEntries(appState.providerCombo), std::vector<std::string>{name});
        EXPECT_EQ(ComboShownText(appState.providerCombo), name);
        // The type shows only when the lookup found the key by this name.
        EXPECT_EQ(TextOf(appState.typeField), "PROV_DSS");
        EXPECT_EQ(watcher.seen.size(), 1u);
        EXPECT_TRUE(Answers(window));
    }
}

TEST(ProviderBox, NameOutsideTheAnsiCodePageFailsPlainly) {
    // The name reaches Keyscry through the "A" calls with its unmappable
    // character replaced, so no key and no provider answer to it.
    ScratchCatalogue catalogue;
    catalogue.AddProvider(L"Wide \x4E2D", PROV_RSA_FULL);
    MessageBoxWatcher watcher;
    TestWindow window;
    EXPECT_EQ(ComboEntries(appState.providerCombo), std::vector<std::string>{"Wide ?"});
    EXPECT_EQ(TextOf(appState.typeField), " ");
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
}

} // namespace
