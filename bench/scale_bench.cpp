// How refresh and catalogue fill grow with the work: a fake provider that
// reports 100, 1,000 and 10,000 algorithm records, and catalogues of 100 and
// 1,000 providers. Ten times the work should take at most twelve times as long.
//   scale_bench [repetitions]   (default 5; the median is shown)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench_timing.h"
#include "fake_provider/fake_provider_config.h"
#include "provider/provider.h"
#include "support/test_window.h"

namespace {

const char FakeName[] = "Bench Fake Provider";

template <typename Work> double MedianMilliseconds(int repetitions, Work work) {
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        double start = MillisecondsNow();
        work();
        times.push_back(MillisecondsNow() - start);
    }
    return Median(times);
}

struct Step {
    const char* what;
    int size;
    double milliseconds;
};

void PrintSteps(const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        std::printf("%-30s %7d %10.2f ms", steps[i].what, steps[i].size, steps[i].milliseconds);
        if (i > 0)
            std::printf("   x%.1f for x10 (goal <= x12)",
                        steps[i].milliseconds / steps[i - 1].milliseconds);
        std::printf("\n");
    }
}

bool MeasureRefresh(int repetitions, std::vector<Step>& steps) {
    ScratchCatalogue catalogue;
    ClearFakeProvider(FakeName);
    catalogue.AddProvider(FakeName, PROV_RSA_FULL, FakeProviderPath());
    PROV_ENUMALGS_EX record =
        FakeAlgorithm(CALG_RC4, "RC4", 0x1F, "RSA Data Security's RC4", 40, 128, 40);
    HWND window = CreateTestMainWindow();
    bool allShown = true;
    for (int count : {100, 1000, 10000}) {
        SetFakeProviderAlgorithmTemplate(FakeName, record, count);
        double ms = MedianMilliseconds(repetitions, [&] { SendCommand(window, IDC_REFRESH); });
        allShown &= SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0) == count;
        steps.push_back({"refresh, algorithm records", count, ms});
    }
    DestroyTestMainWindow(window);
    ClearFakeProvider(FakeName);
    return allShown;
}

bool MeasureFill(int repetitions, std::vector<Step>& steps) {
    ScratchCatalogue catalogue;
    bool allListed = true;
    int registered = 0;
    for (int count : {100, 1000}) {
        for (char name[64]; registered < count; ++registered) {
            wsprintfA(name, "Bench Provider %04d", registered);
            catalogue.AddProvider(name, PROV_RSA_FULL, FakeProviderPath());
        }
        // The window's own fill runs once; the measured ones start from an empty box.
        HWND window = CreateTestMainWindow();
        double ms = MedianMilliseconds(repetitions, [&] {
            SendMessageA(appState.providerCombo, CB_RESETCONTENT, 0, 0);
            FillProviderList();
        });
        allListed &= SendMessageA(appState.providerCombo, CB_GETCOUNT, 0, 0) == count;
        DestroyTestMainWindow(window);
        steps.push_back({"fill, catalogue providers", count, ms});
    }
    return allListed;
}

} // namespace

int main(int argc, char** argv) {
    int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;
    MessageBoxWatcher watcher; // a failing open must not block the run
    std::vector<Step> refreshSteps, fillSteps;
    if (!MeasureRefresh(repetitions, refreshSteps) || !MeasureFill(repetitions, fillSteps) ||
        !watcher.seen.empty()) {
        std::printf("the window did not show every record or provider\n");
        return 1;
    }
    std::printf("%-30s %7s %13s   (median of %d)\n", "operation", "size", "time", repetitions);
    PrintSteps(refreshSteps);
    PrintSteps(fillSteps);
    return 0;
}
