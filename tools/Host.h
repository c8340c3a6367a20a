// The command-line host as a function: everything but the process's own
// streams and the loading of the library, so that tests can drive it with
// any implementation of the export.
#ifndef SELVANE_TOOLS_HOST_H
#define SELVANE_TOOLS_HOST_H

#include <functional>
#include <ostream>
#include <string>

#include "SelvaneFunction.h"

namespace selvane::host {

// Given the --library value (empty when absent), returns the function to
// call or throws HostError. Called only once the input is known good, so
// that a missing library never hides a mistake in the command or the file.
using FunctionLoader = std::function<SelvaneFunction(const std::string&)>;

// Runs one command line: the result CSV goes to out (or the --output file)
// and nothing else does; the summary, any "selvane: error: ..." line and,
// when errIsTerminal, the elapsed-time indicator of a long call go to err.
// Returns the exit status listed in HostError.h.
int RunHost(int argc, char** argv, const FunctionLoader& load, std::ostream& out, std::ostream& err,
            bool errIsTerminal = false);

// The same with a fixed function; --library is accepted and ignored.
int RunHost(int argc, char** argv, SelvaneFunction function, std::ostream& out, std::ostream& err,
            bool errIsTerminal = false);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_HOST_H
