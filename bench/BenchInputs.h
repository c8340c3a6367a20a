// The benchmarks' data: measurements as they come from real instruments,
// whose groups blur into each other, so that passes run the many
// iterations real jobs take. Deterministic on every machine: an integer LCG
// drives everything.
#ifndef SELVANE_BENCH_BENCH_INPUTS_H
#define SELVANE_BENCH_BENCH_INPUTS_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// Uniform in [0, 1) and standard normal draws from a 32-bit LCG.
class BenchRandom {
public:
    explicit BenchRandom(std::uint32_t seed) : state_(seed) {}
    double Uniform() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<double>(state_ >> 8) / 16777216.0;
    }
    // Box-Muller.
    double Gaussian() {
        const double u = 1.0 - Uniform();
        return std::sqrt(-2.0 * std::log(u)) *
               std::cos(6.283185307179586 * Uniform());
    }

private:
    std::uint32_t state_;
};

// N items of D strictly positive values, dimension-major as the exported
// function reads them, in K groups: centres spread with standard deviation
// 3 around 20 in every dimension, items around their centre with standard
// deviation 1. The groups differ in place more than in direction.
inline std::vector<double> OverlappingInput(int n, int d, int k,
                                            std::uint32_t seed) {
    BenchRandom random(seed);
    std::vector<double> centres(static_cast<std::size_t>(k) * d);
    for (double& c : centres) c = 20.0 + 3.0 * random.Gaussian();
    std::vector<double> input(static_cast<std::size_t>(n) * d);
    for (int i = 0; i < n; ++i) {
        const int group = i % k;
        for (int j = 0; j < d; ++j) {
            const double v = centres[static_cast<std::size_t>(group) * d + j] +
                             random.Gaussian();
            input[static_cast<std::size_t>(j) * n + i] = v > 0.01 ? v : 0.01;
        }
    }
    return input;
}

// N items of D strictly positive values, dimension-major, in K groups that
// differ in direction: each group has a profile (log-normal around a
// common one), each item a log-normal magnitude spanning two orders, and
// multiplicative noise on every value, as spectra and expression profiles
// have. The noise is strong enough for the groups to overlap in places.
inline std::vector<double> DirectionInput(int n, int d, int k,
                                          std::uint32_t seed) {
    BenchRandom random(seed);
    std::vector<double> profiles(static_cast<std::size_t>(k) * d);
    for (double& p : profiles) p = std::exp(0.35 * random.Gaussian());
    std::vector<double> input(static_cast<std::size_t>(n) * d);
    for (int i = 0; i < n; ++i) {
        const int group = i % k;
        const double scale = std::exp(1.2 * random.Gaussian());
        for (int j = 0; j < d; ++j) {
            input[static_cast<std::size_t>(j) * n + i] =
                scale * profiles[static_cast<std::size_t>(group) * d + j] *
                std::exp(0.3 * random.Gaussian());
        }
    }
    return input;
}

#endif  // SELVANE_BENCH_BENCH_INPUTS_H
