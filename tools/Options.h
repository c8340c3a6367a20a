// The command line of the host.
#ifndef SELVANE_TOOLS_OPTIONS_H
#define SELVANE_TOOLS_OPTIONS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "selvane_engine.h"

namespace selvane::host {

// Whether the first line of the file names the columns.
enum class HeaderChoice { kDetect, kHeader, kNoHeader };

// How the table is read: what the command line may say about the file.
struct ReadChoices {
    HeaderChoice header = HeaderChoice::kDetect;
    std::string labelColumn;  // empty: detected; else a 1-based number or a name
    std::string columns;      // empty: every column but the labels
    bool decimalComma = false;
};

struct Options {
    bool help = false;
    bool version = false;
    std::string input;    // "-": standard input
    std::string output;   // empty or "-": standard output
    std::string library;  // empty: the engine library's job; else Selvane() of it
    std::string plot;     // empty: no picture; "-": standard output
    bool quiet = false;   // no summary and no progress on standard error
    long long clusterCount = 0;
    std::string clusterText;  // as given, for messages
    ReadChoices read;
    // Engine choices. A seed makes the default job reproducible; --raw runs
    // the engine on the values as they stand, with the choices below.
    bool seeded = false;
    std::uint64_t seed = 0;
    bool raw = false;
    // --metric, --centers, --init: the engine library's codes.
    int metric = SELVANE_ENGINE_EUCLIDEAN;
    int centres = SELVANE_ENGINE_MEANS;
    int passes = 100;  // --passes
    int start = SELVANE_ENGINE_START_PARTITION;
    std::string weights;        // --weights: one number per column, by commas
    int threads = 0;            // --threads; 0: the library's default
    std::string engineLibrary;  // empty: the default search
};

// Parses argv[1 .. argc-1]. --help or --version anywhere before "--" wins
// over every other argument, faulty ones included. Otherwise throws
// HostError (kExitUsage) for an unknown option, a missing value or input
// file, a second input file, and a cluster count that is missing or not a
// whole number. Its range needs the item count: see CheckClusterCount.
Options ParseOptions(int argc, char** argv);

// Throws HostError (kExitUsage) unless 1 <= clusterCount <= itemCount.
void CheckClusterCount(const Options& options, std::size_t itemCount);

// The --weights list as numbers, one per dimension (empty when not given);
// throws HostError (kExitUsage) for a count that differs or a weight that
// is negative or not a finite number.
std::vector<double> ParseWeights(const Options& options, std::size_t dimensionCount);

// The text of --help and --version.
std::string UsageText();
std::string VersionText();  // "selvane <version>\n"

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_OPTIONS_H
