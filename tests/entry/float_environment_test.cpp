// The exported function must give the same bits whatever floating-point
// settings the calling thread has, and hand those settings back untouched.
#include "common/FloatEnvironment.h"

#include <gtest/gtest.h>

#include <vector>

#include "entry/RunJob.h"
#include "random/Generator.h"

#if defined(__x86_64__) || defined(_M_X64) || defined(__SSE2__)
#define TEST_HAS_SSE 1
#include <xmmintrin.h>
#endif
#if defined(_WIN32) && defined(__GNUC__) && \
    (defined(__i386__) || defined(__x86_64__))
#define TEST_HAS_X87 1
#endif

namespace selvane {
namespace {

#ifdef TEST_HAS_SSE

// SSE register (MXCSR) bits.
constexpr unsigned kSseFlags = 0x003F;  // sticky exception flags
constexpr unsigned kSsePrecisionFlag = 0x0020;
constexpr unsigned kSseDenormalsAreZero = 0x0040;
constexpr unsigned kSseMasks = 0x1F80;  // every exception masked
constexpr unsigned kSseInvalidMask = 0x0080;
constexpr unsigned kSseDivideMask = 0x0200;
constexpr unsigned kSseTowardZero = 0x6000;
constexpr unsigned kSseFlushToZero = 0x8000;

// x87 control word: masks in bits 0-5 (bit 6 always reads 1), precision in
// bits 8-9 (00 = 24 bits, 11 = 64 bits), rounding in bits 10-11 (10 = up).
constexpr unsigned short kX87Masks = 0x007F;
constexpr unsigned short kX87RoundUp = 0x0800;
constexpr unsigned short kX87InvalidMask = 0x0001;
constexpr unsigned short kX87DivideMask = 0x0004;
constexpr unsigned short kX87Precision64 = 0x0300;

struct Environment {
    unsigned sse = 0;
    unsigned short x87Control = 0;
    unsigned short x87Status = 0;
};

Environment ReadEnvironment() {
    Environment e;
    e.sse = _mm_getcsr();
#ifdef TEST_HAS_X87
    __asm__ __volatile__("fnstcw %0" : "=m"(e.x87Control));
    __asm__ __volatile__("fnstsw %0" : "=m"(e.x87Status));
#endif
    return e;
}

// Installs the settings with every flag cleared, and returns what the
// processor then reports.
Environment WriteEnvironment(unsigned sse, unsigned short x87Control) {
    _mm_setcsr(sse & ~kSseFlags);
#ifdef TEST_HAS_X87
    __asm__ __volatile__("fnclex\n\tfldcw %0" : : "m"(x87Control));
#else
    static_cast<void>(x87Control);
#endif
    return ReadEnvironment();
}

struct Job {
    const char* name;
    int itemCount;
    int dimensionCount;
    int clusterCount;
    std::vector<double> input;  // dimension-major
};

struct Outcome {
    std::vector<double> result;
    SeedWords wordsAfter;
};

// Runs the job from a pinned generator state, so that two runs draw the
// same stream.
Outcome RunPinned(const Job& job) {
    StoreSeedWords({1234567, 7654321});
    Outcome out;
    out.result.assign(job.itemCount, 99.0);
    RunJob(job.itemCount, job.dimensionCount, job.input.data(),
           job.clusterCount, out.result.data());
    out.wordsAfter = LoadSeedWords();
    return out;
}

// One item per cluster, so the numbers follow the magnitudes. Item 0 is
// 1 - 2^-30: its magnitude rounds to 1.0f, the same single-precision mean
// as item 1, so both take the higher number, 2 (worked by hand). Rounded
// toward zero it becomes 1 - 2^-24 and item 0 alone would get 1.
Job RoundingJob() { return {"rounding", 3, 1, 3, {1.0 - 0x1p-30, 1.0, 0.5}}; }

// Every value is subnormal: measurable, with magnitudes 1/3, 2/3 and 1, so
// the numbers are 0, 1, 2 (worked by hand). Denormals-are-zero reads them
// as 0 (nothing measurable, every element -1); flush-to-zero turns the
// rescaled norms into 0.
Job SubnormalJob() { return {"subnormal", 3, 1, 3, {1e-310, 2e-310, 3e-310}}; }

// A job that depends on the random starts, with one item that cannot be
// measured (its values are divided by a zero norm).
Job MixedJob() {
    return {"mixed", 10, 2, 3, {1.0,  1.2,  0.9, 5.0,  5.5,  4.8, 0.0,
                                20.0, 21.0, 0.3, 1.1,  0.8,  1.0, 4.9,
                                5.2,  5.1,  3.0, 19.0, 22.0, 0.35}};
}

void ExpectSameOutcome(const Outcome& expected, const Outcome& actual) {
    EXPECT_EQ(expected.result, actual.result);
    EXPECT_EQ(expected.wordsAfter.s1, actual.wordsAfter.s1);
    EXPECT_EQ(expected.wordsAfter.s2, actual.wordsAfter.s2);
}

class FloatEnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override { defaults_ = ReadEnvironment(); }
    void TearDown() override {
        WriteEnvironment(defaults_.sse, defaults_.x87Control);
    }

