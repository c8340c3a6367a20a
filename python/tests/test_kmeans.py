"""selvane.KMeans and seeded jobs through the engine library."""

import math
import signal
import subprocess
import sys
import threading
import time
import warnings

import numpy as np
import pytest

import selvane
from conftest import PROJECT, RELEASE


@pytest.fixture(autouse=True)
def engine_library(monkeypatch):
    monkeypatch.setenv("SELVANE_ENGINE_LIBRARY", str(RELEASE / "libselvane_engine.so"))


def blobs(missing=0.0, seed=0):
    rng = np.random.default_rng(seed)
    X = np.vstack([rng.normal(c, 1.0, (60, 5)) for c in (-6.0, 0.0, 6.0)])
    if missing:
        X[rng.random(X.shape) < missing] = np.nan
    return X


def test_scikit_learn_estimator_checks():
    """Every check of scikit-learn's check_estimator passes; none is skipped."""
    estimator_checks = pytest.importorskip("sklearn.utils.estimator_checks")
    skipped = {}  # check name -> reason; none is needed
    failures = []
    names = set()
    for estimator, check in estimator_checks.check_estimator(
            selvane.KMeans(random_state=0), generate_only=True):
        name = getattr(check, "func", check).__name__
        names.add(name)
        if name in skipped:
            continue
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            try:
                check(estimator)
            except Exception as error:  # collect all, report at once
                failures.append("%s: %s" % (name, error))
    # Two that check_estimator leaves to scikit-learn's own estimators.
    for name in ("check_dataframe_column_names_consistency",
                 "check_n_features_in_after_fitting"):
        try:
            getattr(estimator_checks, name)("KMeans", selvane.KMeans(random_state=0))
        except Exception as error:
            failures.append("%s: %s" % (name, error))
    assert not failures, "\n".join(failures)
    # Recognised as a clusterer, so the clustering checks ran too.
    assert {"check_clustering", "check_clusterer_compute_labels_predict"} <= names


def test_works_without_scikit_learn():
    code = ("import sys; sys.modules['sklearn'] = None\n"
            "import selvane\n"
            "m = selvane.KMeans(2, random_state=3).fit([[1, 2], [1.1, 2], [9, 9], [9.2, 9.1]])\n"
            "print(list(m.labels_), m.found_count_, m.n_iter_)\n"
            "try:\n    selvane.KMeans().predict([[1, 2]])\n"
            "except selvane.NotFittedError:\n    print('not fitted')\n")
    run = subprocess.run([sys.executable, "-c", code], check=True, capture_output=True,
                         text=True, env={"PYTHONPATH": str(PROJECT),
                                         "SELVANE_ENGINE_LIBRARY":
                                             str(RELEASE / "libselvane_engine.so")})
    assert run.stdout == "[0, 0, 1, 1] 100 3\nnot fitted\n"


@pytest.mark.parametrize("centers, summary", [("mean", np.nanmean), ("median", np.nanmedian)])
def test_missing_values_are_left_out_never_imputed(centers, summary):
    X = blobs(missing=0.1)
    X[:60, 4] = np.nan  # no member of the first blob has feature 4
    model = selvane.KMeans(3, centers=centers, random_state=11).fit(X)
    assert sorted(np.bincount(model.labels_)) == [60, 60, 60]
    for k in range(3):
        members = X[model.labels_ == k]
        has = ~np.all(np.isnan(members), axis=0)
        assert np.array_equal(~np.isnan(model.cluster_centers_[k]), has)
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", RuntimeWarning)
            np.testing.assert_allclose(model.cluster_centers_[k][has],
                                       summary(members, axis=0)[has], rtol=1e-12)
    assert np.isnan(model.cluster_centers_[model.labels_[0], 4])
    assert np.array_equal(model.predict(X), model.labels_)


def distance(x, c, w, euclidean):
    """The documented distances, added position by position in Python floats."""
    both = [j for j in range(len(x)) if not (math.isnan(x[j]) or math.isnan(c[j]))]
    a = b = e = 0.0
    for j in both:
        if euclidean:
            a, b = a + (w[j] * (x[j] - c[j])) * (x[j] - c[j]), b + w[j]
        else:
            a, b, e = a + (w[j] * x[j]) * c[j], b + (w[j] * x[j]) * x[j], e + (w[j] * c[j]) * c[j]
    if euclidean:
        return 0.0 if b == 0.0 else a / b
    return 0.0 if not both else 1.0 if b == 0.0 or e == 0.0 else 1.0 - a / math.sqrt(e * b)


