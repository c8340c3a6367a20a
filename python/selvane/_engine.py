"""The engine library (selvane_engine): its C interface as ctypes sees it,
and calls of it with numpy arrays that Ctrl-C can interrupt."""

import ctypes
import sys
import threading
import time

import numpy as np

from ._library import LibraryNotFoundError, _pointer_bits, find

__all__ = ["load_engine_library", "engine_cluster", "engine_assign",
           "engine_selvane_job", "EngineError", "PASS_RECORD"]

# As include/selvane_engine.h defines them (SELVANE_ENGINE_ + the name);
# tests/test_header.py checks every one against the header.
API_MAJOR = 1
API_MINOR = 3  # the interface this package is written for
OK = 0
ERROR_NO_MEMORY = 9
ERROR_CANCELLED = 13
ERROR_MISMATCH = 16
ITEMS_AS_ROWS = 0
MEANS = 0
MEDIANS = 1
CORRELATION = 0
EUCLIDEAN = 1
JOB_CLUSTER = 0
JOB_SELVANE = 1
START_PARTITION = 0
START_ITEMS = 1
START_KMEANS_PLUS_PLUS = 2

_SEED_LIMIT = 2**64
_double_p, _bytes_p = ctypes.POINTER(ctypes.c_double), ctypes.POINTER(ctypes.c_ubyte)
_int_p = ctypes.POINTER(ctypes.c_int)
# The platform's C convention on every build, 32-bit Windows included.
_Progress = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int, ctypes.c_int)


class _Pass(ctypes.Structure):
    """selvane_engine_pass, field for field."""
    _fields_ = [("fingerprint", ctypes.c_uint64), ("total", ctypes.c_double),
                ("iterations", ctypes.c_int), ("clusters", ctypes.c_int)]


# selvane_engine_pass as numpy holds an array of them.
PASS_RECORD = np.dtype([("fingerprint", np.uint64), ("total", np.float64),
                        ("iterations", np.intc), ("clusters", np.intc)])
_words_p, _pass_p = ctypes.POINTER(ctypes.c_uint64), ctypes.POINTER(_Pass)


class _Job(ctypes.Structure):
    """selvane_engine_job, field for field."""
    _fields_ = [("size", ctypes.c_size_t), ("kind", ctypes.c_int),
                ("item_count", ctypes.c_int), ("value_count", ctypes.c_int),
                ("values", _double_p), ("layout", ctypes.c_int), ("present", _bytes_p),
                ("weights", _double_p), ("cluster_count", ctypes.c_int),
                ("pass_count", ctypes.c_int), ("centres", ctypes.c_int),
                ("metric", ctypes.c_int), ("seed", ctypes.POINTER(ctypes.c_uint64)),
                ("thread_count", ctypes.c_int), ("progress", _Progress),
                ("progress_context", ctypes.c_void_p), ("cancel", _int_p),
                ("given_centres", _double_p), ("given_centre_present", _bytes_p),
                ("given_ids", _int_p), ("start", ctypes.c_int),
                ("first_pass", ctypes.c_int),
                ("range_count", ctypes.c_int), ("pass_words", _words_p),
                ("pass_records", _pass_p), ("best_ids", _int_p)]


class _Result(ctypes.Structure):
    """selvane_engine_result, field for field."""
    _fields_ = [("size", ctypes.c_size_t), ("cluster_ids", _int_p),
                ("ranked_numbers", _double_p), ("centres", _double_p),
                ("centre_present", _bytes_p), ("magnitudes", _double_p),
                ("ranked_values", _double_p), ("measurable", _bytes_p),
                ("distances", _double_p), ("error_value", ctypes.c_double),
                ("found_count", ctypes.c_int), ("best_pass_iterations", ctypes.c_int),
                ("total_iterations", ctypes.c_int64), ("pass_words", _words_p),
                ("generator_words", ctypes.c_uint64), ("pass_records", _pass_p),
                ("pass_ids", _int_p), ("best_pass", ctypes.c_int), ("matched", _int_p)]


class EngineError(ValueError):
    """The engine library refused a job; `code` holds its return code."""

    def __init__(self, message, code):
        super().__init__(message)
        self.code = code


