// The command-line host as a function: everything but the process's own
// streams and the loading of the libraries, so that tests can drive it with
// any implementation of their functions.
#ifndef SELVANE_TOOLS_HOST_H
#define SELVANE_TOOLS_HOST_H

#include <functional>
#include <ostream>
#include <string>

#include "LibraryLoader.h"
#include "SelvaneFunction.h"

namespace selvane::host {

// Each loader is given the path its option names (empty when absent) and
// returns what to call, or throws HostError. They are called only once the
// input is known good, so that a missing library never hides a mistake in
// the command or the file.
struct Libraries {
    // The engine library (--engine-library): every job but --library's.
    std::function<EngineFunctions(const std::string&)> engine;
    // Selvane() of the library --library names.
    std::function<SelvaneFunction(const std::string&)> selvane;
};

// Runs one command line: the result CSV goes to out (or the --output file)
// and nothing else does; the summary, any "selvane: error: ..." line and,
// when errIsTerminal, the progress line of a long call go to err. Returns
// the exit status listed in HostError.h.
int RunHost(int argc, char** argv, const Libraries& libraries, std::ostream& out, std::ostream& err,
            bool errIsTerminal = false);

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_HOST_H
