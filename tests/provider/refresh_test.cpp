// Inspection of the chosen provider: its containers, its algorithm rows and
// the failure to open it, through the real controls.
#include <algorithm>

#include "provider/provider.h"
#include "provider_fixture.h"
#include "ui/ui.h"

namespace {

using Names = std::vector<std::string>;

const char OpenFailedCaption[] = "Keyscry - CryptoAPI Service Providers";

class Inspection : public ProviderWindowTest {
  protected:
    Names Rows() {
        return ListRows(appState.algorithmList);
    }
    Names Containers() {
        return ComboEntries(appState.containerCombo);
    }
};

TEST_F(Inspection, RowsStandInTheProvidersOrderColumnByColumn) {
    struct Case {
        PROV_ENUMALGS_EX record;
        std::string row;
    };
    // Name to 15, 3 blanks, protocols with h, 3 blanks, description to 30,
    // 9 blanks, then the three lengths in 5 places each, 2 blanks apart.
    const Case cases[] = {
        {FakeAlgorithm(CALG_RC2, "RC2", 0xF, "RC2 block cipher", 40, 128, 40),
         "RC2               00Fh   RC2 block cipher                          40    128     40"},
        {FakeAlgorithm(CALG_MD5, "ZZZ", 0, "Thirty characters, exactly 30.", 1, 2, 3),
         "ZZZ               000h   Thirty characters, exactly 30.             1      2      3"},
        {FakeAlgorithm(CALG_MD5, "AAA", 0x1F, "Thirty-one characters, cut: 31!", 0, 0, 0),
         "AAA               01Fh   Thirty-one characters, cut: 31             0      0      0"},
        // Wider values push the later columns to the right.
        {FakeAlgorithm(CALG_MD5, "MMM", 0x1234, "Wide protocols", 56, 0xFFFFFFFF, 56),
         "MMM               1234h   Wide protocols                            56     -1     56"},
        // szName full to its 20th byte, with no NUL: the last byte gives way.
        {FakeAlgorithm(CALG_MD5, "ABCDEFGHIJKLMNOPQRST", 0, "No NUL in the name", 8, 16, 8),
         "ABCDEFGHIJKLMNOPQRS   000h   No NUL in the name                         8     16      8"},
        {FakeAlgorithm(CALG_MD5, "Forty", 0, std::string(40, 'd'), 8, 16, 8),
         "Forty             000h   " + std::string(30, 'd') + "             8     16      8"},
    };
    std::vector<PROV_ENUMALGS_EX> records;
    Names rows;
    for (const Case& test : cases) {
        records.push_back(test.record);
        rows.push_back(test.row);
    }
    AddFake("Rows");
    SetFakeProviderAlgorithms("Rows", records);
    Build();
    EXPECT_EQ(Rows(), rows);
    EXPECT_EQ(rows[0].size(), 83u);
}

TEST_F(Inspection, HeaderTitlesStandOverTheirColumns) {
    AddFake("Columns");
    SetFakeProviderAlgorithms(
        "Columns", {FakeAlgorithm(CALG_RC2, "RC2", 0xF, "RC2 block cipher", 40, 128, 4096)});
    Build();
    ASSERT_EQ(Rows().size(), 1u);
    const std::string row = Rows()[0];
    const std::string header = HeaderText;
    EXPECT_EQ(header.find("Algorithm"), 1u);
    EXPECT_EQ(header.find("Proto"), row.find("00Fh"));
    EXPECT_EQ(header.find("Description"), row.find("RC2 block"));
    EXPECT_EQ(header.find("Min") + 2, row.find("40 ") + 1); // ends over the last digit
    EXPECT_EQ(header.find("Max") + 2, row.find("128") + 2);
    EXPECT_EQ(header.find("Default"), row.size() - 5); // the width-5 field begins under it
}

TEST_F(Inspection, RecordsThatDontFitOrEndTheListEarly) {
    PROV_ENUMALGS_EX record = FakeAlgorithm(CALG_DES, "DES", 0, "Data Encryption", 56, 56, 56);
    AddFake("Odd");
    Build();
    const struct {
        const char* setting;
        DWORD value;
        size_t rows;
    } cases[] = {
        {"AlgorithmSize", sizeof(PROV_ENUMALGS_EX) + 12, 0}, // larger than the record
        {"TrueValue", 2, 2}, // any TRUE but 1 ends the list after its entry
        {"TrueValue", 1, 3},
    };
    for (const auto& test : cases) {
        ClearFakeProvider("Odd");
        SetFakeProviderAlgorithms("Odd", {record, record, record});
        SetFakeProviderValue("Odd", test.setting, test.value);
        SendCommand(window, IDC_REFRESH);
        EXPECT_EQ(Rows().size(), test.rows) << test.setting << " " << test.value;
    }
}

TEST_F(Inspection, ContainersAreSortedAndTheFirstShown) {
    const std::vector<BYTE> noNul(100, 'x');
    const struct {
        Names containers;
        std::vector<BYTE> raw; // one more entry after them, when not empty
        Names entries;
    } cases[] = {
        {{"c", "a", "b"}, {}, {"a", "b", "c"}},
        {{}, {}, {}},
        {{}, noNul, {std::string(99, 'x')}},
        {{"b"}, std::vector<BYTE>(101, 'y'), {"b"}}, // too large: fails, adds nothing
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
        SendCommand(window, IDC_REFRESH);
        EXPECT_EQ(Containers(), test.entries);
        EXPECT_EQ(ComboShownText(appState.containerCombo),
                  test.entries.empty() ? "" : test.entries[0]);
        EXPECT_EQ(SendMessageA(appState.containerCombo, CB_GETCURSEL, 0, 0),
                  test.entries.empty() ? CB_ERR : 0);
    }
    EXPECT_TRUE(watcher.seen.empty());
}

TEST_F(Inspection, ProviderThatCantBeOpenedIsReportedOnce) {
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
    EXPECT_EQ(watcher.seen[0].caption, OpenFailedCaption);
    EXPECT_EQ(watcher.seen[0].owner, window);
    EXPECT_EQ(watcher.seen[0].style, static_cast<DWORD>(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(Rows().empty());
    EXPECT_TRUE(Containers().empty());
    EXPECT_EQ(ComboShownText(appState.containerCombo), "");
    EXPECT_EQ(TypeText(), "PROV_RSA_AES");
    EXPECT_EQ(FakeProviderRecord("B closed", "OpenCount"), 1u);
}

TEST_F(Inspection, RefreshesOpenForVerificationOnlyAndRepeatThemselves) {
    AddFake("Same");
    SetFakeProviderContainers("Same", {"two", "one"});
    SetFakeProviderAlgorithms("Same", {FakeAlgorithm(CALG_RC4, "RC4", 0, "RC4", 40, 128, 40),
                                       FakeAlgorithm(CALG_SHA1, "SHA-1", 0, "SHA", 160, 160, 160)});
    Build();
    const Names rows = Rows();
    const Names containers = Containers();
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(containers, (Names{"one", "two"}));
    for (int refresh = 0; refresh < 2; ++refresh) {
        SendCommand(window, IDC_REFRESH);
        EXPECT_EQ(Rows(), rows);
        EXPECT_EQ(Containers(), containers);
    }
    EXPECT_EQ(FakeProviderRecord("Same", "OpenCount"), 3u);
    EXPECT_EQ(FakeProviderRecord("Same", "OpensWithoutVerifyContext"), 0u);
    EXPECT_EQ(FakeProviderRecord("Same", "LastOpenFlags"), static_cast<DWORD>(CRYPT_VERIFYCONTEXT));
    EXPECT_EQ(FakeProviderRecord("Same", "SawCryptNext"), 0u);
}

// Every key that start-up's reading of the catalogue or a refresh opens is
// closed again. Wine's own RSA provider is inspected: unlike the fake, its
// loading and unloading leave no handles behind.
TEST_F(Inspection, KeysOpenedAreClosedAgain) {
    catalogue.AddProvider("Wine RSA", PROV_RSA_FULL, "rsaenh.dll");
    Build();
    ASSERT_FALSE(Rows().empty());
    SendCommand(window, IDC_REFRESH); // what the first open loads stays loaded
    const int handles = OpenHandles();
    SendCommand(window, IDC_REFRESH);
    EXPECT_EQ(OpenHandles(), handles);
    FillProviderList();
    EXPECT_EQ(OpenHandles(), handles);
}

// The catalogue's "Type" decides what number the open passes; when it can't
// be right, the platform refuses the open before the provider is loaded.
TEST_F(Inspection, WrongTypeValueFailsAtTheOpen) {
    const DWORD zero = 0;
    const DWORD tooLarge = 1000;
    const struct {
        DWORD valueType;
        std::vector<BYTE> bytes;
        const char* shown;
    } cases[] = {
        {REG_BINARY, {1, 0, 0, 0, 0, 0, 0, 0}, "PROV_RSA_FULL"}, // not read: text kept
        {REG_DWORD, {BYTE(zero), 0, 0, 0}, "PROV_UNKNOW"},
        {REG_DWORD, {BYTE(tooLarge & 0xFF), BYTE(tooLarge >> 8), 0, 0}, "PROV_UNKNOW"},
    };
    AddFake("A right");
    AddFake("B wrong");
    Build();
    ASSERT_EQ(TypeText(), "PROV_RSA_FULL");
    for (const auto& test : cases) {
        watcher.seen.clear();
        catalogue.AddProviderRaw("B wrong", test.valueType, test.bytes);
        Choose("B wrong");
        EXPECT_EQ(TypeText(), test.shown);
        ASSERT_EQ(watcher.seen.size(), 1u);
        EXPECT_EQ(watcher.seen[0].text, OpenFailedText);
        EXPECT_EQ(FakeProviderRecord("B wrong", "OpenCount"), 0u);
        Choose("A right");
    }
}

// keyPath holds the catalogue path, a backslash and 204 characters of name.
TEST_F(Inspection, LongProviderNamesNeverOverrunTheKeyPath) {
    const std::string fits = "Fits " + std::string(199, 'f');
    AddFake("A short", PROV_RSA_AES);
    AddFake(fits);
    const Names tooLong = {"Long " + std::string(200, 'l'), "Longer " + std::string(223, 'l')};
    for (const std::string& name : tooLong)
        AddFake(name);
    Build();

    Choose(fits);
    EXPECT_EQ(TypeText(), "PROV_RSA_FULL");
    EXPECT_EQ(appState.keyPath, std::string(ProviderKeyPath) + "\\" + fits);
    EXPECT_EQ(FakeProviderRecord(fits, "OpenCount"), 1u);
    EXPECT_TRUE(watcher.seen.empty());

    for (const std::string& name : tooLong) {
        Choose("A short");
        const std::string shortPath = appState.keyPath;
        watcher.seen.clear();
        Choose(name);
        EXPECT_EQ(TypeText(), "PROV_RSA_AES"); // no lookup: the previous name stays
        EXPECT_EQ(appState.keyPath, shortPath);
        EXPECT_EQ(appState.providerName, name); // opened by its whole name
        // No container was read, so anything here ran past keyPath.
        EXPECT_EQ(std::string(appState.containerName, sizeof appState.containerName),
                  std::string(sizeof appState.containerName, '\0'));
        EXPECT_EQ(watcher.seen.size(), 1u); // no type number, so the open fails
    }
}

// Wine's own providers answer the way the fake does: the same records give
// the same rows.
TEST(WineProviders, BaseProviderRowsMatchTheFakesRows) {
    const char base[] = "Microsoft Base Cryptographic Provider v1.0";
    std::vector<PROV_ENUMALGS_EX> records;
    HCRYPTPROV handle = 0;
    ASSERT_TRUE(CryptAcquireContextA(&handle, nullptr, base, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    PROV_ENUMALGS_EX record;
    DWORD length = sizeof record;
    for (DWORD flags = CRYPT_FIRST; CryptGetProvParam(
             handle, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&record), &length, flags);
         flags = 0, length = sizeof record)
        records.push_back(record);
    CryptReleaseContext(handle, 0);

    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    ChooseProvider(window, base);
    EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
    const Names realRows = ListRows(appState.algorithmList);
    DestroyTestMainWindow(window);
    EXPECT_TRUE(watcher.seen.empty());

    Names names;
    for (const std::string& row : realRows)
        names.push_back(row.substr(0, row.find(' ')));
    for (const char* expected : {"RC2", "RC4", "DES", "SHA-1", "MD5"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;

    ScratchCatalogue catalogue;
    ClearFakeProvider(base);
    catalogue.AddProvider(base, PROV_RSA_FULL, FakeProviderPath());
    SetFakeProviderAlgorithms(base, records);
    window = CreateTestMainWindow();
    EXPECT_EQ(ListRows(appState.algorithmList), realRows);
    EXPECT_EQ(FakeProviderRecord(base, "OpenCount"), 1u);
    DestroyTestMainWindow(window);
    ClearFakeProvider(base);
}

// Wine's RSA provider asks for more room than the container buffer has in
// its size query; a name that fills the buffer with its NUL is read whole.
TEST(WineProviders, ContainerNameThatFillsTheBufferShowsWhole) {
    const char base[] = "Microsoft Base Cryptographic Provider v1.0";
    const std::string name(99, 'k');
    HCRYPTPROV handle = 0;
    ASSERT_TRUE(CryptAcquireContextA(&handle, name.c_str(), base, PROV_RSA_FULL, CRYPT_NEWKEYSET));
    CryptReleaseContext(handle, 0);
    MessageBoxWatcher watcher;
    HWND window = CreateTestMainWindow();
    ChooseProvider(window, base);
    const Names containers = ComboEntries(appState.containerCombo);
    DestroyTestMainWindow(window);
    CryptAcquireContextA(&handle, name.c_str(), base, PROV_RSA_FULL, CRYPT_DELETEKEYSET);
    EXPECT_NE(std::find(containers.begin(), containers.end(), name), containers.end());
}

} // namespace
