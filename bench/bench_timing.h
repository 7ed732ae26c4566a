// Timing for the benchmark programs: the clock, medians and
// quartiles of repeated measurements, the guard against a blocked timed loop,
// and the figure lines that bench/run.sh gathers into its table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "clock.h"
#include "support/message_boxes.h"
#include "support/other_process.h"

// The value below which the given fraction of the values lies (0.5: the median).
inline double Quantile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    double position = fraction * static_cast<double>(values.size() - 1);
    size_t below = static_cast<size_t>(position);
    if (below + 1 >= values.size())
        return values.back();
    double weight = position - static_cast<double>(below);
    return values[below] * (1 - weight) + values[below + 1] * weight;
}

inline double Median(const std::vector<double>& values) {
    return Quantile(values, 0.5);
}

// Nothing of the tests runs while a benchmark times: no hook, no watcher. A
// provider that fails to open would show a message box, which blocks the
// timed loop for ever; this guard ends the benchmark instead, naming the box.
// Its thread waits in one kernel wait until the guard ends, so it costs the
// timed work nothing.
struct BlockedLoopGuard {
    explicit BlockedLoopGuard(DWORD seconds);
    ~BlockedLoopGuard();
    BlockedLoopGuard(const BlockedLoopGuard&) = delete;
    BlockedLoopGuard& operator=(const BlockedLoopGuard&) = delete;
    HANDLE done;
    HANDLE thread;
    DWORD seconds;
};

inline DWORD WINAPI WatchForBlockedLoop(void* parameter) {
    auto* guard = static_cast<BlockedLoopGuard*>(parameter);
    if (WaitForSingleObject(guard->done, guard->seconds * 1000) == WAIT_OBJECT_0)
        return 0;
    if (HWND box = FindWindowOf(GetCurrentProcessId(), MessageBoxClass, nullptr))
        std::printf("FAILED: a message box came up during a timed loop: \"%s\": \"%s\"\n",
                    WindowTextOf(box).c_str(),
                    WindowTextOf(GetDlgItem(box, MessageBoxTextId)).c_str());
    else
        std::printf("FAILED: a timed loop still runs after %lu s\n", guard->seconds);
    std::fflush(stdout);
    ExitProcess(3);
}

inline BlockedLoopGuard::BlockedLoopGuard(DWORD limit)
    : done(CreateEventA(nullptr, TRUE, FALSE, nullptr)), thread(nullptr), seconds(limit) {
    thread = CreateThread(nullptr, 0, WatchForBlockedLoop, this, 0, nullptr);
}

inline BlockedLoopGuard::~BlockedLoopGuard() {
    SetEvent(done);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(done);
}

// A number with thousands separators, as the figures show it.
inline std::string Grouped(long number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(at, ",");
    return digits;
}

// One line of bench/run.sh's table, tab-separated after the word "figure":
// what was measured, the value, the ratio (of two times, or the growth for
// ten times the work), and its goal, 0 for a figure kept for reference.
inline void PrintFigure(const char* figure, const char* value, double ratio, double goal,
                        bool growth) {
    std::printf("figure\t%s\t%s\t%.2f\t%g\t%s\n", figure, value, ratio, goal,
                growth ? "growth" : "ratio");
}

// A figure of a size against its limit, with its verdict, which bench/run.sh
// puts into its table as it stands.
inline void PrintSizeFigure(const std::string& figure, long bytes, long limit) {
    std::printf("figure\t%s\t%s bytes\t\tat most %s bytes\t%s\n", figure.c_str(),
                Grouped(bytes).c_str(), Grouped(limit).c_str(), bytes <= limit ? "met" : "missed");
}

// A line that bench/run.sh shows below its table, after the word "note".
inline void PrintNote(const std::string& note) {
    std::printf("note\t%s\n", note.c_str());
}
