// The host driven in-process with stand-in functions: what reaches the
// library, what comes out, every error message, and the output file rules.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "HostError.h"
#include "HostTestSupport.h"

namespace selvane::host {
namespace {

using testing::HostRun;
using testing::ReadFile;
using testing::RunWith;
using testing::ScratchDir;

using testing::lastJob;
using testing::RoundRobin;
using testing::Using;

int SELVANE_ENGINE_CALL Unmeasurable(const selvane_engine_job*, selvane_engine_result*) {
    return SELVANE_ENGINE_ERROR_UNMEASURABLE;
}
int SELVANE_ENGINE_CALL NoMemory(const selvane_engine_job*, selvane_engine_result*) {
    return SELVANE_ENGINE_ERROR_NO_MEMORY;
}
int SELVANE_ENGINE_CALL WritesNothing(const selvane_engine_job*, selvane_engine_result*) {
    return SELVANE_ENGINE_OK;
}
int SELVANE_ENGINE_CALL RunsOutOfMemory(const selvane_engine_job*, selvane_engine_result*) {
    throw std::bad_alloc();
}
int SELVANE_ENGINE_CALL WritesTooLarge(const selvane_engine_job* job, selvane_engine_result* r) {
    RoundRobin(job, r);
    r->ranked_numbers[0] = job->cluster_count;
    return SELVANE_ENGINE_OK;
}
// Selvane() of another library, for --library.
std::string threadsSeen;
void SELVANE_CALL PlainRoundRobin(int n, int, const double*, int k, double* result) {
    const char* threads = std::getenv("SELVANE_THREADS");
    threadsSeen = threads != nullptr ? threads : "(none)";
    for (int i = 0; i < n; ++i) result[i] = i % k;
}
void SELVANE_CALL PlainRefuses(int n, int, const double*, int, double* result) {
    for (int i = 0; i < n; ++i) result[i] = -1.0;
}

const char kItems[] = "name,x,y\r\nfirst,1,10\r\nsecond,2,20\r\nthird,3,30\r\n";

TEST(Host, PassesDimensionMajorValuesAndPrintsOneLinePerItem) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const HostRun run = RunWith(&RoundRobin, {in, "--clusters", "2", "--threads", "3"});
    ASSERT_EQ(run.code, kExitSuccess) << run.err;
    const selvane_engine_job& job = lastJob.job;  // the Selvane job, as columns
    EXPECT_EQ(std::make_tuple(job.kind, job.item_count, job.value_count, job.layout,
                              job.cluster_count, job.thread_count, job.seed),
              std::make_tuple(1, 3, 2, 1, 2, 3, nullptr));
    EXPECT_EQ(lastJob.values, (std::vector<double>{1, 2, 3, 10, 20, 30}));
    EXPECT_EQ(run.out, "label,cluster\nfirst,0\nsecond,1\nthird,0\n");
    EXPECT_EQ(run.err.rfind("selvane: 3 items, 2 dimensions, 2 clusters\n", 0), 0u) << run.err;
    // The library's ranked values, as it gave them.
    EXPECT_NE(run.err.find("  cluster 1: 1 item, ranked by 1.2500, mean relative magnitude "
                           "0.5000\n"),
              std::string::npos)
        << run.err;
}

TEST(Host, UnlabelledItemsAreNumberedAndOddLabelsQuoted) {
    ScratchDir dir;
    const HostRun plain = RunWith(&RoundRobin, {dir.Write("a.csv", "1;2\n3;4\n"), "-k", "1"});
    EXPECT_EQ(plain.out, "item,cluster\n1,0\n2,0\n");
    const HostRun quoted = RunWith(
        &RoundRobin, {dir.Write("b.csv", "\"Smith, J.\"\t1\n\"say \"\"hi\"\"\"\t2\n"), "-k", "1"});
    EXPECT_EQ(quoted.out, "label,cluster\n\"Smith, J.\",0\n\"say \"\"hi\"\"\",0\n");
}

TEST(Host, ExactErrorLinesAndExitCodes) {
    ScratchDir dir;
    const std::string good = dir.Write("good.csv", kItems);
    const std::string missing = dir.Path("missing.csv");
    struct Case {
        std::string name;
        std::vector<std::string> args;
        Libraries libraries;
        int code;
        std::string err;
    };
    const std::vector<Case> cases = {
        {"missing file",
         {missing, "-k", "2"},
         Using(&RoundRobin),
         kExitInput,
         "cannot read '" + missing + "': " + std::strerror(ENOENT)},
        {"empty file",
         {dir.Write("empty.csv", ""), "-k", "2"},
         Using(&RoundRobin),
         kExitInput,
         "'" + dir.Path("empty.csv") + "' is empty"},
        {"ragged",
         {dir.Write("ragged.csv", "1,2\n3\n"), "-k", "1"},
         Using(&RoundRobin),
         kExitInput,
         "'" + dir.Path("ragged.csv") + "' line 2: found 1 cell, but line 1 has 2 cells"},
        {"not a number",
         {dir.Write("nan.csv", "x,y\n1,2\n3,four\n"), "-k", "1"},
         Using(&RoundRobin),
         kExitInput,
         "'" + dir.Path("nan.csv") +
             "' line 3, column 2 ('y'): not a number: 'four'; leave the column out with "
             "--columns, or take it as the labels with --label-column y"},
        // The range needs the file's item count; the other usage errors
        // are checked in options_test.
        {"K above N",
         {good, "-k", "4"},
         Using(&RoundRobin),
         kExitUsage,
         "--clusters must be from 1 to 3 (the number of items), got 4"},
        {"library out of memory",
         {good, "-k", "2"},
         Using(&NoMemory),
         kExitMemory,
         "out of memory"},
        {"nothing measurable",
         {dir.Write("zero.csv", "0,1\n-1,2\n"), "-k", "1"},
         Using(&Unmeasurable),
         kExitJob,
         "the library could not cluster the items: no item has every value a finite number "
         "greater than zero: column 1 has no value greater than zero; leave it out with "
         "--columns, or cluster the values as they stand with --raw"},
        {"a column of gaps, Selvane() of another library",
         {dir.Write("gaps.csv", "x,y,z\n1,,2\n3,NA,4\n"), "-k", "1", "--library", "x"},
         Using(&PlainRefuses),
         kExitJob,
         "the library could not cluster the items: no item can be measured, or memory ran out: "
         "'y' has no value on any line; leave it out with --columns"},
        // The output is checked before the file is read.
        {"output folder missing",
         {dir.Write("bad.csv", "1,2\n3\n"), "-k", "1", "-o", dir.Path("none/o.csv")},
         Using(&RoundRobin),
         kExitOutput,
         "cannot write '" + dir.Path("none/o.csv") + "': " + std::strerror(ENOENT)},
        {"picture and result on standard output",
         {good, "-k", "1", "--plot", "-"},
         Using(&RoundRobin),
         kExitUsage,
         "--plot - and the result would share standard output; give the result a file with "
         "--output"},
        {"out of memory", {good, "-k", "2"}, Using(&RunsOutOfMemory), kExitMemory, "out of memory"},
        {"result unwritten",
         {good, "-k", "2"},
         Using(&WritesNothing),
         kExitJob,
         "the library returned no valid cluster number for first"},
        {"result out of range",
         {good, "-k", "2"},
         Using(&WritesTooLarge),
         kExitJob,
         "the library returned no valid cluster number for first"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HostRun run = RunWith(c.libraries, c.args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(run.err, "selvane: error: " + c.err + "\n");
        EXPECT_EQ(run.out, "");
    }
}

TEST(Host, LoadsTheLibraryOnlyForAGoodJob) {
    ScratchDir dir;
    int loads = 0;
    std::string requested;
    const auto failing = [&](const std::string& path) -> EngineFunctions {
        ++loads;
        requested = path;
        throw HostError(kExitLibrary, "cannot load library '" + path + "': gone");
    };
    const Libraries libraries{failing, nullptr};
    // A bad file is reported as such, not hidden behind the library.
    const HostRun bad = RunWith(libraries, {dir.Write("bad.csv", "1,2\n3\n"), "-k", "1"});
    EXPECT_EQ(bad.code, kExitInput);
    EXPECT_EQ(loads, 0);
    const HostRun good =
        RunWith(libraries, {dir.Write("good.csv", kItems), "-k", "1", "--engine-library", "x.so"});
    EXPECT_EQ(good.code, kExitLibrary);
    EXPECT_EQ(requested, "x.so");
    EXPECT_EQ(good.err, "selvane: error: cannot load library 'x.so': gone\n");
}

TEST(Host, OutputFileIsWholeOrUntouched) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const std::string out = dir.Path("out.csv");

    // A failed job creates neither the output nor a temporary file.
    EXPECT_EQ(RunWith(&Unmeasurable, {in, "-k", "2", "-o", out}).code, kExitJob);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv"}));

    const HostRun ok = RunWith(&RoundRobin, {in, "-k", "2", "--output", out});
    ASSERT_EQ(ok.code, kExitSuccess) << ok.err;
    EXPECT_EQ(ok.out, "");
    EXPECT_EQ(ReadFile(out), "label,cluster\nfirst,0\nsecond,1\nthird,0\n");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv", "out.csv"}));

    // A later failure leaves the earlier result as it was.
    EXPECT_EQ(RunWith(&WritesNothing, {in, "-k", "2", "-o", out}).code, kExitJob);
    EXPECT_EQ(ReadFile(out), "label,cluster\nfirst,0\nsecond,1\nthird,0\n");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv", "out.csv"}));

    // A successful rerun replaces it whole.
    ASSERT_EQ(RunWith(&RoundRobin, {in, "-k", "1", "-o", out}).code, kExitSuccess);
    EXPECT_EQ(ReadFile(out), "label,cluster\nfirst,0\nsecond,0\nthird,0\n");
}

TEST(Host, NeverWritesOverItsInput) {
    ScratchDir dir;
    const std::string in = dir.Write("u.csv", kItems);
    const std::string other = dir.Path("other.svg");
    // Another spelling and another name of the same file are the same file.
    std::filesystem::create_hard_link(in, dir.Path("link.csv"));
    const std::string respelt = dir.Path("./sub/../u.csv");
    std::filesystem::create_directory(dir.Path("sub"));
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::vector<Case> cases = {
        {{in, "-k", "2", "-o", in}, "--output names the input file '" + in + "'"},
        {{in, "-k", "2", "-o", respelt}, "--output names the input file '" + in + "'"},
        {{dir.Path("link.csv"), "-k", "2", "-o", in},
         "--output names the input file '" + dir.Path("link.csv") + "'"},
        {{in, "-k", "2", "--plot", respelt}, "--plot names the input file '" + in + "'"},
        {{in, "-k", "2", "-o", other, "--plot", dir.Path("sub/../other.svg")},
         "--output and --plot name the same file '" + dir.Path("sub/../other.svg") + "'"},
    };
    for (const Case& c : cases) {
        const HostRun run = RunWith(&RoundRobin, c.args);
        EXPECT_EQ(run.code, kExitUsage);
        EXPECT_EQ(run.err.rfind("selvane: error: " + c.err, 0), 0u) << run.err;
    }
    EXPECT_EQ(ReadFile(in), kItems);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"u.csv", "link.csv", "sub"}));
}

