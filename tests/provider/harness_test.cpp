#include <gtest/gtest.h>

#include "app/app_state.h"
#include "support/test_window.h"

TEST(Harness, EmptyCatalogueGivesEmptyBoxAndOneFailureMessage) {
    ScratchCatalogue catalogue;
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    EXPECT_TRUE(ComboEntries(appState.providerCombo).empty());
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].text, "Impossible to open a Crytographic_Service_Provider !!!");
    EXPECT_EQ(watcher.seen[0].owner, window);
    DestroyTestMainWindow(window);
}

TEST(Harness, SortsRegistryNames) {
    ScratchCatalogue catalogue;
    catalogue.AddProvider("Zeta", 1);
    catalogue.AddProvider("alpha", 1);
    catalogue.AddProvider("Mid", 1);
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    EXPECT_EQ(ComboEntries(appState.providerCombo),
              (std::vector<std::string>{"alpha", "Mid", "Zeta"}));
    EXPECT_EQ(ComboShownText(appState.providerCombo), "alpha");
    DestroyTestMainWindow(window);
}
