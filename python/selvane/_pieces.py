"""A seeded job in pieces, as the engine library runs it: the plan of its
starts, a piece of its passes, the merge of the pieces' records, and the
whole job for comparison or as the fallback. Values are items by values
(float64, C order, NaN missing); every function returns new arrays."""

import ctypes
from collections import namedtuple

import numpy as np

from ._engine import (CORRELATION, JOB_CLUSTER, JOB_SELVANE, MEANS,
                      PASS_RECORD, START_PARTITION, _job, _Pass, _pointer, _result, _run,
                      load_engine_library, seed_pointer)

__all__ = ["JobSetup", "selvane_setup", "pass_count", "engine_plan", "engine_piece",
           "engine_merge", "engine_whole", "same_partition"]

# kind: JOB_CLUSTER or JOB_SELVANE; centres, metric: the library's codes
# (MEANS, CORRELATION for the Selvane job); passes: the clustering's (the Selvane
# job runs SELVANE_PASSES); threads: 0 for the library's default; start:
# a START_ constant (the Selvane job's is always the random partition).
JobSetup = namedtuple("JobSetup", "kind k passes centres metric threads library start",
                     defaults=(START_PARTITION,))

SELVANE_PASSES = 200


def selvane_setup(k, threads=0, library=None):
    return JobSetup(JOB_SELVANE, k, SELVANE_PASSES, MEANS, CORRELATION, threads, library)


def pass_count(setup):
    return SELVANE_PASSES if setup.kind == JOB_SELVANE else setup.passes


def _setup_job(setup, values, weights, seed=None):
    if setup.kind == JOB_SELVANE:
        return _job(JOB_SELVANE, values, setup.k, seed=seed_pointer(seed),
                    thread_count=setup.threads)
    return _job(JOB_CLUSTER, values, setup.k, weights=_pointer(weights, ctypes.c_double),
                pass_count=setup.passes, centres=setup.centres, metric=setup.metric,
                seed=seed_pointer(seed), thread_count=setup.threads, start=setup.start)


def _outputs(setup, values):
    """A result struct for the outputs of the whole job, and the arrays it
    points into, by name."""
    items, count = values.shape
    arrays = {"ids": np.empty(items, dtype=np.intc)}
    fields = {"cluster_ids": (arrays["ids"], ctypes.c_int)}
    if setup.kind == JOB_SELVANE:
        arrays["numbers"] = np.empty(items, dtype=np.float64)
        fields["ranked_numbers"] = (arrays["numbers"], ctypes.c_double)
    else:
        arrays["centres"] = np.empty((setup.k, count), dtype=np.float64)
        arrays["centre_present"] = np.empty((setup.k, count), dtype=np.uint8)
        fields["centres"] = (arrays["centres"], ctypes.c_double)
        fields["centre_present"] = (arrays["centre_present"], ctypes.c_ubyte)
    return _result(**fields), arrays


def _numbers(result, arrays):
    arrays.update(error=result.error_value, found=result.found_count,
                  best_iterations=result.best_pass_iterations,
                  total_iterations=result.total_iterations)
    return arrays


def engine_whole(setup, values, weights, seed):
    """The whole job in one call: a dict of ids, centres and centre_present
    (or the Selvane job's numbers), error, found, best_iterations and
    total_iterations."""
    engine = load_engine_library(setup.library)
    result, arrays = _outputs(setup, values)
    _run(engine, engine.run, _setup_job(setup, values, weights, seed), result)
    return _numbers(result, arrays)


def engine_plan(setup, values, weights, seed):
    """(the words every pass's start is drawn from, the words the whole call
    leaves)."""
    engine = load_engine_library(setup.library)
    words = np.empty(pass_count(setup), dtype=np.uint64)
    result = _result(pass_words=(words, ctypes.c_uint64))
    _run(engine, engine.plan, _setup_job(setup, values, weights, seed), result)
    return words, int(result.generator_words)


def engine_piece(setup, values, weights, first, words):
    """Passes first .. first + len(words) - 1 from the plan's words:
    (their records, PASS_RECORD; their partitions, one row per pass)."""
    engine = load_engine_library(setup.library)
    words = np.ascontiguousarray(words, dtype=np.uint64)
    records = np.empty(len(words), dtype=PASS_RECORD)
    ids = np.empty((len(words), len(values)), dtype=np.intc)
    job = _setup_job(setup, values, weights)
    job.first_pass, job.range_count = first, len(words)
    job.pass_words = _pointer(words, ctypes.c_uint64)
    result = _result(pass_records=(records, _Pass), pass_ids=(ids, ctypes.c_int))
    _run(engine, engine.run, job, result)
    return records, ids


def engine_merge(setup, values, weights, records, best_ids=None):
    """The whole job's outcome from every pass's records, in pass order.
    Without best_ids: a dict of best_pass, matched (per pass, the best pass
    it was taken to reach, or -1) and the numbers; with best_ids, the
    partition of best_pass, also the outputs of engine_whole."""
    engine = load_engine_library(setup.library)
    records = np.ascontiguousarray(records, dtype=PASS_RECORD)
    job = _setup_job(setup, values, weights)
    job.pass_records = _pointer(records, _Pass)
    if best_ids is None:
        arrays = {"matched": np.empty(len(records), dtype=np.intc)}
        result = _result(matched=(arrays["matched"], ctypes.c_int))
    else:
        best_ids = np.ascontiguousarray(best_ids, dtype=np.intc)
        job.best_ids = _pointer(best_ids, ctypes.c_int)
        result, arrays = _outputs(setup, values)
    engine.check(engine.merge(ctypes.byref(job), ctypes.byref(result)))
    arrays["best_pass"] = result.best_pass
    return _numbers(result, arrays)


def same_partition(best, current, k):
    """Whether every cluster of best lies within one cluster of current: the
    test by which a pass reaches the best partition again."""
    first = np.full(k, -1, dtype=np.int64)
    first[best] = current  # some member's cluster in current, for each
    return bool(np.array_equal(first[best], current))
