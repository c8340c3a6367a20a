"""Selvane's jobs spread over a Dask cluster, with the bits of one call.

A seeded job's passes depend on each other only through the random starts,
which the caller draws in pass order as one call would (the plan). The
workers run ranges of passes from the plan's generator words (pieces) and
keep each pass's partition; the caller merges the pieces' records in pass
order with the library's own rule, has every "same partition" decision
confirmed on the real partitions where they lie, and asks the library for
the outputs of the chosen partition. Should a confirmation ever fail (two
partitions sharing a 64-bit fingerprint), the job runs whole on one worker
instead. Either way the result is the one-thread call's, bit for bit.

A worker holds the partitions of the passes it ran until the job ends: a
byte an item and pass for up to 256 clusters (pieces= sets how many passes
a range holds).

Dask (the distributed package) is needed only when a client is given;
selvane imports without it. Use cluster(..., client=), KMeans(client=) or
scan(); run_jobs is what they share.
"""

import math
from collections import namedtuple

import numpy as np

from . import _pieces
from ._engine import load_engine_library

__all__ = ["VersionMismatchError", "ScanResult", "scan", "run_jobs"]


class VersionMismatchError(RuntimeError):
    """A worker's Selvane differs from the caller's: its results might not be
    the caller's bits, so the job is refused."""


ScanResult = namedtuple("ScanResult", "k error found_count")


def _versions(library=None):
    """What must agree between the caller and every worker: the engine
    library's interface version and this package's version."""
    from . import __version__
    return (load_engine_library(library).version, __version__)


