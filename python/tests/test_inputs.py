"""Inputs beyond plain arrays: missing values as numpy and pandas mark them,
and results that keep a DataFrame's index."""

import subprocess
import sys
import warnings

import numpy as np
import pytest

import selvane
from conftest import PROJECT

X = [[1.0, 2.0], [2.0, 1.0], [3.0, 3.0], [4.0, 1.0]]


def _cluster_with_warning(X, k, library_path):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        result = selvane.cluster(X, k, library=library_path)
    unmeasurable = [list(w.message.indices) for w in caught
                    if w.category is selvane.UnmeasurableItemsWarning]
    return result, unmeasurable


def test_masked_entries_are_missing_values(library_path):
    masked = np.ma.masked_array(X, mask=[[0, 0], [0, 1], [0, 0], [0, 0]])
    assert list(np.flatnonzero(selvane.unmeasurable(masked))) == [1]
    result, unmeasurable = _cluster_with_warning(masked, 4, library_path)
    assert unmeasurable == [[1]]
    # Alone and unmeasurable: the lowest rank, as NaN in its place gives.
    nan = np.array(X)
    nan[1, 1] = np.nan
    assert list(result) == list(_cluster_with_warning(nan, 4, library_path)[0])
    assert result[1] == 0


@pytest.mark.parametrize("dtype", ["Int64", "Float64"])
def test_pandas_na_in_nullable_columns_is_a_missing_value(dtype, library_path):
    pandas = pytest.importorskip("pandas")
    frame = pandas.DataFrame({"a": [1, 2, 3, 4], "b": [2, pandas.NA, 3, 1]}, dtype=dtype)
    result, unmeasurable = _cluster_with_warning(frame, 4, library_path)
    assert unmeasurable == [[1]]
    assert result.iloc[1] == 0


def test_a_dataframe_gets_a_series_with_its_index(library_path):
    pandas = pytest.importorskip("pandas")
    frame = pandas.DataFrame(X, columns=["x", "y"], index=["p", "q", "r", "s"])
    result = selvane.cluster(frame, 1, library=library_path)
    assert isinstance(result, pandas.Series)
    assert list(result.index) == ["p", "q", "r", "s"]
    assert result.name == "cluster"
    assert list(result) == [0, 0, 0, 0]
    assert isinstance(selvane.cluster(np.array(X), 1, library=library_path), np.ndarray)


def test_pandas_is_never_imported_for_numpy_input(library_path):
    code = ("import sys, numpy, selvane; "
            "selvane.cluster(numpy.ones((3, 2)), 1, library=%r); "
            "assert 'pandas' not in sys.modules" % str(library_path))
    subprocess.run([sys.executable, "-c", code], check=True,
                   env={"PYTHONPATH": str(PROJECT)})
