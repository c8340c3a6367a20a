"""KMeans: the engine as a scikit-learn style estimator, with missing
values, medians, weights, two metrics and reproducible seeds."""

import inspect
import numbers
import os
import warnings

import numpy as np

from ._cluster import _as_float_array
from ._engine import (CORRELATION, EUCLIDEAN, JOB_CLUSTER, MEANS, MEDIANS, START_ITEMS,
                      START_KMEANS_PLUS_PLUS, START_PARTITION, engine_assign,
                      engine_cluster, seed_pointer)
from ._pieces import JobSetup

__all__ = ["KMeans", "NotFittedError", "ConvergenceWarning"]

# With scikit-learn installed, its own exception and clusterer mixin, so
# that its tools (check_estimator, pipelines, model selection) recognise
# the estimator; without it, equivalents of our own.
try:
    from sklearn.base import ClusterMixin as _ClustererBase
    from sklearn.exceptions import ConvergenceWarning, NotFittedError
except ImportError:  # pragma: no cover - exercised without scikit-learn
    _ClustererBase = object

    class NotFittedError(ValueError, AttributeError):
        """The estimator is used before fit()."""

    class ConvergenceWarning(UserWarning):
        """The clustering found fewer distinct clusters than asked for."""

_INT_MAX = 2**31 - 1

_STARTS = {"k-means++": START_KMEANS_PLUS_PLUS, "items": START_ITEMS,
           "partition": START_PARTITION}
_METRICS = {"euclidean": EUCLIDEAN, "correlation": CORRELATION}
_CENTRES = {"mean": MEANS, "median": MEDIANS}


def _items(X, what="X"):
    """X as a 2-D float64 array of items by features, missing entries NaN
    (NaN, pandas' NA, masked entries). Infinite values are refused."""
    if hasattr(X, "toarray") or type(X).__module__.startswith("scipy.sparse"):
        raise TypeError("%s is a sparse matrix; sparse input is not supported, "
                        "use X.toarray()" % what)
    if np.iscomplexobj(X):
        raise ValueError("Complex data not supported: %s" % what)
    array = _as_float_array(X)  # a TypeError for non-numbers passes through
    if array.ndim != 2:
        raise ValueError("Expected 2D array, got %dD array instead. Reshape your "
                         "data with X.reshape(-1, 1) for one feature or "
                         "X.reshape(1, -1) for one sample." % array.ndim)
    samples, features = array.shape
    for count, what in ((samples, "sample"), (features, "feature")):
        if count == 0:
            raise ValueError("Found array with 0 %s(s) (shape=%s) while a minimum "
                             "of 1 is required." % (what, array.shape))
    if samples > _INT_MAX or features > _INT_MAX:
        raise ValueError("%s has shape %s, beyond the engine's 32-bit counts"
                         % (what, array.shape))
    if np.isinf(array).any():
        raise ValueError("Input contains infinity; missing values must be NaN")
    return array


def _feature_names(X):
    """X's column names when all are strings (a pandas.DataFrame's, say),
    else None; by scikit-learn's rule, mixed names are refused."""
    if not hasattr(X, "columns"):
        return None
    names = np.asarray(X.columns, dtype=object)
    types = sorted(t.__qualname__ for t in set(type(name) for name in names))
    if len(types) > 1 and "str" in types:
        raise TypeError(
            "Feature names are only supported if all input features have string "
            "names, but your input has %s as feature name / column name types. "
            "If you want feature names to be stored and validated, you must convert "
            "them all to strings, by using X.columns = X.columns.astype(str) for "
            "example. Otherwise you can remove feature / column names from your "
            "input data, or convert them all to a non-string data type." % types)
    return names if types == ["str"] else None


def _names_listed(names):
    shown = "".join("- %s\n" % name for name in names[:5])
    return shown + ("- ...\n" if len(names) > 5 else "")


def _distinct_items(array, weights):
    """How many rows differ in a value that some distance reads: values of
    weight zero are left out, every missing value is alike, and -0.0 is 0.0."""
    if weights is not None:
        array = array[:, weights != 0.0]
    alike = np.ascontiguousarray(np.where(np.isnan(array), np.nan, array) + 0.0)
    rows = alike.view(np.dtype((np.void, alike.dtype.itemsize * alike.shape[1])))
    return len(np.unique(rows))


