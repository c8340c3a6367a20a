"""What reaches the library: items by dimensions in, dimension-major out,
whatever the memory layout or type of the caller's array."""

import numpy as np
import pytest

import selvane

# With K = N every item forms its own cluster, whatever the random stream,
# so the answer ranks the items by norm: sqrt(26), sqrt(2), 5, sqrt(8).
ITEMS = [[5.0, 1.0], [1.0, 1.0], [3.0, 4.0], [2.0, 2.0]]
RANKS = [3, 0, 2, 1]
# Handed over row by row instead, the library would read the items
# (5, 3), (1, 4), (1, 2), (1, 2): ranks 3, 2, 1, 1 (the equal pair shares
# the higher number of its run).
RANKS_IF_ROW_MAJOR = [3, 2, 1, 1]


def as_list(X):
    return [[float(v) for v in row] for row in X]


@pytest.mark.parametrize("make", [
    lambda: ITEMS,
    lambda: tuple(tuple(row) for row in ITEMS),
    lambda: np.array(ITEMS),
    lambda: np.asfortranarray(ITEMS),
    lambda: np.array(ITEMS, dtype=np.float32),
    lambda: np.array(ITEMS, dtype=np.int64),
    lambda: np.array(ITEMS).T.copy().T,                       # Fortran-ordered view
    lambda: np.repeat(np.array(ITEMS), 2, axis=0)[::2],       # strided rows
    lambda: np.repeat(np.array(ITEMS), 3, axis=1)[:, ::3],    # strided columns
    lambda: np.array(ITEMS).astype(">f8"),                    # big-endian
], ids=["list", "tuple", "C", "Fortran", "float32", "int64", "transposed view",
        "row stride", "column stride", "big-endian"])
def test_every_layout_gives_the_items_ranked_by_norm(make, library_path):
    X = make()
    before = as_list(X)
    result = selvane.cluster(X, 4, library=library_path)
    assert result.dtype == np.int64
    assert list(result) == RANKS
    assert as_list(X) == before  # the caller's array is left alone


def test_the_wrong_layout_would_be_noticed(library_path):
    # The flat row-major buffer reinterpreted as the library's layout:
    # proves the expectation above depends on the conversion.
    flat = np.array(ITEMS).ravel()
    dimension_major = flat.reshape(2, 4).T
    assert list(selvane.cluster(dimension_major, 4, library=library_path)) == RANKS_IF_ROW_MAJOR


def test_items_and_dimensions_are_not_swapped(library_path):
    # Three items of five dimensions: as five items K = 5 would be valid.
    X = np.arange(1.0, 16.0).reshape(3, 5)
    with pytest.raises(ValueError, match=r"at most the number of items \(3\), got 5"):
        selvane.cluster(X, 5, library=library_path)
    # Rows grow in norm down the array.
    assert list(selvane.cluster(X, 3, library=library_path)) == [0, 1, 2]


def test_well_separated_groups(library_path):
    # Nearly one direction, sizes a hundredfold apart: the relative
    # magnitude alone separates the two groups, and the small one is 0.
    rng = np.random.default_rng(7)
    small = rng.uniform(1.0, 1.1, size=(20, 3))
    large = rng.uniform(100.0, 110.0, size=(20, 3))
    result = selvane.cluster(np.vstack([small, large]), 2, library=library_path)
    assert set(result[:20]) == {0} and set(result[20:]) == {1}
