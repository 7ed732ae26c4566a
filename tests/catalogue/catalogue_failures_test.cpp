// A catalogue that fails under Keyscry: its key deleted while the window
// exists or while it is being enumerated, and indexes that can't be read.
// Entries without an "Image Path" can't be opened, so each refresh of one
// shows the failure message; the watcher takes it down.
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "support/keyscry_numbers.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

TEST(CatalogueFailures, CatalogueKeyDeletedWhileTheWindowExists) {
    ScratchCatalogue catalogue;
    // Wine's own RSA provider answers for any name it is registered under.
    catalogue.AddProvider("Alpha", PROV_RSA_FULL, "rsaenh.dll");
    catalogue.AddProvider("Beta", PROV_RSA_AES, "rsaenh.dll");
    MessageBoxWatcher watcher;
    TestWindow window;
    ASSERT_TRUE(watcher.seen.empty());
    ASSERT_FALSE(ListRows(appState.algorithmList).empty());

    catalogue.RemoveCatalogueKey();
    SendCommand(window, RefreshId);
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

TEST(CatalogueFailures, CatalogueKeyDeletedWhileItIsEnumerated) {
    ScratchCatalogue catalogue;
    for (const char* name : {"One", "Three", "Two"})
        catalogue.AddProvider(name, PROV_RSA_FULL);
    vanishingCatalogue = &catalogue;
    vanishHook = SetWindowsHookExA(WH_CALLWNDPROC, RemoveCatalogueOnFirstName, nullptr,
                                   GetCurrentThreadId());
    MessageBoxWatcher watcher;
    TestWindow window;
    UnhookWindowsHookEx(vanishHook);

    // Every index after the first fails; each adds the empty string, and the
    // enumeration gives up after a bounded run of failures.
    std::vector<std::string> expected(UnreadableIndexesBound, "");
    expected.push_back("One");
    EXPECT_EQ(ComboEntries(appState.providerCombo), expected);
    EXPECT_EQ(watcher.seen.size(), 1u);
    EXPECT_TRUE(Answers(window));
}

namespace {
const auto platformRegEnumKeyA = Advapi32<decltype(&RegEnumKeyA)>("RegEnumKeyA");
DWORD unreadableIndexes = 0;

// The platform's RegEnumKeyA, but the first indexes can't be read.
LONG WINAPI RegEnumKeyUnreadableFirst(HKEY key, DWORD index, LPSTR name, DWORD size) {
    if (index < unreadableIndexes)
        return ERROR_ACCESS_DENIED;
    return platformRegEnumKeyA(key, index, name, size);
}
} // namespace

// Fewer unreadable indexes in a row than the bound are passed over and
// the names after them listed; as many as that end the list.
TEST(CatalogueFailures, ShortRunOfUnreadableIndexesIsPassedOver) {
    ScratchCatalogue catalogue;
    std::vector<std::string> names;
    for (char letter = 'A'; letter <= 'T'; ++letter)
        names.push_back(std::string("Good ") + letter);
    for (const std::string& name : names)
        catalogue.AddProvider(name, PROV_RSA_FULL);
    MessageBoxWatcher watcher;
    ASSERT_TRUE(RedirectImports(platformRegEnumKeyA, RegEnumKeyUnreadableFirst));
    for (DWORD unreadable : {UnreadableIndexesBound - 1, UnreadableIndexesBound}) {
        unreadableIndexes = unreadable;
        std::vector<std::string> expected(unreadable, "");
        if (unreadable < UnreadableIndexesBound)
            expected.insert(expected.end(), names.begin() + unreadable, names.end());
        TestWindow window;
        EXPECT_EQ(ComboEntries(appState.providerCombo), expected) << unreadable;
    }
    RedirectImports(&RegEnumKeyUnreadableFirst, platformRegEnumKeyA);
}
