#include "Host.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "ElapsedIndicator.h"
#include "HostError.h"
#include "LibraryLoader.h"
#include "Magnitude.h"
#include "Options.h"
#include "OutputFile.h"
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

// -1.0 in every element is how the library says it could not cluster; any
// other value that is not a cluster number means a foreign or broken
// library, and is reported rather than written out.
std::vector<int> ClusterNumbers(const std::vector<double>& result, int clusterCount,
                                const Table& table, const Magnitudes& magnitudes) {
    for (double value : result) {
        if (value == -1.0) {
            if (magnitudes.measurableCount == 0) {
                const std::string blame = ColumnBlame(table);
                throw HostError(kExitJob,
                                "the library could not cluster the items: no item has all its "
                                "values finite and greater than zero" +
                                    (blame.empty() ? "" : ": " + blame));
            }
            throw HostError(kExitJob,
                            "the library could not cluster the items (out of "
                            "memory?)");
        }
    }
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

// How a raw job's picture says what was clustered.
std::string RawJobWords(const Options& options) {
    return std::string(options.euclidean ? "Euclidean distance" : "uncentered correlation") + ", " +
           (options.medians ? "medians" : "means");
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
};

// A seeded default job or a raw engine job, through the engine library.
std::vector<int> RunThroughEngine(const Options& options, const Table& table,
                                  const std::vector<double>& weights, EngineReport& report) {
    const EngineFunctions engine = LoadEngine(options.engineLibrary);
    const int itemCount = static_cast<int>(table.itemCount);
    const int dimensionCount = static_cast<int>(table.dimensionCount);
    const int clusterCount = static_cast<int>(options.clusterCount);
    const std::uint64_t* seed = options.seeded ? &options.seed : nullptr;
    int code = SELVANE_ENGINE_OK;
    std::vector<int> clusters(table.itemCount);
    if (options.raw) {
        // The table is dimension-major: one item per column. A missing cell
        // is NaN, which the engine leaves out when given no presence mask.
        report.centres.assign(static_cast<std::size_t>(clusterCount) * table.dimensionCount, 0.0);
        code = engine.cluster(
            itemCount, dimensionCount, table.values.data(), SELVANE_ENGINE_ITEMS_AS_COLUMNS,
            nullptr, weights.empty() ? nullptr : weights.data(), clusterCount, options.passes,
            options.medians ? SELVANE_ENGINE_MEDIANS : SELVANE_ENGINE_MEANS,
            options.euclidean ? SELVANE_ENGINE_EUCLIDEAN : SELVANE_ENGINE_CORRELATION, seed,
            options.threads, clusters.data(), &report.errorValue, &report.foundCount,
            report.centres.data(), nullptr);
        report.passes = options.passes;
    } else {
        std::vector<double> result(table.itemCount);
        code = engine.selvaneJob(itemCount, dimensionCount, table.values.data(), clusterCount, seed,
                                 options.threads, result.data(), &report.errorValue,
                                 &report.foundCount);
        for (std::size_t i = 0; code == SELVANE_ENGINE_OK && i < result.size(); ++i) {
            clusters[i] = static_cast<int>(result[i]);
        }
        report.passes = 200;
    }
    if (code != SELVANE_ENGINE_OK) {
        const std::string blame = code == SELVANE_ENGINE_ERROR_UNMEASURABLE ? ColumnBlame(table)
                                                                            : std::string();
        throw HostError(kExitJob, std::string("the engine library could not cluster "
                                              "the items: ") +
                                      engine.strerror(code) + (blame.empty() ? "" : ": " + blame));
    }
    return clusters;
}

int Run(int argc, char** argv, const FunctionLoader& load, std::ostream& out, std::ostream& err,
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
    const bool throughEngine = options.raw || options.seeded;
    // The plain export takes no thread count; it reads the variable.
    const ThreadSetting threads(throughEngine ? 0 : options.threads);
    const SelvaneFunction function = throughEngine ? nullptr : load(options.library);

    const int itemCount = static_cast<int>(table.itemCount);
    const int dimensionCount = static_cast<int>(table.dimensionCount);
    const int clusterCount = static_cast<int>(options.clusterCount);
    // NaN marks an element the library failed to write.
    std::vector<double> result(throughEngine ? 0 : table.itemCount,
                               std::numeric_limits<double>::quiet_NaN());
    EngineReport report;
    std::vector<int> engineClusters;
    const auto start = std::chrono::steady_clock::now();
    {
        // Only a person watching a terminal wants it; a log file would
        // fill with carriage returns.
        std::optional<ElapsedIndicator> indicator;
        if (errIsTerminal && !options.quiet) {
            indicator.emplace(
                err, "selvane: clustering " + Plural(table.itemCount, "item") + " into " +
                         Plural(static_cast<std::size_t>(clusterCount), "cluster") + "...");
        }
        if (throughEngine) {
            engineClusters = RunThroughEngine(options, table, weights, report);
        } else {
            function(itemCount, dimensionCount, table.values.data(), clusterCount, result.data());
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    // A raw job measures nothing: its values are clustered as they stand.
    const Magnitudes magnitudes = options.raw ? Magnitudes() : MeasureItems(table);
    const std::vector<int> clusters =
        throughEngine ? engineClusters : ClusterNumbers(result, clusterCount, table, magnitudes);
    const std::string csv = FormatResult(table, clusters);
    // The picture first: when it cannot be written, standard output stays
    // empty rather than holding a result the exit status calls failed.
    if (plotTarget) {
        const std::string title = options.input == "-"
                                      ? std::string("standard input")
                                      : fs::path(options.input).filename().string();
        WriteOutput(*plotTarget,
                    options.raw
                        ? RenderRawPlot(table, clusters, clusterCount, report.centres,
                                        RawJobWords(options), title)
                        : RenderClusterPlot(table, magnitudes, clusters, clusterCount, title),
                    out, "the picture");
    }
    WriteOutput(resultTarget, csv, out, "the result");
    if (!options.quiet && options.raw) {
        WriteRawSummary(err, table, clusters, clusterCount);
    } else if (!options.quiet) {
        WriteSummary(err, table, magnitudes, clusters, clusterCount, elapsed.count());
    }
    if (!options.quiet && throughEngine) {
        err.precision(17);
        err << "  error value " << report.errorValue << ", found by " << report.foundCount << " of "
            << report.passes << " passes"
            << (options.seeded ? ", seed " + std::to_string(options.seed) : std::string()) << "\n";
    }
    if (!options.quiet && !options.plot.empty()) {
        err << "  picture written to "
            << (options.plot == "-" ? std::string("standard output") : "'" + options.plot + "'")
            << "\n";
    }
    return kExitSuccess;
}

}  // namespace

int RunHost(int argc, char** argv, const FunctionLoader& load, std::ostream& out, std::ostream& err,
            bool errIsTerminal) {
    try {
        return Run(argc, argv, load, out, err, errIsTerminal);
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

int RunHost(int argc, char** argv, SelvaneFunction function, std::ostream& out, std::ostream& err,
            bool errIsTerminal) {
    return RunHost(
        argc, argv, [function](const std::string&) { return function; }, out, err, errIsTerminal);
}

}  // namespace selvane::host
