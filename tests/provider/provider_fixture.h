// A main window over a scratch catalogue whose providers are fake_provider.dll,
// with every message box recorded and answered.
#pragma once

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "fake_provider/fake_provider_config.h"
#include "support/test_window.h"

// The user picks a provider in the box, which refreshes at once.
inline void ChooseProvider(HWND window, const std::string& name) {
    LRESULT index = SendMessageA(appState.providerCombo, CB_FINDSTRINGEXACT,
                                 static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_NE(index, CB_ERR) << name;
    ChooseProviderAt(window, static_cast<int>(index));
}

class ProviderWindowTest : public testing::Test {
  protected:
    void TearDown() override {
        if (window)
            DestroyTestMainWindow(window);
        for (const std::string& name : fakes)
            ClearFakeProvider(name);
    }

    // Registers a fake provider with no settings yet.
    void AddFake(const std::string& name, DWORD type = PROV_RSA_FULL) {
        ClearFakeProvider(name);
        catalogue.AddProvider(name, type, FakeProviderPath());
        fakes.push_back(name);
    }

    void Build() {
        window = CreateTestMainWindow();
    }

    void Choose(const std::string& name) {
        ChooseProvider(window, name);
    }

    std::string TypeText() {
        return TextOf(appState.typeField);
    }

    ScratchCatalogue catalogue;
    MessageBoxWatcher watcher;
    HWND window = nullptr;
    std::vector<std::string> fakes;
};
