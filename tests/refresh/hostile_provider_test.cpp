// A provider that answers from a seeded random script: empty, oversized and
// unterminated entries, odd sizes, random errors, TRUEs other than 1, failed
// opens and enumerations of up to 100,000 entries. One window refreshes it
// once per seed and must stay sound whatever it is told. A provider whose
// enumerations never end must not keep the refresh from ending.
//
// KEYSCRY_SEEDS="FIRST-LAST" picks the seeds (scripts/soak.sh runs thousands);
// without it a fixed range runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_state.h"
#include "fake_provider/fake_provider_config.h"
#include "support/keyscry_numbers.h"
#include "support/common.h"
#include "support/message_boxes.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

namespace {

const char Fuzzed[] = "Fuzzed provider";

// rowText holds 550 bytes; the widest row the format can give is 19 name
// characters, 8 hexadecimal digits, 30 description characters and three
// numbers of 11 characters with their fixed blanks: 110.
constexpr size_t WidestRow = 110;

struct SeedRange {
    DWORD first = 1;
    DWORD last = 500;
};

SeedRange SeedsToRun() {
    SeedRange range;
    if (const char* seeds = std::getenv("KEYSCRY_SEEDS"))
        std::sscanf(seeds, "%lu-%lu", &range.first, &range.last);
    return range;
}

size_t LongestOf(const std::vector<std::string>& texts) {
    size_t longest = 0;
    for (const std::string& text : texts)
        longest = std::max(longest, text.size());
    return longest;
}

// Everything wrong with the window and the provider's records after one
// refresh, or the empty string.
std::string ProblemsAfterRefresh(HWND window, bool openFailed) {
    std::string problems;
    auto report = [&](bool wrong, const std::string& what) {
        if (wrong)
            problems += what + "; ";
    };
    report(!Answers(window), "the window doesn't answer");
    std::vector<std::string> rows = ListRows(appState.algorithmList);
    std::vector<std::string> containers = ComboEntries(appState.containerCombo);
    DWORD answeredRows = FakeProviderRecord(Fuzzed, "ScriptedAlgorithms");
    DWORD answeredContainers = FakeProviderRecord(Fuzzed, "ScriptedContainers");
    report(LongestOf(rows) > WidestRow, "a row of " + std::to_string(LongestOf(rows)));
    report(LongestOf(containers) > WidestContainerName,
           "a container name of " + std::to_string(LongestOf(containers)));
    // One entry for each data call that the provider answered with nonzero.
    report(rows.size() != answeredRows,
           std::to_string(rows.size()) + " rows for " + std::to_string(answeredRows) + " answers");
    report(containers.size() != answeredContainers,
           std::to_string(containers.size()) + " containers for " +
               std::to_string(answeredContainers) + " answers");
    report(openFailed && !(rows.empty() && containers.empty()), "lists filled after a failed open");
    // The one pass after the first data call is the only call that may follow
    // "no more", and only in an enumeration whose first call got no entry.
    DWORD allowedAfterEnd = (answeredRows == 0) + (answeredContainers == 0);
    DWORD callsAfterEnd = FakeProviderRecord(Fuzzed, "CallsAfterEnd");
    report(callsAfterEnd > allowedAfterEnd,
           std::to_string(callsAfterEnd) + " calls after the provider's last entry");
    report(FakeProviderRecord(Fuzzed, "OpensWithoutVerifyContext") != 0,
           "an open without CRYPT_VERIFYCONTEXT");
    report(FakeProviderRecord(Fuzzed, "SawCryptNext") != 0, "a call with CRYPT_NEXT");
    return problems;
}

} // namespace

TEST(HostileProvider, SeededScriptsLeaveTheWindowSound) {
    SeedRange seeds = SeedsToRun();
    ScratchCatalogue catalogue;
    ClearFakeProvider(Fuzzed);
    catalogue.AddProvider(Fuzzed, PROV_RSA_FULL, FakeProviderPath());
    MessageBoxWatcher watcher;
    TestWindow window;
    ASSERT_TRUE(watcher.seen.empty());

    DWORD ran = 0, failed = 0;
    for (DWORD seed = seeds.first; seed <= seeds.last && seed >= seeds.first; ++seed) {
        ClearFakeProvider(Fuzzed);
        SetFakeProviderValue(Fuzzed, "Seed", seed);
        size_t boxesBefore = watcher.seen.size();
        SendCommand(window, RefreshId);
        bool openFailed = watcher.seen.size() > boxesBefore;
        std::string problems = ProblemsAfterRefresh(window, openFailed);
        ++ran;
        if (!problems.empty()) {
            ++failed;
            ADD_FAILURE() << "seed " << seed << ": " << problems;
        }
    }
    ClearFakeProvider(Fuzzed);
    std::printf("seeds %lu-%lu: %lu ran, %lu failed\n", seeds.first, seeds.last, ran, failed);
}

// A provider that never says "no more": each enumeration stops at the bound,
// every entry it answered is shown, and the window answers again. No watcher:
// its hook would cost eight times the refresh itself. The open is tried
// first, so no failure box can block the thread.
TEST(HostileProvider, EndlessEnumerationsStopAtTheBound) {
    ScratchCatalogue catalogue;
    ClearFakeProvider(Fuzzed);
    catalogue.AddProvider(Fuzzed, PROV_RSA_FULL, FakeProviderPath());
    SetFakeProviderValue(Fuzzed, "Endless", FakeEndlessContainers | FakeEndlessAlgorithms);
    HCRYPTPROV handle = 0;
    ASSERT_TRUE(CryptAcquireContextA(&handle, nullptr, Fuzzed, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
    CryptReleaseContext(handle, 0);

    TestWindow window;
    const DWORD bound = EntriesBound;
    EXPECT_EQ(SendMessageA(appState.containerCombo, CB_GETCOUNT, 0, 0), LRESULT{bound});
    EXPECT_EQ(SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0), LRESULT{bound});
    EXPECT_EQ(FakeProviderRecord(Fuzzed, "ScriptedContainers"), bound);
    EXPECT_EQ(FakeProviderRecord(Fuzzed, "ScriptedAlgorithms"), bound);
    EXPECT_TRUE(Answers(window));
    ClearFakeProvider(Fuzzed);
}