def _refuse(where, theirs, ours):
    raise VersionMismatchError(
        "the Dask worker %s has Selvane %s with engine interface %d.%d; the "
        "caller has %s with %d.%d: install the same Selvane on every worker"
        % (where, theirs[1], theirs[0] // 10000, theirs[0] % 10000, ours[1],
           ours[0] // 10000, ours[0] % 10000))


class _Piece:
    """Passes first .. first + len(records) - 1 on a worker: their records,
    and their partitions in the smallest integers that hold the numbers."""

    def __init__(self, first, records, ids, k):
        self.first, self.records = first, records
        kind = np.uint8 if k <= 2**8 else np.uint16 if k <= 2**16 else np.intc
        self.ids = ids.astype(kind)

    def partition(self, p):
        return self.ids[p - self.first]


def _run_range(setup, data, first, words):
    values, weights = data
    records, ids = _pieces.engine_piece(setup, values, weights, first, words)
    return _Piece(first, records, ids, setup.k)


def _piece_task(setup, data, first, words, expected):
    theirs = _versions(setup.library)
    if theirs != expected:
        _refuse("running passes %d to %d" % (first, first + len(words) - 1), theirs,
                expected)
    return _run_range(setup, data, first, words)


def _records_task(piece):
    return piece.records


def _partition_task(piece, p):
    return piece.partition(p)


def _check_task(piece, references, pairs, k):
    """Whether each (best, p) of pairs holds: pass p, of this piece, reached
    pass best's partition."""
    return all(_pieces.same_partition(references[best], piece.partition(p), k)
               for best, p in pairs)


def _whole_task(setup, data, seed, expected):
    theirs = _versions(setup.library)
    if theirs != expected:
        _refuse("running a whole job", theirs, expected)
    values, weights = data
    return _pieces.engine_whole(setup, values, weights, seed)


def _check_workers(client, library, expected):
    for where, theirs in client.run(_versions, library).items():
        if tuple(theirs) != expected:
            _refuse(where, tuple(theirs), expected)


def _ranges(passes, pieces):
    """pieces ranges (first, count) covering 0 .. passes-1 in order, as even
    as can be."""
    pieces = max(1, min(passes, pieces))
    bounds = [passes * i // pieces for i in range(pieces + 1)]
    return [(bounds[i], bounds[i + 1] - bounds[i]) for i in range(pieces)]


def _submit_pieces(client, setup, data, seed, values, weights, pieces, expected):
    words, final = _pieces.engine_plan(setup, values, weights, seed)
    futures = [client.submit(_piece_task, setup, data, first, words[first:first + count],
                             expected, pure=False)
               for first, count in _ranges(len(words), pieces)]
    return futures, final


def _confirm(client, setup, futures, decision):
    """Futures for the best pass's partition and for the checks of every
    matched pass, grouped by the piece that holds it."""
    starts = [first for first, _ in decision["ranges"]]

    def holder(p):
        return futures[int(np.searchsorted(starts, p, side="right")) - 1]

    matched = decision["matched"]
    pairs = [(int(matched[p]), p) for p in np.flatnonzero(matched >= 0)]
    references = {best: client.submit(_partition_task, holder(best), best, pure=False)
                  for best in {best for best, _ in pairs}}
    by_piece = {}
    for best, p in pairs:
        by_piece.setdefault(id(holder(p)), (holder(p), []))[1].append((best, p))
    checks = [client.submit(_check_task, piece,
                            {best: references[best] for best, _ in these}, these, setup.k,
                            pure=False)
              for piece, these in by_piece.values()]
    best = decision["best_pass"]
    return client.submit(_partition_task, holder(best), best, pure=False), checks


def run_jobs(client, values, weights, jobs, pieces=None):
    """Runs each (setup, seed) of jobs across the client's workers, the data
    sent to them once. Returns for each job the outputs of
    selvane._pieces.engine_whole (ids, centres and centre_present or
    numbers, error, found, iterations) plus generator_words, the words the
    whole call leaves, and confirmed: False when the job had to run whole.
    pieces: ranges per job, by default twice the workers' threads shared
    among the jobs, so that a worker thread that finishes early finds
    another range to run."""
    library = jobs[0][0].library
    expected = _versions(library)
    _check_workers(client, library, expected)
    if pieces is None:
        threads = sum(client.nthreads().values())
        pieces = max(1, math.ceil(2 * threads / len(jobs)))
    data = client.scatter([(values, weights)], broadcast=True)[0]
    submitted = []
    try:
        runs = []
        for setup, seed in jobs:
            futures, final = _submit_pieces(client, setup, data, seed, values, weights,
                                            pieces, expected)
            ranges = _ranges(_pieces.pass_count(setup), pieces)
            summaries = [client.submit(_records_task, f, pure=False) for f in futures]
            submitted += futures + summaries
            runs.append((setup, seed, futures, final, ranges, summaries))
        decided = []
        for setup, seed, futures, final, ranges, summaries in runs:
            records = np.concatenate(client.gather(summaries))
            decision = _pieces.engine_merge(setup, values, weights, records)
            decision["ranges"] = ranges
            best, checks = _confirm(client, setup, futures, decision)
            submitted += [best] + checks
            decided.append((setup, seed, final, records, best, checks))
        results = []
        for setup, seed, final, records, best, checks in decided:
            confirmed = all(client.gather(checks))
            if confirmed:
                out = _pieces.engine_merge(setup, values, weights, records,
                                           client.gather(best))
                del out["best_pass"]
            else:
                whole = client.submit(_whole_task, setup, data, seed, expected, pure=False)
                submitted.append(whole)
                out = client.gather(whole)
            out.update(generator_words=final, confirmed=confirmed)
            results.append(out)
        return results
    finally:
        client.cancel(submitted + [data])


def _seed(seed):
    """A seed for a job that was given none: one drawn afresh, as unrepeatable
    as the process-wide stream a local call would use."""
    if seed is None:
        return int(np.random.default_rng().integers(0, 2**64, dtype=np.uint64))
    return seed


def scan(X, ks, *, client=None, seed=None, n_passes=100, metric="euclidean",
         centers="mean", init="k-means++", weights=None, selvane_job=False,
         pieces=None, n_threads=None, library=None):
    """One clustering per cluster count in ks, over the rows of X, run
    across the Dask client's workers (client None: here, one after another).
    Returns [ScanResult(k, error, found_count)] in the order of ks: the
    error value of each K's best partition and how many of its passes
    reached it, a measure of how stable the partition is.

    The jobs are KMeans's (n_passes, metric, centers, init, weights, missing values
    as NaN), or with selvane_job=True those of cluster() (200 passes, X's
    values read as cluster() reads them). Every K takes the same seed; with
    seed None one is drawn. Each result is that of the same job run in one
    call on one thread, bit for bit.
    """
    from ._cluster import _as_items, _check_k
    from ._kmeans import KMeans
    seed = _seed(seed)
    if client is not None and n_threads is None:
        n_threads = 1
    jobs, values, used = [], None, None
    for k in ks:
        if selvane_job:
            values = np.ascontiguousarray(_as_items(X), dtype=np.float64)
            setup = _pieces.selvane_setup(_check_k(k, len(values)), n_threads or 0, library)
        else:
            model = KMeans(k, metric=metric, centers=centers, n_passes=n_passes,
                           init=init, weights=weights, random_state=seed, n_threads=n_threads,
                           library=library)
            setup, values, used = model._setup(X)
        jobs.append((setup, seed))
    if client is None:
        outs = [_pieces.engine_whole(setup, values, used, s) for setup, s in jobs]
    else:
        outs = run_jobs(client, values, used, jobs, pieces)
    return [ScanResult(setup.k, out["error"], out["found"])
            for (setup, _), out in zip(jobs, outs)]
