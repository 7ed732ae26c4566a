// How refresh and catalogue fill grow with the work: a fake provider that
// reports 100, 1,000 and 10,000 algorithm records, and catalogues of 100 and
// 1,000 providers. Ten times the work should take at most twelve times as
// long. Each size is warmed up before it is timed, the sizes take turns so
// that drift hits them alike, and the output says which step's
// growth is least certain (the widest band between the quartiles).
//   scale_bench [cycles]   (default 21)
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "bench_timing.h"
#include "fake_provider/fake_provider_config.h"
#include "provider/provider.h"
#include "support/common.h"
#include "support/message_boxes.h"
#include "support/scratch_catalogue.h"
#include "support/window_harness.h"

namespace {

const char FakeName[] = "Bench Fake Provider";

struct Size {
    int count;
    std::vector<double> times; // milliseconds
};

// The growth from one size to the next, with the band its quartiles allow.
struct Step {
    const char* what;
    const char* unit;
    const Size* from;
    const Size* to;
    double Growth() const {
        return Median(to->times) / Median(from->times);
    }
    double Low() const {
        return Quantile(to->times, 0.25) / Quantile(from->times, 0.75);
    }
    double High() const {
        return Quantile(to->times, 0.75) / Quantile(from->times, 0.25);
    }
    double Spread() const {
        return (High() - Low()) / Growth();
    }
};

bool ListShows(int rows) {
    return SendMessageA(appState.algorithmList, LB_GETCOUNT, 0, 0) == rows;
}

// The test window, built with the tests' message-box watcher installed: its
// first refresh must not show a box (false when it did). The watcher is gone
// before anything is timed.
bool BuildWindowWithoutBox(std::optional<TestWindow>& window) {
    MessageBoxWatcher watcher;
    window.emplace();
    return watcher.seen.empty();
}

// Each cycle gives every size one warm-up and then timed calls that take
// about as long together as those of the other sizes.
bool MeasureRefresh(int cycles, std::vector<Size>& sizes) {
    ScratchCatalogue catalogue;
    ClearFakeProvider(FakeName);
    catalogue.AddProvider(FakeName, PROV_RSA_FULL, FakeProviderPath());
    PROV_ENUMALGS_EX record =
        FakeAlgorithm(CALG_RC4, "RC4", 0x1F, "RSA Data Security's RC4", 40, 128, 40);
    sizes = {{100, {}}, {1000, {}}, {10000, {}}};
    const int callsPerCycle[] = {10, 3, 1};
    std::optional<TestWindow> built;
    bool allShown = BuildWindowWithoutBox(built);
    HWND window = *built;
    BlockedLoopGuard guard(300);
    for (int cycle = 0; cycle < cycles && allShown; ++cycle) {
        for (size_t i = 0; i < sizes.size(); ++i) {
            SetFakeProviderAlgorithmTemplate(FakeName, record, sizes[i].count);
            SendCommand(window, IDC_REFRESH); // warm-up
            allShown &= ListShows(sizes[i].count);
            for (int call = 0; call < callsPerCycle[i]; ++call) {
                double start = MillisecondsNow();
                SendCommand(window, IDC_REFRESH);
                sizes[i].times.push_back(MillisecondsNow() - start);
                allShown &= ListShows(sizes[i].count);
            }
        }
    }
    built.reset();
    ClearFakeProvider(FakeName);
    return allShown;
}

// A catalogue of `count` providers below a scratch key of its own.
void FillCatalogue(ScratchCatalogue& catalogue, int count) {
    const std::string image = FakeProviderPath();
    for (int i = 0; i < count; ++i) {
        char name[64];
        wsprintfA(name, "Bench Provider %04d", i);
        catalogue.AddProvider(name, PROV_RSA_FULL, image);
    }
}

// Where a fill's time goes: the fill's two platform calls, the registry
// enumeration and the sorted insertion into the box, each timed alone. Not
// part of the timed fills.
void TimeFillCalls(double& enumeration, double& insertion) {
    char name[255];
    HKEY key = nullptr;
    SendMessageA(appState.providerCombo, CB_RESETCONTENT, 0, 0);
    RegOpenKeyA(HKEY_LOCAL_MACHINE, ProviderKeyPath, &key);
    for (DWORD index = 0;; ++index) {
        double start = MillisecondsNow();
        LONG result = RegEnumKeyA(key, index, name, 254);
        double enumerated = MillisecondsNow();
        enumeration += enumerated - start;
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        SendMessageA(appState.providerCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
        insertion += MillisecondsNow() - enumerated;
    }
    RegCloseKey(key);
}

// The two catalogues take turns like the refresh sizes; each timed fill
// starts from an empty box.
bool MeasureFill(int cycles, std::vector<Size>& sizes, double (&calls)[2][2]) {
    sizes = {{100, {}}, {1000, {}}};
    const int callsPerCycle[] = {10, 3};
    ScratchCatalogue catalogues[] = {ScratchCatalogue("BenchFill100"),
                                     ScratchCatalogue("BenchFill1000")};
    for (size_t i = 0; i < sizes.size(); ++i)
        FillCatalogue(catalogues[i], sizes[i].count);
    catalogues[0].Use();
    std::optional<TestWindow> window;
    bool allListed = BuildWindowWithoutBox(window);
    {
        BlockedLoopGuard guard(300);
        for (int cycle = 0; cycle < cycles && allListed; ++cycle) {
            for (size_t i = 0; i < sizes.size(); ++i) {
                catalogues[i].Use();
                for (int call = -1; call < callsPerCycle[i]; ++call) { // one warm-up
                    SendMessageA(appState.providerCombo, CB_RESETCONTENT, 0, 0);
                    double start = MillisecondsNow();
                    FillProviderList();
                    if (call >= 0)
                        sizes[i].times.push_back(MillisecondsNow() - start);
                }
                allListed &=
                    SendMessageA(appState.providerCombo, CB_GETCOUNT, 0, 0) == sizes[i].count;
            }
        }
    }
    for (size_t i = 0; i < sizes.size(); ++i) {
        catalogues[i].Use();
        for (int call = 0; call < cycles; ++call)
            TimeFillCalls(calls[i][0], calls[i][1]);
        calls[i][0] /= cycles;
        calls[i][1] /= cycles;
    }
    return allListed;
}

void PrintSizes(const char* what, const char* unit, const std::vector<Size>& sizes) {
    for (const Size& size : sizes)
        std::printf("  %-10s %6d %s  %9.3f ms (%.3f to %.3f)  %7.2f µs a %s, %zu calls\n", what,
                    size.count, unit == std::string("row") ? "records  " : "providers",
                    Median(size.times), Quantile(size.times, 0.25), Quantile(size.times, 0.75),
                    1000 * Median(size.times) / size.count, unit, size.times.size());
}

} // namespace

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 21;
    std::vector<Size> refresh, fill;
    if (!MeasureRefresh(cycles, refresh)) {
        std::printf("FAILED: a refresh did not show every record\n");
        return 1;
    }
    double fillCalls[2][2] = {};
    if (!MeasureFill(cycles, fill, fillCalls)) {
        std::printf("FAILED: the fill did not list every provider\n");
        return 1;
    }
    std::printf("medians, quartiles in brackets:\n");
    PrintSizes("refresh", "row", refresh);
    PrintSizes("fill", "provider", fill);

