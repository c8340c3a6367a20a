#include "engine/PassPiece.h"

#include <cstddef>
#include <cstring>

#include "engine/PartitionFingerprint.h"
#include "engine/PassRun.h"

namespace selvane {

void DrawPassStart(const PassJob& job, int pass, int* ids) {
    const PassPiece* piece = job.run->piece;
    Generator& generator = *job.generator;
    if (piece && piece->startWords) {
        StoreSeedWords(generator, UnpackSeedWords(piece->startWords[pass]));
    }
    if (piece && piece->wordsOut) {
        piece->wordsOut[pass] = PackSeedWords(LoadSeedWords(generator));
    }
    DrawStart(job, ids);
}

void NotePass(const PassJob& job, int pass, const int* ids,
              const PassOutcome& outcome) {
    const PassPiece* piece = job.run->piece;
    if (!piece) return;
    if (piece->records) {
        PassRecord& record = piece->records[pass];
        record.fingerprint =
            PartitionFingerprint(ids, job.itemCount, job.clusterCount,
                                 piece->labelMap, &record.clusters);
        record.total = outcome.total;
        record.iterations = outcome.iterations;
    }
    if (piece->ids) {
        const std::size_t count = static_cast<std::size_t>(job.itemCount);
        std::memcpy(piece->ids + static_cast<std::size_t>(pass) * count, ids,
                    count * sizeof(int));
    }
}

int DrawStartsOnly(const PassJob& job, int passCount, int* ids,
                   RunReport* report) {
    for (int pass = 0; pass < passCount; ++pass) {
        if (CancelRequested(*job.run)) {
            if (report) report->cancelled = true;
            return -1;
        }
        DrawPassStart(job, pass, ids);
    }
    return 1;
}

}  // namespace selvane
