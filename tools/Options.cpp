#include "Options.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "HostError.h"

namespace selvane::host {

namespace {

bool IsWholeNumber(const std::string& text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i == text.size()) return false;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// Matches "--name VALUE", "--name=VALUE" or, when shortName is set,
// "-x VALUE"; advances index past what it used.
bool TakeValue(int argc, char** argv, int& index, const std::string& longName,
               const char* shortName, std::string& value) {
    const std::string arg = argv[index];
    const std::string withEquals = longName + "=";
    if (arg.compare(0, withEquals.size(), withEquals) == 0) {
        value = arg.substr(withEquals.size());
        return true;
    }
    if (arg != longName && (shortName == nullptr || arg != shortName)) {
        return false;
    }
    if (index + 1 >= argc) {
        throw HostError(kExitUsage, arg + " needs a value");
    }
    ++index;
    value = argv[index];
    return true;
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") break;
        if (arg == "--help" || arg == "-h") options.help = true;
        if (arg == "--version") options.version = true;
    }
    if (options.help || options.version) return options;

    bool clustersGiven = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (TakeValue(argc, argv, i, "--clusters", "-k", value)) {
                clustersGiven = true;
                options.clusterText = value;
            } else if (TakeValue(argc, argv, i, "--output", "-o", value)) {
                if (value.empty()) {
                    throw HostError(kExitUsage, "--output needs a file name");
                }
                options.output = value;
            } else if (TakeValue(argc, argv, i, "--library", nullptr, value)) {
                if (value.empty()) {
                    throw HostError(kExitUsage, "--library needs a path");
                }
                options.library = value;
            } else if (TakeValue(argc, argv, i, "--plot", nullptr, value)) {
                if (value.empty()) {
                    throw HostError(kExitUsage, "--plot needs a file name");
                }
                options.plot = value;
            } else if (arg == "--quiet" || arg == "-q") {
                options.quiet = true;
            } else {
                throw HostError(kExitUsage, "unknown option '" + arg + "'");
            }
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            throw HostError(kExitUsage, "more than one input file: '" +
                                            options.input + "' and '" + arg +
                                            "'");
        }
    }

    if (options.input.empty()) throw HostError(kExitUsage, "no input file given");
    // One would silently replace the other.
    if (!options.plot.empty() && options.plot == options.output) {
        throw HostError(kExitUsage, "--output and --plot name the same file '" +
                                        options.plot + "'");
    }
    if (!clustersGiven) {
        throw HostError(kExitUsage, "the number of clusters is missing: "
                                    "add --clusters K");
    }
    if (!IsWholeNumber(options.clusterText)) {
        throw HostError(kExitUsage, "--clusters expects a whole number, got '" +
                                        options.clusterText + "'");
    }
    errno = 0;
    options.clusterCount = std::strtoll(options.clusterText.c_str(), nullptr, 10);
    // A count beyond long long is beyond any item count too; the saturated
    // value keeps it out of range without a separate message.
    if (errno == ERANGE) {
        options.clusterCount =
            options.clusterText[0] == '-' ? LLONG_MIN : LLONG_MAX;
    }
    return options;
}

void CheckClusterCount(const Options& options, std::size_t itemCount) {
    if (options.clusterCount < 1 ||
        static_cast<unsigned long long>(options.clusterCount) > itemCount) {
        throw HostError(kExitUsage,
                        "--clusters must be from 1 to " +
                            std::to_string(itemCount) +
                            " (the number of items), got " +
                            options.clusterText);
    }
}

}  // namespace selvane::host