@pytest.mark.parametrize("metric", ["euclidean", "correlation"])
@pytest.mark.parametrize("centers", ["mean", "median"])
def test_inertia_predict_and_score_are_the_library_distances(metric, centers):
    X, w = blobs(missing=0.1, seed=4), [1, 2, 0.5, 1, 0]
    model = selvane.KMeans(3, metric=metric, centers=centers, weights=w, n_passes=5,
                           random_state=8).fit(X)
    rows, centres = X.tolist(), model.cluster_centers_.tolist()
    table = [[distance(x, c, w, metric == "euclidean") for c in centres] for x in rows]
    inertia = nearest = 0.0
    for i, row in enumerate(table):
        inertia += row[model.labels_[i]]
        nearest += min(row)
    assert model.inertia_ == inertia
    assert model.score(X) == -nearest
    assert list(model.predict(X)) == [row.index(min(row)) for row in table]


def test_gridsearch_scores_by_the_estimator():
    model_selection = pytest.importorskip("sklearn.model_selection")
    search = model_selection.GridSearchCV(selvane.KMeans(n_passes=3, random_state=0),
                                          {"n_clusters": [1, 3]}, cv=2).fit(blobs())
    assert search.best_params_ == {"n_clusters": 3}


@pytest.mark.parametrize("fitted, given, message", [
    (False, True, "X has feature names, but KMeans was fitted without feature names"),
    (True, False, "X does not have valid feature names, but KMeans was fitted with "
                  "feature names")])
def test_feature_name_warnings_are_scikit_learns(fitted, given, message):
    X = pytest.importorskip("pandas").DataFrame(blobs(), columns=list("abcde"))
    model = selvane.KMeans(3, random_state=1).fit(X if fitted else X.to_numpy())
    with pytest.warns(UserWarning, match="^%s$" % message) as caught:
        model.predict(X if given else X.to_numpy())
    assert caught[0].filename == __file__


def test_fewer_distinct_items_than_clusters_warns():
    category = getattr(pytest.importorskip("sklearn.exceptions"), "ConvergenceWarning")
    assert selvane.ConvergenceWarning is category
    with pytest.warns(category, match=r"^Number of distinct clusters \(2\) found smaller "
                      r"than n_clusters \(3\)\. Possibly due to duplicate points in X\.$"):
        selvane.KMeans(3).fit([[1, 1], [1, 1], [5, np.nan], [5, -np.nan]])


@pytest.mark.parametrize("make, draw", [
    (np.random.default_rng, lambda g: g.integers(0, 2**64, dtype=np.uint64)),
    (np.random.RandomState, lambda r: r.randint(0, 2**64, dtype=np.uint64))])
def test_a_numpy_generator_gives_one_seed_per_fit(make, draw):
    X = np.random.default_rng(0).random((60, 2))
    state, fresh = make(4), make(4)
    model = selvane.KMeans(5, n_passes=1, random_state=state, n_threads=-1).fit(X)
    expected = selvane.KMeans(5, n_passes=1, random_state=int(draw(fresh))).fit(X)
    assert (model.error_, list(model.labels_)) == (expected.error_, list(expected.labels_))
    assert draw(state) == draw(fresh)  # the fit drew once


def test_pandas_na_and_masked_entries_are_missing():
    pandas = pytest.importorskip("pandas")
    X = blobs(missing=0.1)
    frame = pandas.DataFrame(X).astype("Float64")  # NaN becomes pandas.NA
    masked = np.ma.masked_invalid(np.where(np.isnan(X), 1e300, X))
    masked.mask = np.isnan(X)
    reference = selvane.KMeans(3, random_state=5).fit(X)
    for form in (frame, masked):
        model = selvane.KMeans(3, random_state=5).fit(form)
        assert np.array_equal(model.labels_, reference.labels_)
        assert np.array_equal(model.cluster_centers_, reference.cluster_centers_,
                              equal_nan=True)


