// Speed of Selvane against its own literal sweep, scikit-learn and R, on
// deterministic jobs with cluster structure.
//
//   selvane_bench --library PATH [--peers DIR] [--no-peers] [--no-literal]
//                 [--jobs N1xD1xK1[o],...] [--threads T1,T2,...]
//                 [--medians]
//
// A job NxDxK has well-separated groups; NxDxKo has Gaussian clusters whose
// noise is a third of the spread of their centres, so that they overlap as
// real measurements do (and passes take more iterations).
//
// Per job: the exported function through the shared library (dlopen), the
// median wall time of several calls, at every thread count (SELVANE_THREADS;
// by default 1 up to the processors available); passes per second (200 per
// call); mean iterations per pass, from one more call of the same code
// linked in, with its pass counters; nanoseconds per item, cluster and
// iteration; multiply-adds per second, N·K·(D+1) per iteration; the literal
// sweep (the same code forced to call the distance function once per item
// and cluster), on one thread. With --medians, k-medians through the engine
// entry on the same prepared rows (200 passes, uncentered correlation) at
// every thread count. The peers, when installed, cluster the same prepared
// rows (unit rows plus the relative-magnitude column, written to a temporary
// file): scikit-learn KMeans(n_clusters=K, n_init=200, init='random') with
// one and with two threads, and R's kmeans(nstart=200).
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

#include "OverlappingInput.h"
#include "common/PassCounters.h"
#include "engine/ClusterEngine.h"
#include "engine/sweep/SweepDispatch.h"
#include "entry/RunJob.h"
#include "random/SeedWords.h"

