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
#include "Magnitude.h"
#include "Options.h"
#include "OutputFile.h"
#include "ResultCsv.h"
#include "Summary.h"
#include "SvgPlot.h"
#include "Table.h"

namespace selvane::host {

namespace fs = std::filesystem;

namespace {

// -1.0 in every element is how the library says it could not cluster; any
// other value that is not a cluster number means a foreign or broken
// library, and is reported rather than written out.
std::vector<int> ClusterNumbers(const std::vector<double>& result,
                                int clusterCount, const Table& table,
                                const Magnitudes& magnitudes) {
    for (double value : result) {
        if (value == -1.0) {
            if (magnitudes.measurableCount == 0) {
                throw HostError(kExitJob,
                                "the library could not cluster the items: no "
                                "item has all its values finite and greater "
                                "than zero");
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
            throw HostError(kExitJob,
                            "the library returned no valid cluster number for " +
                                ItemName(table, i));
        }
        clusters[i] = static_cast<int>(value);
    }
    return clusters;
}

// Replacing the input would destroy the user's data; replacing the result
// with the picture would lose it.
void CheckOutputNames(const Options& options) {
    const bool input = options.input != "-";
    if (input && !options.output.empty() && SameFile(options.input, options.output)) {
        throw HostError(kExitUsage, "--output names the input file '" + options.input +
                                        "'; choose another name");
    }
    if (input && !options.plot.empty() && SameFile(options.input, options.plot)) {
        throw HostError(kExitUsage, "--plot names the input file '" + options.input +
                                        "'; choose another name");
    }
    if (!options.plot.empty() && !options.output.empty() &&
        SameFile(options.output, options.plot)) {
        throw HostError(kExitUsage, "--output and --plot name the same file '" +
                                        options.plot + "'");
    }
}

std::string Plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

int Run(int argc, char** argv, const FunctionLoader& load, std::ostream& out,
        std::ostream& err, bool errIsTerminal) {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
        out << UsageText() << std::flush;
        return kExitSuccess;
    }
    if (options.version) {
        out << VersionText() << std::flush;
        return kExitSuccess;
    }

    CheckOutputNames(options);
    const Table table = ReadTableFile(options.input, options.read);
    CheckClusterCount(options, table.itemCount);
    const SelvaneFunction function = load(options.library);

    const int itemCount = static_cast<int>(table.itemCount);
    const int dimensionCount = static_cast<int>(table.dimensionCount);
    const int clusterCount = static_cast<int>(options.clusterCount);
    // NaN marks an element the library failed to write.
    std::vector<double> result(table.itemCount,
                               std::numeric_limits<double>::quiet_NaN());
    const auto start = std::chrono::steady_clock::now();
    {
        // Only a person watching a terminal wants it; a log file would
        // fill with carriage returns.
        std::optional<ElapsedIndicator> indicator;
        if (errIsTerminal && !options.quiet) {
            indicator.emplace(err, "selvane: clustering " +
                                       Plural(table.itemCount, "item") + " into " +
                                       Plural(static_cast<std::size_t>(clusterCount),
                                              "cluster") +
                                       "...");
        }
        function(itemCount, dimensionCount, table.values.data(), clusterCount,
                 result.data());
    }
    const std::chrono::duration<double> elapsed =
        std::chrono::steady_clock::now() - start;

    const Magnitudes magnitudes = MeasureItems(table);
    const std::vector<int> clusters =
        ClusterNumbers(result, clusterCount, table, magnitudes);
    const std::string csv = FormatResult(table, clusters);
    // The picture first: when it cannot be written, standard output stays
    // empty rather than holding a result the exit status calls failed.
    if (!options.plot.empty()) {
        ReplaceFile(options.plot,
                    RenderClusterPlot(table, magnitudes, clusters, clusterCount,
                                      options.input == "-" ? std::string("standard input")
                                          : fs::path(options.input).filename().string()));
    }
    if (options.output.empty()) {
        out << csv << std::flush;
        if (!out) throw HostError(kExitOutput, "cannot write the result to "
                                               "standard output");
    } else {
        ReplaceFile(options.output, csv);
    }
    if (!options.quiet) {
        WriteSummary(err, table, magnitudes, clusters, clusterCount,
                     elapsed.count());
        if (!options.plot.empty()) err << "  picture written to '" << options.plot << "'\n";
    }
    return kExitSuccess;
}

}  // namespace

int RunHost(int argc, char** argv, const FunctionLoader& load,
            std::ostream& out, std::ostream& err, bool errIsTerminal) {
    try {
        return Run(argc, argv, load, out, err, errIsTerminal);
    } catch (const HostError& error) {
        err << "selvane: error: " << error.what() << std::endl;
        return error.code();
    } catch (const std::bad_alloc&) {
        err << "selvane: error: out of memory" << std::endl;
        return kExitInput;
    } catch (const std::exception& error) {
        // Not expected; reported in the same one-line form rather than
        // ending in std::terminate.
        err << "selvane: error: " << error.what() << std::endl;
        return kExitInput;
    }
}

int RunHost(int argc, char** argv, SelvaneFunction function, std::ostream& out,
            std::ostream& err, bool errIsTerminal) {
    return RunHost(
        argc, argv, [function](const std::string&) { return function; }, out,
        err, errIsTerminal);
}

}  // namespace selvane::host
