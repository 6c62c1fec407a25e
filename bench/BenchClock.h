// Timing for the benchmarks: a high-resolution clock and medians of repeated runs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

inline double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// One row of the printed table; `met` is false when the goal is missed.
struct BenchRow {
    std::string what;
    std::string measured;
    std::string goal;
    bool met;
};

inline std::string Fixed(double value, int decimals = 3) {
    char text[64];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

// Prints the rows as a table; returns the number of goals missed.
inline int PrintTable(const std::vector<BenchRow>& rows) {
    int missed = 0;
    std::printf("| what | measured | goal | met |\n|---|---|---|---|\n");
    for (const BenchRow& row : rows) {
        std::printf("| %s | %s | %s | %s |\n", row.what.c_str(), row.measured.c_str(), row.goal.c_str(), row.met ? "yes" : "NO");
        missed += !row.met;
    }
    std::fflush(stdout);
    return missed;
}
