"""Selvane from Python: exact k-means clustering of positive measurement
vectors, through the Selvane shared library (ctypes; numpy the only
dependency).

    import numpy, selvane
    numbers = selvane.cluster(numpy.random.rand(50, 4) + 0.1, 3)
    # numbers: 50 ints from 0 to 2

    model = selvane.KMeans(3, centers="median", random_state=7).fit(X)
    # model.labels_, model.cluster_centers_, model.found_count_

With Dask, the passes of one job, or a scan over cluster counts, run across
a cluster's workers with the same bits (selvane.distributed):

    model = selvane.KMeans(8, random_state=7, client=client).fit(X)
    [(k, error, found) for k, error, found in selvane.scan(X, range(2, 9), client=client)]

See cluster() and KMeans for the contracts and load_library() for where the library is
looked for.
"""

__version__ = "1.0.0"

from ._cluster import UnmeasurableItemsWarning, cluster, unmeasurable
from ._engine import EngineError, load_engine_library
from ._kmeans import ConvergenceWarning, KMeans, NotFittedError
from ._library import LibraryNotFoundError, load_library
from . import distributed
from .distributed import ScanResult, VersionMismatchError, scan

__all__ = ["cluster", "unmeasurable", "KMeans", "load_library", "load_engine_library",
           "UnmeasurableItemsWarning", "LibraryNotFoundError", "EngineError",
           "NotFittedError", "ConvergenceWarning", "scan", "ScanResult",
           "VersionMismatchError", "distributed", "__version__"]
