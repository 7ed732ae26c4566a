// The algorithm list: one fixed-column row per record, in the provider's
// order, under the header's titles; records that don't fit or that end the
// list early; and Wine's own providers, the first of which the first refresh
// shows, giving the rows the fake gives for the same records.
#include <algorithm>

#include "support/provider_window_test.h"

namespace {

class AlgorithmRows : public ProviderWindowTest {
  protected:
    Names Rows() {
        return ListRows(appState.algorithmList);
    }
};

TEST_F(AlgorithmRows, RowsStandInTheProvidersOrderColumnByColumn) {
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
        {FakeAlgorithm(CALG_RC2, "RC2", 0xF, "RC2 block cipher", 40, 128, 4096),
         "RC2               00Fh   RC2 block cipher                          40    128   4096"},
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

    // The header's titles stand over the columns of the last row.
    const std::string& row = rows.back();
    const std::string header = ColumnHeaderText;
    EXPECT_EQ(header.find("Algorithm"), 1u);
    EXPECT_EQ(header.find("Proto"), row.find("00Fh"));
    EXPECT_EQ(header.find("Description"), row.find("RC2 block"));
    EXPECT_EQ(header.find("Min") + 2, row.find("40 ") + 1); // ends over the last digit
    EXPECT_EQ(header.find("Max") + 2, row.find("128") + 2);
    EXPECT_EQ(header.find("Default"), row.size() - 5); // the width-5 field begins under it
}

TEST_F(AlgorithmRows, RecordsThatDontFitOrEndTheListEarly) {
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
        SendCommand(window, RefreshId);
        EXPECT_EQ(Rows().size(), test.rows) << test.setting << " " << test.value;
    }
}

// The window built over the machine's catalogue shows Wine's providers, in
// order, and the first refresh, run while the window is created, shows the
// first of them, Wine's base provider. Wine's own providers answer the way
// the fake does: the same records give the same rows.
TEST(WineProviders, FirstRefreshShowsTheBaseProviderWhoseRowsMatchTheFakes) {
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

    Names realRows;
    {
        MessageBoxWatcher watcher;
        TestWindow window;
        Names entries = ComboEntries(appState.providerCombo);
        ASSERT_FALSE(entries.empty());
        EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end(),
                                   [](const std::string& a, const std::string& b) {
                                       return lstrcmpiA(a.c_str(), b.c_str()) < 0;
                                   }));
        EXPECT_EQ(entries[0], base);
        EXPECT_EQ(ComboShownText(appState.providerCombo), base);
        EXPECT_EQ(TextOf(appState.typeField), "PROV_RSA_FULL");
        realRows = ListRows(appState.algorithmList);
        ASSERT_FALSE(realRows.empty());
        EXPECT_EQ(realRows[0].substr(0, 4), "RC2 ");
        EXPECT_TRUE(watcher.seen.empty());
    }

    Names names;
    for (const std::string& row : realRows)
        names.push_back(row.substr(0, row.find(' ')));
    for (const char* expected : {"RC2", "RC4", "DES", "SHA-1", "MD5"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;

    ScratchCatalogue catalogue;
    ClearFakeProvider(base);
    catalogue.AddProvider(base, PROV_RSA_FULL, FakeProviderPath());
    SetFakeProviderAlgorithms(base, records);
    {
        TestWindow window;
        EXPECT_EQ(ListRows(appState.algorithmList), realRows);
        EXPECT_EQ(FakeProviderRecord(base, "OpenCount"), 1u);
    }
    ClearFakeProvider(base);
}

} // namespace