class KMeans(_ClustererBase):
    """k-means or k-medians clustering with Selvane's engine.

    Parameters (only stored by the constructor, as scikit-learn expects):
    n_clusters: number of clusters.
    metric: "euclidean" (weighted mean of squared differences) or
        "correlation" (one minus the weighted uncentered correlation).
    centers: "mean" or "median" of the members' present values.
    n_passes: passes, each from a random start of its own; the partition of
        least total distance wins, and found_count_ says how many passes
        reached it.
    init: how each pass starts. "k-means++" (the default, as scikit-learn's):
        the first centre a row drawn with equal probability, each next one
        the best (leaving the least total distance) of 2 + ln(n_clusters)
        rows drawn with probability proportional to their distance (by the
        fitted metric, weights and missing values) to the nearest centre
        drawn so far, the greedy k-means++ scikit-learn runs; "items": n_clusters distinct rows drawn with equal
        probability as the first centres; "partition": every row dealt into
        a cluster at random (Selvane()'s start, and the command line's
        default). With "k-means++" and "items" each row joins its nearest
        first centre before the pass, and only rows with a present value of
        non-zero weight can be centres: there must be n_clusters of them.
    weights: None, or one non-negative weight per feature; at least one
        present value must have a non-zero weight.
    random_state: None (the process-wide stream, seeded from the clock); an
        int from 0 to 2**64 - 1: the same int gives the same bits on every
        platform, in every process and at every n_threads; or a
        numpy.random.Generator or RandomState, from which each fit draws one
        seed, generator.integers(0, 2**64, dtype=numpy.uint64) or
        random_state.randint(0, 2**64, dtype=numpy.uint64), and uses it as
        that int: a generator in a known state gives known results, and
        advances by one draw per fit.
    n_threads: None for the default (SELVANE_THREADS, else every processor
        this process may use), -1 for every such processor, else the most
        threads the passes use. The results are the same for every count.
    library: path of the engine library; None searches as
        selvane.load_engine_library does.
    verbose: True keeps a line on standard error up to date with the passes
        done and the time so far (not with a client).
    client: None, or a dask.distributed Client: fit then runs the passes
        across its workers (selvane.distributed), with the bits of the call
        on one thread here. Each range of passes takes n_threads threads of
        its worker, one when n_threads is None: Dask's worker threads (one
        per core, by default) share the passes. Every worker must have this
        version of Selvane. With random_state None a seed is drawn.

    fit runs on a thread of its own, so that Ctrl-C stops it within moments
    (KeyboardInterrupt), leaving the estimator as it was.

    Missing values (NaN, pandas' NA, masked entries of a numpy masked array)
    take no part in any distance or centre; nothing is imputed. A centre is
    NaN exactly where none of its members has the value. Fitting data with
    no present value of non-zero weight raises ValueError.

    Fitted attributes:
    labels_: the partition the engine found.
    cluster_centers_: the mean or median of each cluster of labels_.
    inertia_: the total distance of the items to the centres of their
        clusters in labels_, under the fitted metric and weights, added in
        item order by the library.
    error_: the engine's own total for the partition: that of the last sweep
        of the first pass to reach it. That sweep measured each item against
        the centres it started from, before its moves, and an item alone in
        its cluster added nothing, so error_ can differ from inertia_.
    found_count_: how many passes reached the partition.
    n_iter_: the iterations of the first pass that reached it.
    n_features_in_; feature_names_in_ when X had string column names (a
        pandas.DataFrame), which predict and score then check as
        scikit-learn does.

    predict(X) gives each row its nearest centre, computed by the library
    with the distances of the clustering; among equally near centres the
    lowest number. On the training data it can differ from labels_: the
    last sweep moved items against the centres of the iteration before, and
    the centres recomputed from the final labels (with medians or the
    correlation metric especially) can make another centre nearer; an item
    alone in its cluster is never moved; and on equal distances a sweep
    leaves an item where it is. score(X) is minus the total distance of X to
    its nearest centres, as scikit-learn's KMeans.score.

    When the data has fewer distinct items than n_clusters, identical items
    are split between clusters, and fit warns with ConvergenceWarning
    (scikit-learn's when it is installed).
    """

    # How scikit-learn tells a clusterer (and picks its checks).
    _estimator_type = "clusterer"

    def __init__(self, n_clusters=8, *, metric="euclidean", centers="mean",
                 n_passes=100, init="k-means++", weights=None, random_state=None,
                 n_threads=None, library=None, verbose=False, client=None):
        self.n_clusters = n_clusters
        self.metric = metric
        self.centers = centers
        self.n_passes = n_passes
        self.init = init
        self.weights = weights
        self.random_state = random_state
        self.n_threads = n_threads
        self.library = library
        self.verbose = verbose
        self.client = client

    # --- scikit-learn's parameter protocol -------------------------------
    @classmethod
    def _get_param_names(cls):
        signature = inspect.signature(cls.__init__)
        return sorted(p.name for p in signature.parameters.values()
                      if p.name != "self" and p.kind != p.VAR_KEYWORD)

    def get_params(self, deep=True):
        return {name: getattr(self, name) for name in self._get_param_names()}

    def set_params(self, **params):
        valid = self._get_param_names()
        for name, value in params.items():
            if name not in valid:
                raise ValueError("Invalid parameter %r for estimator %s. Valid "
                                 "parameters are: %s" % (name, type(self).__name__, valid))
            setattr(self, name, value)
        return self

    def __repr__(self):
        changed = ", ".join("%s=%r" % (name, value)
                            for name, value in self.get_params().items()
                            if value is not inspect.signature(type(self).__init__)
                            .parameters[name].default)
        return "%s(%s)" % (type(self).__name__, changed)

    def _more_tags(self):
        return {"allow_nan": True}

    # --- fitting and prediction ------------------------------------------
    def _checked_params(self, samples, features):
        k = self.n_clusters
        if isinstance(k, bool) or not isinstance(k, numbers.Integral) or k < 1:
            raise ValueError("n_clusters must be an integer of at least 1, got %r" % (k,))
        if k > samples:
            raise ValueError("n_samples=%d should be >= n_clusters=%d."
                             % (samples, k))
        if not isinstance(self.metric, str) or self.metric not in _METRICS:
            raise ValueError("metric must be 'euclidean' or 'correlation', got %r"
                             % (self.metric,))
        if not isinstance(self.centers, str) or self.centers not in _CENTRES:
            raise ValueError("centers must be 'mean' or 'median', got %r"
                             % (self.centers,))
        if not isinstance(self.init, str) or self.init not in _STARTS:
            raise ValueError("init must be 'k-means++', 'items' or 'partition', got %r"
                             % (self.init,))
        passes = self.n_passes
        if (isinstance(passes, bool) or not isinstance(passes, numbers.Integral)
                or not 1 <= passes <= _INT_MAX):
            raise ValueError("n_passes must be a positive integer, got %r" % (passes,))
        threads = 0 if self.n_threads is None else self.n_threads
        if (isinstance(threads, bool) or not isinstance(threads, numbers.Integral)
                or not -1 <= threads <= _INT_MAX):
            raise ValueError("n_threads must be None, -1 (every processor) or an "
                             "integer of at least 1, got %r" % (self.n_threads,))
        if threads == -1:
            threads = (len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity")
                       else os.cpu_count() or 1)
        if not isinstance(self.random_state, (np.random.Generator, np.random.RandomState)):
            try:
                seed_pointer(self.random_state)
            except ValueError as error:
                raise ValueError("random_state must be None, an int, a numpy.random."
                                 "Generator or a RandomState: %s" % error) from None
        weights = self._weights(features)
        return int(k), int(passes), int(threads), weights

    def _seed(self):
        """The int seed of this fit, drawn from a generator if one is given."""
        state = self.random_state
        if isinstance(state, np.random.Generator):
            return int(state.integers(0, 2**64, dtype=np.uint64))
        if isinstance(state, np.random.RandomState):
            return int(state.randint(0, 2**64, dtype=np.uint64))
        return state

    def _weights(self, features):
        if self.weights is None:
            return None
        weights = np.asarray(self.weights, dtype=np.float64)
        if weights.shape != (features,):
            raise ValueError("weights must hold one weight per feature (%d), got "
                             "shape %s" % (features, weights.shape))
        if not np.all(np.isfinite(weights) & (weights >= 0)):
            raise ValueError("weights must be finite and not negative")
        return weights

    def _setup(self, X):
        """(the job, X's values as the library reads them, the weights), all
        checked."""
        array = np.ascontiguousarray(_items(X))
        k, passes, threads, weights = self._checked_params(*array.shape)
        return (JobSetup(JOB_CLUSTER, k, passes, _CENTRES[self.centers],
                        _METRICS[self.metric], threads, self.library,
                        _STARTS[self.init]),
                array, weights)

    def fit(self, X, y=None):
        """Clusters the rows of X; y is ignored. Returns self."""
        names = _feature_names(X)
        setup, array, weights = self._setup(X)
        k, features = setup.k, array.shape[1]
        if self.client is None:
            labels, error, found, centres, centre_present, iterations = engine_cluster(
                array, ~np.isnan(array), weights, k, setup.passes, setup.centres,
                setup.metric, self._seed(), setup.threads, self.library, bool(self.verbose),
                setup.start)
        else:
            from .distributed import _seed, run_jobs
            if self.n_threads is None:
                setup = setup._replace(threads=1)  # the workers' threads share the passes
            out = run_jobs(self.client, array, weights, [(setup, _seed(self._seed()))])[0]
            labels, error, found, centres, iterations = (
                out["ids"].astype(np.int64), out["error"], out["found"], out["centres"],
                out["best_iterations"])
            centre_present = out["centre_present"].astype(bool)
        centres[~centre_present] = np.nan
        self.labels_ = labels
        self.cluster_centers_ = centres
        self.inertia_ = engine_assign(array, weights, centres, setup.metric, labels,
                                      self.library)[2]
        self.error_ = error
        self.found_count_ = found
        self.n_iter_ = iterations
        self.n_features_in_ = features
        if names is not None:
            self.feature_names_in_ = names
        elif hasattr(self, "feature_names_in_"):
            del self.feature_names_in_
        distinct = _distinct_items(array, weights)
        if distinct < k:
            warnings.warn("Number of distinct clusters (%d) found smaller than "
                          "n_clusters (%d). Possibly due to duplicate points in X."
                          % (distinct, k), ConvergenceWarning, stacklevel=2)
        return self

    def fit_predict(self, X, y=None):
        """fit(X) and return labels_."""
        return self.fit(X).labels_

    def _check_feature_names(self, X):
        fitted = getattr(self, "feature_names_in_", None)
        given = _feature_names(X)
        name = type(self).__name__
        if given is not None and fitted is None:
            warnings.warn("X has feature names, but %s was fitted without feature "
                          "names" % name, UserWarning, stacklevel=4)
        elif given is None and fitted is not None:
            warnings.warn("X does not have valid feature names, but %s was fitted "
                          "with feature names" % name, UserWarning, stacklevel=4)
        elif given is not None and (len(given) != len(fitted)
                                    or np.any(given != fitted)):
            unseen = sorted(set(given) - set(fitted))
            missing = sorted(set(fitted) - set(given))
            message = "The feature names should match those that were passed during fit.\n"
            if unseen:
                message += "Feature names unseen at fit time:\n" + _names_listed(unseen)
            if missing:
                message += ("Feature names seen at fit time, yet now missing:\n"
                            + _names_listed(missing))
            if not unseen and not missing:
                message += "Feature names must be in the same order as they were in fit.\n"
            raise ValueError(message)

    def _assign(self, X):
        """(nearest centres, distances, total) of the rows of X, by the
        library."""
        if not hasattr(self, "cluster_centers_"):
            raise NotFittedError("This %s instance is not fitted yet. Call 'fit' "
                                 "with appropriate arguments before using this "
                                 "estimator." % type(self).__name__)
        self._check_feature_names(X)
        array = _items(X)
        if array.shape[1] != self.n_features_in_:
            raise ValueError("X has %d features, but %s is expecting %d features "
                             "as input." % (array.shape[1], type(self).__name__,
                                            self.n_features_in_))
        return engine_assign(array, self._weights(self.n_features_in_),
                             self.cluster_centers_, _METRICS[self.metric],
                             None, self.library)

    def predict(self, X):
        """The nearest centre of every row of X, by the fitted metric and
        weights over the values present in both the row and the centre; among
        equally near centres the lowest number."""
        return self._assign(X)[0]

    def score(self, X, y=None):
        """Minus the total distance of the rows of X to their nearest centres
        (higher is better, as scikit-learn's KMeans.score); y is ignored."""
        return -self._assign(X)[2]