class _Engine:
    """The bound functions of one loaded engine library. Nothing here is
    kept on estimators, so they stay picklable."""

    def __init__(self, path):
        library = ctypes.CDLL(path)

        def function(name, restype, *argtypes):
            try:
                bound = getattr(library, "selvane_engine_" + name)
            except AttributeError:
                raise LibraryNotFoundError(
                    "the library %r lacks the selvane_engine functions: it is not "
                    "a Selvane engine library for this %d-bit Python"
                    % (path, _pointer_bits())) from None
            bound.restype, bound.argtypes = restype, list(argtypes)
            return bound

        version = function("api_version", ctypes.c_int)()
        # A later minor version only adds to the interface.
        if version // 10000 != API_MAJOR or version % 10000 < API_MINOR:
            raise LibraryNotFoundError(
                "the engine library %r has interface version %d.%d; this "
                "package needs %d.%d or a later %d.x"
                % (path, version // 10000, version % 10000, API_MAJOR, API_MINOR,
                   API_MAJOR))
        self.version = version
        self.strerror = function("strerror", ctypes.c_char_p, ctypes.c_int)
        job_p, result_p = ctypes.POINTER(_Job), ctypes.POINTER(_Result)
        self.run = function("run", ctypes.c_int, job_p, result_p)
        self.assign = function("assign", ctypes.c_int, job_p, result_p)
        self.plan = function("plan", ctypes.c_int, job_p, result_p)
        self.merge = function("merge", ctypes.c_int, job_p, result_p)

    def check(self, code):
        if code == OK:
            return
        message = self.strerror(code).decode("utf-8", "replace")
        if code == ERROR_NO_MEMORY:
            raise MemoryError("the Selvane engine library: " + message)
        raise EngineError("the Selvane engine library refused the job: " + message, code)


def load_engine_library(library=None):
    """The engine library, bound. Search order as for load_library: the
    explicit path, else SELVANE_ENGINE_LIBRARY, else the copy packaged with
    this module, else the checkout's build folder, else the system loader."""
    return find("selvane_engine", library, "SELVANE_ENGINE_LIBRARY", _Engine,
                "Selvane engine library", "Build it in the checkout, or pass its "
                "path, or set SELVANE_ENGINE_LIBRARY.")


def seed_pointer(seed):
    """A pointer to the seed as the C interface takes it; None for no seed."""
    if seed is None:
        return None
    if isinstance(seed, bool) or not isinstance(seed, (int, np.integer)):
        raise ValueError("a seed must be an int or None, got %r" % (seed,))
    seed = int(seed)
    if not 0 <= seed < _SEED_LIMIT:
        raise ValueError("a seed must be from 0 to 2**64 - 1, got %d" % seed)
    return ctypes.pointer(ctypes.c_uint64(seed))


def _pointer(array, kind):
    return None if array is None else array.ctypes.data_as(ctypes.POINTER(kind))


def _job(kind, values, k, **fields):
    """A job over values (items by values, C order, float64); the arrays it
    points into must outlive the call."""
    job = _Job(size=ctypes.sizeof(_Job), kind=kind, item_count=values.shape[0],
               value_count=values.shape[1], values=_pointer(values, ctypes.c_double),
               layout=ITEMS_AS_ROWS, cluster_count=k)
    for name, value in fields.items():
        setattr(job, name, value)
    return job


def _result(**arrays):
    result = _Result(size=ctypes.sizeof(_Result))
    for name, (array, kind) in arrays.items():
        setattr(result, name, _pointer(array, kind))
    return result


def _reporter(stream):
    """A progress hook that keeps one line on stream up to date."""
    start = time.monotonic()

    def report(context, done, count):
        stream.write("\rselvane: %d of %d passes, %.1f s%s"
                     % (done, count, time.monotonic() - start, "\n" if done == count else ""))
        stream.flush()
    return _Progress(report)


