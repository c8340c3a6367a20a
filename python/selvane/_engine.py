"""The engine library (selvane_engine): finding it, binding its C
interface, and calling it with numpy arrays."""

import ctypes
import os
import threading

import numpy as np

from ._library import LibraryNotFoundError, _pointer_bits, candidate_paths

__all__ = ["load_engine_library", "engine_cluster", "engine_assign",
           "engine_selvane_job", "EngineError"]

# The interface version this package is written for (selvane_engine.h).
API_MAJOR = 1
API_MINOR = 1
_OK = 0
_VALUE = 6
_NO_MEMORY = 9
_UNMEASURABLE = 10
_SEED_LIMIT = 2**64


class EngineError(ValueError):
    """The engine library refused a job; `code` holds its return code."""

    def __init__(self, message, code):
        super().__init__(message)
        self.code = code


class _Engine:
    """The bound functions of one loaded engine library. Nothing here is
    kept on estimators, so they stay picklable."""

    def __init__(self, path):
        # cdecl on every build, 32-bit Windows included.
        library = ctypes.CDLL(path)

        def functions(*names):
            try:
                return [getattr(library, "selvane_engine_" + name) for name in names]
            except AttributeError:
                raise LibraryNotFoundError(
                    "the library %r lacks the selvane_engine functions: it is not "
                    "a Selvane engine library for this %d-bit Python"
                    % (path, _pointer_bits())) from None

        (self.version,) = functions("api_version")
        self.version.argtypes, self.version.restype = [], ctypes.c_int
        version = self.version()
        # A later minor version only adds to the interface.
        if version // 10000 != API_MAJOR or version % 10000 < API_MINOR:
            raise LibraryNotFoundError(
                "the engine library %r has interface version %d.%d; this "
                "package needs %d.%d or a later %d.x"
                % (path, version // 10000, version % 10000, API_MAJOR, API_MINOR,
                   API_MAJOR))
        self.strerror, self.cluster, self.assign, self.selvane_job = functions(
            "strerror", "cluster", "assign", "selvane_job")
        c_int, c_double_p = ctypes.c_int, ctypes.POINTER(ctypes.c_double)
        bytes_p = ctypes.POINTER(ctypes.c_ubyte)
        int_p, seed_p = ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_uint64)
        self.strerror.argtypes, self.strerror.restype = [c_int], ctypes.c_char_p
        self.cluster.argtypes = [c_int, c_int, c_double_p, c_int, bytes_p, c_double_p,
                                 c_int, c_int, c_int, c_int, seed_p, c_int, int_p,
                                 c_double_p, int_p, c_double_p, bytes_p]
        self.cluster.restype = c_int
        self.assign.argtypes = [c_int, c_int, c_double_p, c_int, bytes_p, c_double_p,
                                c_int, c_double_p, bytes_p, c_int, int_p, int_p,
                                c_double_p, c_double_p]
        self.assign.restype = c_int
        self.selvane_job.argtypes = [c_int, c_int, c_double_p, c_int, seed_p, c_int,
                                     c_double_p, c_double_p, int_p]
        self.selvane_job.restype = c_int

    def check(self, code):
        if code == _OK:
            return
        message = self.strerror(code).decode("utf-8", "replace")
        if code == _NO_MEMORY:
            raise MemoryError("the Selvane engine library: " + message)
        raise EngineError("the Selvane engine library refused the job: " + message, code)


_lock = threading.Lock()
_loaded = {}


def load_engine_library(library=None):
    """The engine library, bound. Search order as for load_library: the
    explicit path, else SELVANE_ENGINE_LIBRARY, else the copy packaged with
    this module, else the checkout's build folder, else the system loader."""
    if library is not None:
        key = ("explicit", os.fspath(library))
    elif os.environ.get("SELVANE_ENGINE_LIBRARY"):
        key = ("environment", os.environ["SELVANE_ENGINE_LIBRARY"])
    else:
        key = ("default", None)
    with _lock:
        if key not in _loaded:
            _loaded[key] = _load(key)
        return _loaded[key]