def test_two_processes_print_the_same_seeded_results():
    code = ("import numpy as np, selvane\n"
            "X = np.random.default_rng(9).random((200, 3)) + 0.1\n"
            "m = selvane.KMeans(5, n_passes=20, random_state=77).fit(X)\n"
            "print(list(m.labels_), m.error_.hex(), m.found_count_,\n"
            "      list(selvane.cluster(X, 4, seed=77)))\n")
    outputs = [subprocess.run([sys.executable, "-c", code], check=True,
                              capture_output=True, text=True,
                              env={"PYTHONPATH": str(PROJECT),
                                   "SELVANE_ENGINE_LIBRARY":
                                       str(RELEASE / "libselvane_engine.so")}).stdout
               for _ in range(2)]
    assert outputs[0] == outputs[1] and outputs[0]


@pytest.mark.parametrize("params, message", [
    ({"n_clusters": 0}, "n_clusters"), ({"metric": "cosine"}, "metric"),
    ({"centers": "mode"}, "centers"), ({"n_passes": 0}, "n_passes"),
    ({"weights": [1, 1]}, "one weight per feature"), ({"weights": [1, 1, 1, -1, 1]}, "negative"),
    ({"random_state": -1}, "seed"), ({"random_state": 2**64}, "seed"),
    ({"random_state": 1.5}, "random_state must be None, an int, a numpy"),
    ({"n_threads": -2}, "n_threads"),
    ({"weights": [0, 0, 0, 0, 0]}, "no item has a present value with a non-zero weight")])
def test_bad_parameters_are_refused_at_fit(params, message):
    with pytest.raises(ValueError, match=message):
        selvane.KMeans(**params).fit(blobs())


def test_nothing_to_cluster_on_is_refused():
    with pytest.raises(ValueError, match="no item has a present value with a non-zero weight"):
        selvane.KMeans(2).fit(np.full((4, 2), np.nan))


def test_engine_library_search(monkeypatch, tmp_path):
    monkeypatch.setenv("SELVANE_ENGINE_LIBRARY", str(tmp_path / "missing.so"))
    with pytest.raises(selvane.LibraryNotFoundError, match="SELVANE_ENGINE_LIBRARY"):
        selvane.load_engine_library()
    assert selvane.load_engine_library(RELEASE / "libselvane_engine.so").version == 10003
    with pytest.raises(ValueError, match="seed"):
        selvane.cluster(blobs() + 20, 3, seed=1.5)


def test_verbose_keeps_a_line_of_passes(capsys):
    selvane.KMeans(2, n_passes=7, random_state=1, verbose=True).fit(blobs())
    err = capsys.readouterr().err
    assert err.startswith("\rselvane: 1 of 7 passes, ") and err.endswith(" s\n")
    assert err.count("\r") == 7


# A job of minutes, started in a child, must stop within a second of
# Ctrl-C, as KeyboardInterrupt, for fit and cluster alike.
INTERRUPTED = """
import sys, time, numpy, selvane
X = numpy.random.default_rng(1).random((40000, 12)) + 0.1
job = {"fit": lambda: selvane.KMeans(40, n_passes=100000, n_threads=1, random_state=1).fit(X),
       "cluster": lambda: selvane.cluster(X, 40)}[sys.argv[1]]
print("go", flush=True)
try:
    job()
except KeyboardInterrupt:
    print(time.monotonic(), flush=True)
"""


@pytest.mark.parametrize("job", ["fit", "cluster"])
def test_ctrl_c_stops_a_long_job_within_a_second(job):
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED, job], stdout=subprocess.PIPE,
                             text=True, env={"PYTHONPATH": str(PROJECT), "SELVANE_THREADS": "1",
                                             "SELVANE_ENGINE_LIBRARY":
                                                 str(RELEASE / "libselvane_engine.so")})
    deadline = threading.Timer(15.0, child.kill)  # a job that does not stop
    deadline.start()
    try:
        assert child.stdout.readline() == "go\n"
        time.sleep(1.0)  # well into the passes
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        stopped = child.stdout.readline()
        assert child.wait() == 0
    finally:
        deadline.cancel()
        child.kill()
    assert stopped and float(stopped) - sent < 1.0
