// One refresh of the largest provider Wine has (by algorithm count) against
// two baselines, timed interleaved in one process: the bare refresh, which
// makes the same platform calls in one straight function (the goal: Keyscry's
// own share), and the bare CryptoAPI enumeration of the same provider (for
// reference). In the same turns, where a refresh's time goes, section by
// section.
//   refresh_bench [calls]   (default 600 of each)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bare_refresh.h"
#include "bench_timing.h"
#include "provider/provider.h"
#include "support/message_boxes.h"
#include "support/window_harness.h"

namespace {

struct Provider {
    std::string name;
    DWORD type = 0;
};

std::vector<Provider> RegisteredProviders() {
    std::vector<Provider> providers;
    HKEY catalogue = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProviderKeyPath, 0, KEY_READ, &catalogue) != 0)
        return providers;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(catalogue, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        Provider provider{name};
        DWORD size = sizeof provider.type;
        RegGetValueA(catalogue, name, "Type", RRF_RT_REG_DWORD, nullptr, &provider.type, &size);
        providers.push_back(provider);
    }
    RegCloseKey(catalogue);
    return providers;
}

// What a plain program does to list a provider: open it, one data call per
// container and per algorithm, release it. Returns the algorithm count, or -1
// when the provider doesn't open.
int BareEnumeration(const Provider& provider) {
    HCRYPTPROV handle = 0;
    if (!CryptAcquireContextA(&handle, nullptr, provider.name.c_str(), provider.type,
                              CRYPT_VERIFYCONTEXT))
        return -1;
    char container[256];
    DWORD flags = CRYPT_FIRST;
    for (DWORD length = sizeof container; CryptGetProvParam(
             handle, PP_ENUMCONTAINERS, reinterpret_cast<BYTE*>(container), &length, flags);
         length = sizeof container)
        flags = CRYPT_NEXT;
    PROV_ENUMALGS_EX record;
    int algorithms = 0;
    flags = CRYPT_FIRST;
    for (DWORD length = sizeof record; CryptGetProvParam(
             handle, PP_ENUMALGS_EX, reinterpret_cast<BYTE*>(&record), &length, flags);
         length = sizeof record) {
        flags = CRYPT_NEXT;
        ++algorithms;
    }
    CryptReleaseContext(handle, 0);
    return algorithms;
}

template <typename Work> double MillisecondsOf(Work work) {
    double start = MillisecondsNow();
    work();
    return MillisecondsNow() - start;
}

} // namespace

