// Command-line forms the host accepts and the exact usage errors.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostError.h"
#include "Options.h"

namespace selvane::host {
namespace {

Options Parse(std::vector<std::string> words) {
    words.insert(words.begin(), "selvane");
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    return ParseOptions(static_cast<int>(argv.size()), argv.data());
}

std::string ErrorOf(std::vector<std::string> words) {
    try {
        Parse(std::move(words));
    } catch (const HostError& error) {
        EXPECT_EQ(error.code(), kExitUsage);
        return error.what();
    }
    return "(no error)";
}

TEST(Options, LongShortAndEqualsForms) {
    const Options a =
        Parse({"in.csv", "--clusters", "3", "--output", "o.csv", "--library", "lib.so"});
    EXPECT_EQ(a.input, "in.csv");
    EXPECT_EQ(a.clusterCount, 3);
    EXPECT_EQ(a.output, "o.csv");
    EXPECT_EQ(a.library, "lib.so");
    const Options b = Parse({"-k", "+4", "-o", "o.csv", "--library=l.so", "in.csv"});
    EXPECT_EQ(b.clusterCount, 4);
    EXPECT_EQ(b.output, "o.csv");
    EXPECT_EQ(b.library, "l.so");
    const Options c = Parse({"--clusters=2", "--", "-odd.csv"});
    EXPECT_EQ(c.input, "-odd.csv");
    EXPECT_EQ(c.clusterCount, 2);
}

TEST(Options, HelpAndVersionWinOverFaults) {
    EXPECT_TRUE(Parse({"--bogus", "--help"}).help);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"x.csv", "--version"}).version);
    // After "--" it is a file name.
    EXPECT_EQ(ErrorOf({"-k", "2", "--", "--help", "b.csv"}),
              "more than one input file: '--help' and 'b.csv'");
}

TEST(Options, ExactUsageErrors) {
    EXPECT_EQ(ErrorOf({"-k", "2"}), "no input file given");
    EXPECT_EQ(ErrorOf({"in.csv"}), "the number of clusters is missing: add --clusters K");
    EXPECT_EQ(ErrorOf({"in.csv", "--clusters"}), "--clusters: 1 required K missing");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "2.5"}), "--clusters expects a whole number, got '2.5'");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", ""}), "--clusters expects a whole number, got ''");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--frobnicate"}),
              "The following argument was not expected: --frobnicate");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--output="}), "--output needs a file name");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--plot="}), "--plot needs a file name");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--plot"}), "--plot: 1 required OUT.svg missing");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--header", "--no-header"}),
              "--header excludes --no-header");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--columns="}), "--columns needs a list");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--threads", "0"}),
              "--threads expects a whole number from 1 to 2147483647, got '0'");
    EXPECT_EQ(ErrorOf({"in.csv", "-k", "3", "--library", "l.so", "--seed", "1"}),
              "--library calls Selvane(), which takes no seed, runs no raw job and reports no "
              "magnitudes to draw: leave out --library, or --seed, --raw and --plot");
}

TEST(Options, HowToReadTheFile) {
    const Options plain = Parse({"-", "-k", "2"});
    EXPECT_EQ(plain.input, "-");
    EXPECT_EQ(plain.read.header, HeaderChoice::kDetect);
    const Options a = Parse({"in.csv", "-k", "2", "--no-header", "--label-column", "Name",
                             "--columns=2-4,7", "--decimal-comma"});
    EXPECT_EQ(a.read.header, HeaderChoice::kNoHeader);
    EXPECT_EQ(a.read.labelColumn, "Name");
    EXPECT_EQ(a.read.columns, "2-4,7");
    EXPECT_TRUE(a.read.decimalComma);
    EXPECT_EQ(Parse({"in.csv", "-k", "2", "--header"}).read.header, HeaderChoice::kHeader);
}

TEST(Options, PlotAndQuiet) {
    const Options plain = Parse({"in.csv", "-k", "2"});
    EXPECT_EQ(plain.plot, "");
    EXPECT_FALSE(plain.quiet);
    const Options a = Parse({"in.csv", "-k", "2", "--plot", "p.svg", "--quiet"});
    EXPECT_EQ(a.plot, "p.svg");
    EXPECT_TRUE(a.quiet);
    EXPECT_EQ(Parse({"in.csv", "-k", "2", "--threads", "4"}).threads, 4);
    const Options b = Parse({"-q", "--plot=p.svg", "in.csv", "-k", "2"});
    EXPECT_EQ(b.plot, "p.svg");
    EXPECT_TRUE(b.quiet);
    EXPECT_EQ(b.input, "in.csv");
}

TEST(Options, ClusterCountRange) {
    const auto rangeError = [](const std::string& k, std::size_t items) {
        try {
            CheckClusterCount(Parse({"in.csv", "-k", k}), items);
        } catch (const HostError& error) {
            EXPECT_EQ(error.code(), kExitUsage);
            return std::string(error.what());
        }
        return std::string("(no error)");
    };
    EXPECT_EQ(rangeError("1", 1), "(no error)");
    EXPECT_EQ(rangeError("150", 150), "(no error)");
    EXPECT_EQ(rangeError("151", 150),
              "--clusters must be from 1 to 150 (the number of items), got 151");
    EXPECT_EQ(rangeError("0", 150),
              "--clusters must be from 1 to 150 (the number of items), got 0");
    EXPECT_EQ(rangeError("-2", 150),
              "--clusters must be from 1 to 150 (the number of items), got -2");
    // Far beyond long long: still a range error, not a wrap-around.
    EXPECT_EQ(rangeError("99999999999999999999999", 5),
              "--clusters must be from 1 to 5 (the number of items), got "
              "99999999999999999999999");
    EXPECT_EQ(rangeError("4294967297", 5),  // 2^32 + 1 must not pass as 1
              "--clusters must be from 1 to 5 (the number of items), got 4294967297");
}

}  // namespace
}  // namespace selvane::host
