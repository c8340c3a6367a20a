// Speed of Selvane against scikit-learn and R on a suite of deterministic
// jobs, with everything the comparison depends on named.
//
//   selvane_bench --library PATH [--peers DIR] [--no-peers] [--no-literal]
//                 [--jobs NxDxK[s|o|m],...] [--medians]
//
// Data kinds (BenchInputs.h): s, well-separated profiles; o, overlapping
// Gaussian clusters; m, clusters that differ in direction, with log-normal
// magnitudes and multiplicative noise. The default suite: o and m at
// 16 values and 8 clusters, a wide job (128 values, 12 clusters) and a
// many-cluster job (16 values, 32 clusters) of kind m, each at 10^4 and 10^5
// items.
//
// Per job:
// - iterations per pass, from one call of the same code linked in, with
//   its pass counters, from pinned seed words;
// - on jobs of at most 10^4 items (unless --no-literal), the same call on
//   the literal sweep (one distance call per item and cluster) and on every
//   vector width this processor has: all must give the same numbers after
//   the same iterations, or the bench stops;
// - the exported function through the shared library (dlopen), median wall
//   time of several calls, on one thread and at the default thread count
//   (SELVANE_THREADS unset); on a processor with AVX-512, one thread with
//   the other of AVX2 and AVX-512 forced (SELVANE_SWEEP), so the default
//   can be seen to be the faster;
// - the peers on the same prepared rows (unit rows plus the relative
//   magnitude column, written to a temporary file): scikit-learn
//   KMeans(n_clusters=K, n_init=200, init='random') on one thread and on
//   every processor, and R's kmeans(nstart=200) (Hartigan-Wong, one
//   thread). The ratio to the best peer is printed only when scikit-learn
//   runs on OpenBLAS: on the reference BLAS it is not the peer users get.
// With --medians, k-medians through the engine entry on the same prepared
// rows (200 passes, uncentered correlation) on one thread and by default.
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchInputs.h"
#include "common/PassCounters.h"
#include "engine/ClusterEngine.h"
#include "engine/sweep/SweepDispatch.h"
#include "entry/RunJob.h"
#include "random/SeedWords.h"
#include "selvane.h"

