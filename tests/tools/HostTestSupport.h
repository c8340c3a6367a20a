// Helpers shared by the host tests: a scratch directory, command lines, and
// one in-process run of the host.
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
    const int code = RunHost(static_cast<int>(words.size()), argv.data(), function, out, err);
    return {code, out.str(), err.str()};
}

}  // namespace selvane::host::testing

#endif  // SELVANE_TESTS_TOOLS_HOST_TEST_SUPPORT_H