def _run(engine, function, job, result, verbose=False):
    """function(job, result) on a worker thread (ctypes lets go of the GIL),
    so that the calling thread stays free to take Ctrl-C: it then sets the
    job's cancel flag, waits for the call to stop, which it does within an
    iteration, and raises KeyboardInterrupt again."""
    cancel = ctypes.c_int(0)
    job.cancel = ctypes.pointer(cancel)
    if verbose:
        job.progress = _reporter(sys.stderr)
    outcome = {}

    def work():
        try:
            outcome["code"] = function(ctypes.byref(job), ctypes.byref(result))
        except BaseException as error:  # handed to the calling thread
            outcome["error"] = error

    worker = threading.Thread(target=work, name="selvane", daemon=True)
    worker.start()
    try:
        while worker.is_alive():
            worker.join(0.1)
    except KeyboardInterrupt:
        cancel.value = 1
        while worker.is_alive():
            try:
                worker.join(0.1)
            except KeyboardInterrupt:
                pass  # already stopping
        raise
    if "error" in outcome:
        raise outcome["error"]
    engine.check(outcome["code"])


def engine_cluster(values, present, weights, k, passes, centres_kind, metric,
                   seed, threads, library=None, verbose=False, start=START_PARTITION):
    """Runs the engine on values (items by values, float64), present (same
    shape, bool), weights (or None), with the centres and metric the
    library's codes name, every pass from a start of the kind `start` (a
    START_ constant). Returns (ids, error, found, centres,
    centre_present, iterations of the best pass)."""
    engine = load_engine_library(library)
    items, count = values.shape
    values = np.ascontiguousarray(values, dtype=np.float64)
    present = np.ascontiguousarray(present, dtype=np.uint8)
    if weights is not None:
        weights = np.ascontiguousarray(weights, dtype=np.float64)
    ids = np.empty(items, dtype=np.intc)
    centres = np.empty((k, count), dtype=np.float64)
    centre_present = np.empty((k, count), dtype=np.uint8)
    job = _job(JOB_CLUSTER, values, k, present=_pointer(present, ctypes.c_ubyte),
               weights=_pointer(weights, ctypes.c_double), pass_count=passes,
               centres=centres_kind, metric=metric, seed=seed_pointer(seed),
               thread_count=threads, start=start)
    result = _result(cluster_ids=(ids, ctypes.c_int), centres=(centres, ctypes.c_double),
                     centre_present=(centre_present, ctypes.c_ubyte))
    _run(engine, engine.run, job, result, verbose)
    return (ids.astype(np.int64), result.error_value, result.found_count, centres,
            centre_present.astype(bool), result.best_pass_iterations)


def engine_assign(values, weights, centres, metric, given=None, library=None):
    """Measures the rows of values (items by values, float64, NaN missing)
    against centres (K by values, NaN missing) with the distance the
    library's code `metric` names:
    each row's nearest centre, or the centre `given` for it. Returns (ids,
    distances, total), the total added in row order by the library."""
    engine = load_engine_library(library)
    values = np.ascontiguousarray(values, dtype=np.float64)
    centres = np.ascontiguousarray(centres, dtype=np.float64)
    if weights is not None:
        weights = np.ascontiguousarray(weights, dtype=np.float64)
    if given is not None:
        given = np.ascontiguousarray(given, dtype=np.intc)
    ids = np.empty(len(values), dtype=np.intc)
    distances = np.empty(len(values), dtype=np.float64)
    job = _job(JOB_CLUSTER, values, len(centres), weights=_pointer(weights, ctypes.c_double),
               metric=metric, given_centres=_pointer(centres, ctypes.c_double),
               given_ids=_pointer(given, ctypes.c_int))
    result = _result(cluster_ids=(ids, ctypes.c_int), distances=(distances, ctypes.c_double))
    engine.check(engine.assign(ctypes.byref(job), ctypes.byref(result)))
    return ids.astype(np.int64), distances, result.error_value


def engine_selvane_job(values, k, seed, library=None):
    """Selvane's own job on values (items by dimensions, float64), from the
    seed or, with None, the process-wide stream. Returns its numbers."""
    engine = load_engine_library(library)
    values = np.ascontiguousarray(values, dtype=np.float64)
    numbers = np.empty(len(values), dtype=np.float64)
    job = _job(JOB_SELVANE, values, k, seed=seed_pointer(seed))
    _run(engine, engine.run, job, _result(ranked_numbers=(numbers, ctypes.c_double)))
    return numbers