def _load(key):
    kind, path = key
    if kind != "default":
        origin = ("the library argument" if kind == "explicit"
                  else "the environment variable SELVANE_ENGINE_LIBRARY")
        try:
            return _Engine(path)
        except LibraryNotFoundError:
            raise
        except OSError as error:
            raise LibraryNotFoundError("cannot load the Selvane engine library %r "
                                       "given by %s: %s" % (path, origin, error)) from None
    tried = []
    for path, how in candidate_paths("selvane_engine"):
        if os.path.sep in path and not os.path.isfile(path):
            tried.append("%s (%s): no such file" % (path, how))
            continue
        try:
            return _Engine(path)
        except LibraryNotFoundError:
            raise
        except OSError as error:
            tried.append("%s (%s): %s" % (path, how, error))
    raise LibraryNotFoundError(
        "cannot find the Selvane engine library. Tried:\n  " + "\n  ".join(tried) +
        "\nBuild it in the checkout, or pass its path, or set "
        "SELVANE_ENGINE_LIBRARY.")


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


def engine_cluster(values, present, weights, k, passes, medians, euclidean,
                   seed, threads, library=None):
    """Runs the engine on values (items by values, float64), present (same
    shape, bool), weights (or None). Returns (ids, error, found, centres,
    centre_present)."""
    engine = load_engine_library(library)
    items, count = values.shape
    values = np.ascontiguousarray(values, dtype=np.float64)
    present = np.ascontiguousarray(present, dtype=np.uint8)
    if weights is not None:
        weights = np.ascontiguousarray(weights, dtype=np.float64)
    ids = np.empty(items, dtype=np.intc)
    centres = np.empty((k, count), dtype=np.float64)
    centre_present = np.empty((k, count), dtype=np.uint8)
    error = ctypes.c_double()
    found = ctypes.c_int()
    engine.check(engine.cluster(
        items, count, _pointer(values, ctypes.c_double), 0,
        _pointer(present, ctypes.c_ubyte), _pointer(weights, ctypes.c_double),
        k, passes, 1 if medians else 0, 1 if euclidean else 0, seed_pointer(seed),
        threads, _pointer(ids, ctypes.c_int), ctypes.byref(error), ctypes.byref(found),
        _pointer(centres, ctypes.c_double), _pointer(centre_present, ctypes.c_ubyte)))
    return ids.astype(np.int64), error.value, found.value, centres, centre_present.astype(bool)


def engine_assign(values, weights, centres, euclidean, given=None, library=None):
    """Measures the rows of values (items by values, float64, NaN missing)
    against centres (K by values, NaN missing) with the engine's distances:
    each row's nearest centre, or the centre `given` for it. Returns (ids,
    distances, total), the total added in row order by the library."""
    engine = load_engine_library(library)
    items, count = values.shape
    values = np.ascontiguousarray(values, dtype=np.float64)
    centres = np.ascontiguousarray(centres, dtype=np.float64)
    if weights is not None:
        weights = np.ascontiguousarray(weights, dtype=np.float64)
    if given is not None:
        given = np.ascontiguousarray(given, dtype=np.intc)
    ids = np.empty(items, dtype=np.intc)
    distances = np.empty(items, dtype=np.float64)
    total = ctypes.c_double()
    engine.check(engine.assign(
        items, count, _pointer(values, ctypes.c_double), 0, None,
        _pointer(weights, ctypes.c_double), len(centres),
        _pointer(centres, ctypes.c_double), None, 1 if euclidean else 0,
        _pointer(given, ctypes.c_int), _pointer(ids, ctypes.c_int),
        _pointer(distances, ctypes.c_double), ctypes.byref(total)))
    return ids.astype(np.int64), distances, total.value


def engine_selvane_job(values_dimension_major, items, dimensions, k, seed,
                       library=None):
    """Selvane's own job with a seed. Returns (numbers, error, found)."""
    engine = load_engine_library(library)
    result = np.empty(items, dtype=np.float64)
    error = ctypes.c_double()
    found = ctypes.c_int()
    engine.check(engine.selvane_job(
        items, dimensions, _pointer(values_dimension_major, ctypes.c_double), k,
        seed_pointer(seed), 0, _pointer(result, ctypes.c_double),
        ctypes.byref(error), ctypes.byref(found)))
    return result, error.value, found.value