namespace {

using SelvaneFunction = void (*)(int, int, const double*, int, double*);

constexpr selvane::SeedWords kPinnedWords{12345, 67890};

// Jobs of at most this many items are checked against the literal sweep
// and timed several times; the bigger ones once.
constexpr int kSmallJob = 10000;

struct Job {
    int n, d, k;
    char kind;  // 's', 'o' or 'm'
};

struct Options {
    std::string library;
    std::string peers = "bench";
    bool runPeers = true;
    bool runLiteral = true;
    bool runMedians = false;
    std::vector<Job> jobs = {{10000, 16, 8, 'o'},    {10000, 16, 8, 'm'},
                             {10000, 128, 12, 'm'},  {10000, 16, 32, 'm'},
                             {100000, 16, 8, 'o'},   {100000, 16, 8, 'm'},
                             {100000, 128, 12, 'm'}, {100000, 16, 32, 'm'}};
};

int Processors() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

// 0: unset, the library's default.
void SetThreads(int threads) {
    if (threads == 0) {
        unsetenv("SELVANE_THREADS");
    } else {
        setenv("SELVANE_THREADS", std::to_string(threads).c_str(), 1);
    }
}

// Empty: unset, the library's default.
void SetSweep(const std::string& name) {
    if (name.empty()) {
        unsetenv("SELVANE_SWEEP");
    } else {
        setenv("SELVANE_SWEEP", name.c_str(), 1);
    }
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

int RunsFor(const Job& job) { return job.n <= kSmallJob ? 3 : 1; }

// Strictly positive measurements in K well-separated groups: each group
// has its profile, each item a random scale and a little noise.
std::vector<double> SeparatedInput(const Job& job, std::uint32_t seed) {
    BenchRandom random(seed);
    std::vector<double> profiles(static_cast<std::size_t>(job.k) * job.d);
    for (double& p : profiles) p = 0.2 + 5.0 * random.Uniform();
    std::vector<double> input(static_cast<std::size_t>(job.n) * job.d);
    for (int i = 0; i < job.n; ++i) {
        const int group = i % job.k;
        const double scale = 0.5 + 3.0 * random.Uniform();
        for (int j = 0; j < job.d; ++j) {
            input[static_cast<std::size_t>(j) * job.n + i] =
                profiles[static_cast<std::size_t>(group) * job.d + j] * scale *
                (0.7 + 0.6 * random.Uniform());
        }
    }
    return input;
}

std::vector<double> MakeInput(const Job& job) {
    const std::uint32_t seed = 2024u + static_cast<std::uint32_t>(job.n);
    switch (job.kind) {
        case 'o': return OverlappingInput(job.n, job.d, job.k, seed);
        case 'm': return DirectionInput(job.n, job.d, job.k, seed);
        default: return SeparatedInput(job, seed);
    }
}

// The rows the engine clusters: each item scaled to unit length, then its
// norm relative to the largest. Row-major, N x (D+1).
std::vector<double> PreparedRows(const Job& job,
                                 const std::vector<double>& input) {
    const int columns = job.d + 1;
    std::vector<double> rows(static_cast<std::size_t>(job.n) * columns);
    double largest = 0.0;
    for (int i = 0; i < job.n; ++i) {
        double sum = 0.0;
        for (int j = 0; j < job.d; ++j) {
            const double v = input[static_cast<std::size_t>(j) * job.n + i];
            sum += v * v;
        }
        const double norm = std::sqrt(sum);
        double* row = &rows[static_cast<std::size_t>(i) * columns];
        for (int j = 0; j < job.d; ++j) {
            row[j] = input[static_cast<std::size_t>(j) * job.n + i] / norm;
        }
        row[job.d] = norm;
        largest = std::max(largest, norm);
    }
    for (int i = 0; i < job.n; ++i) {
        rows[static_cast<std::size_t>(i) * columns + job.d] /= largest;
    }
    return rows;
}

// Runs a command and returns its standard output; ok is false when it
// failed.
std::string Output(const std::string& command, bool* ok) {
    *ok = false;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "";
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    *ok = pclose(pipe) == 0;
    return output;
}

std::string LastLine(const std::string& text) {
    std::istringstream lines(text);
    std::string line, last;
    while (std::getline(lines, line)) {
        if (!line.empty()) last = line;
    }
    return last;
}

// The number on the last line of a command's output, or -1 when it failed.
double PeerSeconds(const std::string& command) {
    bool ok = false;
    const std::string last = LastLine(Output(command, &ok));
    char* end = nullptr;
    const double seconds = std::strtod(last.c_str(), &end);
    return ok && end != last.c_str() ? seconds : -1.0;
}

bool Installed(const std::string& probe) {
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ProcessorName() {
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) return line.substr(colon + 2);
        }
    }
    return "unknown processor";
}

std::string InstructionSets() {
    std::string sets;
    __builtin_cpu_init();
#define SELVANE_BENCH_ISA(name) \
    if (__builtin_cpu_supports(name)) sets += std::string(" ") + name;
    SELVANE_BENCH_ISA("sse2")
    SELVANE_BENCH_ISA("avx")
    SELVANE_BENCH_ISA("avx2")
    SELVANE_BENCH_ISA("fma")
    SELVANE_BENCH_ISA("avx512f")
    SELVANE_BENCH_ISA("avx512dq")
    SELVANE_BENCH_ISA("avx512bw")
    SELVANE_BENCH_ISA("avx512vl")
#undef SELVANE_BENCH_ISA
    return sets.empty() ? " none known" : sets;
}

