#include "engine/PassPiece.h"

#include <cstddef>
#include <cstring>

#include "engine/PartitionFingerprint.h"
#include "engine/PassRun.h"
#include "random/RandomDraws.h"

namespace selvane {

namespace {

// Puts the generator where pass `pass`'s start is drawn from, and keeps
// those words where the piece asks for them.
void PlaceGenerator(const PassJob& job, int pass) {
    const PassPiece* piece = job.run->piece;
    Generator& generator = *job.generator;
    if (piece && piece->startWords) {
        StoreSeedWords(generator, UnpackSeedWords(piece->startWords[pass]));
    }
    if (piece && piece->wordsOut) {
        piece->wordsOut[pass] = PackSeedWords(LoadSeedWords(generator));
    }
}

}  // namespace

void DrawPassStart(const PassJob& job, int pass, int* ids) {
    PlaceGenerator(job, pass);
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

RunStatus DrawStartsOnly(const PassJob& job, int passCount, int* ids) {
    for (int pass = 0; pass < passCount; ++pass) {
        if (CancelRequested(*job.run)) return RunStatus::kCancelled;
        if (job.itemStarts) {
            // A start from items costs the plan, which runs on one caller
            // for every machine, as much as a few iterations of its pass;
            // its draws alone decide the words the next start takes.
            PlaceGenerator(job, pass);
            const int draws = ItemStartDraws(*job.itemStarts);
            for (int d = 0; d < draws; ++d) UniformRandom(*job.generator);
        } else {
            DrawPassStart(job, pass, ids);
        }
    }
    return RunStatus::kDone;
}

}  // namespace selvane
