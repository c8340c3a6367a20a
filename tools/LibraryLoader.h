// Finding the Selvane library at run time and its one export.
#ifndef SELVANE_TOOLS_LIBRARY_LOADER_H
#define SELVANE_TOOLS_LIBRARY_LOADER_H

#include <string>

#include "SelvaneFunction.h"

namespace selvane::host {

// Loads the library from explicitPath, or when that is empty from the
// default places, and returns its export. The library stays loaded for the
// rest of the process. Throws HostError (kExitLibrary) when no library
// loads or it lacks the export.
//
// Default places: on Linux libselvane.so.<major> in the parent directory of
// the executable (the build tree keeps the host in tools/), then in the
// installed library directory relative to it, then beside it, then the
// dynamic linker's own search; on Windows selvane.dll beside the
// executable, then the system's search.
SelvaneFunction LoadSelvane(const std::string& explicitPath);

// The default places in words, for --help.
std::string DefaultLibraryDescription();

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_LIBRARY_LOADER_H
