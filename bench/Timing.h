#pragma once
// How the benchmarks time their work: wall-clock seconds, and the median of repeated runs.
#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

inline double seconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