TEST(Host, UnwritableOutputIsReportedAndLeavesNothing) {
    ScratchDir dir;
    const std::string in = dir.Write("in.csv", kItems);
    const std::string nowhere = dir.Path("no-such-dir/out.csv");
    const HostRun run = RunWith(&RoundRobin, {in, "-k", "2", "-o", nowhere});
    EXPECT_EQ(run.code, kExitOutput);
    EXPECT_EQ(run.err,
              "selvane: error: cannot write '" + nowhere + "': " + std::strerror(ENOENT) + "\n");
    // A directory in the way: the rename fails after the temporary file was
    // written, and that file must go again.
    std::filesystem::create_directory(dir.Path("taken"));
    const HostRun blocked = RunWith(&RoundRobin, {in, "-k", "2", "-o", dir.Path("taken")});
    EXPECT_EQ(blocked.code, kExitOutput);
    EXPECT_EQ(blocked.err.rfind("selvane: error: cannot write '" + dir.Path("taken") + "': ", 0),
              0u)
        << blocked.err;
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"in.csv", "taken"}));
}

// Selvane() of another library reads its thread count from the variable,
// set for the call alone, and gives the summary its sizes.
TEST(Host, ThreadsReachThePlainExportThroughItsVariable) {
    ScratchDir dir;
    const char* before = std::getenv("SELVANE_THREADS");
    const std::string saved = before != nullptr ? before : "(none)";
    const HostRun run = RunWith(&PlainRoundRobin, {dir.Write("in.csv", kItems), "-k", "2",
                                                   "--threads", "3", "--library", "l.so"});
    ASSERT_EQ(run.code, kExitSuccess);
    EXPECT_EQ(threadsSeen, "3");
    const char* after = std::getenv("SELVANE_THREADS");
    EXPECT_EQ(after != nullptr ? after : "(none)", saved);
    EXPECT_EQ(run.err.rfind("selvane: Selvane() of 'l.so', 3 items, 2 dimensions, 2 clusters\n", 0),
              0u)
        << run.err;
}