std::string LoadAverage() {
    std::ifstream load("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    load >> one >> five >> fifteen;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

std::string Format(const char* format, double value) {
    if (value < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string JobName(const Job& job) {
    char name[48];
    std::snprintf(name, sizeof name, "%dx%dx%d %c", job.n, job.d, job.k,
                  job.kind);
    return name;
}

bool ParseJobs(const char* text, std::vector<Job>* jobs) {
    jobs->clear();
    std::istringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        Job job{};
        char kind = 's';
        const int read = std::sscanf(item.c_str(), "%dx%dx%d%c", &job.n, &job.d,
                                     &job.k, &kind);
        if (read < 3 || (kind != 's' && kind != 'o' && kind != 'm') ||
            job.n < 1 || job.d < 1 || job.k < 1 || job.k > job.n) {
            return false;
        }
        job.kind = kind;
        jobs->push_back(job);
    }
    return !jobs->empty();
}

bool ParseOptions(int argc, char** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--library" && i + 1 < argc) {
            options->library = argv[++i];
        } else if (arg == "--peers" && i + 1 < argc) {
            options->peers = argv[++i];
        } else if (arg == "--no-peers") {
            options->runPeers = false;
        } else if (arg == "--no-literal") {
            options->runLiteral = false;
        } else if (arg == "--jobs" && i + 1 < argc) {
            if (!ParseJobs(argv[++i], &options->jobs)) return false;
        } else if (arg == "--medians") {
            options->runMedians = true;
        } else {
            return false;
        }
    }
    return !options->library.empty();
}

struct Counted {
    std::vector<double> result;
    std::uint64_t passes;
    std::uint64_t iterations;
};

// The job in-process from the pinned seed words, on the sweep of that many
// lanes (0: the choice at run time), with its pass counts.
Counted CountedRun(const Job& job, const std::vector<double>& input,
                   int lanes) {
    selvane::ForceSweepWidth(lanes);
    Counted run{std::vector<double>(static_cast<std::size_t>(job.n)), 0, 0};
    selvane::StoreSeedWords(kPinnedWords);
    const selvane::PassCounts before = selvane::ReadPassCounts();
    selvane::RunJob(job.n, job.d, input.data(), job.k, run.result.data());
    const selvane::PassCounts after = selvane::ReadPassCounts();
    selvane::ForceSweepWidth(0);
    run.passes = after.passes - before.passes;
    run.iterations = after.iterations - before.iterations;
    return run;
}

// Median wall seconds of the exported function through the library.
double TimeSelvane(SelvaneFunction selvane, const Job& job,
                   const std::vector<double>& input, int threads,
                   const std::string& sweep) {
    SetThreads(threads);
    SetSweep(sweep);
    std::vector<double> result(static_cast<std::size_t>(job.n));
    std::vector<double> times;
    for (int run = 0; run < RunsFor(job); ++run) {
        const auto start = std::chrono::steady_clock::now();
        selvane(job.n, job.d, input.data(), job.k, result.data());
        times.push_back(Seconds(std::chrono::steady_clock::now() - start));
    }
    SetThreads(0);
    SetSweep("");
    return Median(times);
}

struct Peers {
    bool sklearn = false;
    bool openblas = false;  // scikit-learn's BLAS is OpenBLAS
    bool r = false;
    std::string python;  // the command that runs peers.py
    std::string description;
};

Peers FindPeers(const Options& options) {
    Peers peers;
    if (!options.runPeers) return peers;
    // Debian's interpreter, where Debian's scikit-learn is (SELVANE_PYTHON
    // overrides it). OpenBLAS settings meant for older builds slow a
    // current numpy: the peers run without them.
    const char* interpreter = std::getenv("SELVANE_PYTHON");
    const std::string pythonPath =
        interpreter && *interpreter ? interpreter : "/usr/bin/python3";
    peers.python = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE " +
                   pythonPath + " " + options.peers + "/peers.py";
    peers.sklearn =
        Installed(pythonPath + " -c 'import sklearn, threadpoolctl'");
    if (peers.sklearn) {
        bool ok = false;
        const std::string text = Output(peers.python + " --describe", &ok);
        peers.openblas = ok && LastLine(text) == "openblas";
        peers.description += text.substr(0, text.rfind(LastLine(text)));
    } else {
        peers.description +=
            "scikit-learn: not installed (scripts/bench installs it)\n";
    }
    peers.r = Installed("Rscript --version");
    if (peers.r) {
        bool ok = false;
        peers.description +=
            Output("Rscript " + options.peers + "/peers.R --describe", &ok);
    } else {
        peers.description += "R: not installed (scripts/bench installs it)\n";
    }
    return peers;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: %s --library PATH [--peers DIR] [--no-peers] "
                     "[--no-literal] [--jobs NxDxK[s|o|m],...] [--medians]\n",
                     argv[0]);
        return 2;
    }
    void* handle = dlopen(options.library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "cannot load %s: %s\n", options.library.c_str(),
                     dlerror());
        return 1;
    }
    const auto selvane =
        reinterpret_cast<SelvaneFunction>(dlsym(handle, "Selvane"));
    if (!selvane) {
        std::fprintf(stderr, "%s has no Selvane\n", options.library.c_str());
        return 1;
    }
    // The library reads these itself; the bench sets them per measurement.
    SetThreads(0);
    SetSweep("");

    const Peers peers = FindPeers(options);
    const int processors = Processors();
    const bool avx512 = selvane::SweepWidthSupported(selvane::kAvx512Lanes) &&
                        selvane::SweepWidthSupported(selvane::kAvx2Lanes);
    std::printf("Processor: %s, %d processors; instruction sets:%s\n",
                ProcessorName().c_str(), processors, InstructionSets().c_str());
    std::printf("Selvane %s (%s", SELVANE_VERSION_STRING,
                options.library.c_str());
