// The benchmarks' one clock: the performance counter, in milliseconds.
#pragma once

#include <windows.h>

inline double MillisecondsNow() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}
