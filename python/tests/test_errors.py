"""Every refusal of cluster(), with its exact message, and how it reports
items it cannot measure."""

import re
import warnings

import numpy as np
import pytest

import selvane
from selvane import _cluster, _engine

GOOD = [[1.0, 2.0], [2.0, 1.0], [3.0, 3.0]]


@pytest.mark.parametrize("X, k, message", [
    ([1.0, 2.0, 3.0], 1,
     "X must be 2-D (items by dimensions), got 1-D with shape (3,); "
     "use X.reshape(-1, 1) for items of one dimension"),
    (np.ones((2, 2, 2)), 1,
     "X must be 2-D (items by dimensions), got 3-D with shape (2, 2, 2)"),
    (np.ones((0, 3)), 1, "X has no items (shape (0, 3))"),
    (np.ones((4, 0)), 1, "X has no dimensions (shape (4, 0))"),
    (GOOD, 2.0, "k must be an integer, got 2.0 (float)"),
    (GOOD, "2", "k must be an integer, got '2' (str)"),
    (GOOD, True, "k must be an integer, got True (bool)"),
    (GOOD, None, "k must be an integer, got None (NoneType)"),
    (GOOD, 0, "k must be at least 1, got 0"),
    (GOOD, -3, "k must be at least 1, got -3"),
    (GOOD, 4, "k must be at most the number of items (3), got 4"),
    ([[0.0, 1.0], [np.nan, 2.0], [np.inf, 1.0], [-1.0, 5.0]], 1,
     "no item can be measured: every row of X has a value that is not a "
     "finite number greater than zero"),
])
def test_refused_jobs_raise_before_the_library_is_called(X, k, message, monkeypatch):
    def no_library(library=None):
        raise AssertionError("the library must not be loaded for a refused job")
    monkeypatch.setattr(_cluster, "load_library", no_library)
    monkeypatch.setattr(_engine, "load_engine_library", no_library)
    with pytest.raises(ValueError, match="^" + re.escape(message) + "$"):
        selvane.cluster(X, k)


@pytest.mark.parametrize("X", [[["a", "b"], ["c", "d"]], [[1.0, 2.0], [3.0]], [[10**400, 1]]],
                         ids=["text", "ragged", "beyond float"])
def test_values_that_are_no_numbers_are_a_value_error(X):
    with pytest.raises(ValueError, match=r"^X must be a 2-D array of numbers "
                                         r"\(items by dimensions\): "):
        selvane.cluster(X, 1)


def test_numpy_integers_are_accepted_as_k(library_path):
    assert list(selvane.cluster(GOOD, np.int32(1), library=library_path)) == [0, 0, 0]


def test_unmeasurable_items_are_clustered_with_a_warning_naming_them(library_path):
    X = np.ones((8, 2))
    X[:, 1] = np.arange(1, 9)
    bad_rows = [1, 2, 4, 5, 6, 7]
    X[1, 0] = 0.0
    X[2, 1] = -2.0
    X[4, 0] = np.nan
    X[5, 1] = np.inf
    X[6, 0] = -np.inf
    X[7, 1] = 0.0
    assert list(np.flatnonzero(selvane.unmeasurable(X))) == bad_rows

    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        # K = N puts every item alone; the six of magnitude 0 share the
        # highest number of their run (5), the two measurable rows follow.
        result = selvane.cluster(X, 8, library=library_path)
    assert len(caught) == 1
    warning = caught[0]
    assert warning.category is selvane.UnmeasurableItemsWarning
    assert str(warning.message) == (
        "6 of 8 items cannot be measured (a value that is not a finite number "
        "greater than zero) and are clustered with relative magnitude 0: "
        "rows 1, 2, 4, 5, 6, ...")
    assert list(warning.message.indices) == bad_rows
    assert warning.filename == __file__  # points at the caller's line
    # Row 3 (1, 4) is larger than row 0 (1, 1).
    assert list(result) == [6, 5, 5, 7, 5, 5, 5, 5]


def test_warning_lists_every_row_when_few(library_path):
    X = [[1.0, 1.0], [0.0, 1.0], [2.0, 2.0]]
    with pytest.warns(selvane.UnmeasurableItemsWarning,
                      match=r"^1 of 3 items cannot be measured .*: rows 1$"):
        selvane.cluster(X, 1, library=library_path)


def test_no_warning_when_every_item_can_be_measured(library_path):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        selvane.cluster(GOOD, 2, library=library_path)


def _fake_library(fill):
    def load(library=None):
        def function(n, d, values, k, result):
            for i in range(n):
                result[i] = fill(i, k)
        return function
    return load


def test_library_refusal_of_a_valid_job_is_reported_as_memory(monkeypatch):
    monkeypatch.setattr(_cluster, "load_library", _fake_library(lambda i, k: -1.0))
    with pytest.raises(MemoryError, match=r"^the Selvane library could not cluster 3 "
                                          r"items of 2 dimensions: it ran out of memory$"):
        selvane.cluster(GOOD, 2, library="fake")


@pytest.mark.parametrize("fill, shown", [
    (lambda i, k: k if i == 1 else 0.0, "2.0"),   # out of range
    (lambda i, k: 0.5 if i == 1 else 0.0, "0.5"),  # not whole
    (lambda i, k: float("nan") if i == 1 else 0.0, "nan"),
])
def test_a_result_that_is_no_cluster_number_is_a_runtime_error(fill, shown, monkeypatch):
    monkeypatch.setattr(_cluster, "load_library", _fake_library(fill))
    with pytest.raises(RuntimeError, match="^the Selvane library returned no valid "
                                           "cluster number for row 1 \\(%s\\)$" % shown):
        selvane.cluster(GOOD, 2, library="fake")


def test_explicit_library_that_does_not_load(tmp_path):
    missing = tmp_path / "nowhere" / "libselvane.so"
    with pytest.raises(selvane.LibraryNotFoundError,
                       match="^cannot load the Selvane library %s given by the "
                             "library argument: " % re.escape(repr(str(missing)))):
        selvane.cluster(GOOD, 1, library=missing)


def test_environment_library_that_does_not_load(tmp_path, monkeypatch):
    missing = str(tmp_path / "gone.so")
    monkeypatch.setenv("SELVANE_LIBRARY", missing)
    with pytest.raises(selvane.LibraryNotFoundError,
                       match="^cannot load the Selvane library %s given by the "
                             "environment variable SELVANE_LIBRARY: "
                             % re.escape(repr(missing))):
        selvane.cluster(GOOD, 1)


def test_library_without_the_export():
    # The C maths library loads everywhere on Linux and exports no Selvane.
    with pytest.raises(selvane.LibraryNotFoundError,
                       match="^the library 'libm.so.6' has no export 'Selvane': it is "
                             "not a Selvane library for this 64-bit Python$"):
        selvane.cluster(GOOD, 1, library="libm.so.6")
