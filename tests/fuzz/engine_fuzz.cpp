// Fuzzes the engine entry with everything a caller can pass: any shape
// (negative lengths included), masks with values other than 0 and 1,
// weights of any bits, any orientation flag, pass count, method and metric
// code, and any starting assignment when the pass count is 0.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "FuzzInput.h"
#include "engine/ClusterEngine.h"

// Every reassignment sweep (the literal one and the vector ones of each
// width) must give the same bits.
#include "engine/sweep/SweepDispatch.h"

namespace {

using selvane::fuzz::FuzzInput;

constexpr int kMaxSide = 12;
constexpr int kGuards = 4;
constexpr int kGuardId = 0x5A5A5A5A;
constexpr int kUnsetId = -0x2F2F2F2F;  // what clusterIds holds before the call

struct Job {
    int clusterCount;
    int rowCount;
    int columnCount;
    int itemsAsColumns;
    int passCount;
    char method;
    char metric;
    double values[kMaxSide][kMaxSide];
    int present[kMaxSide][kMaxSide];
    double weights[kMaxSide];
    int start[kMaxSide];
};

struct Outcome {
    int ids[kGuards + kMaxSide + kGuards];
    double errorValue;
    int foundCount;
};

int MaskValue(FuzzInput& in) {
    const std::uint8_t selector = in.TakeByte();
    switch (selector % 4) {
        case 0: return 0;
        case 1: return 1;
        case 2: return static_cast<int>(in.TakeWord());
        default: return selector / 4 - 32;  // small values of either sign
    }
}

int Orientation(FuzzInput& in) {
    const std::uint8_t selector = in.TakeByte();
    if (selector < 112) return 0;
    if (selector < 224) return 1;
    return static_cast<int>(in.TakeWord());
}

int StartId(FuzzInput& in, int clusterCount) {
    const std::uint8_t selector = in.TakeByte();
    if (selector == 255) return static_cast<int>(in.TakeWord());
    // Mostly valid, now and then one outside 0 .. K-1.
    return selector % (std::max(clusterCount, 0) + 2) - 1;
}

// The job's matrices as the engine takes them: arrays of row pointers.
class Matrices {
public:
    Matrices(const Job& job, int rows, int columns, int valueCount)
        : rows_(rows), columns_(columns), valueCount_(valueCount) {
        data_ = new double*[static_cast<std::size_t>(rows)];
        mask_ = new int*[static_cast<std::size_t>(rows)];
        for (int r = 0; r < rows; ++r) {
            data_[r] = new double[static_cast<std::size_t>(columns)];
            mask_[r] = new int[static_cast<std::size_t>(columns)];
            std::memcpy(data_[r], job.values[r], sizeof(double) * columns);
            std::memcpy(mask_[r], job.present[r], sizeof(int) * columns);
        }
        weights_ = new double[static_cast<std::size_t>(valueCount)];
        std::memcpy(weights_, job.weights, sizeof(double) * valueCount);
        rowPointers_ = new double*[static_cast<std::size_t>(rows)];
        maskPointers_ = new int*[static_cast<std::size_t>(rows)];
        std::memcpy(rowPointers_, data_, sizeof(double*) * rows);
        std::memcpy(maskPointers_, mask_, sizeof(int*) * rows);
    }
    ~Matrices() {
        for (int r = 0; r < rows_; ++r) {
            delete[] rowPointers_[r];
            delete[] maskPointers_[r];
        }
        delete[] data_;
        delete[] mask_;
        delete[] rowPointers_;
        delete[] maskPointers_;
        delete[] weights_;
    }
    Matrices(const Matrices&) = delete;
    Matrices& operator=(const Matrices&) = delete;

    void CheckUnchanged(const Job& job) const {
        for (int r = 0; r < rows_; ++r) {
            SELVANE_FUZZ_CHECK(data_[r] == rowPointers_[r] &&
                               mask_[r] == maskPointers_[r]);
            SELVANE_FUZZ_CHECK(std::memcmp(data_[r], job.values[r],
                                           sizeof(double) * columns_) == 0);
            SELVANE_FUZZ_CHECK(std::memcmp(mask_[r], job.present[r],
                                           sizeof(int) * columns_) == 0);
        }
        SELVANE_FUZZ_CHECK(std::memcmp(weights_, job.weights,
                                       sizeof(double) * valueCount_) == 0);
    }

