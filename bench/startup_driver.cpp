// Prints the executable's size against the build's limit, then measures how
// long a program takes from CreateProcess until its main window is visible
// with its list filled: Keyscry against a bare program that makes the same
// platform calls and nothing else (the goal), and against a minimal window
// program (for reference), started in turns, each program first in one run
// of three, each program's median over the runs. The clock runs in this
// process, inside Wine.
//   startup_driver [runs]   (default 24, after one unmeasured start of each)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/identifiers.h"
#include "bench_timing.h"
#include "build_info.h"
#include "support/keyscry_texts.h"
#include "support/other_process.h"

namespace {

struct Program {
    const char* file;
    const char* windowClass;
};

// The visible main window of the process whose list holds at least one row,
// or null.
HWND ReadyWindowOf(const StartedProgram& program, const char* windowClass) {
    HWND window = FindWindowOf(program.id, windowClass, nullptr);
    if (!window || !IsWindowVisible(window))
        return nullptr;
    HWND list = GetDlgItem(window, IDC_ALGORITHMS);
    DWORD_PTR rows = 0;
    if (!list || !SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &rows) ||
        rows == 0 || rows == static_cast<DWORD_PTR>(LB_ERR))
        return nullptr;
    return window;
}

// One start, in milliseconds, or a negative value when the window never got ready.
double TimeOneStart(const Program& program) {
    const std::string command = "\"" + BinaryFolder() + program.file + "\"";
    double start = MillisecondsNow();
    StartedProgram started = StartProgram(command);
    if (!started.process)
        return -1;
    HWND window = nullptr;
    double elapsed = -1;
    while (MillisecondsNow() - start < 20000) {
        if ((window = ReadyWindowOf(started, program.windowClass))) {
            elapsed = MillisecondsNow() - start;
            break;
        }
        Sleep(1);
    }
    // Keyscry refuses a second instance, so each run ends before the next.
    if (window)
        PostMessageA(window, WM_CLOSE, 0, 0);
    WaitForExit(started, 10000);
    EndProgram(started);
    return elapsed;
}

} // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 24;
    WIN32_FILE_ATTRIBUTE_DATA file{};
    if (!GetFileAttributesExA(KeyscryPath().c_str(), GetFileExInfoStandard, &file)) {
        std::printf("FAILED: no %s to measure\n", KeyscryPath().c_str());
        return 1;
    }
    PrintSizeFigure(std::string("Executable, stripped: `") + KEYSCRY_EXE_FILE + "`",
                    static_cast<long>(file.nFileSizeLow), KEYSCRY_SIZE_LIMIT);
    const Program programs[] = {{KEYSCRY_EXE_FILE, KeyscryClass},
                                {"bare_start.exe", "BareStart"},
                                {"minimal_window.exe", "MinimalWindow"}};
    constexpr int Programs = std::size(programs);
    std::vector<double> times[Programs];
    for (int run = -1; run < runs; ++run) {
        for (int turn = 0; turn < Programs; ++turn) { // each in turn first
            int i = (turn + run + 1) % Programs;
            double ms = TimeOneStart(programs[i]);
            if (ms < 0) {
                std::printf("FAILED: %s: no visible window with a filled list\n", programs[i].file);
                return 1;
            }
            if (run >= 0) // the first start of each only warms caches
                times[i].push_back(ms);
        }
    }
    std::printf("%-20s %8s %8s %8s\n", "program", "median", "min", "max");
    for (int i = 0; i < Programs; ++i)
        std::printf("%-20s %6.1f ms %5.1f ms %5.1f ms\n", programs[i].file, Median(times[i]),
                    Quantile(times[i], 0), Quantile(times[i], 1));
    double keyscry = Median(times[0]), bare = Median(times[1]), minimal = Median(times[2]);
    std::printf("ratio Keyscry / bare start: %.2f (goal <= 1.10), %d runs each\n", keyscry / bare,
                runs);
    std::printf("ratio Keyscry / minimal window: %.2f (for reference)\n", keyscry / minimal);

    char value[120];
    std::snprintf(value, sizeof value, "%.1f ms against %.1f ms", keyscry, bare);
    PrintFigure("Start-up until the window shows its algorithms, against a bare program that "
                "makes the same platform calls",
                value, keyscry / bare, 1.10, false);
    std::snprintf(value, sizeof value, "%.1f ms against %.1f ms", keyscry, minimal);
    PrintFigure("Start-up against a minimal window program, for reference", value,
                keyscry / minimal, 0, false);
    return 0;
}
