// One large job through the exported function's body: wall time and peak
// resident memory, set against the working storage the call must hold,
// (D+1)·(8+8+4)·N bytes of rows plus their pointers and allocator
// overheads.
//
//   selvane_scale [items [dimensions [clusters [o|m|- [e|u [passes]]]]]]
//
// Default 1000000 8 8. o asks for overlapping clusters, which take many more
// iterations; m for clusters that differ in direction, with multiplicative
// noise (the data kinds of selvane_bench). e and u run k-means through the
// engine entry instead of the exported function (unit weights, 200 passes
// or as many as given): e with the Euclidean distance on the values as they
// are, u with the exported function's metric on the rows it prepares.
// Fewer passes make instruction counts of big jobs affordable.
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchInputs.h"
#include "common/PassCounters.h"
#include "engine/ClusterEngine.h"
#include "engine/sweep/SweepDispatch.h"
#include "entry/RunEnvironment.h"
#include "entry/RunJob.h"
#include "random/Generator.h"

namespace {

// Peak resident set of this process so far, in bytes.
double PeakResidentBytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0;
}

// Current resident set, in bytes, from /proc (Linux).
double ResidentBytes() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0.0;
    long pages = 0;
    long resident = 0;
    const int read = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return read == 2 ? static_cast<double>(resident) * 4096.0 : 0.0;
}

// Items in `clusters` groups of distinct profile and size, with a
// deterministic jitter; dimension-major.
std::vector<double> MakeInput(int items, int dimensions, int clusters) {
    std::vector<double> input(static_cast<std::size_t>(items) * dimensions);
    std::uint64_t x = 88172645463325252ull;
    for (int i = 0; i < items; ++i) {
        const int g = i % clusters;
        for (int d = 0; d < dimensions; ++d) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            const double jitter =
                1.0 + static_cast<double>(x >> 11) * 0x1.0p-53 * 0.2;
            const double base = d % clusters == g ? 10.0 : 1.0;
            input[static_cast<std::size_t>(d) * items + i] =
                base * (1.0 + g) * jitter;
        }
    }
    return input;
}

