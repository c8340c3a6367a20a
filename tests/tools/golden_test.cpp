// The whole host on the bundled iris example with the real engine linked in
// and a pinned random stream.
//
// How golden/iris_k3.csv was produced: by this file's own run (generator
// words 12345 and 67890, K = 3, the Debug build with sanitizers on Linux
// x86-64) once the engine linked and gave whole numbers 0..2, with
//   SELVANE_RECORD_GOLDEN=1 build/<dir>/tests/tools/tools_golden_test
// which rewrites the file before comparing. The release build's selvane
// command, seeded from the clock, printed the same 151 lines. The file thus
// guards against any change in results rather than proving them right; the
// independent check is IrisSetosaStandsApart below.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostError.h"
#include "HostTestSupport.h"
#include "random/Generator.h"

namespace selvane::host {
namespace {

using testing::HostRun;
using testing::RunWith;

const std::string kIris = SELVANE_EXAMPLES_DIR "/iris.csv";
const std::string kGolden = SELVANE_GOLDEN_DIR "/iris_k3.csv";

// The engine library's call, in-process, with the export's calling
// convention.
int SELVANE_ENGINE_CALL CallEngine(const selvane_engine_job* job, selvane_engine_result* result) {
    return selvane::RunEngine(job, result);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

HostRun PinnedIrisRun() {
    selvane::StoreSeedWords({12345, 67890});
    return RunWith(&CallEngine, {kIris, "--clusters", "3"});
}

TEST(IrisGolden, MatchesTheRecordedResultLineByLine) {
    const HostRun run = PinnedIrisRun();
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    if (std::getenv("SELVANE_RECORD_GOLDEN") != nullptr) {
        std::ofstream(kGolden, std::ios::binary) << run.out;
    }
    const std::vector<std::string> expected = Lines(testing::ReadFile(kGolden));
    const std::vector<std::string> actual = Lines(run.out);
    ASSERT_EQ(actual.size(), 151u);
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "line " << i + 1;
    }
    EXPECT_NE(run.err.find("selvane: 150 items, 4 dimensions, 3 clusters\n"), std::string::npos);
    EXPECT_NE(run.err.find("  cannot be measured: 0 items\n"), std::string::npos);
}

// Setosa's short, narrow petals point its profile away from the other two
// species, and its flowers are the smallest overall (mean norm about 6.3
// against 7.9 and 9.4): it must form a cluster of exactly its 50 members,
// and that cluster must be number 0.
TEST(IrisGolden, IrisSetosaStandsApart) {
    const HostRun run = PinnedIrisRun();
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 151u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const bool setosa = lines[i].rfind("setosa-", 0) == 0;
        const bool inZero = lines[i].substr(lines[i].find(',')) == ",0";
        EXPECT_EQ(setosa, inZero) << lines[i];
    }
}

TEST(IrisGolden, TheEngineRefusesItemsNoneOfWhichCanBeMeasured) {
    testing::ScratchDir dir;
    const HostRun run =
        RunWith(&CallEngine, {dir.Write("zeros.csv", "a,0,1\nb,2,-1\nc,nan,3\n"), "-k", "2"});
    EXPECT_EQ(run.code, kExitJob);
    EXPECT_EQ(run.err,
              "selvane: error: the library could not cluster the items: no item has "
              "every value a finite number greater than zero\n");
}

}  // namespace
}  // namespace selvane::host