    const Step steps[] = {
        {"Refresh of fake algorithm records", "row", &refresh[0], &refresh[1]},
        {"Refresh of fake algorithm records", "row", &refresh[1], &refresh[2]},
        {"Fill of the provider box from a catalogue of providers", "provider", &fill[0], &fill[1]},
    };
    const Step* noisiest = &steps[0];
    for (const Step& step : steps) {
        std::printf("  %s, %d to %d: x%.1f for x10 (x%.1f to x%.1f between quartiles)\n", step.what,
                    step.from->count, step.to->count, step.Growth(), step.Low(), step.High());
        if (step.Spread() > noisiest->Spread())
            noisiest = &step;
    }
    std::string fillNote = "Where a fill's time goes (its platform calls, each timed alone):";
    for (int i = 0; i < 2; ++i) {
        char part[160];
        std::snprintf(part, sizeof part,
                      "%s %s providers: RegEnumKeyA %.1f µs and CB_ADDSTRING %.1f µs a provider",
                      i ? ";" : "", Grouped(fill[i].count).c_str(),
                      1000 * fillCalls[i][0] / fill[i].count,
                      1000 * fillCalls[i][1] / fill[i].count);
        fillNote += part;
    }
    std::printf("%s\n", fillNote.c_str());
    PrintNote(fillNote);
    char note[200];
    std::snprintf(note, sizeof note,
                  "Noisiest scale step: %s, %s to %s (x%.1f to x%.1f between quartiles)",
                  noisiest->what, Grouped(noisiest->from->count).c_str(),
                  Grouped(noisiest->to->count).c_str(), noisiest->Low(), noisiest->High());
    std::printf("%s\n", note);
    PrintNote(note);

    for (const Step& step : steps) {
        char figure[160], value[160];
        std::snprintf(figure, sizeof figure, "%s, %s to %s", step.what,
                      Grouped(step.from->count).c_str(), Grouped(step.to->count).c_str());
        std::snprintf(value, sizeof value, "%.2f to %.2f ms (%.1f to %.1f µs a %s)",
                      Median(step.from->times), Median(step.to->times),
                      1000 * Median(step.from->times) / step.from->count,
                      1000 * Median(step.to->times) / step.to->count, step.unit);
        PrintFigure(figure, value, step.Growth(), 12, true);
    }
    return 0;
}
