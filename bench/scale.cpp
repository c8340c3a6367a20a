// One large job through the exported function's body: wall time and peak
// resident memory, set against the working storage the call must hold,
// (D+1)·(8+8+4)·N bytes of rows plus their pointers and allocator
// overheads.
//
//   selvane_scale [items [dimensions [clusters [o]]]]   default 1000000 8 8
//
// o asks for overlapping clusters, which take many more iterations.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "OverlappingInput.h"
#include "common/PassCounters.h"
#include "entry/RunJob.h"
#include "random/SeedWords.h"

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

}  // namespace

int main(int argc, char** argv) {
    const int items = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int dimensions = argc > 2 ? std::atoi(argv[2]) : 8;
    const int clusters = argc > 3 ? std::atoi(argv[3]) : 8;
    const bool overlapping = argc > 4 && std::string(argv[4]) == "o";
    if (items < 1 || dimensions < 1 || clusters < 1 ||
        (argc > 4 && !overlapping)) {
        std::fprintf(stderr,
                     "usage: selvane_scale [items [dims [clusters [o]]]]\n");
        return 2;
    }

    const std::vector<double> input =
        overlapping
            ? OverlappingInput(items, dimensions, clusters,
                               2024u + static_cast<std::uint32_t>(items))
            : MakeInput(items, dimensions, clusters);
    std::vector<double> result(static_cast<std::size_t>(items), -2.0);
    // Touch every page the caller owns, so the baseline includes them.
    const double baseline = ResidentBytes();
    const double peakBefore = PeakResidentBytes();

    selvane::StoreSeedWords({12345, 67890});
    const selvane::PassCounts before = selvane::ReadPassCounts();
    const auto start = std::chrono::steady_clock::now();
    selvane::RunJob(items, dimensions, input.data(), clusters, result.data());
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

    std::printf("items %d, dimensions %d, clusters %d%s\n", items, dimensions,
                clusters, overlapping ? ", overlapping" : "");
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
