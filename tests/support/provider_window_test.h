// A test fixture: a main window over a scratch catalogue whose providers are
// fake_provider.dll, with every message box recorded and taken down. The
// catalogue fails the test if Keyscry wrote to it (scratch_catalogue.h).
#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "app/app_state.h"
#include "fake_provider/fake_provider_config.h"
#include "support/common.h"
#include "support/keyscry_numbers.h"
#include "support/keyscry_texts.h"
#include "support/message_boxes.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

using Names = std::vector<std::string>;

class ProviderWindowTest : public testing::Test {
  protected:
    void TearDown() override {
        built.reset();
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
        window = built.emplace();
    }

    // The user picks a provider in the box, which refreshes at once.
    void Choose(const std::string& name) {
        EXPECT_TRUE(ChooseProvider(window, name)) << name << " is not in the provider box";
    }

    std::string TypeText() {
        return TextOf(appState.typeField);
    }

    ScratchCatalogue catalogue;
    MessageBoxWatcher watcher;
    std::optional<TestWindow> built;
    HWND window = nullptr;
    std::vector<std::string> fakes;
};
