// One refresh of the largest provider Wine has (by algorithm count), against
// the bare CryptoAPI enumeration of the same provider, in one process.
//   refresh_bench [iterations]   (default 300 per round, 5 rounds)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench_timing.h"
#include "provider/provider.h"
#include "support/test_window.h"

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
// container and per algorithm, release it. Returns the algorithm count.
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

template <typename Work> double MicrosecondsPerCall(int iterations, Work work) {
    double start = MillisecondsNow();
    for (int i = 0; i < iterations; ++i)
        work();
    return 1000.0 * (MillisecondsNow() - start) / iterations;
}

} // namespace

int main(int argc, char** argv) {
    int iterations = argc > 1 ? std::atoi(argv[1]) : 300;
    const int rounds = 5;
    MessageBoxWatcher watcher; // a provider that fails to open must not block

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
        std::printf("no provider with algorithms found\n");
        return 1;
    }

    HWND window = CreateTestMainWindow();
    LRESULT index =
        SendMessageA(appState.providerCombo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(largest.name.c_str()));
    SendMessageA(appState.providerCombo, CB_SETCURSEL, index, 0);
    auto refresh = [&] { SendCommand(window, IDC_REFRESH); };
    auto bare = [&] { BareEnumeration(largest); };
    refresh();
    bare();
    std::vector<double> refreshTimes, bareTimes;
    for (int round = 0; round < rounds; ++round) { // interleaved, so drift hits both
        refreshTimes.push_back(MicrosecondsPerCall(iterations, refresh));
        bareTimes.push_back(MicrosecondsPerCall(iterations, bare));
    }
    LRESULT rows = SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0);
    DestroyTestMainWindow(window);
    if (rows != largestCount || !watcher.seen.empty()) {
        std::printf("the refresh showed %ld rows for %d algorithms\n", static_cast<long>(rows),
                    largestCount);
        return 1;
    }

    std::printf("provider: %s (%d algorithms)\n", largest.name.c_str(), largestCount);
    std::printf("%-34s %12s\n", "operation", "median");
    std::printf("%-34s %9.1f us\n", "refresh (RefreshProvider)", Median(refreshTimes));
    std::printf("%-34s %9.1f us\n", "bare CryptoAPI enumeration", Median(bareTimes));
    std::printf("ratio refresh / bare: %.2f (goal <= 1.50), %d rounds of %d\n",
                Median(refreshTimes) / Median(bareTimes), rounds, iterations);
    return 0;
}
