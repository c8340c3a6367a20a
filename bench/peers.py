"""scikit-learn's KMeans on the rows selvane_bench prepared.

  peers.py --time FILE N COLUMNS K THREADS RUNS   prints the median seconds
  peers.py --describe    names the versions and the BLAS in use; its last
                         line is "openblas" when scikit-learn's BLAS is
                         OpenBLAS, else "not-openblas"
"""
import platform
import statistics
import sys
import time


def describe():
    import numpy
    import scipy
    import scipy.linalg  # noqa: F401  (loads the BLAS that scipy uses)
    import sklearn
    import sklearn.cluster  # noqa: F401
    from threadpoolctl import threadpool_info
    pools = threadpool_info()
    blas = [p for p in pools if p.get("user_api") == "blas"]
    print(f"scikit-learn {sklearn.__version__}, numpy {numpy.__version__}, "
          f"scipy {scipy.__version__}, Python {platform.python_version()}: "
          "KMeans(n_init=200, init='random'), its defaults otherwise")
    for p in pools:
        print(f"  thread pool: {p.get('internal_api')} {p.get('version') or ''} "
              f"{p.get('architecture') or ''} {p.get('threading_layer') or ''} "
              f"({p.get('filepath')})")
    openblas = bool(blas) and all(p.get("internal_api") == "openblas"
                                  for p in blas)
    print("openblas" if openblas else "not-openblas")


def run(path, n, columns, k, threads, runs):
    import numpy as np
    from sklearn.cluster import KMeans
    from threadpoolctl import threadpool_limits
    x = np.fromfile(path, dtype="<f8").reshape(n, columns)
    times = []
    with threadpool_limits(limits=threads):
        for r in range(runs):
            start = time.perf_counter()
            KMeans(n_clusters=k, n_init=200, init="random",
                   random_state=r).fit(x)
            times.append(time.perf_counter() - start)
    print(statistics.median(times))


if __name__ == "__main__":
    if sys.argv[1:2] == ["--describe"]:
        describe()
    elif sys.argv[1:2] == ["--time"] and len(sys.argv) == 8:
        path = sys.argv[2]
        n, columns, k, threads, runs = (int(a) for a in sys.argv[3:8])
        run(path, n, columns, k, threads, runs)
    else:
        sys.exit(__doc__)
