// What a refresh asks of the provider, call by call: the open's arguments,
// for each enumeration a size query and then a data call, CRYPT_FIRST on the
// first pair and 0 after it, the one length word that every call receives,
// and the release. Wine's providers and the fake answer alike whatever a size
// query's flags, or whether there was one; a provider that keeps to the
// platform's rules to the letter would not, so the calls themselves are
// pinned here, row by row. The benchmarks' bare refresh must make the same
// calls, or its figures would not be Keyscry's own share.
#include "bench/bare_refresh.h"
#include "support/provider_window_test.h"

namespace {

const char Asked[] = "Asked";
using ProviderCalls = ProviderWindowTest;

// What the fake provider holds, and one setting of how it answers.
struct Holding {
    const char* what;
    Names containers;
    DWORD algorithms; // copies of one 88-byte record
    const char* setting;
    DWORD value;
};

struct CallCase {
    Holding holding;
    Names calls; // every call the provider receives, in order
};

TEST_F(ProviderCalls, OfOneRefreshRowByRow) {
    const char* open = "open null F0000000"; // no container: a verification context
    const std::string buffer = std::to_string(ContainerBuffer);
    const std::string more = std::to_string(ContainerBuffer + 1);
    const CallCase cases[] = {
        {{"no entries", {}, 0, nullptr, 0},
         {open, "containers 1 size 0>0 =0", "containers 1 data 0>0 =0", "containers 0 size 0>0 =0",
          "containers 0 data 0>0 =0", "algorithms 1 size 0>0 =0", "algorithms 1 data 0>0 =0",
          "algorithms 0 size 0>0 =0", "algorithms 0 data 0>0 =0", "release 0"}},
        {{"one entry each", {"a"}, 1, nullptr, 0},
         {open, "containers 1 size 0>2 =1", "containers 1 data 2>2 =1", "containers 0 size 2>2 =0",
          "containers 0 data 2>2 =0", "algorithms 1 size 2>88 =1", "algorithms 1 data 88>88 =1",
          "algorithms 0 size 88>88 =0", "algorithms 0 data 88>88 =0", "release 0"}},
        {{"three entries each", {"c", "a", "bb"}, 3, nullptr, 0},
         {open, "containers 1 size 0>2 =1", "containers 1 data 2>2 =1", "containers 0 size 2>2 =1",
          "containers 0 data 2>2 =1", "containers 0 size 2>3 =1", "containers 0 data 3>3 =1",
          "containers 0 size 3>3 =0", "containers 0 data 3>3 =0", "algorithms 1 size 3>88 =1",
          "algorithms 1 data 88>88 =1", "algorithms 0 size 88>88 =1", "algorithms 0 data 88>88 =1",
          "algorithms 0 size 88>88 =1", "algorithms 0 data 88>88 =1", "algorithms 0 size 88>88 =0",
          "algorithms 0 data 88>88 =0", "release 0"}},
        // The data call gets no more than the buffer's bytes and fails; the
        // one pass after a failed first call meets the same entry. The length
        // word that the provider left is lowered again for the records.
        {{"an entry larger than the buffer", {"x"}, 0, "ContainerSize", ContainerBuffer + 1},
         {open, "containers 1 size 0>" + more + " =1",
          "containers 1 data " + buffer + ">" + more + " =0",
          "containers 0 size " + more + ">" + more + " =1",
          "containers 0 data " + buffer + ">" + more + " =0",
          "algorithms 1 size " + more + ">" + more + " =0", "algorithms 1 data 88>88 =0",
          "algorithms 0 size 88>88 =0", "algorithms 0 data 88>88 =0", "release 0"}},
        {{"size queries that ask for more than the buffer", {"abc"}, 1, "SizeReported", 500},
         {open, "containers 1 size 0>500 =1", "containers 1 data " + buffer + ">4 =1",
          "containers 0 size 4>4 =0", "containers 0 data 4>4 =0", "algorithms 1 size 4>500 =1",
          "algorithms 1 data 88>88 =1", "algorithms 0 size 88>88 =0", "algorithms 0 data 88>88 =0",
          "release 0"}},
        {{"a first data call that fails", {"a"}, 1, "FailFirstDataCall", 1},
         {open, "containers 1 size 0>2 =1", "containers 1 data 2>2 =0", "containers 0 size 2>2 =1",
          "containers 0 data 2>2 =1", "containers 0 size 2>2 =0", "containers 0 data 2>2 =0",
          "algorithms 1 size 2>88 =1", "algorithms 1 data 88>88 =0", "algorithms 0 size 88>88 =1",
          "algorithms 0 data 88>88 =1", "algorithms 0 size 88>88 =0", "algorithms 0 data 88>88 =0",
          "release 0"}},
        {{"an open that fails", {"a"}, 1, "FailAcquire", 1}, {open}},
    };
    const PROV_ENUMALGS_EX record = FakeAlgorithm(CALG_MD5, "MD5", 0, "MD5 hash", 128, 128, 128);
    AddFake(Asked);
    for (const auto& [holding, calls] : cases) {
        SCOPED_TRACE(holding.what);
        ClearFakeProvider(Asked);
        SetFakeProviderContainers(Asked, holding.containers);
        SetFakeProviderAlgorithmTemplate(Asked, record, holding.algorithms);
        if (holding.setting)
            SetFakeProviderValue(Asked, holding.setting, holding.value);
        Build(); // a new window's first refresh, its length word still 0
        EXPECT_EQ(FakeProviderCallLog(Asked), calls) << "Keyscry";
        DWORD bareLength = 0;
        BareRefresh({appState.providerCombo, appState.typeField, appState.containerCombo,
                     appState.algorithmList},
                    bareLength);
        EXPECT_EQ(FakeProviderCallLog(Asked), calls) << "the bare refresh";
    }
}

} // namespace
