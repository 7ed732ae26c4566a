// How refresh and catalogue fill grow with the work: refreshes of a fake
// provider with 100, 1,000 and 10,000 algorithm records, fills from catalogues
// of 100 and 1,000 providers. Each size is warmed up before it is timed, and
// the sizes take turns so that drift hits them alike.
//   scale_bench [cycles]   (default 21)
#include <windows.h>
#include <wincrypt.h>

#include <optional>
#include <string>

#include "app/app_state.h"
#include "bench_timing.h"
#include "fake_provider/fake_provider_config.h"
#include "provider/provider.h"
#include "support/common.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

namespace {

const char FakeName[] = "Bench Fake Provider";

struct Size {
    int count;
    int callsPerCycle;         // about as long together as those of the other sizes
    std::vector<double> times; // milliseconds
};

// The test window, built with the tests' message-box watcher installed, which
// is gone before anything is timed. False when its first refresh showed a box.
bool BuildWindowWithoutBox(std::optional<TestWindow>& window) {
    MessageBoxWatcher watcher;
    window.emplace();
    return watcher.seen.empty();
}

// Each cycle gives every size one warm-up and then its timed calls.
bool MeasureRefresh(int cycles, std::vector<Size>& sizes) {
    ScratchCatalogue catalogue;
    ClearFakeProvider(FakeName);
    catalogue.AddProvider(FakeName, PROV_RSA_FULL, FakeProviderPath());
    PROV_ENUMALGS_EX record =
        FakeAlgorithm(CALG_RC4, "RC4", 0x1F, "RSA Data Security's RC4", 40, 128, 40);
    std::optional<TestWindow> window;
    bool allShown = BuildWindowWithoutBox(window);
    BlockedLoopGuard guard(300);
    for (int cycle = 0; cycle < cycles && allShown; ++cycle) {
        for (Size& size : sizes) {
            SetFakeProviderAlgorithmTemplate(FakeName, record, size.count);
            for (int call = -1; call < size.callsPerCycle; ++call) {
                double start = MillisecondsNow();
                SendCommand(*window, IDC_REFRESH);
                if (call >= 0)
                    size.times.push_back(MillisecondsNow() - start);
            }
            allShown &= SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0) == size.count;
        }
    }
    window.reset();
    ClearFakeProvider(FakeName);
    return allShown;
}

// Each catalogue below a scratch key of its own; each fill starts from an
// empty box.
bool MeasureFill(int cycles, std::vector<Size>& sizes) {
    ScratchCatalogue catalogues[] = {ScratchCatalogue("BenchFill100"),
                                     ScratchCatalogue("BenchFill1000")};
    for (size_t i = 0; i < sizes.size(); ++i) {
        for (int provider = 0; provider < sizes[i].count; ++provider) {
            char name[64];
            wsprintfA(name, "Bench Provider %04d", provider);
            catalogues[i].AddProvider(name, PROV_RSA_FULL, FakeProviderPath());
        }
    }
    catalogues[0].Use();
    std::optional<TestWindow> window;
    bool allListed = BuildWindowWithoutBox(window);
    BlockedLoopGuard guard(300);
    for (int cycle = 0; cycle < cycles && allListed; ++cycle) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            catalogues[i].Use();
            for (int call = -1; call < sizes[i].callsPerCycle; ++call) {
                SendMessageA(appState.providerCombo, CB_RESETCONTENT, 0, 0);
                double start = MillisecondsNow();
                FillProviderList();
                if (call >= 0)
                    sizes[i].times.push_back(MillisecondsNow() - start);
            }
            allListed &= SendMessageA(appState.providerCombo, CB_GETCOUNT, 0, 0) == sizes[i].count;
        }
    }
    return allListed;
}

// The growth from one size to the next.
void PrintGrowth(const char* what, const char* unit, const Size& from, const Size& to) {
    double fromMs = Median(from.times), toMs = Median(to.times);
    char value[120];
    std::snprintf(value, sizeof value, "%.2f to %.2f ms (%.1f to %.1f µs a %s)", fromMs, toMs,
                  1000 * fromMs / from.count, 1000 * toMs / to.count, unit);
    PrintFigure(std::string(what) + ", " + Grouped(from.count) + " to " + Grouped(to.count), value,
                toMs / fromMs, 12, true);
}

} // namespace

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 21;
    std::vector<Size> refresh = {{100, 10, {}}, {1000, 3, {}}, {10000, 1, {}}};
    if (!MeasureRefresh(cycles, refresh)) {
        std::printf("FAILED: a refresh did not show every record\n");
        return 1;
    }
    std::vector<Size> fill = {{100, 10, {}}, {1000, 3, {}}};
    if (!MeasureFill(cycles, fill)) {
        std::printf("FAILED: the fill did not list every provider\n");
        return 1;
    }
    PrintGrowth("Refresh of fake algorithm records", "row", refresh[0], refresh[1]);
    PrintGrowth("Refresh of fake algorithm records", "row", refresh[1], refresh[2]);
    PrintGrowth("Fill of the provider box from a catalogue of providers", "provider", fill[0],
                fill[1]);
    return ExitStatus();
}
