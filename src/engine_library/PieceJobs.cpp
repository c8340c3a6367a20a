// A job in pieces through the engine library: its plan, a piece of its
// passes, and the merge of every piece's records, each checked as the
// whole job is and writing nothing unless it succeeds.
#include <cstddef>
#include <cstring>

#include "common/Allocate.h"
#include "engine/PartitionFingerprint.h"
#include "engine/PassMerge.h"
#include "engine_library/EngineJob.h"
#include "entry/RunJob.h"

namespace selvane {

namespace {

int CheckKind(const selvane_engine_job& j) {
    switch (j.kind) {
        case SELVANE_ENGINE_JOB_CLUSTER: return CheckClusterJob(j);
        case SELVANE_ENGINE_JOB_SELVANE: return CheckSelvaneKindJob(j);
        default: return SELVANE_ENGINE_ERROR_OPTION;
    }
}

int KindPassCount(const selvane_engine_job& j) {
    return j.kind == SELVANE_ENGINE_JOB_SELVANE ? kSelvanePassCount
                                                : j.pass_count;
}

// Words a seed or a draw can leave: each in 1 .. its modulus - 1.
bool UsableWords(std::uint64_t packed) {
    const SeedWords words = UnpackSeedWords(packed);
    return words.s1 >= 1 && words.s1 < 2147483563 && words.s2 >= 1 &&
           words.s2 < 2147483399;
}

// A result that receives nothing: the kind's own outputs of a plan or a
// piece mean nothing.
selvane_engine_result Blank() {
    selvane_engine_result blank;
    std::memset(&blank, 0, sizeof blank);
    blank.size = sizeof blank;
    return blank;
}

}  // namespace

bool NoPieceFields(const selvane_engine_job& j) {
    return j.first_pass == 0 && j.range_count == 0 && !j.pass_words &&
           !j.pass_records && !j.best_ids;
}

int PlanJob(const selvane_engine_job& j, selvane_engine_result& o) {
    int status = CheckKind(j);
    if (status != SELVANE_ENGINE_OK) return status;
    if (!NoPieceFields(j)) return SELVANE_ENGINE_ERROR_OPTION;
    if (!j.seed || !o.pass_words) return SELVANE_ENGINE_ERROR_NULL_POINTER;
    const int passCount = KindPassCount(j);
    std::uint64_t* words = AllocateArray<std::uint64_t>(passCount);
    if (!words) return SELVANE_ENGINE_ERROR_NO_MEMORY;
    PassPiece piece;
    piece.wordsOut = words;
    piece.startsOnly = true;
    Generator own(SeedWordsFromSeed(*j.seed));
    selvane_engine_result blank = Blank();
    status = RunKind(j, blank, {&piece, passCount, &own, nullptr});
    if (status == SELVANE_ENGINE_OK) {
        std::memcpy(o.pass_words, words, sizeof *words * passCount);
        o.generator_words = PackSeedWords(LoadSeedWords(own));
    }
    Release(words);
    return status;
}

int RunPiece(const selvane_engine_job& j, selvane_engine_result& o) {
    int status = CheckKind(j);
    if (status != SELVANE_ENGINE_OK) return status;
    if (j.pass_records || j.best_ids) return SELVANE_ENGINE_ERROR_OPTION;
    const int count = j.range_count;
    if (j.first_pass < 0 || count < 1 ||
        j.first_pass > KindPassCount(j) - count) {
        return SELVANE_ENGINE_ERROR_PASS_COUNT;
    }
    if (!j.pass_words || !o.pass_records) {
        return SELVANE_ENGINE_ERROR_NULL_POINTER;
    }
    for (int p = 0; p < count; ++p) {
        if (!UsableWords(j.pass_words[p])) return SELVANE_ENGINE_ERROR_MISMATCH;
    }
    // The passes' outputs are kept here until every pass has run.
    const std::size_t idCount =
        o.pass_ids ? static_cast<std::size_t>(count) * j.item_count : 0;
    PassRecord* records = AllocateArray<PassRecord>(count);
    int* labels = AllocateArray<int>(j.cluster_count);
    int* ids = o.pass_ids ? AllocateArray<int>(
                                static_cast<std::int64_t>(count) * j.item_count)
                          : nullptr;
    status = SELVANE_ENGINE_ERROR_NO_MEMORY;
    if (records && labels && (ids || !o.pass_ids)) {
        PassPiece piece;
        piece.startWords = j.pass_words;
        piece.records = records;
        piece.labelMap = labels;
        piece.ids = ids;
        Generator own(UnpackSeedWords(j.pass_words[0]));
        selvane_engine_result blank = Blank();
        status = RunKind(j, blank, {&piece, count, &own, nullptr});
    }
    if (status == SELVANE_ENGINE_OK) {
        for (int p = 0; p < count; ++p) {
            o.pass_records[p] = {records[p].fingerprint, records[p].total,
                                 records[p].iterations, records[p].clusters};
        }
        if (ids) std::memcpy(o.pass_ids, ids, idCount * sizeof *ids);
    }
    Release(records);
    Release(labels);
    Release(ids);
    return status;
}

namespace {

// The partition given for the best pass: numbers in range, and the
// fingerprint its piece recorded.
int CheckBestIds(const selvane_engine_job& j, const PassRecord& best,
                 int* labels) {
    for (int i = 0; i < j.item_count; ++i) {
        if (j.best_ids[i] < 0 || j.best_ids[i] >= j.cluster_count) {
            return SELVANE_ENGINE_ERROR_CLUSTER_ID;
        }
    }
    int clusters = 0;
    const std::uint64_t fingerprint = PartitionFingerprint(
        j.best_ids, j.item_count, j.cluster_count, labels, &clusters);
    return fingerprint == best.fingerprint && clusters == best.clusters
               ? SELVANE_ENGINE_OK
               : SELVANE_ENGINE_ERROR_MISMATCH;
}

}  // namespace

int MergeJob(const selvane_engine_job& j, selvane_engine_result& o) {
    int status = CheckKind(j);
    if (status != SELVANE_ENGINE_OK) return status;
    if (j.first_pass != 0 || j.range_count != 0 || j.pass_words) {
        return SELVANE_ENGINE_ERROR_OPTION;
    }
    const bool derived = o.cluster_ids || o.centres || o.centre_present ||
                         o.ranked_numbers || o.magnitudes || o.ranked_values ||
                         o.measurable;
    if (!j.pass_records || (derived && !j.best_ids)) {
        return SELVANE_ENGINE_ERROR_NULL_POINTER;
    }
    const int passCount = KindPassCount(j);
    for (int p = 0; p < passCount; ++p) {
        const selvane_engine_pass& given = j.pass_records[p];
        // Every pass of a job ends with all of its clusters non-empty.
        if (given.iterations < 1 || given.clusters != j.cluster_count) {
            return SELVANE_ENGINE_ERROR_MISMATCH;
        }
    }
    PassRecord* records = AllocateArray<PassRecord>(passCount);
    int* labels = AllocateArray<int>(j.cluster_count);
    status = SELVANE_ENGINE_ERROR_NO_MEMORY;
    MergedPasses merged{};
    if (records && labels) {
        for (int p = 0; p < passCount; ++p) {
            const selvane_engine_pass& given = j.pass_records[p];
            records[p] = {given.fingerprint, given.total, given.iterations,
                          given.clusters};
        }
        merged = MergePassRecords(records, passCount, nullptr);
        status = j.best_ids ? CheckBestIds(j, records[merged.bestPass], labels)
                            : SELVANE_ENGINE_OK;
    }
    if (status == SELVANE_ENGINE_OK && j.best_ids) {
        // The outputs the whole call derives from its partition; no pass
        // runs, and nothing is drawn.
        Generator unused(SeedWordsFromSeed(0));
        status = RunKind(j, o, {nullptr, 0, &unused, j.best_ids});
    }
    if (status == SELVANE_ENGINE_OK) {
        MergePassRecords(records, passCount, o.matched);
        o.best_pass = merged.bestPass;
        o.error_value = merged.errorValue;
        o.found_count = merged.foundCount;
        o.best_pass_iterations = merged.bestIterations;
        o.total_iterations = merged.totalIterations;
    }
    Release(records);
    Release(labels);
    return status;
}

}  // namespace selvane
