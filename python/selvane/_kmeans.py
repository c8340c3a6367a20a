"""KMeans: the engine as a scikit-learn style estimator, with missing
values, medians, weights, two metrics and reproducible seeds."""

import inspect
import numbers

import numpy as np

from ._cluster import _as_float_array, _is_pandas
from ._engine import engine_cluster, seed_pointer

__all__ = ["KMeans", "NotFittedError"]

# With scikit-learn installed, its own exception and clusterer mixin, so
# that its tools (check_estimator, pipelines, model selection) recognise
# the estimator; without it, equivalents of our own.
try:
    from sklearn.base import ClusterMixin as _ClustererBase
    from sklearn.exceptions import NotFittedError
except ImportError:  # pragma: no cover - exercised without scikit-learn
    _ClustererBase = object

    class NotFittedError(ValueError, AttributeError):
        """The estimator is used before fit()."""

_INT_MAX = 2**31 - 1


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


class KMeans(_ClustererBase):
    """k-means or k-medians clustering with Selvane's engine.

    Parameters (only stored by the constructor, as scikit-learn expects):
    n_clusters: number of clusters.
    metric: "euclidean" (weighted mean of squared differences) or
        "correlation" (one minus the weighted uncentered correlation).
    centers: "mean" or "median" of the members' present values.
    n_passes: passes from random starts; the partition of least total
        distance wins, and found_count_ says how many passes reached it.
    weights: None, or one non-negative weight per feature.
    random_state: None (the process-wide stream, seeded from the clock) or
        an int from 0 to 2**64 - 1: the same int gives the same bits on every
        platform, in every process and at every n_threads.
    n_threads: None for the default, else the most threads the passes use.
    library: path of the engine library; None searches as
        selvane.load_engine_library does.

    Missing values (NaN, pandas' NA, masked entries of a numpy masked array)
    take no part in any distance or centre; nothing is imputed. A centre is
    NaN exactly where none of its members has the value.

    Fitted attributes: labels_, cluster_centers_, error_ (the total distance
    of the partition), found_count_, n_features_in_.
    """

    # How scikit-learn tells a clusterer (and picks its checks).
    _estimator_type = "clusterer"

    def __init__(self, n_clusters=8, *, metric="euclidean", centers="mean",
                 n_passes=100, weights=None, random_state=None, n_threads=None,
                 library=None):
        self.n_clusters = n_clusters
        self.metric = metric
        self.centers = centers
        self.n_passes = n_passes
        self.weights = weights
        self.random_state = random_state
        self.n_threads = n_threads
        self.library = library

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
        if self.metric not in ("euclidean", "correlation"):
            raise ValueError("metric must be 'euclidean' or 'correlation', got %r"
                             % (self.metric,))
        if self.centers not in ("mean", "median"):
            raise ValueError("centers must be 'mean' or 'median', got %r"
                             % (self.centers,))
        passes = self.n_passes
        if (isinstance(passes, bool) or not isinstance(passes, numbers.Integral)
                or not 1 <= passes <= _INT_MAX):
            raise ValueError("n_passes must be a positive integer, got %r" % (passes,))
        threads = 0 if self.n_threads is None else self.n_threads
        if (isinstance(threads, bool) or not isinstance(threads, numbers.Integral)
                or not 0 <= threads <= _INT_MAX):
            raise ValueError("n_threads must be None or an integer of at least 1, "
                             "got %r" % (self.n_threads,))
        seed_pointer(self.random_state)
        weights = self._weights(features)
        return int(k), int(passes), int(threads), weights

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

    def fit(self, X, y=None):
        """Clusters the rows of X; y is ignored. Returns self."""
        array = _items(X)
        samples, features = array.shape
        k, passes, threads, weights = self._checked_params(samples, features)
        present = ~np.isnan(array)
        labels, error, found, centres, centre_present = engine_cluster(
            array, present, weights, k, passes, self.centers == "median",
            self.metric == "euclidean", self.random_state, threads, self.library)
        centres[~centre_present] = np.nan
        self.labels_ = labels
        self.cluster_centers_ = centres
        self.error_ = error
        self.found_count_ = found
        self.n_features_in_ = features
        if _is_pandas(X) and hasattr(X, "columns"):
            names = np.asarray(X.columns, dtype=object)
            if all(isinstance(name, str) for name in names):
                self.feature_names_in_ = names
        return self

    def fit_predict(self, X, y=None):
        """fit(X) and return labels_."""
        return self.fit(X).labels_

    def predict(self, X):
        """The nearest centre of every row of X, by the fitted metric and
        weights over the values present in both the row and the centre."""
        if not hasattr(self, "cluster_centers_"):
            raise NotFittedError("This %s instance is not fitted yet. Call 'fit' "
                                 "with appropriate arguments before using this "
                                 "estimator." % type(self).__name__)
        array = _items(X)
        if array.shape[1] != self.n_features_in_:
            raise ValueError("X has %d features, but %s is expecting %d features "
                             "as input." % (array.shape[1], type(self).__name__,
                                            self.n_features_in_))
        weights = self._weights(self.n_features_in_)
        if weights is None:
            weights = np.ones(self.n_features_in_)
        distances = np.empty((array.shape[0], len(self.cluster_centers_)))
        present = ~np.isnan(array)
        x = np.where(present, array, 0.0)
        for k, centre in enumerate(self.cluster_centers_):
            both = present & ~np.isnan(centre)
            w = np.where(both, weights, 0.0)
            c = np.where(both, centre, 0.0)
            if self.metric == "euclidean":
                total = w.sum(axis=1)
                squares = (w * (np.where(both, x, 0.0) - c) ** 2).sum(axis=1)
                with np.errstate(invalid="ignore", divide="ignore"):
                    distances[:, k] = np.where(total == 0.0, 0.0, squares / total)
            else:
                xb = np.where(both, x, 0.0)
                sxy = (w * xb * c).sum(axis=1)
                sxx = (w * xb * xb).sum(axis=1)
                syy = (w * c * c).sum(axis=1)
                with np.errstate(invalid="ignore", divide="ignore"):
                    value = 1.0 - sxy / np.sqrt(sxx * syy)
                value = np.where((sxx == 0.0) | (syy == 0.0), 1.0, value)
                distances[:, k] = np.where(both.any(axis=1), value, 0.0)
        return np.argmin(distances, axis=1).astype(np.int64)