int main(int argc, char** argv) {
    int calls = argc > 1 ? std::atoi(argv[1]) : 600;

    // Only a provider that opens is timed, so no refresh shows a message box.
    Provider largest;
    int largestCount = -1;
    for (const Provider& provider : RegisteredProviders()) {
        int count = BareEnumeration(provider);
        if (count > largestCount) {
            largest = provider;
            largestCount = count;
        }
    }
    if (largestCount <= 0) {
        std::printf("FAILED: no provider that opens lists algorithms\n");
        return 1;
    }

    // The window's first refresh inspects whichever provider sorts first,
    // which may not open; its box is taken down before anything is timed, and
    // so would be one of a first refresh of the chosen provider.
    std::optional<TestWindow> built;
    bool boxSeen;
    {
        MessageBoxWatcher watcher;
        built.emplace();
        watcher.seen.clear();
        boxSeen = !ChooseProvider(*built, largest.name) || !watcher.seen.empty();
    }
    HWND window = *built;
    if (boxSeen) {
        std::printf("FAILED: Keyscry could not open %s\n", largest.name.c_str());
        return 1;
    }
    BareRefreshControls controls{appState.providerCombo, appState.typeField,
                                 appState.containerCombo, appState.algorithmList};
    bool opened = true;
    DWORD bareLength = 0; // the bare refresh's length word, kept like Keyscry's
    auto refresh = [&] { SendCommand(window, IDC_REFRESH); };
    auto bareRefresh = [&] { opened &= BareRefresh(controls, bareLength); };
    auto bare = [&] { opened &= BareEnumeration(largest) == largestCount; };

    std::vector<double> refreshTimes, bareRefreshTimes, bareTimes;
    std::vector<double> sectionTimes[BareRefreshSections];
    {
        BlockedLoopGuard guard(300);
        for (int i = 0; i < calls / 10 + 1; ++i) { // warm-up
            refresh();
            bareRefresh();
            bare();
        }
        // Interleaved call by call, each in turn first, so that drift and the
        // machine's other work hit all alike; each call is timed alone and
        // the medians are compared. The fourth turn is the bare refresh with
        // the counter read between its sections: where the time goes, under
        // the same conditions, apart from the comparison.
        for (int call = 0; call < calls; ++call) {
            for (int turn = 0; turn < 4; ++turn) {
                switch ((call + turn) % 4) {
                case 0:
                    refreshTimes.push_back(MillisecondsOf(refresh));
                    break;
                case 1:
                    bareRefreshTimes.push_back(MillisecondsOf(bareRefresh));
                    break;
                case 2:
                    bareTimes.push_back(MillisecondsOf(bare));
                    break;
                default:
                    double parts[BareRefreshSections] = {};
                    opened &= BareRefresh(controls, bareLength, parts);
                    for (int i = 0; i < BareRefreshSections; ++i)
                        sectionTimes[i].push_back(parts[i]);
                }
            }
        }
    }

    // Both refreshes must have shown the same rows, one per algorithm.
    refresh();
    std::vector<std::string> keyscryRows = ListRows(appState.algorithmList);
    opened &= BareRefresh(controls, bareLength);
    std::vector<std::string> bareRows = ListRows(appState.algorithmList);
    if (!opened || keyscryRows.size() != static_cast<size_t>(largestCount) ||
        bareRows != keyscryRows) {
        std::printf("FAILED: %s (%d algorithms): Keyscry showed %zu rows, the bare refresh %zu%s\n",
                    largest.name.c_str(), largestCount, keyscryRows.size(), bareRows.size(),
                    opened ? "" : ", and an open failed");
        return 1;
    }

    built.reset();

    double keyscry = Median(refreshTimes), baseline = Median(bareRefreshTimes),
           enumeration = Median(bareTimes);
    std::printf("provider: %s (%d algorithms), median of %d calls each, and quartiles\n",
                largest.name.c_str(), largestCount, calls);
    std::printf("  %-30s %8.3f ms  (%.3f to %.3f)\n", "refresh (Keyscry)", keyscry,
                Quantile(refreshTimes, 0.25), Quantile(refreshTimes, 0.75));
    std::printf("  %-30s %8.3f ms  (%.3f to %.3f)\n", "bare refresh, the same calls", baseline,
                Quantile(bareRefreshTimes, 0.25), Quantile(bareRefreshTimes, 0.75));
    std::printf("  %-30s %8.3f ms  (%.3f to %.3f)\n", "bare CryptoAPI enumeration", enumeration,
                Quantile(bareTimes, 0.25), Quantile(bareTimes, 0.75));
    std::printf("ratio Keyscry / bare refresh: %.2f (goal <= 1.10)\n", keyscry / baseline);
    std::printf("ratio Keyscry / bare enumeration: %.2f (for reference)\n", keyscry / enumeration);
    double sections[BareRefreshSections], total = 0;
    for (int i = 0; i < BareRefreshSections; ++i)
        total += sections[i] = Median(sectionTimes[i]);
    std::printf("where a refresh's time goes (bare refresh, median of each section; together "
                "%.3f ms):\n",
                total);
    for (int i = 0; i < BareRefreshSections; ++i)
        std::printf("  %-70s %7.3f ms %5.1f %%\n", BareRefreshSectionNames[i], sections[i],
                    100 * sections[i] / total);

    std::string note = "Where a refresh's time goes (the bare refresh, median of each section):";
    for (int i = 0; i < BareRefreshSections; ++i) {
        char part[160];
        std::snprintf(part, sizeof part, "%s %s %.2f ms (%.0f %%)", i ? "," : "",
                      BareRefreshSectionNames[i], sections[i], 100 * sections[i] / total);
        note += part;
    }
    PrintNote(note);

    char figure[160], value[160];
    std::snprintf(figure, sizeof figure,
                  "One refresh of %s (%d algorithms), Keyscry against a bare refresh that makes "
                  "the same calls",
                  largest.name.c_str(), largestCount);
    std::snprintf(value, sizeof value, "%.2f ms against %.2f ms", keyscry, baseline);
    PrintFigure(figure, value, keyscry / baseline, 1.10, false);
    std::snprintf(value, sizeof value, "%.2f ms against %.2f ms", keyscry, enumeration);
    PrintFigure("The same refresh against the bare CryptoAPI enumeration, for reference", value,
                keyscry / enumeration, 0, false);
    return 0;
}
