// What the host writes where, as a person and a script see it: --quiet,
// --plot, and the progress line of a long call on a terminal.
#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "HostError.h"
#include "HostTestSupport.h"
#include "ProgressIndicator.h"

namespace selvane::host {
namespace {

using testing::HostRun;
using testing::ReadFile;
using testing::RunWith;
using testing::ScratchDir;

using testing::RoundRobin;

int SELVANE_ENGINE_CALL Refuses(const selvane_engine_job*, selvane_engine_result*) {
    return SELVANE_ENGINE_ERROR_UNMEASURABLE;
}
// One pass of two done at once, the other after a long second; the hook,
// when the host gives one, hears of both.
int SELVANE_ENGINE_CALL Slow(const selvane_engine_job* job, selvane_engine_result* result) {
    for (int done = 1; done <= 2; ++done) {
        if (done == 2) std::this_thread::sleep_for(std::chrono::milliseconds(1150));
        if (job->progress) job->progress(job->progress_context, done, 2);
    }
    return RoundRobin(job, result);
}

const char kItems[] = "name,x,y\nfirst,1,10\nsecond,2,20\nthird,3,30\n";
const char kCsv[] = "label,cluster\nfirst,0\nsecond,1\nthird,0\n";

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos;
         at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

TEST(HostOutput, QuietLeavesStandardErrorEmptyButForErrors) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const HostRun quiet = RunWith(&RoundRobin, {in, "-k", "2", "--quiet"});
    EXPECT_EQ(quiet.code, kExitSuccess);
    EXPECT_EQ(quiet.out, kCsv);
    EXPECT_EQ(quiet.err, "");
    const HostRun refused = RunWith(&Refuses, {in, "-k", "2", "-q"});
    EXPECT_EQ(refused.code, kExitJob);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              "selvane: error: the library could not cluster the items: no item has every value a "
              "finite number greater than zero\n");
}

TEST(HostOutput, PlotIsWrittenWholeBesideAnUnchangedResult) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const std::string svg = dir.Path("picture.svg");
    const HostRun run = RunWith(&RoundRobin, {in, "-k", "2", "--plot", svg});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    EXPECT_EQ(run.out, kCsv);  // standard output holds the result only
    EXPECT_NE(run.err.find("  picture written to '" + svg + "'\n"), std::string::npos);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv", "picture.svg"}));

    const std::string picture = ReadFile(svg);
    EXPECT_EQ(picture.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ", 0), 0u);
    EXPECT_EQ(picture.substr(picture.size() - 7), "</svg>\n");
    EXPECT_EQ(Occurrences(picture, "<g class=\"panel\""), 2u);
    EXPECT_NE(picture.find("<title>in.csv: 2 clusters</title>"), std::string::npos);
    EXPECT_NE(picture.find(">Cluster 0</text>"), std::string::npos);
    EXPECT_NE(picture.find(">Cluster 1</text>"), std::string::npos);
    // first and third (0), second (1); the axis names come from the header.
    EXPECT_NE(picture.find(">2 items</text>"), std::string::npos);
    EXPECT_NE(picture.find(">1 item</text>"), std::string::npos);
    EXPECT_NE(picture.find("<title>x</title>x</text>"), std::string::npos);

    // --quiet drops the summary, not the picture.
    const std::string again = dir.Path("again.svg");
    const HostRun quiet = RunWith(&RoundRobin, {in, "-k", "2", "-q", "--plot=" + again});
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(ReadFile(again), picture);  // the same job draws the same bytes
    // "-" is standard output, for either.
    const std::string out = dir.Path("out.csv");
    const HostRun dash = RunWith(&RoundRobin, {in, "-k", "2", "-q", "--plot", "-", "-o", out});
    EXPECT_EQ(dash.out, picture);
    EXPECT_EQ(ReadFile(out), kCsv);
    EXPECT_EQ(RunWith(&RoundRobin, {in, "-k", "2", "-q", "-o", "-"}).out, kCsv);
}

