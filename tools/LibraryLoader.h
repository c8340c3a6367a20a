// Finding the Selvane library at run time and its one export.
#ifndef SELVANE_TOOLS_LIBRARY_LOADER_H
#define SELVANE_TOOLS_LIBRARY_LOADER_H

#include <cstdint>
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

// The default places in words, for --help.
std::string DefaultLibraryDescription();

// The engine library's functions (include/selvane_engine.h), found the same
// way under its own name; throws HostError (kExitLibrary) likewise.
using EngineClusterFunction = int(SELVANE_ENGINE_CALL*)(int, int, const double*, int,
                                                        const unsigned char*, const double*, int,
                                                        int, int, int, const std::uint64_t*, int,
                                                        int*, double*, int*, double*,
                                                        unsigned char*);
using EngineSelvaneJobFunction = int(SELVANE_ENGINE_CALL*)(int, int, const double*, int,
                                                           const std::uint64_t*, int, double*,
                                                           double*, int*);
using EngineTextFunction = const char*(SELVANE_ENGINE_CALL*)(int);
struct EngineFunctions {
    EngineClusterFunction cluster = nullptr;
    EngineSelvaneJobFunction selvaneJob = nullptr;
    EngineTextFunction strerror = nullptr;
};
EngineFunctions LoadEngine(const std::string& explicitPath);
std::string DefaultEngineLibraryDescription();

}  // namespace selvane::host

#endif  // SELVANE_TOOLS_LIBRARY_LOADER_H