    // Runs the job under the given settings and checks that they are
    // exactly in force afterwards, flags included.
    Outcome RunUnder(unsigned sse, unsigned short x87Control, const Job& job) {
        const Environment host = WriteEnvironment(sse, x87Control);
        Outcome out = RunPinned(job);
        const Environment after = ReadEnvironment();
        WriteEnvironment(defaults_.sse, defaults_.x87Control);
        EXPECT_EQ(host.sse, after.sse);
        EXPECT_EQ(host.x87Control, after.x87Control);
        EXPECT_EQ(host.x87Status, after.x87Status);
        return out;
    }

    Environment defaults_;
};

TEST_F(FloatEnvironmentTest, DefaultResultsAreTheWorkedOnes) {
    EXPECT_EQ(RunPinned(RoundingJob()).result, (std::vector<double>{2, 2, 0}));
    EXPECT_EQ(RunPinned(SubnormalJob()).result, (std::vector<double>{0, 1, 2}));
}

TEST_F(FloatEnvironmentTest, HostileSettingsChangeNoResult) {
    // Round toward zero, flush-to-zero, denormals-are-zero; on Windows also
    // x87 24-bit precision rounding up.
    const unsigned sse = kSseMasks | kSseTowardZero | kSseFlushToZero |
                         kSseDenormalsAreZero;
    const unsigned short x87 = kX87Masks | kX87RoundUp;
    for (const Job& job : {RoundingJob(), SubnormalJob(), MixedJob()}) {
        SCOPED_TRACE(job.name);
        ExpectSameOutcome(RunPinned(job), RunUnder(sse, x87, job));
    }
}

TEST_F(FloatEnvironmentTest, UnmaskedExceptionsDoNotTrap) {
    // Some hosts unmask invalid and divide-by-zero; the unmeasurable item
    // of the mixed job divides by zero.
    const unsigned sse = kSseMasks & ~(kSseInvalidMask | kSseDivideMask);
    const unsigned short x87 = static_cast<unsigned short>(
        (kX87Masks & ~(kX87InvalidMask | kX87DivideMask)) | kX87Precision64);
    ExpectSameOutcome(RunPinned(MixedJob()), RunUnder(sse, x87, MixedJob()));
}

TEST_F(FloatEnvironmentTest, GuardInstallsItsOwnSettingsAndRestoresAll) {
    const unsigned short x87 = kX87Masks | kX87RoundUp;
    const Environment host = WriteEnvironment(
        kSseMasks | kSseTowardZero | kSseFlushToZero | kSseDenormalsAreZero,
        x87);
    // A raised flag stands for whatever the host's own arithmetic left.
    _mm_setcsr(host.sse | kSsePrecisionFlag);
    const unsigned hostSse = _mm_getcsr();
    Environment inside;
    {
        const FloatEnvironmentGuard guard;
        inside = ReadEnvironment();
    }
    const Environment after = ReadEnvironment();
    WriteEnvironment(defaults_.sse, defaults_.x87Control);

    // Round to nearest, no FTZ or DAZ, everything masked, flags cleared.
    EXPECT_EQ(inside.sse, 0x1F80u);
    EXPECT_EQ(after.sse, hostSse);
#ifdef TEST_HAS_X87
    // 64-bit precision, round to nearest, everything masked.
    EXPECT_EQ(inside.x87Control & 0x0F3F, 0x033F);
    EXPECT_EQ(after.x87Control, host.x87Control);
    EXPECT_EQ(after.x87Status, host.x87Status);
#endif
}

#else

TEST(FloatEnvironmentTest, NothingToGuardOnThisArchitecture) {
    GTEST_SKIP() << "no SSE or x87 settings on this architecture";
}

#endif

}  // namespace
}  // namespace selvane