TEST(HostOutput, ManyMembersAreSampledInThePicture) {
    ScratchDir dir;
    std::string items;
    for (int i = 1; i <= 450; ++i) {
        items += std::to_string(i) + "," + std::to_string(i % 7 + 1) + "\n";
    }
    const std::string svg = dir.Path("many.svg");
    // Round robin into 2: 225 members each, 200 drawn of each.
    const HostRun run =
        RunWith(&RoundRobin, {dir.Write("many.csv", items), "-k", "2", "--plot", svg, "-q"});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    const std::string picture = ReadFile(svg);
    EXPECT_EQ(Occurrences(picture, ">200 of 225 profiles drawn (sample)</text>"), 2u);
    EXPECT_EQ(Occurrences(picture, "<polyline"), 2u * (200 + 2));
}

TEST(HostOutput, PlotFailureLeavesStandardOutputEmpty) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const std::string nowhere = dir.Path("no-such-dir/p.svg");
    const std::string out = dir.Path("out.csv");
    const HostRun run = RunWith(&RoundRobin, {in, "-k", "2", "--plot", nowhere, "-o", out});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("selvane: error: cannot write '" + nowhere + "': ", 0), 0u) << run.err;
    // Neither the result file nor a temporary one.
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv"}));
    // A failed job draws nothing.
    const std::string svg = dir.Path("p.svg");
    EXPECT_EQ(RunWith(&Refuses, {in, "-k", "2", "--plot", svg}).code, kExitJob);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv"}));
}

TEST(HostOutput, LongCallOnATerminalShowsItsProgressThenClearsIt) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    std::vector<std::string> words{"selvane", in, "-k", "2"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunHost(4, argv.data(), testing::Using(&Slow), out, err, true), kExitSuccess);
    EXPECT_EQ(out.str(), kCsv);
    // After a second: the indicator, then blanks over it and the summary.
    const std::string text = err.str();
    const std::string line = "\rselvane: clustering 3 items into 2 clusters: 1 of 2 passes, 1.";
    EXPECT_EQ(text.rfind(line, 0), 0u) << text;
    const std::size_t width = text.find('\r', 1) - 1;
    const std::string cleared = "\r" + std::string(width, ' ') + "\r";
    const std::size_t summary = text.find("selvane: 3 items, 2 dimensions, 2 clusters\n");
    ASSERT_NE(summary, std::string::npos) << text;
    EXPECT_EQ(text.substr(summary - cleared.size(), cleared.size()), cleared);

    // --quiet on a terminal: nothing at all.
    words.push_back("--quiet");
    argv.clear();
    for (std::string& word : words) argv.push_back(word.data());
    std::ostringstream quietErr;
    RunHost(5, argv.data(), testing::Using(&Slow), out, quietErr, true);
    EXPECT_EQ(quietErr.str(), "");
}

TEST(ProgressIndicator, WritesAfterTheDelayAndBlanksItsLine) {
    std::ostringstream err;
    ProgressIndicator indicator(err, "work", std::chrono::milliseconds(20),
                                std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    indicator.Stop();
    const std::string text = err.str();
    // "\rwork 0.0 s", "\rwork 0.1 s", ...: all ten characters long.
    EXPECT_EQ(text.rfind("\rwork 0.", 0), 0u) << text;
    EXPECT_GE(Occurrences(text, "\rwork 0."), 3u);
    const std::string cleared = "\r" + std::string(10, ' ') + "\r";
    ASSERT_GE(text.size(), cleared.size());
    EXPECT_EQ(text.substr(text.size() - cleared.size()), cleared);
    indicator.Stop();  // a second Stop writes nothing more
    EXPECT_EQ(err.str(), text);
}

TEST(ProgressIndicator, QuickWorkShowsNothingAndTheRestIsEstimated) {
    std::ostringstream err;
    {
        ProgressIndicator indicator(err, "work");  // the default second
    }
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(ProgressIndicator::Line(3.04, 1, 4, 3.0), "1 of 4 passes, 3.0 s, about 9 s left");
    EXPECT_EQ(ProgressIndicator::Line(5.0, 1, 4, 3.0), "1 of 4 passes, 5.0 s, about 7 s left");
    EXPECT_EQ(ProgressIndicator::Line(3.04, 0, 4, 0.0), "3.0 s");
}

}  // namespace
}  // namespace selvane::host
