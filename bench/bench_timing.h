// What the benchmark programs share: the clock, medians, the guard against a
// blocked timed loop, and the rows that bench/run.sh gathers into its table.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/message_boxes.h"
#include "support/other_process.h"

inline double MillisecondsNow() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// Nothing of the tests runs while a benchmark times: no message hook, no
// watcher; a scratch catalogue only notes the keys Keyscry opens. A
// provider that fails to open would show a message box, which blocks the
// timed loop for ever; this guard ends the benchmark instead, naming the box.
// Its timer costs the timed work nothing until it fires.
struct BlockedLoopGuard {
    explicit BlockedLoopGuard(DWORD seconds) {
        CreateTimerQueueTimer(&timer, nullptr, Fire, reinterpret_cast<void*>(UINT_PTR{seconds}),
                              seconds * 1000, 0, WT_EXECUTEONLYONCE);
    }
    ~BlockedLoopGuard() {
        DeleteTimerQueueTimer(nullptr, timer, INVALID_HANDLE_VALUE);
    }
    static void CALLBACK Fire(void* seconds, BOOLEAN) {
        if (HWND box = FindWindowOf(GetCurrentProcessId(), MessageBoxClass, nullptr))
            std::printf("FAILED: a message box came up during a timed loop: \"%s\": \"%s\"\n",
                        WindowTextOf(box).c_str(),
                        WindowTextOf(GetDlgItem(box, MessageBoxTextId)).c_str());
        else
            std::printf("FAILED: a timed loop still runs after %zu s\n",
                        reinterpret_cast<size_t>(seconds));
        std::fflush(stdout);
        ExitProcess(3);
    }
    HANDLE timer = nullptr;
};

// A number with thousands separators, as the figures show it.
inline std::string Grouped(long number) {
    std::string digits = std::to_string(number);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(at, ",");
    return digits;
}

// One row of bench/run.sh's table, which puts the build in front of it: what
// was measured, the value, the ratio (of two times, or the growth for ten
// times the work) and whether it meets its goal, judged on the ratio as
// shown. A goal of 0: a figure kept for reference.
inline void PrintFigure(const std::string& figure, const std::string& value, double ratio,
                        double goal, bool growth) {
    char shown[32];
    std::snprintf(shown, sizeof shown, growth ? "%.1f" : "%.2f", ratio);
    const char* sign = growth ? "×" : "";
    std::printf("figure\t| %s | %s | %s%s | ", figure.c_str(), value.c_str(), sign, shown);
    if (goal > 0)
        std::printf("at most %s%.*f | %s |\n", sign, growth ? 0 : 2, goal,
                    std::atof(shown) <= goal ? "met" : "missed");
    else
        std::printf("none | reference |\n");
}

// The support's own checks (no write to a scratch catalogue, no key left
// open) report as GoogleTest failures, here outside any test: each printed its
// message, and the benchmark fails with them.
inline int ExitStatus() {
    if (!::testing::Test::HasFailure())
        return 0;
    std::printf("FAILED: a check above failed\n");
    return 1;
}

// A figure of a time against a baseline's, and their ratio.
inline void PrintTimes(const std::string& figure, double ms, double baselineMs, int decimals,
                       double goal) {
    char value[80];
    std::snprintf(value, sizeof value, "%.*f ms against %.*f ms", decimals, ms, decimals,
                  baselineMs);
    PrintFigure(figure, value, ms / baselineMs, goal, false);
}
