// The one way a host step reports failure: a one-line message and the exit
// status the process ends with.
#ifndef SELVANE_TOOLS_HOST_ERROR_H
#define SELVANE_TOOLS_HOST_ERROR_H

#include <stdexcept>
#include <string>

namespace selvane::host {

// Documented in the --help text; scripts may branch on them.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitInput = 1,    // input file unreadable or malformed
    kExitUsage = 2,    // command line invalid
    kExitLibrary = 3,  // library not loadable or without the export
    kExitJob = 4,      // the library returned no clustering
    kExitOutput = 5,   // result could not be written
    kExitMemory = 6,   // memory ran out
};

class HostError : public std::runtime_error {
public:
    HostError(ExitCode code, const std::string& message)
        : std::runtime_error(message), code_(code) {}
    ExitCode code() const { return code_; }

private:
    ExitCode code_;
};

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_HOST_ERROR_H
