// The executable's size against the build's limit, and how long a program
// takes from CreateProcess until its main window is visible with a row in its
// list: Keyscry against a bare program that makes the same platform calls
// (the goal) and a minimal window program (for reference), started in turns,
// each first in one turn of three, timed by a clock inside Wine.
//   startup_driver [runs]   (default 24, after one unmeasured start of each)
#include <windows.h>

#include <string>

#include "app/identifiers.h"
#include "bench_timing.h"
#include "build_info.h"
#include "support/keyscry_texts.h"

namespace {

struct Program {
    const char* file;
    const char* windowClass;
    std::vector<double> times;
};

// One start, in milliseconds; negative when the window never got ready.
double TimeOneStart(const Program& program) {
    double start = MillisecondsNow(), elapsed = -1;
    StartedProgram started = StartProgram("\"" + BinaryFolder() + program.file + "\"");
    if (!started.process)
        return -1;
    HWND window = nullptr;
    while (elapsed < 0 && MillisecondsNow() - start < 20000) {
        window = FindWindowOf(started.id, program.windowClass, nullptr);
        DWORD_PTR rows = 0;
        if (window && IsWindowVisible(window) &&
            SendMessageTimeoutA(GetDlgItem(window, IDC_ALGORITHMS), LB_GETCOUNT, 0, 0, SMTO_NORMAL,
                                1000, &rows) &&
            rows > 0 && rows != static_cast<DWORD_PTR>(LB_ERR))
            elapsed = MillisecondsNow() - start;
        else
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
    WIN32_FILE_ATTRIBUTE_DATA file{}; // a missing file fails to start below
    GetFileAttributesExA(KeyscryPath().c_str(), GetFileExInfoStandard, &file);
    // The build enforces the limit, so the size is a figure without a verdict.
    PrintFigure(std::string("Executable, stripped: `") + KEYSCRY_EXE_FILE + "`, against the " +
                    Grouped(KEYSCRY_SIZE_LIMIT) + " bytes past which the build fails",
                Grouped(file.nFileSizeLow) + " bytes",
                file.nFileSizeLow / double{KEYSCRY_SIZE_LIMIT}, 0, false);
    Program programs[] = {{KEYSCRY_EXE_FILE, KeyscryClass, {}},
                          {"bare_start.exe", "BareStart", {}},
                          {"minimal_window.exe", "MinimalWindow", {}}};
    for (int run = -1; run < runs; ++run) {
        for (int turn = 0; turn < 3; ++turn) {
            Program& program = programs[(turn + run + 1) % 3];
            double ms = TimeOneStart(program);
            if (ms < 0) {
                std::printf("FAILED: %s: no visible window with a filled list\n", program.file);
                return 1;
            }
            if (run >= 0) // the first start of each only warms caches
                program.times.push_back(ms);
        }
    }
    double keyscry = Median(programs[0].times), bare = Median(programs[1].times),
           minimal = Median(programs[2].times);
    PrintTimes("Start-up until the window shows its algorithms, against a bare program that makes "
               "the same platform calls",
               keyscry, bare, 1, 1.10);
    PrintTimes("Start-up against a minimal window program, for reference", keyscry, minimal, 1, 0);
    return ExitStatus();
}
