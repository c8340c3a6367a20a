// Helpers shared by the host tests: a scratch directory, command lines, a
// stand-in library, and one in-process run of the host.
#ifndef SELVANE_TESTS_TOOLS_HOST_TEST_SUPPORT_H
#define SELVANE_TESTS_TOOLS_HOST_TEST_SUPPORT_H

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "Host.h"
#include "HostError.h"
#include "Magnitude.h"
#include "engine_library/EngineJob.h"

namespace selvane::host::testing {

// A fresh directory, removed with its contents at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        std::random_device device;
        path_ = std::filesystem::temp_directory_path() /
                ("selvane-tools-" + std::to_string(device()) + "-" + std::to_string(device()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string Write(const std::string& name, const std::string& content) const {
        const std::string file = Path(name);
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct HostRun {
    int code;
    std::string out;
    std::string err;
};

// Answers a job as the engine library would, putting item i in cluster
// i mod K, every item measured at magnitude 0.5; what it was given stays in
// lastJob.
struct SeenJob {
    selvane_engine_job job;
    std::vector<double> values;
};
inline SeenJob lastJob;
inline int SELVANE_ENGINE_CALL RoundRobin(const selvane_engine_job* job,
                                          selvane_engine_result* result) {
    const int n = job->item_count, k = job->cluster_count;
    lastJob = {*job, std::vector<double>(job->values, job->values + n * job->value_count)};
    for (int i = 0; i < n; ++i) {
        if (result->ranked_numbers) result->ranked_numbers[i] = i % k;
        if (result->cluster_ids) result->cluster_ids[i] = i % k;
        if (result->magnitudes) result->magnitudes[i] = 0.5;
        if (result->measurable) result->measurable[i] = 1;
    }
    for (int c = 0; result->ranked_values && c < k; ++c) result->ranked_values[c] = 0.25 + c;
    return SELVANE_ENGINE_OK;
}

inline const char* SELVANE_ENGINE_CALL ErrorText(int code) {
    return selvane::EngineErrorText(code);
}

// A stand-in for the engine library, and one for --library's.
inline Libraries Using(EngineRunFunction run) {
    return {[run](const std::string&) {
                return EngineFunctions{run, &ErrorText};
            },
            [](const std::string& path) -> SelvaneFunction {
                throw HostError(kExitLibrary, "no library '" + path + "' in this test");
            }};
}
inline Libraries Using(SelvaneFunction plain) {
    Libraries libraries = Using(&RoundRobin);
    libraries.selvane = [plain](const std::string&) { return plain; };
    return libraries;
}
inline Libraries Using(const Libraries& libraries) { return libraries; }

// What the library reports of items of these magnitudes, 0 for those it
// cannot measure, and clusters ranked by these values.
inline Magnitudes Reported(const std::vector<double>& relative, std::vector<double> ranked = {}) {
    Magnitudes m{{}, relative, 0, std::move(ranked)};
    for (double value : relative) m.measurable.push_back(value > 0.0);
    for (double value : relative) m.measurableCount += value > 0.0 ? 1 : 0;
    return m;
}

// Runs "selvane <args...>" in-process.
template <typename FunctionOrLoader>
HostRun RunWith(FunctionOrLoader function, const std::vector<std::string>& args) {
    std::vector<std::string> words{"selvane"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::ostringstream out;
    std::ostringstream err;
    const int code =
        RunHost(static_cast<int>(words.size()), argv.data(), Using(function), out, err);
    return {code, out.str(), err.str()};
}

}  // namespace selvane::host::testing

#endif  // SELVANE_TESTS_TOOLS_HOST_TEST_SUPPORT_H
