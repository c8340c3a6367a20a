"""scikit-learn's KMeans on the rows selvane_bench prepared.

  peers.py --time FILE N COLUMNS K THREADS RUNS   prints the median seconds
  peers.py --describe                             prints the BLAS in use
"""
import statistics
import sys
import time


def describe():
    import numpy  # noqa: F401  (loads the BLAS that threadpoolctl reports)
    import sklearn
    from threadpoolctl import threadpool_info
    pools = ", ".join(
        f"{p.get('internal_api')} {p.get('version')} {p.get('architecture', '')}".strip()
        for p in threadpool_info())
    print(f"scikit-learn {sklearn.__version__}; thread pools: {pools}")


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