namespace {

using SelvaneFunction = void (*)(int, int, const double*, int, double*);

constexpr selvane::SeedWords kPinnedWords{12345, 67890};

struct Job {
    int n, d, k;
    bool overlapping;
};

struct Options {
    std::string library;
    std::string peers = "bench";
    bool runPeers = true;
    bool runLiteral = true;
    bool runMedians = false;
    std::vector<int> threads;  // empty: 1 up to the processors available
    std::vector<Job> jobs = {{150, 4, 3, false},    {1000, 8, 4, false},
                             {10000, 16, 8, false}, {100000, 16, 8, false},
                             {10000, 16, 8, true},  {100000, 16, 8, true}};
};

int Processors() {
    const long count = sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

void SetThreads(int threads) {
    setenv("SELVANE_THREADS", std::to_string(threads).c_str(), 1);
}

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// Fewer calls for the bigger jobs: a call of the largest takes seconds.
int RunsFor(const Job& job) {
    const double work = static_cast<double>(job.n) * job.d * job.k;
    return work < 1e5 ? 7 : work < 1e6 ? 5 : 3;
}

// Strictly positive measurements in K groups: each group has its profile,
// each item a random scale and a little noise. An integer LCG keeps the
// values the same on every machine.
std::vector<double> MakeInput(const Job& job, std::uint32_t seed) {
    std::uint32_t state = seed;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    if (job.overlapping) {
        return OverlappingInput(job.n, job.d, job.k, seed);
    }
    std::vector<double> profiles(static_cast<std::size_t>(job.k) * job.d);
    for (double& p : profiles) p = 0.2 + 5.0 * next();
    std::vector<double> input(static_cast<std::size_t>(job.n) * job.d);
    for (int i = 0; i < job.n; ++i) {
        const int group = i % job.k;
        const double scale = 0.5 + 3.0 * next();
        for (int j = 0; j < job.d; ++j) {
            input[static_cast<std::size_t>(j) * job.n + i] =
                profiles[static_cast<std::size_t>(group) * job.d + j] * scale *
                (0.7 + 0.6 * next());
        }
    }
    return input;
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

// Runs a command and returns the number on the last line of its output, or
// a negative number when it failed.
double PeerSeconds(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1.0;
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    if (status != 0) return -1.0;
    std::istringstream lines(output);
    std::string line, last;
    while (std::getline(lines, line)) {
        if (!line.empty()) last = line;
    }
    char* end = nullptr;
    const double seconds = std::strtod(last.c_str(), &end);
    return end != last.c_str() ? seconds : -1.0;
}

bool Installed(const std::string& probe) {
    return std::system((probe + " >/dev/null 2>&1").c_str()) == 0;
}

// Clock of the machine as lscpu reports it (maximum, else current, else the
// BogoMIPS rating halved), in GHz; 0 when unknown.
double NominalGigahertz() {
    FILE* pipe = popen("lscpu 2>/dev/null", "r");
    if (!pipe) return 0.0;
    double maxMhz = 0.0, mhz = 0.0, bogomips = 0.0;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        const char* colon = std::strchr(line, ':');
        if (!colon) continue;
        const double value = std::atof(colon + 1);
        if (std::strncmp(line, "CPU max MHz", 11) == 0)
            maxMhz = value;
        else if (std::strncmp(line, "CPU MHz", 7) == 0)
            mhz = value;
        else if (std::strncmp(line, "BogoMIPS", 8) == 0)
            bogomips = value;
    }
    pclose(pipe);
    if (maxMhz > 0) return maxMhz / 1000.0;
    if (mhz > 0) return mhz / 1000.0;
    return bogomips / 2000.0;
}

std::string Ratio(double peer, double selvane) {
    if (peer < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2fx", peer / selvane);
    return text;
}

std::string Time(double seconds) {
    if (seconds < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

bool ParseJobs(const char* text, std::vector<Job>* jobs) {
    jobs->clear();
    std::istringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        Job job{};
        char kind = 0;
        const int read = std::sscanf(item.c_str(), "%dx%dx%d%c", &job.n, &job.d,
                                     &job.k, &kind);
        if (read < 3 || (read == 4 && kind != 'o') || job.n < 1 || job.d < 1 ||
            job.k < 1 || job.k > job.n) {
            return false;
        }
        job.overlapping = read == 4;
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
        } else if (arg == "--threads" && i + 1 < argc) {
            std::istringstream list(argv[++i]);
            std::string item;
            while (std::getline(list, item, ',')) {
                const int t = std::atoi(item.c_str());
                if (t < 1) return false;
                options->threads.push_back(t);
            }
        } else if (arg == "--medians") {
            options->runMedians = true;
        } else {
            return false;
        }
    }
    return !options->library.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr,
                     "usage: %s --library PATH [--peers DIR] [--no-peers] "
                     "[--no-literal] [--jobs NxDxK[o],...] [--threads T,...] "
                     "[--medians]\n",
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

    // Debian's interpreter, where Debian's scikit-learn is. OpenBLAS
    // settings meant for older builds slow a current numpy: the peers run
    // without them.
    const char* interpreter = std::getenv("SELVANE_PYTHON");
    const std::string pythonPath =
        interpreter && *interpreter ? interpreter : "/usr/bin/python3";
    const std::string python = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE " +
                               pythonPath + " " + options.peers + "/peers.py";
    const bool haveSklearn =
        options.runPeers &&
        Installed(pythonPath + " -c 'import sklearn, threadpoolctl'");
    const bool haveR = options.runPeers && Installed("Rscript --version");
    std::string peerDescription;
    if (haveSklearn) {
        if (FILE* pipe = popen((python + " --describe").c_str(), "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, pipe)) peerDescription += line;
            pclose(pipe);
        }
    }

    const int widest = selvane::SweepWidthFor(8);
    const double ghz = NominalGigahertz();
    // Without FMA: two multiply pipes and two add pipes, each a register
    // wide, per cycle and core.
    const double lanes = widest == selvane::kLiteralSweep ? 1.0 : widest;
    const double limit = ghz * 1e9 * 2.0 * lanes;
    std::printf(
        "Selvane sweep: %d doubles per register at run time; "
        "clock %.2f GHz (lscpu); one core's limit without FMA "
        "%.1f G multiply-adds/s\n",
        widest, ghz, limit / 1e9);
    std::printf("sklearn: %s; R: %s\n%s\n",
                haveSklearn ? "KMeans(n_init=200, init='random')"
                            : "not installed (scripts/bench --install-peers)",
                haveR ? "kmeans(nstart=200)" : "not installed",
                peerDescription.c_str());
    std::vector<int> threadCounts = options.threads;
    if (threadCounts.empty()) {
        for (int t = 1; t <= Processors(); ++t) threadCounts.push_back(t);
    }
    std::printf(
        "%-14s %3s %9s %6s %7s %7s %8s %9s %7s %9s %7s %9s %7s %9s %7s\n",
        "job NxDxK", "thr", "selvane s", "x thr1", "iter/p", "ns/ici",
        "Gmadd/s", "literal s", "x", "skl1 s", "x", "skl2 s", "x", "R s", "x");
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
        const std::vector<double> input = MakeInput(job, 2024u + job.n);
        std::vector<double> result(job.n);
        const int runs = RunsFor(job);
        char name[32];
        std::snprintf(name, sizeof name, "%dx%dx%d%s", job.n, job.d, job.k,
                      job.overlapping ? "o" : "");

        // Iterations per pass do not depend on the thread count, so they
        // are counted on every processor; from pinned seed words, so that
        // every run of the bench counts the same passes and the literal
        // sweep can be compared.
        SetThreads(Processors());
        selvane::StoreSeedWords(kPinnedWords);
        const selvane::PassCounts before = selvane::ReadPassCounts();
        selvane::RunJob(job.n, job.d, input.data(), job.k, result.data());
        const selvane::PassCounts after = selvane::ReadPassCounts();
        const double passes = static_cast<double>(after.passes - before.passes);
        const double iterationsPerPass =
            static_cast<double>(after.iterations - before.iterations) / passes;
        const double itemClusterIterations =
            static_cast<double>(job.n) * job.k * iterationsPerPass * passes;
        const double multiplyAdds = itemClusterIterations * (job.d + 1);

        double literal = -1.0;
        if (options.runLiteral) {
            selvane::ForceSweepWidth(selvane::kLiteralSweep);
            // The literal sweep defines the result: the vector sweep must
            // give the same numbers after the same iterations.
            std::vector<double> literalResult(result.size());
            selvane::StoreSeedWords(kPinnedWords);
            const selvane::PassCounts literalStart = selvane::ReadPassCounts();
            selvane::RunJob(job.n, job.d, input.data(), job.k,
                            literalResult.data());
            const selvane::PassCounts literalEnd = selvane::ReadPassCounts();
            if (literalResult != result ||
                literalEnd.iterations - literalStart.iterations !=
                    after.iterations - before.iterations) {
                std::fprintf(stderr,
                             "%dx%dx%d: the vector sweep disagrees with the "
                             "literal sweep\n",
                             job.n, job.d, job.k);
                return 1;
            }
            std::vector<double> literalTimes;
            const int literalRuns = runs > 3 ? 3 : 1;
            for (int r = 0; r < literalRuns; ++r) {
                const auto start = std::chrono::steady_clock::now();
                selvane::RunJob(job.n, job.d, input.data(), job.k,
                                result.data());
                literalTimes.push_back(
                    Seconds(std::chrono::steady_clock::now() - start));
            }
            selvane::ForceSweepWidth(0);
            literal = Median(literalTimes);
        }

        double sklearn1 = -1.0, sklearn2 = -1.0, r = -1.0;
        const std::vector<double> rows = PreparedRows(job, input);
        if (haveSklearn || haveR) {
            std::ofstream out(tempName, std::ios::binary | std::ios::trunc);
            out.write(
                reinterpret_cast<const char*>(rows.data()),
                static_cast<std::streamsize>(rows.size() * sizeof(double)));
            out.close();
            const int peerRuns = job.n >= 100000 ? 1 : 3;
            const std::string shape = " " + std::to_string(job.n) + " " +
                                      std::to_string(job.d + 1) + " " +
                                      std::to_string(job.k) + " ";
            if (haveSklearn) {
                sklearn1 = PeerSeconds(python + " --time " + tempName + shape +
                                       "1 " + std::to_string(peerRuns));
                sklearn2 = PeerSeconds(python + " --time " + tempName + shape +
                                       "2 " + std::to_string(peerRuns));
            }
            if (haveR) {
                r = PeerSeconds("Rscript " + options.peers + "/peers.R " +
                                tempName + shape + std::to_string(peerRuns));
            }
        }

        double oneThread = -1.0;
        for (std::size_t t = 0; t < threadCounts.size(); ++t) {
            SetThreads(threadCounts[t]);
            std::vector<double> times;
            for (int run = 0; run < runs; ++run) {
                const auto start = std::chrono::steady_clock::now();
                selvane(job.n, job.d, input.data(), job.k, result.data());
                times.push_back(
                    Seconds(std::chrono::steady_clock::now() - start));
            }
            const double fast = Median(times);
            if (t == 0) oneThread = fast;
            const bool first = t == 0;
            std::printf(
                "%-14s %3d %9.4f %6.2f %7.2f %7.3f %8.2f %9s %7s %9s %7s %9s "
                "%7s %9s %7s\n",
                first ? name : "", threadCounts[t], fast, oneThread / fast,
                iterationsPerPass, fast * 1e9 / itemClusterIterations,
                multiplyAdds / fast / 1e9, first ? Time(literal).c_str() : "",
                first ? Ratio(literal, fast).c_str() : "",
                Time(sklearn1).c_str(), Ratio(sklearn1, fast).c_str(),
                Time(sklearn2).c_str(), Ratio(sklearn2, fast).c_str(),
                Time(r).c_str(), Ratio(r, fast).c_str());
            std::fflush(stdout);
        }

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
            for (int threads : threadCounts) {
                SetThreads(threads);
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
                std::snprintf(line, sizeof line, "%-14s %3d %9.3f s (found %d)",
                              name, threads,
                              Seconds(std::chrono::steady_clock::now() - start),
                              found);
                medianLines.push_back(line);
            }
        }
    }
    unsetenv("SELVANE_THREADS");
    if (!medianLines.empty()) {
        std::printf("\nk-medians, 200 passes, through the engine entry:\n");
        for (const std::string& line : medianLines) {
            std::printf("%s\n", line.c_str());
        }
    }
    std::remove(tempName);
    std::printf(
        "\nTimes are wall seconds per call (medians); x is how many "
        "times longer the other took than Selvane at that thread "
        "count; x thr1 is the speed-up over one thread; ns/ici is "
        "wall nanoseconds per item, cluster and iteration.\n");
    return 0;
}