#ifndef _WIN32
// Runs the host as a user whom permissions bind: as root, in a child that
// has become nobody. False when root cannot drop its privileges.
bool RunAsUser(const std::vector<std::string>& args, HostRun& run) {
    if (geteuid() != 0) {
        run = RunWith(&RoundRobin, args);
        return true;
    }
    int ends[2];
    if (pipe(ends) != 0) return false;
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
        const HostRun inner = RunWith(&RoundRobin, args);
        _exit(write(ends[1], inner.err.data(), inner.err.size()) < 0 ? 101 : inner.code);
    }
    close(ends[1]);
    run = {0, "", ""};
    char buffer[512];
    for (ssize_t got; (got = read(ends[0], buffer, sizeof buffer)) > 0;)
        run.err.append(buffer, got);
    close(ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run.code != 100;
}
#endif

// As ordinary tools write: a regular file replaced whole, keeping its
// permissions; a link's target replaced and the link kept; a FIFO or device
// written in place; a file or folder the user may not write left alone.
TEST(Host, OutputFollowsLinksWritesDevicesInPlaceAndRespectsPermissions) {
#ifdef _WIN32
    GTEST_SKIP() << "links, FIFOs, device nodes and users: POSIX only";
#else
    namespace fs = std::filesystem;
    ScratchDir dir;
    const fs::perms open = fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write;
    fs::permissions(dir.Path(""), open);
    const std::string in = dir.Write("in.csv", kItems);
    const std::string csv = "label,cluster\nfirst,0\nsecond,1\nthird,0\n";
    const fs::perms mine = fs::perms::owner_read | fs::perms::owner_write;
    dir.Write("private.csv", "old");
    fs::permissions(dir.Path("private.csv"), mine);
    fs::create_symlink("private.csv", dir.Path("link.csv"));
    fs::create_symlink("new.csv", dir.Path("dangling.csv"));
    for (const char* link : {"link.csv", "dangling.csv"}) {
        EXPECT_EQ(RunWith(&RoundRobin, {in, "-k", "2", "-o", dir.Path(link)}).code, kExitSuccess);
        EXPECT_TRUE(fs::is_symlink(dir.Path(link))) << link;
    }
    EXPECT_EQ(ReadFile(dir.Path("private.csv")), csv);
    EXPECT_EQ(fs::status(dir.Path("private.csv")).permissions(), mine);
    EXPECT_EQ(ReadFile(dir.Path("new.csv")), csv);

    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadFile(dir.Path("fifo")); });
    EXPECT_EQ(RunWith(&RoundRobin, {in, "-k", "2", "-o", dir.Path("fifo")}).code, kExitSuccess);
    reader.join();
    EXPECT_EQ(received, csv);
    EXPECT_TRUE(fs::is_fifo(dir.Path("fifo")));
    // /dev/null's numbers, in a node of our own.
    if (mknod(dir.Path("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        EXPECT_EQ(RunWith(&RoundRobin, {in, "-k", "2", "--plot", dir.Path("null")}).code,
                  kExitSuccess);
        EXPECT_TRUE(fs::is_character_file(dir.Path("null")));
    } else {
        std::cout << "[ SKIPPED  ] the device row: mknod needs root\n";
    }

    dir.Write("readonly.csv", "old");
    fs::permissions(dir.Path("readonly.csv"),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directory(dir.Path("locked"));
    dir.Write("locked/open.csv", "old");
    fs::permissions(dir.Path("locked/open.csv"), fs::perms::all);
    fs::permissions(dir.Path("locked"), open & ~fs::perms::owner_write);
    const std::string denied = std::strerror(EACCES);
    const std::vector<std::pair<std::string, std::string> > refusals = {
        {"readonly.csv", denied},
        {"locked/new.csv", denied},
        {"locked/open.csv", denied + " in its folder '" + dir.Path("locked") +
                                "', where the new file that replaces it is made"},
    };
    for (const auto& [name, reason] : refusals) {
        HostRun run;
        if (!RunAsUser({in, "-k", "2", "-o", dir.Path(name)}, run)) {
            std::cout << "[ SKIPPED  ] as a user: cannot become nobody\n";
            break;
        }
        EXPECT_EQ(run.code, kExitOutput) << name;
        EXPECT_EQ(run.err,
                  "selvane: error: cannot write '" + dir.Path(name) + "': " + reason + "\n");
    }
    EXPECT_EQ(ReadFile(dir.Path("readonly.csv")), "old");
    EXPECT_EQ(ReadFile(dir.Path("locked/open.csv")), "old");
    fs::permissions(dir.Path("locked"), fs::perms::all);
    EXPECT_EQ(fs::directory_iterator(dir.Path("locked"))->path().filename(), "open.csv");
#endif
}

}  // namespace
}  // namespace selvane::host
