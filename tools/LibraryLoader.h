// Finding the Selvane library at run time and its one export.
#ifndef SELVANE_TOOLS_LIBRARY_LOADER_H
#define SELVANE_TOOLS_LIBRARY_LOADER_H

#include <string>

#include "selvane_engine.h"

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

// The engine library's functions, typed by their declarations in
// include/selvane_engine.h and found the same way under its own name;
// throws HostError (kExitLibrary) likewise, and for a library older than
// the interface version the host is built for.
using EngineRunFunction = decltype(&selvane_engine_run);
using EngineTextFunction = decltype(&selvane_engine_strerror);
struct EngineFunctions {
    EngineRunFunction run = nullptr;
    EngineTextFunction strerror = nullptr;
};
EngineFunctions LoadEngine(const std::string& explicitPath);

// The engine library's default places in words, for --help.
std::string DefaultEngineLibraryDescription();

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_LIBRARY_LOADER_H