// k-means through the engine entry, all values present, unit weights, the
// cluster numbers to result: the Euclidean distance on the values as they
// are (metric 'e'), or the uncentered correlation on the rows the exported
// function prepares (metric 'u': each item scaled to unit length, then its
// norm relative to the largest as one more value).
void RunEngine(int items, int dimensions, const std::vector<double>& input,
               int clusters, char metric, int passes,
               std::vector<double>& result) {
    const int columns = metric == 'u' ? dimensions + 1 : dimensions;
    std::vector<double> rows(static_cast<std::size_t>(items) * columns);
    std::vector<const double*> rowPointers(static_cast<std::size_t>(items));
    double largest = 0.0;
    for (int i = 0; i < items; ++i) {
        double* row = &rows[static_cast<std::size_t>(i) * columns];
        double sum = 0.0;
        for (int d = 0; d < dimensions; ++d) {
            row[d] = input[static_cast<std::size_t>(d) * items + i];
            sum += row[d] * row[d];
        }
        if (metric == 'u') {
            const double norm = std::sqrt(sum);
            for (int d = 0; d < dimensions; ++d) row[d] /= norm;
            row[dimensions] = norm;
            largest = norm > largest ? norm : largest;
        }
        rowPointers[static_cast<std::size_t>(i)] = row;
    }
    if (metric == 'u') {
        for (int i = 0; i < items; ++i) {
            rows[static_cast<std::size_t>(i) * columns + dimensions] /= largest;
        }
    }
    std::vector<int> maskRow(static_cast<std::size_t>(columns), 1);
    std::vector<const int*> maskPointers(static_cast<std::size_t>(items),
                                         maskRow.data());
    std::vector<double> weights(static_cast<std::size_t>(columns), 1.0);
    std::vector<int> ids(static_cast<std::size_t>(items));
    double error = 0.0;
    int found = 0;
    // SELVANE_THREADS as the exported function reads it.
    selvane::ClusterEngine().PartitionClusters(
        clusters, items, columns, rowPointers.data(), maskPointers.data(),
        weights.data(), 0, passes, 'a', metric, ids.data(), &error, &found,
        selvane::ProcessGenerator(), selvane::SettingsFromEnvironment(),
        nullptr);
    for (int i = 0; i < items; ++i) {
        result[static_cast<std::size_t>(i)] =
            found > 0 ? ids[static_cast<std::size_t>(i)] : -1.0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int items = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int dimensions = argc > 2 ? std::atoi(argv[2]) : 8;
    const int clusters = argc > 3 ? std::atoi(argv[3]) : 8;
    const std::string kind = argc > 4 ? argv[4] : "-";
    const std::string metric = argc > 5 ? argv[5] : "";
    const int passCount = argc > 6 ? std::atoi(argv[6]) : 200;
    if (items < 1 || dimensions < 1 || clusters < 1 ||
        (kind != "-" && kind != "o" && kind != "m") ||
        (metric != "" && metric != "e" && metric != "u") || passCount < 1) {
        std::fprintf(stderr,
                     "usage: selvane_scale [items [dims [clusters [o|m|- "
                     "[e|u [passes]]]]]]\n");
        return 2;
    }

    const std::uint32_t seed = 2024u + static_cast<std::uint32_t>(items);
    const std::vector<double> input =
        kind == "o"   ? OverlappingInput(items, dimensions, clusters, seed)
        : kind == "m" ? DirectionInput(items, dimensions, clusters, seed)
                      : MakeInput(items, dimensions, clusters);
    std::vector<double> result(static_cast<std::size_t>(items), -2.0);
    // Touch every page the caller owns, so the baseline includes them.
    const double baseline = ResidentBytes();
    const double peakBefore = PeakResidentBytes();

    selvane::StoreSeedWords({12345, 67890});
    const selvane::PassCounts before = selvane::ReadPassCounts();
    const auto start = std::chrono::steady_clock::now();
    if (!metric.empty()) {
        RunEngine(items, dimensions, input, clusters, metric[0], passCount,
                  result);
    } else {
        selvane::RunJob(items, dimensions, input.data(), clusters,
                        result.data());
    }
    const auto stop = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(stop - start).count();
    const double peak = PeakResidentBytes();
    const selvane::PassCounts after = selvane::ReadPassCounts();
    const double passes = static_cast<double>(after.passes - before.passes);
    const double iterations =
        static_cast<double>(after.iterations - before.iterations);

    // The rows the call must hold: WorkRows and DataMatrix (D+1 doubles per
    // item each) and MaskMatrix (D+1 ints), their three pointer arrays,
    // and a malloc header (16 bytes) per row.
    const double n = items;
    const double width = dimensions + 1.0;
    const double rows = width * (8 + 8 + 4) * n;
    const double rowOverheads = 3 * 8 * n + 3 * 16 * n;
    const double budget = rows + rowOverheads;
    const double used = peak - (peakBefore > baseline ? peakBefore : baseline);

    std::vector<long> sizes(static_cast<std::size_t>(clusters), 0);
    long unclustered = 0;
    for (double r : result) {
        if (r >= 0.0 && r < clusters) {
            sizes[static_cast<std::size_t>(r)] += 1;
        } else {
            ++unclustered;
        }
    }

    std::printf("items %d, dimensions %d, clusters %d%s%s\n", items, dimensions,
                clusters,
                kind == "o"   ? ", overlapping"
                : kind == "m" ? ", differing in direction"
                              : "",
                metric == "e"   ? ", k-means, Euclidean, engine entry"
                : metric == "u" ? ", k-means, correlation, engine entry"
                                : "");
    std::printf("sweep                %d doubles per register\n",
                selvane::SweepWidthFor(
                    clusters, selvane::SettingsFromEnvironment().sweepWidth));
    std::printf("wall time            %.1f s\n", seconds);
    std::printf(
        "iterations per pass  %.1f (%.3f ns per item, cluster and "
        "iteration)\n",
        iterations / passes, seconds * 1e9 / (iterations * items * clusters));
    std::printf("peak resident        %.1f MiB (caller's arrays %.1f MiB)\n",
                peak / 1048576.0, baseline / 1048576.0);
    std::printf("taken by the call    %.1f MiB\n", used / 1048576.0);
    std::printf(
        "rows (D+1)*20*N      %.1f MiB, + pointers and headers "
        "%.1f MiB = %.1f MiB\n",
        rows / 1048576.0, rowOverheads / 1048576.0, budget / 1048576.0);
    std::printf("ratio taken / budget %.2f\n", used / budget);
    std::printf("cluster sizes       ");
    for (long s : sizes) std::printf(" %ld", s);
    std::printf("%s\n", unclustered ? "  (some items unclustered)" : "");
    return unclustered ? 1 : 0;
}
