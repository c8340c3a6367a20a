// Passes on several threads with the bits of one. A pass's start depends
// only on the generator, never on an earlier pass, so the calling thread
// draws every start in pass order, exactly as the single-thread loop does,
// into a free assignment of a small pool; the threads run the drawn passes,
// the lowest first; and the calling thread takes the finished passes into
// the best so far in pass order. Only the order in which passes compute
// changes, and no pass reads another's result.
#include "common/Allocate.h"
#include "common/FloatControls.h"
#include "common/PassCounters.h"
#include "common/WorkerThreads.h"
#include "engine/PassPiece.h"
#include "engine/PassRun.h"
#include "engine/PassThreads.h"
#include "engine/ScratchPool.h"

namespace selvane {

namespace {

enum class SlotState { kFree, kDrawn, kRunning, kFinished };

// One assignment of the pool and the pass it holds.
struct Slot {
    int* ids;
    int pass;
    PassOutcome outcome;
    SlotState state;
};

struct Shared {
    const PassJob* job;
    FloatControls controls;
    Mutex mutex;
    Condition work;      // a start was drawn, or the passes are over
    Condition finished;  // a pass finished
    Slot* slots;
    int slotCount;
    bool over;
};

struct Worker {
    Shared* shared;
    const PassScratch* scratch;
    pthread_t thread;
};

// The drawn pass of lowest number, or null.
Slot* LowestDrawn(Shared& shared) {
    Slot* lowest = nullptr;
    for (int s = 0; s < shared.slotCount; ++s) {
        Slot& slot = shared.slots[s];
        if (slot.state == SlotState::kDrawn &&
            (!lowest || slot.pass < lowest->pass)) {
            lowest = &slot;
        }
    }
    return lowest;
}

void* WorkerBody(void* argument) {
    Worker& worker = *static_cast<Worker*>(argument);
    Shared& shared = *worker.shared;
    // A new thread starts with the system's floating-point settings.
    ApplyFloatControls(shared.controls);
    shared.mutex.Lock();
    for (;;) {
        Slot* slot = LowestDrawn(shared);
        if (!slot) {
            if (shared.over) break;
            shared.work.Wait(shared.mutex);
            continue;
        }
        slot->state = SlotState::kRunning;
        shared.mutex.Unlock();
        CountPass();
        const PassOutcome outcome =
            RunOnePass(*shared.job, *worker.scratch, slot->ids);
        shared.mutex.Lock();
        slot->outcome = outcome;
        slot->state = SlotState::kFinished;
        shared.finished.Signal();
    }
    shared.mutex.Unlock();
    return nullptr;
}

}  // namespace

bool RunThreadedPasses(const PassJob& job, const ScratchPool& pool,
                       int passCount, BestSoFar& best, bool* stopped) {
    const int threads = pool.threads;
    // Bookkeeping small enough for the stack: a pool of two assignments per
    // thread, so that a start is ready whenever a thread finishes.
    Slot slots[2 * kMostPassThreads];
    Worker workers[kMostPassThreads];
    Shared shared;
    shared.job = &job;
    shared.controls = CaptureFloatControls();
    shared.slots = slots;
    shared.slotCount = 2 * threads;
    shared.over = false;
    for (int s = 0; s < shared.slotCount; ++s) {
        slots[s] = Slot{pool.ids[s], -1, {0.0, 0, false}, SlotState::kFree};
    }

    // A thread that cannot start leaves its passes to those that did.
    int started = 0;
    for (int t = 0; t < threads; ++t) {
        Worker& worker = workers[started];
        worker.shared = &shared;
        worker.scratch = &pool.scratches[started];
        if (StartThread(&worker.thread, &WorkerBody, &worker)) ++started;
    }
    if (started == 0) return false;

    int drawn = 0;
    int taken = 0;
    *stopped = false;
    shared.mutex.Lock();
    while (taken < passCount) {
        // Once cancelled, nothing more is drawn or taken; the passes running
        // stop at their next iteration.
        if (CancelRequested(*job.run)) {
            *stopped = true;
            break;
        }
        Slot* next = nullptr;
        Slot* empty = nullptr;
        for (int s = 0; s < shared.slotCount; ++s) {
            if (slots[s].state == SlotState::kFinished &&
                slots[s].pass == taken) {
                next = &slots[s];
            } else if (slots[s].state == SlotState::kFree && !empty) {
                empty = &slots[s];
            }
        }
        if (next && next->outcome.stopped) {
            *stopped = true;
            break;
        }
        if (next) {
            // Only this thread touches a finished slot and the best so far.
            shared.mutex.Unlock();
            NotePass(job, taken, next->ids, next->outcome);
            TakePass(job, best, taken, next->ids, next->outcome, passCount);
            shared.mutex.Lock();
            next->state = SlotState::kFree;
            ++taken;
        } else if (empty && drawn < passCount) {
            shared.mutex.Unlock();
            DrawPassStart(job, drawn, empty->ids);
            shared.mutex.Lock();
            empty->pass = drawn++;
            empty->state = SlotState::kDrawn;
            shared.work.Signal();
        } else {
            shared.finished.Wait(shared.mutex);
        }
    }
    shared.over = true;
    shared.work.Broadcast();
    shared.mutex.Unlock();
    for (int t = 0; t < started; ++t) JoinThread(workers[t].thread);
    return true;
}

}  // namespace selvane