    double* const* data() const { return data_; }
    int* const* mask() const { return mask_; }
    const double* weights() const { return weights_; }

private:
    int rows_;
    int columns_;
    int valueCount_;
    double** data_;
    int** mask_;
    double* weights_;
    double** rowPointers_;  // what the row arrays held before the call
    int** maskPointers_;
};

void Run(const Job& job, std::uint64_t seed, const Matrices& m, Outcome* out) {
    selvane::StoreSeedWords({static_cast<std::int32_t>(seed),
                             static_cast<std::int32_t>(seed >> 32)});
    std::fill(std::begin(out->ids), std::end(out->ids), kGuardId);
    int* ids = out->ids + kGuards;
    const int itemCount = job.itemsAsColumns ? job.columnCount : job.rowCount;
    for (int i = 0; i < itemCount; ++i) {
        ids[i] = job.passCount == 0 ? job.start[i] : kUnsetId;
    }
    out->errorValue = -12.25;
    out->foundCount = -77;
    selvane::ClusterEngine engine;
    engine.PartitionClusters(
        job.clusterCount, job.rowCount, job.columnCount, m.data(), m.mask(),
        m.weights(), job.itemsAsColumns, job.passCount, job.method, job.metric,
        ids, &out->errorValue, &out->foundCount, selvane::ProcessGenerator(),
        selvane::RunSettings(), nullptr);
}

bool ValidStart(const Job& job, int itemCount) {
    for (int i = 0; i < itemCount; ++i) {
        if (job.start[i] < 0 || job.start[i] >= job.clusterCount) return false;
    }
    return true;
}

void Check(const Job& job, const Outcome& out) {
    const int itemCount = job.itemsAsColumns ? job.columnCount : job.rowCount;
    const int valueCount = job.itemsAsColumns ? job.rowCount : job.columnCount;
    const int n = std::max(itemCount, 0);
    for (int g = 0; g < kGuards; ++g) {
        SELVANE_FUZZ_CHECK(out.ids[g] == kGuardId);
        SELVANE_FUZZ_CHECK(out.ids[kGuards + n + g] == kGuardId);
    }
    const int* ids = out.ids + kGuards;
    const bool refused = job.clusterCount < 1 || valueCount < 0 ||
                         itemCount < job.clusterCount ||
                         (job.passCount == 0 && !ValidStart(job, itemCount));

    // No memory runs out here: the found count is 0 exactly for the jobs
    // that cannot be clustered, and otherwise counts passes.
    if (refused) {
        SELVANE_FUZZ_CHECK(out.foundCount == 0);
        SELVANE_FUZZ_CHECK(out.errorValue == -12.25);
        for (int i = 0; i < n; ++i) {
            SELVANE_FUZZ_CHECK(ids[i] ==
                               (job.passCount == 0 ? job.start[i] : kUnsetId));
        }
        return;
    }
    SELVANE_FUZZ_CHECK(out.foundCount >= 1);
    SELVANE_FUZZ_CHECK(out.foundCount <= std::max(job.passCount, 1));
    int sizes[kMaxSide] = {};
    for (int i = 0; i < n; ++i) {
        SELVANE_FUZZ_CHECK(ids[i] >= 0 && ids[i] < job.clusterCount);
        sizes[ids[i]] += 1;
    }
    // A random start fills every cluster and no move ever empties one.
    if (job.passCount != 0) {
        for (int k = 0; k < job.clusterCount; ++k) {
            SELVANE_FUZZ_CHECK(sizes[k] > 0);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    selvane::fuzz::PinSeedSource();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes,
                                      std::size_t size) {
    FuzzInput in(bytes, size);
    static Job job;
    job.rowCount = in.TakeInRange(-2, kMaxSide);
    job.columnCount = in.TakeInRange(-2, kMaxSide);
    job.itemsAsColumns = Orientation(in);
    const int itemCount = job.itemsAsColumns ? job.columnCount : job.rowCount;
    const int valueCount = job.itemsAsColumns ? job.rowCount : job.columnCount;
    job.clusterCount = in.TakeInRange(-2, std::max(itemCount, 0) + 2);
    job.passCount = in.TakeInRange(-2, 5);
    job.method = static_cast<char>(in.TakeByte());
    job.metric = static_cast<char>(in.TakeByte());
    std::uint64_t seed = in.TakeWord() % 2147483563u;
    seed |= static_cast<std::uint64_t>(in.TakeWord() % 2147483399u) << 32;

    const int rows = std::max(job.rowCount, 0);
    const int columns = std::max(job.columnCount, 0);
    std::memset(job.values, 0, sizeof job.values);
    std::memset(job.present, 0, sizeof job.present);
    std::memset(job.weights, 0, sizeof job.weights);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            job.values[r][c] = in.TakeMeasurement();
            job.present[r][c] = MaskValue(in);
        }
    }
    for (int d = 0; d < std::max(valueCount, 0); ++d) {
        job.weights[d] = in.TakeMeasurement();
    }
    for (int i = 0; i < kMaxSide; ++i) {
        job.start[i] = i < itemCount ? StartId(in, job.clusterCount) : 0;
    }

    // Every row, the row arrays and the weights on the heap at their exact
    // sizes, so that AddressSanitizer sees any read past an edge.
    Matrices m(job, rows, columns, std::max(valueCount, 0));
    static Outcome out;
    Run(job, seed, m, &out);
    // Data, mask and weights are only read: bitwise, row pointers included.
    m.CheckUnchanged(job);
    Check(job, out);

    // Same job, same generator state, same bits: again, and on every sweep
    // width the processor has.
    const int widths[] = {0, selvane::kLiteralSweep, selvane::kSse2Lanes,
                          selvane::kAvx2Lanes, selvane::kAvx512Lanes};
    for (int lanes : widths) {
        if (!selvane::ForceSweepWidth(lanes)) continue;
        static Outcome again;
        Run(job, seed, m, &again);
        SELVANE_FUZZ_CHECK(std::memcmp(out.ids, again.ids, sizeof out.ids) ==
                           0);
        SELVANE_FUZZ_CHECK(out.foundCount == again.foundCount);
        // Bitwise, except that a NaN total may carry either sign: which NaN
        // operand an addition passes on is not part of the result.
        const bool bothNaN = std::isnan(out.errorValue) &&
                             std::isnan(again.errorValue);
        SELVANE_FUZZ_CHECK(bothNaN ||
                           std::memcmp(&out.errorValue, &again.errorValue,
                                       sizeof out.errorValue) == 0);
    }
    selvane::ForceSweepWidth(0);
    return 0;
}
