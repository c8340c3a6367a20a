"""Selvane from Python: exact k-means clustering of positive measurement
vectors, through the Selvane shared library (ctypes; numpy the only
dependency).

    import numpy, selvane
    numbers = selvane.cluster(numpy.random.rand(50, 4) + 0.1, 3)
    # numbers: 50 ints from 0 to 2

See cluster() for the contract and load_library() for where the library is
looked for.
"""

__version__ = "1.0.0"

from ._cluster import UnmeasurableItemsWarning, cluster, unmeasurable
from ._library import LibraryNotFoundError, load_library

__all__ = ["cluster", "unmeasurable", "load_library", "UnmeasurableItemsWarning",
           "LibraryNotFoundError", "__version__"]
