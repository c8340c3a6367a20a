#include "LibraryLoader.h"

#include <filesystem>
#include <vector>

#include "HostError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace selvane::host {

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32

// The x86 build exports the stdcall-decorated name, x86-64 the plain one.
#ifdef _WIN64
const char kExportName[] = "Selvane";
#else
const char kExportName[] = "_Selvane@20";
#endif
const char kLibraryName[] = "selvane.dll";
const char kEngineLibraryName[] = "selvane_engine.dll";

using Handle = HMODULE;

fs::path ExecutableDirectory() {
    std::vector<char> buffer(MAX_PATH);
    while (true) {
        const DWORD size =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (size == 0) return fs::path();
        if (size < buffer.size()) return fs::path(std::string(buffer.data(), size)).parent_path();
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<std::string> DefaultCandidates(const char* libraryName) {
    std::vector<std::string> candidates;
    const fs::path dir = ExecutableDirectory();
    if (!dir.empty()) candidates.push_back((dir / libraryName).string());
    candidates.push_back(libraryName);
    return candidates;
}

Handle Open(const std::string& path, std::string& error) {
    const Handle handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) error = "error " + std::to_string(GetLastError());
    return handle;
}

template <typename F>
F FindNamed(Handle handle, const char* name) {
    const FARPROC proc = GetProcAddress(handle, name);
    if (proc == nullptr) return nullptr;
    // Through void(*)() so that -Wcast-function-type accepts the change of
    // signature; the export's real type is F.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

#else

const char kExportName[] = "Selvane";
// The run-time name (SONAME): the development link libselvane.so is absent
// where only the run-time package is installed.
#define SELVANE_STRINGIFY_(x) #x
#define SELVANE_STRINGIFY(x) SELVANE_STRINGIFY_(x)
const char kLibraryName[] = "libselvane.so." SELVANE_STRINGIFY(SELVANE_VERSION_MAJOR);
const char kEngineLibraryName[] =
    "libselvane_engine.so." SELVANE_STRINGIFY(SELVANE_ENGINE_API_MAJOR);
// Where an install puts the library, relative to the host's directory.
#ifndef SELVANE_HOST_LIBRARY_DIR
#define SELVANE_HOST_LIBRARY_DIR "../lib"
#endif

using Handle = void*;

fs::path ExecutableDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::path();
    return exe.parent_path();
}

std::vector<std::string> DefaultCandidates(const char* libraryName) {
    std::vector<std::string> candidates;
    const fs::path dir = ExecutableDirectory();
    if (!dir.empty()) {
        candidates.push_back((dir.parent_path() / libraryName).string());
        candidates.push_back((dir / SELVANE_HOST_LIBRARY_DIR / libraryName).string());
        candidates.push_back((dir / libraryName).string());
    }
    candidates.push_back(libraryName);
    return candidates;
}

Handle Open(const std::string& path, std::string& error) {
    const Handle handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        error = message != nullptr ? message : "unknown error";
    }
    return handle;
}

template <typename F>
F FindNamed(Handle handle, const char* name) {
    void* symbol = dlsym(handle, name);
    // POSIX guarantees that a dlsym result converts to a function pointer.
    return reinterpret_cast<F>(symbol);
}

#endif

std::string VersionText(int version) {
    return std::to_string(version / 10000) + "." + std::to_string(version % 10000);
}

SelvaneFunction Find(Handle handle) { return FindNamed<SelvaneFunction>(handle, kExportName); }

// The first of the candidates that loads; throws HostError naming them all
// when none does.
Handle OpenFirst(const std::string& explicitPath, const char* libraryName, std::string* loaded) {
    const std::vector<std::string> candidates = explicitPath.empty()
                                                    ? DefaultCandidates(libraryName)
                                                    : std::vector<std::string>{explicitPath};
    std::string error;
    std::string tried;
    for (const std::string& candidate : candidates) {
        const Handle handle = Open(candidate, error);
        if (handle != nullptr) {
            *loaded = candidate;
            return handle;
        }
        tried += (tried.empty() ? "'" : ", '") + candidate + "'";
    }
    if (!explicitPath.empty()) {
        throw HostError(kExitLibrary, "cannot load library '" + explicitPath + "': " + error);
    }
    throw HostError(kExitLibrary,
                    std::string("cannot load ") + libraryName + " (tried " + tried + "): " + error);
}

}  // namespace

EngineFunctions LoadEngine(const std::string& explicitPath) {
    std::string loaded;
    const Handle handle = OpenFirst(explicitPath, kEngineLibraryName, &loaded);
    EngineFunctions functions;
    functions.run = FindNamed<EngineRunFunction>(handle, "selvane_engine_run");
    functions.strerror = FindNamed<EngineTextFunction>(handle, "selvane_engine_strerror");
    const auto version =
        FindNamed<decltype(&selvane_engine_api_version)>(handle, "selvane_engine_api_version");
    if (!functions.run || !functions.strerror || !version) {
        throw HostError(kExitLibrary, "library '" + loaded +
                                          "' lacks the selvane_engine functions of interface " +
                                          VersionText(SELVANE_ENGINE_API_VERSION));
    }
    // A later minor version only adds to the interface.
    const int found = version();
    if (found / 10000 != SELVANE_ENGINE_API_MAJOR || found < SELVANE_ENGINE_API_VERSION) {
        throw HostError(kExitLibrary, "library '" + loaded + "' has interface version " +
                                          VersionText(found) + "; this program needs " +
                                          VersionText(SELVANE_ENGINE_API_VERSION));
    }
    return functions;
}

SelvaneFunction LoadSelvane(const std::string& explicitPath) {
    std::string loaded;
    const Handle handle = OpenFirst(explicitPath, kLibraryName, &loaded);
    const SelvaneFunction function = Find(handle);
    if (function == nullptr) {
        throw HostError(kExitLibrary,
                        "library '" + loaded + "' has no export '" + kExportName + "'");
    }
    return function;
}

std::string DefaultEngineLibraryDescription() {
#ifdef _WIN32
    return std::string(kEngineLibraryName) + " beside this program";
#else
    // Two lines of the help's width.
    return std::string(kEngineLibraryName) + " in this program's directory,\nits parent or " +
           SELVANE_HOST_LIBRARY_DIR;
#endif
}

}  // namespace selvane::host
