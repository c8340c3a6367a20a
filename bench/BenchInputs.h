// The benchmarks' overlapping clusters: measurements as they come from
// real instruments, whose groups blur into each other, so that passes run
// the many iterations real jobs take. Deterministic on every machine.
#ifndef SELVANE_BENCH_OVERLAPPING_INPUT_H
#define SELVANE_BENCH_OVERLAPPING_INPUT_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// N items of D strictly positive values, dimension-major as the exported
// function reads them, in K groups: centres spread with standard deviation
// 3 around 20 in every dimension, items around their centre with standard
// deviation 1 (Box-Muller over an integer LCG).
inline std::vector<double> OverlappingInput(int n, int d, int k,
                                            std::uint32_t seed) {
    std::uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    auto gaussian = [&next] {
        const double u = 1.0 - next();
        return std::sqrt(-2.0 * std::log(u)) *
               std::cos(6.283185307179586 * next());
    };
    std::vector<double> centres(static_cast<std::size_t>(k) * d);
    for (double& c : centres) c = 20.0 + 3.0 * gaussian();
    std::vector<double> input(static_cast<std::size_t>(n) * d);
    for (int i = 0; i < n; ++i) {
        const int group = i % k;
        for (int j = 0; j < d; ++j) {
            const double v =
                centres[static_cast<std::size_t>(group) * d + j] + gaussian();
            input[static_cast<std::size_t>(j) * n + i] = v > 0.01 ? v : 0.01;
        }
    }
    return input;
}

#endif  // SELVANE_BENCH_OVERLAPPING_INPUT_H
