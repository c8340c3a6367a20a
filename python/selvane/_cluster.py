"""cluster(): checks a job, lays it out as the library takes it, calls it."""

import ctypes
import numbers
import os
import warnings

import numpy as np

from ._engine import engine_selvane_job, seed_pointer
from ._library import load_library

__all__ = ["cluster", "unmeasurable", "UnmeasurableItemsWarning"]

# The library counts items and dimensions in 32-bit signed ints.
_INT_MAX = 2**31 - 1
# Enough indices to find the faulty rows; the warning's .indices has all.
_NAMED_INDICES = 5


class UnmeasurableItemsWarning(UserWarning):
    """Some items have a value that is not a finite number greater than zero.

    The library cannot measure such an item: it still receives a cluster,
    chosen by a relative magnitude of 0, which puts it with the smallest
    items. `indices` holds the row numbers of all such items.
    """

    def __init__(self, message, indices):
        super().__init__(message)
        self.indices = indices


def _is_pandas(X):
    # By module name, so that pandas is never imported for other inputs.
    return type(X).__module__.split(".")[0] == "pandas"


def _as_float_array(X):
    """X as float64, with every missing entry NaN: NaN itself, pandas' NA in
    nullable columns, and the masked entries of a numpy.ma.MaskedArray."""
    if np.ma.isMaskedArray(X):
        return np.ma.asarray(X, dtype=np.float64).filled(np.nan)
    if _is_pandas(X) and hasattr(X, "to_numpy"):
        return X.to_numpy(dtype=np.float64, na_value=np.nan)
    return np.asarray(X, dtype=np.float64)


def _as_items(X):
    """X as a float64 array of items by dimensions, checked for shape."""
    try:
        array = _as_float_array(X)
    except (TypeError, ValueError, OverflowError) as error:
        raise ValueError("X must be a 2-D array of numbers (items by "
                         "dimensions): %s" % error) from None
    if array.ndim != 2:
        hint = ("; use X.reshape(-1, 1) for items of one dimension"
                if array.ndim == 1 else "")
        raise ValueError(
            "X must be 2-D (items by dimensions), got %d-D with shape %s%s"
            % (array.ndim, array.shape, hint))
    items, dimensions = array.shape
    if items == 0:
        raise ValueError("X has no items (shape %s)" % (array.shape,))
    if dimensions == 0:
        raise ValueError("X has no dimensions (shape %s)" % (array.shape,))
    if items > _INT_MAX or dimensions > _INT_MAX:
        raise ValueError("X has shape %s; the library takes at most %d items "
                         "and %d dimensions" % (array.shape, _INT_MAX, _INT_MAX))
    return array


def _check_k(k, items):
    if isinstance(k, bool) or not isinstance(k, numbers.Integral):
        raise ValueError("k must be an integer, got %r (%s)" % (k, type(k).__name__))
    if k < 1:
        raise ValueError("k must be at least 1, got %d" % k)
    if k > items:
        raise ValueError("k must be at most the number of items (%d), got %d"
                         % (items, k))
    return int(k)


def _unmeasurable_mask(array):
    # NaN compares false, so "not (x > 0)" catches it with zero and negatives.
    return ~np.all(np.isfinite(array) & (array > 0.0), axis=1)


def unmeasurable(X):
    """Boolean mask over the items (rows) of X that the library cannot
    measure: those with any value that is not a finite number greater than
    zero. X is checked as by cluster()."""
    return _unmeasurable_mask(_as_items(X))