#if defined(__clang__)
    std::printf(", clang %s", __clang_version__);
#elif defined(__GNUC__)
    std::printf(", GCC %s", __VERSION__);
#endif
    std::printf("); sweep by default: %s at 8 clusters, %s at 32\n",
                selvane::SweepWidthName(selvane::SweepWidthFor(8, 0)),
                selvane::SweepWidthName(selvane::SweepWidthFor(32, 0)));
    std::printf("%s", peers.description.c_str());
    if (peers.sklearn && !peers.openblas) {
        std::printf(
            "scikit-learn is NOT running on OpenBLAS: its times are shown, "
            "but no ratio to the peers is printed\n");
    }
    std::printf("Load average at the start: %s\n\n", LoadAverage().c_str());
    std::printf(
        "| job | iter/pass | 1 thr s | ns/ici | %d thr s | speed-up | AVX2 1 "
        "thr s | AVX-512 1 thr s | sklearn 1 thr s | sklearn %d thr s | R s "
        "| %d thr / best peer |\n",
        processors, processors, processors);
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::fflush(stdout);

    char tempName[] = "/tmp/selvane-bench-XXXXXX";
    const int tempFile = mkstemp(tempName);
    if (tempFile < 0) {
        std::perror("mkstemp");
        return 1;
    }
    close(tempFile);

    std::vector<std::string> medianLines;
    for (const Job& job : options.jobs) {
        const std::vector<double> input = MakeInput(job);
        const std::string name = JobName(job);

        // Iterations per pass do not depend on the thread count or the
        // width; from pinned seed words, so that every run of the bench
        // counts the same passes and every sweep can be compared.
        SetThreads(processors);
        const Counted counted = CountedRun(job, input, 0);
        const double iterationsPerPass =
            static_cast<double>(counted.iterations) /
            static_cast<double>(counted.passes);
        const double itemClusterIterations =
            static_cast<double>(job.n) * job.k *
            static_cast<double>(counted.iterations);
        if (options.runLiteral && job.n <= kSmallJob) {
            // The literal sweep defines the result: every sweep must give
            // the same numbers after the same iterations.
            for (int lanes : {selvane::kLiteralSweep, selvane::kSse2Lanes,
                              selvane::kAvx2Lanes, selvane::kAvx512Lanes}) {
                if (!selvane::SweepWidthSupported(lanes)) continue;
                const Counted other = CountedRun(job, input, lanes);
                if (other.result != counted.result ||
                    other.iterations != counted.iterations) {
                    std::fprintf(stderr,
                                 "%s: the %s sweep disagrees with the "
                                 "default one\n",
                                 name.c_str(), selvane::SweepWidthName(lanes));
                    return 1;
                }
            }
        }
        SetThreads(0);

        const double oneThread = TimeSelvane(selvane, job, input, 1, "");
        const double allThreads = TimeSelvane(selvane, job, input, 0, "");
        double avx2 = -1.0, avx512Time = -1.0;
        // The default width's time is the one-thread time already taken.
        const int defaultWidth = selvane::SweepWidthFor(job.k, 0);
        if (defaultWidth == selvane::kAvx2Lanes) avx2 = oneThread;
        if (defaultWidth == selvane::kAvx512Lanes) avx512Time = oneThread;
        if (avx512) {
            if (avx2 < 0) avx2 = TimeSelvane(selvane, job, input, 1, "avx2");
            if (avx512Time < 0) {
                avx512Time = TimeSelvane(selvane, job, input, 1, "avx512");
            }
        }

        double sklearn1 = -1.0, sklearnAll = -1.0, r = -1.0;
        const std::vector<double> rows = PreparedRows(job, input);
        if (peers.sklearn || peers.r) {
            std::ofstream out(tempName, std::ios::binary | std::ios::trunc);
            out.write(
                reinterpret_cast<const char*>(rows.data()),
                static_cast<std::streamsize>(rows.size() * sizeof(double)));
            out.close();
            const std::string shape = " " + std::to_string(job.n) + " " +
                                      std::to_string(job.d + 1) + " " +
                                      std::to_string(job.k) + " ";
            const std::string runs = std::to_string(RunsFor(job));
            if (peers.sklearn) {
                sklearn1 = PeerSeconds(peers.python + " --time " + tempName +
                                       shape + "1 " + runs);
                sklearnAll =
                    PeerSeconds(peers.python + " --time " + tempName + shape +
                                std::to_string(processors) + " " + runs);
            }
            if (peers.r) {
                r = PeerSeconds("Rscript " + options.peers + "/peers.R " +
                                tempName + shape + runs);
            }
        }
        double best = -1.0;
        for (double peer : {sklearn1, sklearnAll, r}) {
            if (peer >= 0 && (best < 0 || peer < best)) best = peer;
        }
        const bool ratio = best > 0 && (peers.openblas || !peers.sklearn) &&
                           peers.r;
        std::printf(
            "| %s | %.1f | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s "
            "|\n",
            name.c_str(), iterationsPerPass, Format("%.3f", oneThread).c_str(),
            Format("%.2f", oneThread * 1e9 / itemClusterIterations).c_str(),
            Format("%.3f", allThreads).c_str(),
            Format("%.2fx", oneThread / allThreads).c_str(),
            Format("%.3f", avx2).c_str(), Format("%.3f", avx512Time).c_str(),
            Format("%.3f", sklearn1).c_str(),
            Format("%.3f", sklearnAll).c_str(), Format("%.3f", r).c_str(),
            ratio ? Format("%.2f", allThreads / best).c_str() : "-");
        std::fflush(stdout);

        if (options.runMedians) {
            // The prepared rows through the engine entry, all present,
            // unit weights: the exported function's job with medians.
            const int columns = job.d + 1;
            std::vector<const double*> rowPointers(job.n);
            std::vector<int> maskRow(static_cast<std::size_t>(columns), 1);
            std::vector<const int*> maskPointers(job.n, maskRow.data());
            for (int i = 0; i < job.n; ++i) {
                rowPointers[i] = &rows[static_cast<std::size_t>(i) * columns];
            }
            std::vector<double> weights(static_cast<std::size_t>(columns), 1.0);
            std::vector<int> ids(job.n);
            for (int threads : {1, 0}) {
                double error = 0.0;
                int found = 0;
                selvane::RunSettings run;
                run.threadCount = threads;
                const auto start = std::chrono::steady_clock::now();
                selvane::ClusterEngine().PartitionClusters(
                    job.k, job.n, columns, rowPointers.data(),
                    maskPointers.data(), weights.data(), 0, 200, 'm', 'u',
                    ids.data(), &error, &found, selvane::ProcessGenerator(),
                    run, nullptr);
                char line[128];
                std::snprintf(line, sizeof line, "%-16s %3d %9.3f s (found %d)",
                              name.c_str(), threads ? threads : processors,
                              Seconds(std::chrono::steady_clock::now() - start),
                              found);
                medianLines.push_back(line);
            }
        }
    }
    if (!medianLines.empty()) {
        std::printf(
            "\nk-medians, 200 passes, through the engine entry (threads, "
            "seconds):\n");
        for (const std::string& line : medianLines) {
            std::printf("%s\n", line.c_str());
        }
    }
    std::remove(tempName);
    std::printf(
        "\nLoad average at the end: %s\n"
        "Jobs NxDxK: N items of D values in K groups; o overlapping "
        "Gaussian clusters, m clusters that differ in direction with "
        "multiplicative noise, s well-separated profiles. Times are wall "
        "seconds per call of 200 passes (median of %d calls up to %d items, "
        "else one); ns/ici is one thread's nanoseconds per item, cluster and "
        "iteration; speed-up is one thread's time over the default's; the "
        "last column is Selvane's time at the default thread count over "
        "the fastest peer's.\n",
        LoadAverage().c_str(), RunsFor(Job{kSmallJob, 1, 1, 's'}), kSmallJob);
    return 0;
}
