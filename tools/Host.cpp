#include "Host.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "HostError.h"
#include "LibraryLoader.h"
#include "Magnitude.h"
#include "Options.h"
#include "OutputFile.h"
#include "ProgressIndicator.h"
#include "ResultCsv.h"
#include "Summary.h"
#include "SvgPlot.h"
#include "Table.h"
#include "ThreadSetting.h"

namespace selvane::host {

namespace fs = std::filesystem;

namespace {

// When no item can be measured, a column with nothing usable in it is the
// likely reason: named, with the option that leaves it out. Empty when no
// single column explains it.
std::string ColumnBlame(const Table& table) {
    const std::size_t n = table.itemCount;
    std::string empty;
    std::string notPositive;
    for (std::size_t d = 0; d < table.dimensionCount; ++d) {
        bool anyValue = false;
        bool anyPositive = false;
        for (std::size_t i = 0; i < n; ++i) {
            const double v = table.values[d * n + i];
            anyValue = anyValue || !std::isnan(v);
            anyPositive = anyPositive || v > 0.0;
        }
        std::string& list = anyValue ? notPositive : empty;
        if (!anyPositive && list.empty()) list = DimensionName(table, d);
    }
    if (!empty.empty()) return empty + " has no value on any line; leave it out with --columns";
    if (!notPositive.empty()) {
        return notPositive +
               " has no value greater than zero; leave it out with --columns, or cluster the "
               "values as they stand with --raw";
    }
    return std::string();
}

// Whole numbers 0 .. clusterCount-1, or a foreign or broken library,
// reported rather than written out.
std::vector<int> ClusterNumbers(const std::vector<double>& result, int clusterCount,
                                const Table& table) {
    std::vector<int> clusters(result.size());
    for (std::size_t i = 0; i < result.size(); ++i) {
        const double value = result[i];
        if (!(value >= 0.0 && value < clusterCount && value == std::floor(value))) {
            throw HostError(
                kExitJob, "the library returned no valid cluster number for " + ItemName(table, i));
        }
        clusters[i] = static_cast<int>(value);
    }
    return clusters;
}

// A column that holds no usable value explains a refusal.
std::string WithBlame(const std::string& message, const Table& table) {
    const std::string blame = ColumnBlame(table);
    return blame.empty() ? message : message + ": " + blame;
}

// How a raw job's picture says what was clustered.
std::string RawJobWords(const Options& options) {
    return std::string(options.metric == SELVANE_ENGINE_EUCLIDEAN ? "Euclidean distance"
                                                                  : "uncentered correlation") +
           ", " + (options.centres == SELVANE_ENGINE_MEDIANS ? "medians" : "means");
}

// How a raw job's passes started, when not from a random partition.
std::string StartWords(const Options& options) {
    switch (options.start) {
        case SELVANE_ENGINE_START_ITEMS: return " from items";
        case SELVANE_ENGINE_START_KMEANS_PLUS_PLUS: return " from k-means++ starts";
        default: return "";
    }
}

bool IsStandardOutput(const std::string& name) { return name.empty() || name == "-"; }

// Replacing the input would destroy the user's data; replacing the result
// with the picture would lose it.
void CheckOutputNames(const Options& options) {
    const bool input = options.input != "-";
    const bool output = !IsStandardOutput(options.output);
    if (input && output && SameFile(options.input, options.output)) {
        throw HostError(kExitUsage, "--output names the input file '" + options.input +
                                        "'; choose another name");
    }
    if (options.plot == "-" && !output) {
        throw HostError(kExitUsage,
                        "--plot - and the result would share standard output; give the "
                        "result a file with --output");
    }
    if (input && options.plot != "-" && !options.plot.empty() &&
        SameFile(options.input, options.plot)) {
        throw HostError(kExitUsage,
                        "--plot names the input file '" + options.input + "'; choose another name");
    }
    if (!options.plot.empty() && options.plot != "-" && output &&
        SameFile(options.output, options.plot)) {
        throw HostError(kExitUsage,
                        "--output and --plot name the same file '" + options.plot + "'");
    }
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

// What the engine library reports beside the cluster numbers.
struct EngineReport {
    double errorValue = 0.0;
    int foundCount = 0;
    int passes = 0;
    // A raw job's centres, cluster-major: what its picture draws.
    std::vector<double> centres;
    // The default job's magnitudes and ranked values.
    Magnitudes magnitudes;
};

void SELVANE_ENGINE_CALL ShowPasses(void* indicator, int done, int total) {
    static_cast<ProgressIndicator*>(indicator)->Passes(done, total);
}

// The default job, seeded or not, or a raw job, through the engine library.
std::vector<int> RunThroughEngine(const EngineFunctions& engine, const Options& options,
                                  const Table& table, const std::vector<double>& weights,
                                  ProgressIndicator* indicator, EngineReport& report) {
    const std::size_t n = table.itemCount;
    const int clusterCount = static_cast<int>(options.clusterCount);
    const std::size_t k = static_cast<std::size_t>(clusterCount);
    // The table is dimension-major: one item per column. A missing cell is
    // NaN, which a raw job leaves out when given no presence mask.
    selvane_engine_job job{};
    job.size = sizeof job;
    job.kind = options.raw ? SELVANE_ENGINE_JOB_CLUSTER : SELVANE_ENGINE_JOB_SELVANE;
    job.item_count = static_cast<int>(n);
    job.value_count = static_cast<int>(table.dimensionCount);
    job.values = table.values.data();
    job.layout = SELVANE_ENGINE_ITEMS_AS_COLUMNS;
    job.cluster_count = clusterCount;
    job.seed = options.seeded ? &options.seed : nullptr;
    job.thread_count = options.threads;
    job.progress = indicator != nullptr ? &ShowPasses : nullptr;
    job.progress_context = indicator;
    // NaN marks an element the library failed to write.
    std::vector<double> numbers(n, std::numeric_limits<double>::quiet_NaN());
    std::vector<int> ids(n, -1);
    std::vector<unsigned char> measurable(n, 0);
    std::vector<double> ranked(k, std::numeric_limits<double>::quiet_NaN());
    Magnitudes& magnitudes = report.magnitudes;
    magnitudes.relative.assign(n, 0.0);
    selvane_engine_result result{};
    result.size = sizeof result;
    result.cluster_ids = ids.data();
    if (options.raw) {
        job.weights = weights.empty() ? nullptr : weights.data();
        job.pass_count = options.passes;
        job.centres = options.centres;
        job.metric = options.metric;
        job.start = options.start;
        report.centres.assign(k * table.dimensionCount, 0.0);
        result.centres = report.centres.data();
    } else {
        result.ranked_numbers = numbers.data();
        result.magnitudes = magnitudes.relative.data();
        result.ranked_values = ranked.data();
        result.measurable = measurable.data();
    }
    const int code = engine.run(&job, &result);
    if (code == SELVANE_ENGINE_ERROR_NO_MEMORY) throw HostError(kExitMemory, "out of memory");
    if (code != SELVANE_ENGINE_OK) {
        const std::string message =
            std::string("the library could not cluster the items: ") + engine.strerror(code);
        throw HostError(kExitJob, code == SELVANE_ENGINE_ERROR_UNMEASURABLE
                                      ? WithBlame(message, table)
                                      : message);
    }
    report.errorValue = result.error_value;
    report.foundCount = result.found_count;
    report.passes = options.raw ? options.passes : 200;
    // A raw job's numbers are the engine's own; the default job's are
    // ranked, and its partition must be one too.
    for (std::size_t i = 0; i < n; ++i) {
        const bool known = ids[i] >= 0 && ids[i] < clusterCount;
        if (options.raw || !known) numbers[i] = known ? ids[i] : -1.0;
    }
    std::vector<int> clusters = ClusterNumbers(numbers, clusterCount, table);
    if (!options.raw) {
        magnitudes.ranked.assign(k, std::numeric_limits<double>::quiet_NaN());
        for (std::size_t i = 0; i < n; ++i) {
            magnitudes.measurable.push_back(measurable[i] != 0);
            magnitudes.measurableCount += measurable[i] != 0 ? 1 : 0;
            magnitudes.ranked[static_cast<std::size_t>(clusters[i])] =
                ranked[static_cast<std::size_t>(ids[i])];
        }
    }
    return clusters;
}

// Selvane() of the library --library names: the numbers alone.
std::vector<int> RunPlain(SelvaneFunction function, const Options& options, const Table& table) {
    const int clusterCount = static_cast<int>(options.clusterCount);
    std::vector<double> result(table.itemCount, std::numeric_limits<double>::quiet_NaN());
    function(static_cast<int>(table.itemCount), static_cast<int>(table.dimensionCount),
             table.values.data(), clusterCount, result.data());
    // -1.0 in every element is how the library says it could not cluster.
    for (double value : result) {
        if (value == -1.0) {
            throw HostError(kExitJob, WithBlame("the library could not cluster the items: no item "
                                                "can be measured, or memory ran out",
                                                table));
        }
    }
    return ClusterNumbers(result, clusterCount, table);
}

int Run(int argc, char** argv, const Libraries& libraries, std::ostream& out, std::ostream& err,
        bool errIsTerminal) {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
        out << UsageText() << std::flush;
        return kExitSuccess;
    }
    if (options.version) {
        out << VersionText() << std::flush;
        return kExitSuccess;
    }

    // A mistyped output path fails now, not after minutes of work.
    CheckOutputNames(options);
    const std::optional<OutputTarget> plotTarget =
        options.plot.empty() ? std::nullopt
                             : std::optional<OutputTarget>(CheckOutput(options.plot));
    const OutputTarget resultTarget =
        CheckOutput(IsStandardOutput(options.output) ? "-" : options.output);
    const Table table = ReadTableFile(options.input, options.read);
    CheckClusterCount(options, table.itemCount);
    const std::vector<double> weights = ParseWeights(options, table.dimensionCount);
    const bool plain = !options.library.empty();
    // The plain export takes no thread count; it reads the variable.
    const ThreadSetting threads(plain ? options.threads : 0);
    const SelvaneFunction function = plain ? libraries.selvane(options.library) : nullptr;
    const EngineFunctions engine = plain ? EngineFunctions()
                                         : libraries.engine(options.engineLibrary);

    const int clusterCount = static_cast<int>(options.clusterCount);
    EngineReport report;
    std::vector<int> clusters;
    const auto start = std::chrono::steady_clock::now();
    {
        // Only a person watching a terminal wants it; a log file would
        // fill with carriage returns.
        std::optional<ProgressIndicator> indicator;
        if (errIsTerminal && !options.quiet) {
            indicator.emplace(err,
                              "selvane: clustering " + Plural(table.itemCount, "item") + " into " +
                                  Plural(static_cast<std::size_t>(clusterCount), "cluster") + ":");
        }
        clusters = plain ? RunPlain(function, options, table)
                         : RunThroughEngine(engine, options, table, weights,
                                            indicator ? &*indicator : nullptr, report);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    const std::string csv = FormatResult(table, clusters);
    // The picture first: when it cannot be written, standard output stays
    // empty rather than holding a result the exit status calls failed.
    if (plotTarget) {
        const std::string title = options.input == "-"
                                      ? std::string("standard input")
                                      : fs::path(options.input).filename().string();
        WriteOutput(*plotTarget,
                    options.raw ? RenderRawPlot(table, clusters, clusterCount, report.centres,
                                                RawJobWords(options), title)
                                : RenderClusterPlot(table, report.magnitudes, clusters,
                                                    clusterCount, title),
                    out, "the picture");
    }
    WriteOutput(resultTarget, csv, out, "the result");
    if (options.quiet) return kExitSuccess;
    if (options.raw) {
        WriteSizesSummary(err, table, clusters, clusterCount, "raw engine job");
    } else if (plain) {
        WriteSizesSummary(err, table, clusters, clusterCount,
                          "Selvane() of '" + options.library + "'");
    } else {
        WriteSummary(err, table, report.magnitudes, clusters, clusterCount, elapsed.count());
    }
    if (!plain) {
        err.precision(17);
        err << "  error value " << report.errorValue << ", found by " << report.foundCount << " of "
            << report.passes << " passes" << StartWords(options)
            << (options.seeded ? ", seed " + std::to_string(options.seed) : std::string()) << "\n";
    }
    if (!options.plot.empty()) {
        err << "  picture written to "
            << (options.plot == "-" ? std::string("standard output") : "'" + options.plot + "'")
            << "\n";
    }
    return kExitSuccess;
}

}  // namespace

int RunHost(int argc, char** argv, const Libraries& libraries, std::ostream& out, std::ostream& err,
            bool errIsTerminal) {
    try {
        return Run(argc, argv, libraries, out, err, errIsTerminal);
    } catch (const HostError& error) {
        err << "selvane: error: " << error.what() << std::endl;
        return error.code();
    } catch (const std::bad_alloc&) {
        err << "selvane: error: out of memory" << std::endl;
        return kExitMemory;
    } catch (const std::exception& error) {
        // Not expected; reported in the same one-line form rather than
        // ending in std::terminate.
        err << "selvane: error: " << error.what() << std::endl;
        return kExitInput;
    }
}

}  // namespace selvane::host