def cluster(X, k, library=None, seed=None, engine_library=None, client=None):
    """Partitions the rows of X into k clusters with the Selvane library.

    X: 2-D array-like, one row per item and one column per dimension; it
    is converted to float64 and is not modified.
    k: the number of clusters, an integer from 1 to the number of rows.
    seed: None draws from the library's process-wide stream, seeded from the
    clock; an int from 0 to 2**64 - 1 makes the result reproducible: the
    same seed gives the same numbers on every build and in every process.
    The job runs through the engine library (engine_library: its path; None
    searches as load_engine_library does), on a thread of its own, so that
    Ctrl-C stops it within moments (KeyboardInterrupt).
    library: a Selvane library whose Selvane() is called instead (another
    build of it, say), as are the one SELVANE_LIBRARY names when library is
    None: the same numbers, but no seed and no interruption until it ends.

    Missing values (NaN, pandas' NA, the masked entries of a
    numpy.ma.MaskedArray) make their row unmeasurable, like a value that is
    not greater than zero.

    Returns one cluster number per row: a pandas.Series indexed like X when
    X is a pandas.DataFrame, else an int64 array. Clusters are numbered by
    rank: a cluster's ranked value is the sum of its members' relative
    magnitudes (norm over the largest norm) divided by its member count
    plus one, compared in single precision; 0 for the lowest, k-1 for the
    highest. Clusters whose ranked values are equal share one number, the
    highest of the places they take, and leave the numbers below it unused:
    clusters holding only unmeasurable rows tie at 0.

    Raises ValueError for a job the library would refuse (see the messages),
    LibraryNotFoundError when no library loads, MemoryError when the library
    ran out of memory, RuntimeError when it answers with no valid cluster
    numbers, KeyboardInterrupt when interrupted. Warns with UnmeasurableItemsWarning when some rows cannot be
    measured (see unmeasurable()); they are clustered with magnitude 0.

    Calls from several threads may run at once; they share the library's
    one random stream, which is seeded from the clock at the first call.

    client: None, or a dask.distributed Client: the job's passes then run
    across its workers (selvane.distributed), with the numbers of the same
    seed here; seed None draws a seed. Every worker must have this version
    of Selvane.
    """
    array = _as_items(X)
    items, dimensions = array.shape
    k = _check_k(k, items)
    seed_pointer(seed)  # refuses a bad seed before any work
    bad = _unmeasurable_mask(array)
    bad_count = int(np.count_nonzero(bad))
    if bad_count == items:
        raise ValueError(
            "no item can be measured: every row of X has a value that is not "
            "a finite number greater than zero")
    if bad_count:
        indices = np.flatnonzero(bad)
        shown = ", ".join(str(i) for i in indices[:_NAMED_INDICES])
        more = ", ..." if bad_count > _NAMED_INDICES else ""
        warnings.warn(UnmeasurableItemsWarning(
            "%d of %d items cannot be measured (a value that is not a finite "
            "number greater than zero) and are clustered with relative "
            "magnitude 0: rows %s%s" % (bad_count, items, shown, more), indices),
            stacklevel=2)

    if client is not None:
        from ._pieces import selvane_setup
        from .distributed import _seed, run_jobs
        values = np.ascontiguousarray(array)
        result = run_jobs(client, values, None,
                          [(selvane_setup(k, 1, engine_library), _seed(seed))])[0]["numbers"]
    elif seed is not None or (library is None and not os.environ.get("SELVANE_LIBRARY")):
        result = engine_selvane_job(array, k, seed, engine_library)
    else:
        # Dimension-major: the value of dimension d of item i at d * items
        # + i, which is the transpose laid out row by row.
        values = np.ascontiguousarray(array.T)
        function = load_library(library)
        result = np.full(items, np.nan)
        double_p = ctypes.POINTER(ctypes.c_double)
        function(items, dimensions, values.ctypes.data_as(double_p), k,
                 result.ctypes.data_as(double_p))

    if np.any(result == -1.0):
        # The arguments were checked above, so refusal means memory.
        raise MemoryError("the Selvane library could not cluster %d items of "
                          "%d dimensions: it ran out of memory" % (items, dimensions))
    valid = (result >= 0) & (result < k) & (result == np.floor(result))
    if not np.all(valid):
        first = int(np.flatnonzero(~valid)[0])
        raise RuntimeError("the Selvane library returned no valid cluster "
                           "number for row %d (%r)" % (first, float(result[first])))
    numbers = result.astype(np.int64)
    if _is_pandas(X) and X.__class__.__name__ == "DataFrame":
        import pandas
        return pandas.Series(numbers, index=X.index, name="cluster")
    return numbers
