#include "Options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <CLI/CLI.hpp>

#include "HostError.h"
#include "LibraryLoader.h"
#include "selvane_engine.h"

#ifndef SELVANE_VERSION
#error "SELVANE_VERSION must be defined by the build"
#endif

namespace selvane::host {

namespace {

const char kDescription[] =
    "Clusters the items (rows) of FILE into K clusters with the Selvane library\n"
    "and writes one line per item: label,cluster (item,cluster when the items\n"
    "have no labels). FILE - reads standard input.\n"
    "\n"
    "The default job is the library's own: each item becomes its unit-length\n"
    "profile plus its relative magnitude, an item with a missing or non-positive\n"
    "value is clustered by magnitude alone, and clusters are numbered by magnitude.\n"
    "A raw engine job (--raw) clusters the values as they stand by --metric and\n"
    "--centers, leaves missing cells out of every distance and centre, and numbers\n"
    "the clusters as the engine found them. Its passes start as --init says:\n"
    "partition deals the items into clusters at random (the default, so that a\n"
    "seed keeps giving the results it gave before); items draws K distinct items\n"
    "as the first centres; k-means++ draws the first centre at random and each\n"
    "next one as the best of 2 + ln K items drawn with probability proportional\n"
    "to their distance from the nearest centre so far (greedy k-means++, as\n"
    "scikit-learn's), which finds the best partition more often. Either start\n"
    "from items needs K items with a value to measure.\n";

const char kFooter[] =
    "Numbering: clusters are ranked by the sum of their members' relative\n"
    "magnitudes (an item's norm over the largest norm) divided by the number of\n"
    "members plus one, compared in single precision. Cluster 0 has the lowest\n"
    "such value, K-1 the highest; the summary prints it as 'ranked by'. Clusters\n"
    "whose values are equal share one number (the highest of the places they\n"
    "take) and leave the numbers below it unused: clusters holding only\n"
    "unmeasurable items tie at 0 and share a number.\n"
    "\n"
    "FILE is text separated by commas, semicolons, tabs or runs of spaces; the\n"
    "separator is the one that splits every line into the same number of cells.\n"
    "Blank lines are skipped, and so are lines starting with # before the first\n"
    "line of cells: comments.\n"
    "The first line names the columns (--header and --no-header say it outright)\n"
    "when one of its value cells is text, or is quoted above an unquoted cell,\n"
    "or when its value cells are two or more whole numbers in strictly\n"
    "increasing order above values that are not all whole numbers, or when its\n"
    "first cell is empty above a first column with no empty cell (R's\n"
    "write.csv, pandas' to_csv), or when it is one cell shorter than the lines\n"
    "below (R's write.table: the first column holds row names). Otherwise it is\n"
    "an item. Standard error says which.\n"
    "The first column holds labels when every later line has text or nothing\n"
    "there and one has text (a quoted cell is text beside unquoted ones), or\n"
    "when the first line names the columns and its first cell is empty (R's\n"
    "row names, pandas' index). With --label-column naming another column,\n"
    "those row names are left out. Last columns empty on every line, the first\n"
    "line included (a delimiter ends each line), are left out too. Every other\n"
    "chosen cell must be a number.\n"
    "Empty cells, NA, NaN, inf and numbers beyond the range of a double are\n"
    "missing. An item with a missing value or a value not greater than zero\n"
    "cannot be measured: it is still clustered, with relative magnitude 0.\n"
    "\n"
    "Standard output carries the result and nothing else. A summary goes to\n"
    "standard error: how the file was read and which columns were clustered,\n"
    "cluster sizes and the values they are ranked by, the items that cannot be\n"
    "measured and, per column, its missing and non-positive values, fewer\n"
    "distinct items than clusters, and the time of the call. The library\n"
    "reports the magnitudes and ranked values; the host computes none. When\n"
    "standard error is a terminal, a call that takes longer than a second shows\n"
    "there the passes done, the time so far and an estimate of the rest.\n"
    "\n"
    "--output and --plot replace a regular file whole, through a new file\n"
    "beside it: it is never seen half-written, and a failure leaves it as it\n"
    "was. Through a symbolic link, the link's target is replaced. A device or\n"
    "FIFO (/dev/null, a named pipe) is written in place. A file you may not\n"
    "write, a folder that is missing or that you may not write, and the input\n"
    "file itself are refused before FILE is read. - is standard output.\n"
    "\n"
    "Environment: SELVANE_THREADS=N, a positive whole number, is the most\n"
    "threads a job's passes run on when --threads is not given (1: the calling\n"
    "thread alone); without either, every processor the process may use. The\n"
    "result is the same at every thread count.\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  FILE cannot be read or is malformed\n"
    "  2  invalid command line\n"
    "  3  the library cannot be loaded or lacks its export\n"
    "  4  the library could not cluster the items\n"
    "  5  the result or the picture cannot be written\n"
    "  6  memory ran out\n";

// The usage line says what is required, and the description follows it.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_usage(const CLI::App*, std::string) const override {
        return "Usage: selvane FILE --clusters K [OPTIONS]\n\n" + std::string(kDescription);
    }
    std::string make_description(const CLI::App*) const override { return ""; }
};

