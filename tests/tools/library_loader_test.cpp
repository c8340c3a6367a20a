// Loading the real shared library, and the messages when loading fails.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostError.h"
#include "LibraryLoader.h"
#include "selvane_engine.h"

namespace selvane::host {
namespace {

template <typename Load>
std::string ErrorOf(Load load, const std::string& path) {
    try {
        load(path);
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), kExitLibrary);
        return error.what();
    }
    return "(no error)";
}

TEST(LibraryLoader, FindsTheExportAndCallsIt) {
    const SelvaneFunction selvane = LoadSelvane(SELVANE_LIBRARY_PATH);
    ASSERT_NE(selvane, nullptr);
    // One cluster: every item gets 0, whatever the random stream.
    const std::vector<double> values = {1.0, 2.0, 3.0};
    std::vector<double> result(3, 9.0);
    selvane(3, 1, values.data(), 1, result.data());
    EXPECT_EQ(result, (std::vector<double>{0.0, 0.0, 0.0}));
}

#if defined(_WIN32) && !defined(_WIN64)
const char kExportName[] = "_Selvane@20";
#else
const char kExportName[] = "Selvane";
#endif

TEST(LibraryLoader, NamesTheLibraryThatFailed) {
    const std::string noExport = NO_EXPORT_LIBRARY_PATH;
    EXPECT_EQ(ErrorOf(LoadSelvane, noExport),
              "library '" + noExport + "' has no export '" + kExportName + "'");
    EXPECT_EQ(ErrorOf(LoadEngine, noExport),
              "library '" + noExport + "' lacks the selvane_engine functions of interface " +
                  std::to_string(SELVANE_ENGINE_API_MAJOR) + "." +
                  std::to_string(SELVANE_ENGINE_API_MINOR));
    const std::string missing = "/no/such/dir/libselvane.so";
    EXPECT_EQ(ErrorOf(LoadSelvane, missing).rfind("cannot load library '" + missing + "': ", 0), 0u)
        << ErrorOf(LoadSelvane, missing);
}

TEST(LibraryLoader, FindsTheEngineLibrary) {
    const EngineFunctions engine = LoadEngine(SELVANE_ENGINE_LIBRARY_PATH);
    EXPECT_STREQ(engine.strerror(SELVANE_ENGINE_ERROR_CANCELLED), "the job was cancelled");
    selvane_engine_job job{};
    job.size = sizeof job;
    EXPECT_EQ(engine.run(&job, nullptr), SELVANE_ENGINE_ERROR_NULL_POINTER);
}

}  // namespace
}  // namespace selvane::host
