// One refresh of the largest provider Wine has (by algorithm count) against
// two baselines, timed call by call in turns in one process: the bare
// refresh, which makes the same platform calls in one straight function (the
// goal: Keyscry's own share), and the bare CryptoAPI enumeration of the same
// provider (for reference).
//   refresh_bench [calls]   (default 600 of each)
#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>

#include "app/app_state.h"
#include "bare_refresh.h"
#include "bench_timing.h"
#include "provider/provider.h"
#include "support/window_harness.h"

namespace {

// What a plain program does to list a provider: open it, one data call per
// container and per algorithm, release it. The algorithm count, or -1 when
// the provider doesn't open.
int BareEnumeration(const char* name, DWORD type) {
    HCRYPTPROV handle = 0;
    if (!CryptAcquireContextA(&handle, nullptr, name, type, CRYPT_VERIFYCONTEXT))
        return -1;
    int algorithms = 0;
    for (DWORD param : {PP_ENUMCONTAINERS, PP_ENUMALGS_EX}) {
        BYTE entry[512];
        DWORD length = sizeof entry;
        for (DWORD flags = CRYPT_FIRST; CryptGetProvParam(handle, param, entry, &length, flags);
             flags = CRYPT_NEXT, length = sizeof entry)
            algorithms += param == PP_ENUMALGS_EX;
    }
    CryptReleaseContext(handle, 0);
    return algorithms;
}

} // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 600;

    // Keyscry's window tries every provider with the tests' watcher installed,
    // which takes down the box of one that fails to open; the largest that
    // opens is timed, so no timed refresh shows a box. The watcher is gone
    // before anything is timed.
    std::optional<TestWindow> built;
    std::string largest;
    int largestCount = 0;
    {
        MessageBoxWatcher watcher;
        built.emplace();
        for (const std::string& name : ComboEntries(appState.providerCombo)) {
            watcher.seen.clear();
            ChooseProvider(*built, name);
            int count = static_cast<int>(SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0));
            if (watcher.seen.empty() && count > largestCount) {
                largest = name;
                largestCount = count;
            }
        }
        ChooseProvider(*built, largest);
    }
    if (largestCount == 0) {
        std::printf("FAILED: no provider that opens lists algorithms\n");
        return 1;
    }
    DWORD type = 0, size = sizeof type;
    RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(ProviderKeyPath) + "\\" + largest).c_str(),
                 "Type", RRF_RT_REG_DWORD, nullptr, &type, &size);
    BareRefreshControls controls{appState.providerCombo, appState.typeField,
                                 appState.containerCombo, appState.algorithmList};
    bool listed = true;   // by both baselines, the same algorithms as Keyscry
    DWORD bareLength = 0; // the bare refresh's length word, kept like Keyscry's
    auto refresh = [&] { SendCommand(*built, IDC_REFRESH); };
    auto bareRefresh = [&] { listed &= BareRefresh(controls, bareLength); };
    auto bare = [&] { listed &= BareEnumeration(largest.c_str(), type) == largestCount; };

    std::vector<double> times[3];
    {
        BlockedLoopGuard guard(300);
        // Each in turn first, so that drift and the machine's other work hit
        // all three alike; each call is timed alone, after a tenth as many
        // calls of each that only warm up.
        for (int call = -(calls / 10 + 1); call < calls; ++call) {
            for (int turn = 0; turn < 3; ++turn) {
                int which = (std::max(call, 0) + turn) % 3;
                double start = MillisecondsNow();
                which == 0 ? refresh() : which == 1 ? bareRefresh() : bare();
                if (call >= 0)
                    times[which].push_back(MillisecondsNow() - start);
            }
        }
    }

    // Both refreshes must have shown the same rows, one per algorithm.
    refresh();
    std::vector<std::string> keyscryRows = ListRows(appState.algorithmList);
    bareRefresh();
    std::vector<std::string> bareRows = ListRows(appState.algorithmList);
    if (!listed || keyscryRows.size() != static_cast<size_t>(largestCount) ||
        bareRows != keyscryRows) {
        std::printf("FAILED: %s (%d algorithms): Keyscry showed %zu rows, the bare refresh %zu%s\n",
                    largest.c_str(), largestCount, keyscryRows.size(), bareRows.size(),
                    listed ? "" : ", and a baseline listed otherwise");
        return 1;
    }
    built.reset();

    double keyscry = Median(times[0]), baseline = Median(times[1]), enumeration = Median(times[2]);
    PrintTimes("One refresh of " + largest + " (" + std::to_string(largestCount) +
                   " algorithms), Keyscry against a bare refresh that makes the same calls",
               keyscry, baseline, 2, 1.10);
    PrintTimes("The same refresh against the bare CryptoAPI enumeration, for reference", keyscry,
               enumeration, 2, 0);
    return ExitStatus();
}