struct Parsed {
    std::vector<std::string> inputs;
    std::string clusters;
    bool header = false;
    bool noHeader = false;
    std::string seed;
    std::string metric = "euclidean";
    std::string centers = "mean";
    std::string passes = "100";
    std::string init = "partition";
    std::string threads;
};

// The names the command line gives the engine library's codes.
struct CodeName {
    const char* name;
    int code;
};
constexpr CodeName kMetricNames[] = {{"euclidean", SELVANE_ENGINE_EUCLIDEAN},
                                     {"correlation", SELVANE_ENGINE_CORRELATION}};
constexpr CodeName kCentreNames[] = {{"mean", SELVANE_ENGINE_MEANS},
                                     {"median", SELVANE_ENGINE_MEDIANS}};
constexpr CodeName kStartNames[] = {{"partition", SELVANE_ENGINE_START_PARTITION},
                                    {"items", SELVANE_ENGINE_START_ITEMS},
                                    {"k-means++", SELVANE_ENGINE_START_KMEANS_PLUS_PLUS}};

// The code `given` names; any other name is a usage error that lists them.
template <std::size_t count>
int CodeNamed(const CodeName (&names)[count], const char* option, const std::string& given) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        if (given == names[i].name) return names[i].code;
        list += i == 0 ? "" : i + 1 == count ? " or " : ", ";
        list += names[i].name;
    }
    throw HostError(kExitUsage, std::string(option) + " expects " + list + ", got '" + given + "'");
}

bool IsWholeNumber(const std::string& text);
void RequireNonEmpty(const std::string& value, const char* option, const char* what);

// One definition serves both the parser and the help text.
void DefineOptions(CLI::App& app, Options& options, Parsed& parsed) {
    auto formatter = std::make_shared<HelpFormatter>();
    formatter->column_width(26);
    formatter->label("TEXT", "");
    app.formatter(formatter);
    app.footer(kFooter);
    // "/tmp/x.csv" is a file, not a Windows-style option, on every system.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "show this help and exit");
    app.set_version_flag("--version", VersionText(), "show the version and exit");
    app.add_option("FILE", parsed.inputs, "the items to cluster")->expected(0, -1);
    app.add_option("-k,--clusters", parsed.clusters,
                   "number of clusters, from 1 to the number of items")
        ->type_name("K");
    app.add_option("-o,--output", options.output,
                   "write the result to OUT, replacing it whole (below),\n"
                   "instead of to standard output (-)")
        ->type_name("OUT");
    app.add_option("--plot", options.plot,
                   "also draw the clustering as an SVG picture, replaced\n"
                   "whole: one panel per cluster with its members'\n"
                   "profiles, and every item's relative magnitude (with\n"
                   "--raw: the values as clustered)")
        ->type_name("OUT.svg");
    app.add_flag("--header", parsed.header, "the first line names the columns");
    app.add_flag("--no-header", parsed.noHeader, "the first line is an item");
    app.add_option("--label-column", options.read.labelColumn,
                   "the column of labels, by 1-based number or name")
        ->type_name("N|NAME");
    app.add_option("--columns", options.read.columns,
                   "the columns to cluster by: 1-based numbers or names,\n"
                   "separated by commas; A-B is a range (default: all\n"
                   "but the labels)")
        ->type_name("LIST");
    app.add_flag("--decimal-comma", options.read.decimalComma,
                 "numbers are written 1,5 (in files separated by\n"
                 "semicolons, tabs or spaces)");
    app.add_flag("-q,--quiet", options.quiet, "write nothing to standard error but errors");
    app.add_option("--library", options.library,
                   "call Selvane() of the library at PATH (another build\n"
                   "of it, say) instead of the engine library's job: the\n"
                   "same numbers, but the summary has sizes alone; not\n"
                   "with --seed, --raw or --plot")
        ->type_name("PATH");
    app.add_option("--seed", parsed.seed,
                   "draw from seed S (0 to 2^64-1) instead of the clock:\n"
                   "the same S gives the same result on every system")
        ->type_name("S");
    app.add_flag("--raw", options.raw, "a raw engine job on the values as they stand (above)");
    app.add_option("--metric", parsed.metric, "with --raw: euclidean (default) or correlation")
        ->type_name("M");
    app.add_option("--centers", parsed.centers, "with --raw: mean (default) or median")
        ->type_name("C");
    app.add_option("--passes", parsed.passes, "with --raw: passes from random starts (default 100)")
        ->type_name("N");
    app.add_option("--init", parsed.init,
                   "with --raw: how each pass starts: partition\n"
                   "(default), items or k-means++ (above)")
        ->type_name("S");
    app.add_option("--weights", options.weights,
                   "with --raw: one weight per clustered column, by commas")
        ->type_name("LIST");
    app.add_option("--threads", parsed.threads,
                   "run the passes on at most N threads (default:\n"
                   "SELVANE_THREADS, else every processor); the result\n"
                   "is the same")
        ->type_name("N");
    app.add_option("--engine-library", options.engineLibrary,
                   "load the engine library, which runs every job but\n"
                   "--library's, from PATH instead of\n" +
                       DefaultEngineLibraryDescription())
        ->type_name("PATH");
}

