// A job's passes run in pieces, apart: the generator words each pass's
// start is drawn from, and what each finished pass leaves for the merge
// that replays the rule keeping the best partition. Internal.
#ifndef SELVANE_ENGINE_PASS_PIECE_H
#define SELVANE_ENGINE_PASS_PIECE_H

#include <cstdint>

namespace selvane {

struct PassJob;
struct PassOutcome;
enum class RunStatus;

// What one finished pass leaves besides its partition.
struct PassRecord {
    std::uint64_t fingerprint;  // PartitionFingerprint of its partition
    double total;               // its last sweep's total
    int iterations;
    int clusters;  // the non-empty clusters of its partition
};

// Where a run's passes take their starts from and what is kept of them.
// Element p of every array belongs to the run's pass p (0 first); every
// pointer may be null.
struct PassPiece {
    // Packed words (PackSeedWords): pass p draws its start from
    // startWords[p] rather than from where the previous start left the
    // generator.
    const std::uint64_t* startWords = nullptr;
    // Receives the packed words each start is drawn from.
    std::uint64_t* wordsOut = nullptr;
    PassRecord* records = nullptr;
    int* labelMap = nullptr;  // clusterCount ints of scratch, with records
    int* ids = nullptr;       // passes * N: each pass's partition
    // Draw the starts and run no pass: the plan of a job.
    bool startsOnly = false;
};

// Draws pass `pass`'s start into ids: the one place a run's starts are
// drawn, so that the words a plan records are those its passes start from,
// whatever the start.
void DrawPassStart(const PassJob& job, int pass, int* ids);

// Keeps what the run's piece asks of finished pass `pass`; called on the
// calling thread, in pass order.
void NotePass(const PassJob& job, int pass, const int* ids,
              const PassOutcome& outcome);

// The plan: passCount starts drawn in pass order into ids, nothing run.
// Done, or cancelled by the caller.
RunStatus DrawStartsOnly(const PassJob& job, int passCount, int* ids);

}  // namespace selvane

#endif  // SELVANE_ENGINE_PASS_PIECE_H
