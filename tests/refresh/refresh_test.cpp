// A refresh of the chosen provider through the real controls: how it is
// opened, what happens when it can't be, its containers, and the keys it
// leaves closed.
#include <algorithm>

#include "support/provider_window_test.h"

namespace {

class Refresh : public ProviderWindowTest {
  protected:
    Names Rows() {
        return ListRows(appState.algorithmList);
    }
    Names Containers() {
        return ComboEntries(appState.containerCombo);
    }
};

TEST_F(Refresh, ContainersAreSortedAndTheFirstShown) {
    const std::vector<BYTE> noNul(ContainerBuffer, 'x');
    const struct {
        Names containers;
        std::vector<BYTE> raw; // one more entry after them, when not empty
        Names entries;
    } cases[] = {
        {{"c", "a", "b"}, {}, {"a", "b", "c"}},
        {{}, {}, {}},
        {{}, noNul, {std::string(WidestContainerName, 'x')}},
        {{"b"}, std::vector<BYTE>(ContainerBuffer + 1, 'y'), {"b"}}, // too large: adds nothing
        // A first name shorter than the last one before, without its NUL:
        // the buffer starts each refresh empty, so it shows alone.
        {{"a", "the last name read"}, {}, {"a", "the last name read"}},
        {{}, {'f', 'i', 'r', 's', 't'}, {"first"}},
    };
    AddFake("Containers");
    Build();
    for (const auto& test : cases) {
        ClearFakeProvider("Containers");
        SetFakeProviderContainers("Containers", test.containers);
        if (!test.raw.empty())
            SetFakeProviderContainerRaw("Containers", test.raw);
        SendCommand(window, RefreshId);
        EXPECT_EQ(Containers(), test.entries);
        EXPECT_EQ(ComboShownText(appState.containerCombo),
                  test.entries.empty() ? "" : test.entries[0]);
        EXPECT_EQ(SendMessageA(appState.containerCombo, CB_GETCURSEL, 0, 0),
                  test.entries.empty() ? CB_ERR : 0);
    }
    EXPECT_TRUE(watcher.seen.empty());
}

TEST_F(Refresh, ProviderThatCantBeOpenedIsReportedOnce) {
    AddFake("A good");
    SetFakeProviderContainers("A good", {"kept?"});
    SetFakeProviderAlgorithms("A good", {FakeAlgorithm(CALG_MD5, "MD5", 0, "MD5", 1, 1, 1)});
    AddFake("B closed", PROV_RSA_AES);
    SetFakeProviderValue("B closed", "FailAcquire", 1);
    Build();
    ASSERT_EQ(Rows().size(), 1u);
    ASSERT_TRUE(watcher.seen.empty());

    Choose("B closed");
    ASSERT_EQ(watcher.seen.size(), 1u);
    EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
    EXPECT_EQ(watcher.seen[0].caption, KeyscryTitle);
    EXPECT_EQ(watcher.seen[0].owner, window);
    EXPECT_EQ(watcher.seen[0].style, static_cast<DWORD>(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(Containers().empty());
    EXPECT_EQ(ComboShownText(appState.containerCombo), "");
    EXPECT_EQ(TypeText(), "PROV_RSA_AES");
    EXPECT_EQ(FakeProviderRecord("B closed", "OpenCount"), 1u);
}

// Every open, whether a refresh or a new choice in the box makes it, is a
// verification context, and each gives the same rows and containers.
TEST_F(Refresh, OpensForVerificationOnlyAndRepeatsItself) {
    AddFake("Same");
    SetFakeProviderContainers("Same", {"two", "one"});
    SetFakeProviderAlgorithms("Same", {FakeAlgorithm(CALG_RC4, "RC4", 0, "RC4", 40, 128, 40),
                                       FakeAlgorithm(CALG_SHA1, "SHA-1", 0, "SHA", 160, 160, 160)});
    Build();
    const Names rows = Rows();
    const Names containers = Containers();
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(containers, (Names{"one", "two"}));
    for (bool chosen : {false, true}) {
        if (chosen)
            Choose("Same");
        else
            SendCommand(window, RefreshId);
        EXPECT_EQ(Rows(), rows);
        EXPECT_EQ(Containers(), containers);
    }
    EXPECT_EQ(FakeProviderRecord("Same", "OpenCount"), 3u);
    EXPECT_EQ(FakeProviderRecord("Same", "OpensWithoutVerifyContext"), 0u);
    EXPECT_EQ(FakeProviderRecord("Same", "LastOpenFlags"), static_cast<DWORD>(CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(FakeProviderRecord("Same", "SawCryptNext"), 0u);
}

// Wine's RSA provider asks for more room than the container buffer has in
// its size query; a name that fills the buffer with its NUL is read whole.
TEST(WineProviders, ContainerNameThatFillsTheBufferShowsWhole) {
    const char base[] = "Microsoft Base Cryptographic Provider v1.0";
    const std::string name(WidestContainerName, 'k');
    HCRYPTPROV handle = 0;
    ASSERT_TRUE(CryptAcquireContextA(&handle, name.c_str(), base, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    CryptReleaseContext(handle, 0);
    Names containers;
    {
        MessageBoxWatcher watcher;
        TestWindow window;
        EXPECT_TRUE(ChooseProvider(window, base));
        containers = ComboEntries(appState.containerCombo);
    }
    CryptAcquireContextA(&handle, name.c_str(), base, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    EXPECT_NE(std::find(containers.begin(), containers.end(), name), containers.end());
}

} // namespace