// Engine choices, checked once the command line is parsed.
void TakeEngineChoices(const CLI::App& app, const Parsed& parsed, Options& options) {
    if (app.count("--seed") > 0) {
        if (parsed.seed.empty() || parsed.seed.size() > 20 ||
            parsed.seed.find_first_not_of("0123456789") != std::string::npos ||
            (parsed.seed.size() == 20 && parsed.seed > "18446744073709551615")) {
            throw HostError(kExitUsage,
                            "--seed expects a whole number from 0 to "
                            "18446744073709551615, got '" +
                                parsed.seed + "'");
        }
        options.seeded = true;
        options.seed = std::strtoull(parsed.seed.c_str(), nullptr, 10);
    }
    const bool engineChoice = app.count("--metric") + app.count("--centers") +
                                  app.count("--passes") + app.count("--weights") +
                                  app.count("--init") >
                              0;
    if (engineChoice && !options.raw) {
        throw HostError(kExitUsage,
                        "--metric, --centers, --passes, --weights and --init "
                        "choose a raw engine job: add --raw");
    }
    options.metric = CodeNamed(kMetricNames, "--metric", parsed.metric);
    options.centres = CodeNamed(kCentreNames, "--centers", parsed.centers);
    options.start = CodeNamed(kStartNames, "--init", parsed.init);
    const long long passes = std::strtoll(parsed.passes.c_str(), nullptr, 10);
    if (!IsWholeNumber(parsed.passes) || parsed.passes.size() > 10 || passes < 1 ||
        passes > INT_MAX) {
        throw HostError(kExitUsage, "--passes expects a whole number from 1 to " +
                                        std::to_string(INT_MAX) + ", got '" + parsed.passes + "'");
    }
    options.passes = static_cast<int>(passes);
    if (app.count("--threads") > 0) {
        const long long threads = std::strtoll(parsed.threads.c_str(), nullptr, 10);
        if (!IsWholeNumber(parsed.threads) || parsed.threads.size() > 10 || threads < 1 ||
            threads > INT_MAX) {
            throw HostError(kExitUsage, "--threads expects a whole number from 1 to " +
                                            std::to_string(INT_MAX) + ", got '" + parsed.threads +
                                            "'");
        }
        options.threads = static_cast<int>(threads);
    }
    if (app.count("--weights") > 0) RequireNonEmpty(options.weights, "--weights", "a list");
    // Selvane() takes no seed, runs no raw job and reports no magnitudes.
    if (app.count("--library") > 0 &&
        app.count("--seed") + app.count("--raw") + app.count("--plot") > 0) {
        throw HostError(kExitUsage,
                        "--library calls Selvane(), which takes no seed, runs no raw job and "
                        "reports no magnitudes to draw: leave out --library, or --seed, --raw "
                        "and --plot");
    }
    if (app.count("--engine-library") > 0) {
        RequireNonEmpty(options.engineLibrary, "--engine-library", "a path");
    }
}

bool IsWholeNumber(const std::string& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

void RequireNonEmpty(const std::string& value, const char* option, const char* what) {
    if (value.empty()) throw HostError(kExitUsage, std::string(option) + " needs " + what);
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
    Options options;
    // CLI11 reads "--name=" as "--name" and takes the next word as its
    // value; given as an explicit empty word, it reaches the checks below.
    std::vector<std::string> words;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") optionsEnded = true;
        if (!optionsEnded && (arg == "--help" || arg == "-h")) options.help = true;
        if (!optionsEnded && arg == "--version") options.version = true;
        if (!optionsEnded && arg.size() > 3 && arg.compare(0, 2, "--") == 0 &&
            arg.find('=') == arg.size() - 1) {
            words.push_back(arg.substr(0, arg.size() - 1));
            words.emplace_back();
        } else {
            words.push_back(arg);
        }
    }
    if (options.help || options.version) return options;

    CLI::App app;
    Parsed parsed;
    DefineOptions(app, options, parsed);
    try {
        std::vector<std::string> reversed(words.rbegin(), words.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        throw HostError(kExitUsage, error.what());
    }
    if (parsed.inputs.empty()) throw HostError(kExitUsage, "no input file given");
    if (parsed.inputs.size() > 1) {
        throw HostError(kExitUsage, "more than one input file: '" + parsed.inputs[0] + "' and '" +
                                        parsed.inputs[1] + "'");
    }
    options.input = parsed.inputs[0];
    if (app.count("--output") > 0) RequireNonEmpty(options.output, "--output", "a file name");
    if (app.count("--plot") > 0) RequireNonEmpty(options.plot, "--plot", "a file name");
    if (app.count("--library") > 0) RequireNonEmpty(options.library, "--library", "a path");
    if (app.count("--label-column") > 0) {
        RequireNonEmpty(options.read.labelColumn, "--label-column", "a column");
    }
    if (app.count("--columns") > 0) RequireNonEmpty(options.read.columns, "--columns", "a list");
    if (parsed.header && parsed.noHeader) {
        throw HostError(kExitUsage, "--header excludes --no-header");
    }
    TakeEngineChoices(app, parsed, options);
    if (parsed.header) options.read.header = HeaderChoice::kHeader;
    if (parsed.noHeader) options.read.header = HeaderChoice::kNoHeader;

    if (app.count("--clusters") == 0) {
        throw HostError(kExitUsage, "the number of clusters is missing: add --clusters K");
    }
    options.clusterText = parsed.clusters;
    if (!IsWholeNumber(options.clusterText)) {
        throw HostError(kExitUsage,
                        "--clusters expects a whole number, got '" + options.clusterText + "'");
    }
    errno = 0;
    options.clusterCount = std::strtoll(options.clusterText.c_str(), nullptr, 10);
    // A count beyond long long is beyond any item count too; the saturated
    // value keeps it out of range without a separate message.
    if (errno == ERANGE) {
        options.clusterCount = options.clusterText[0] == '-' ? LLONG_MIN : LLONG_MAX;
    }
    return options;
}

void CheckClusterCount(const Options& options, std::size_t itemCount) {
    if (options.clusterCount < 1 ||
        static_cast<unsigned long long>(options.clusterCount) > itemCount) {
        throw HostError(kExitUsage, "--clusters must be from 1 to " + std::to_string(itemCount) +
                                        " (the number of items), got " + options.clusterText);
    }
}

std::vector<double> ParseWeights(const Options& options, std::size_t dimensionCount) {
    std::vector<double> weights;
    if (options.weights.empty()) return weights;
    std::size_t start = 0;
    while (start <= options.weights.size()) {
        std::size_t end = options.weights.find(',', start);
        if (end == std::string::npos) end = options.weights.size();
        const std::string word = options.weights.substr(start, end - start);
        char* stop = nullptr;
        errno = 0;
        const double weight = std::strtod(word.c_str(), &stop);
        if (word.empty() || *stop != '\0' || errno == ERANGE || !std::isfinite(weight) ||
            weight < 0.0) {
            throw HostError(kExitUsage,
                            "--weights: '" + word + "' is not a finite number of at least 0");
        }
        weights.push_back(weight);
        start = end + 1;
    }
    if (weights.size() != dimensionCount) {
        throw HostError(kExitUsage, "--weights gives " + std::to_string(weights.size()) +
                                        " weights for " + std::to_string(dimensionCount) +
                                        " columns");
    }
    return weights;
}

std::string UsageText() {
    CLI::App app;
    Options options;
    Parsed parsed;
    DefineOptions(app, options, parsed);
    return app.help();
}

std::string VersionText() { return std::string("selvane ") + SELVANE_VERSION + "\n"; }

}  // namespace selvane::host
