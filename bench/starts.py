"""How often each start finds the best partition, and what it costs a pass.

  starts.py [--seeds N] [--single N]   the table: on R's faithful (K = 3),
      iris and wine (K = 3) and standardised digits (K = 10), Euclidean
      means, the share of N seeds (default 20) whose 100 passes reach the
      best total known (the least of every run here), for each of
      selvane.KMeans's starts and for scikit-learn's KMeans (k-means++,
      n_init=100); and the share of N single starts (default 300) that
      reach it on their own.
  starts.py --timing [--passes P] [--rounds R]   seconds per pass of each
      start on 100000 x 16 values in 8 overlapping groups (the generator of
      OverlappingInput in bench/BenchInputs.h), every start run once per round in turn, on
      one thread, and their ratios to the random partition's.

Totals are within-cluster sums of squares computed here from each
partition, so that every method is judged by one formula (Selvane's
Euclidean distance is a mean over the values, not a sum). Needs numpy,
scikit-learn, Rscript (for faithful) and the release build's engine
library (or SELVANE_ENGINE_LIBRARY).
"""
import argparse
import ctypes
import io
import math
import os
import pathlib
import subprocess
import sys
import time

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "python"))
os.environ.setdefault("SELVANE_ENGINE_LIBRARY",
                      str(ROOT / "build" / "release" / "libselvane_engine.so"))

import selvane  # noqa: E402
from selvane import _engine  # noqa: E402

STARTS = ("k-means++", "items", "partition")


def data_sets():
    from sklearn import datasets
    from sklearn.preprocessing import StandardScaler
    faithful = subprocess.run(
        ["Rscript", "-e", "write.csv(faithful, stdout(), row.names = FALSE)"],
        check=True, capture_output=True, text=True).stdout
    return [("faithful", np.loadtxt(io.StringIO(faithful), delimiter=",", skiprows=1), 3),
            ("iris", datasets.load_iris().data, 3),
            ("wine", datasets.load_wine().data, 3),
            ("digits (standardised)",
             StandardScaler().fit_transform(datasets.load_digits().data), 10)]


def within_ss(x, labels):
    """The total squared distance of the rows to their cluster's mean."""
    total = 0.0
    for k in np.unique(labels):
        members = x[labels == k]
        total += float(((members - members.mean(axis=0)) ** 2).sum())
    return total


def selvane_total(x, k, start, passes, seed):
    model = selvane.KMeans(k, init=start, n_passes=passes, random_state=seed)
    return within_ss(x, model.fit(x).labels_)


def sklearn_total(x, k, n_init, seed):
    from sklearn.cluster import KMeans
    model = KMeans(k, init="k-means++", n_init=n_init, random_state=seed)
    return within_ss(x, model.fit(x).labels_)


def table(seeds, singles):
    methods = ("kmeans++", "items", "partition", "sklearn")
    columns = " ".join("%9s" % c for c in methods)
    print("Reaching the best known total: seeds of 100 passes (scikit-learn: n_init=100) "
          "| single starts.")
    print("Selvane's starts kmeans++, items and partition; scikit-learn's k-means++.")
    print("%-22s %3s %14s | %s | %s" % ("data", "K", "best total", columns, columns))
    medians = []
    for name, x, k in data_sets():
        x = np.ascontiguousarray(x, dtype=np.float64)
        runs = []
        for start in STARTS:
            runs.append(([selvane_total(x, k, start, 100, s) for s in range(seeds)],
                         [selvane_total(x, k, start, 1, s) for s in range(singles)]))
        runs.append(([sklearn_total(x, k, 100, s) for s in range(seeds)],
                     [sklearn_total(x, k, 1, s) for s in range(singles)]))
        best = min(min(many + one) for many, one in runs)

        def share(totals):
            reached = sum(1 for t in totals if t <= best * (1 + 1e-12))
            return "%4d/%-4d" % (reached, len(totals))
        print("%-22s %3d %14.4f | %s | %s" % (
            name, k, best, " ".join(share(many) for many, _ in runs),
            " ".join(share(one) for _, one in runs)), flush=True)
        medians.append((name, k, [float(np.median(many)) for many, _ in runs],
                        [float(np.median(one)) for _, one in runs]))
    print("\nMedian totals: of the seeds of 100 passes | of the single starts.")
    print("%-22s %3s | %s | %s" % ("data", "K", " ".join("%11s" % c for c in methods),
                                   " ".join("%11s" % c for c in methods)))
    for name, k, many, one in medians:
        print("%-22s %3d | %s | %s" % (name, k, " ".join("%11.4f" % t for t in many),
                                       " ".join("%11.4f" % t for t in one)))


def overlapping(n, d, k, seed):
    """OverlappingInput in bench/BenchInputs.h's values, one item a row."""
    state = seed

    def uniform():
        nonlocal state
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        return (state >> 8) / 16777216.0

    def gaussian():
        u = 1.0 - uniform()
        return math.sqrt(-2.0 * math.log(u)) * math.cos(6.283185307179586 * uniform())
    centres = [20.0 + 3.0 * gaussian() for _ in range(k * d)]
    values = np.empty((n, d))
    for i in range(n):
        group = i % k
        for j in range(d):
            v = centres[group * d + j] + gaussian()
            values[i, j] = v if v > 0.01 else 0.01
    return values


def timing(passes, rounds):
    x = overlapping(100000, 16, 8, 1)
    engine = _engine.load_engine_library()
    codes = {"k-means++": _engine.START_KMEANS_PLUS_PLUS, "items": _engine.START_ITEMS,
             "partition": _engine.START_PARTITION}
    ids = np.empty(len(x), dtype=np.intc)
    spent = {s: [0.0, 0] for s in STARTS}
    for r in range(rounds):
        for start in STARTS:
            job = _engine._job(_engine.JOB_CLUSTER, x, 8, pass_count=passes,
                               metric=_engine.EUCLIDEAN, seed=_engine.seed_pointer(r),
                               thread_count=1, start=codes[start])
            result = _engine._result(cluster_ids=(ids, ctypes.c_int))
            began = time.perf_counter()
            engine.check(engine.run(ctypes.byref(job), ctypes.byref(result)))
            spent[start][0] += time.perf_counter() - began
            spent[start][1] += result.total_iterations
    base = spent["partition"][0]
    print("100000 x 16, K = 8, %d rounds of %d passes, one thread" % (rounds, passes))
    for start in STARTS:
        seconds, iterations = spent[start]
        count = rounds * passes
        print("%-10s %.4f s per pass (%.3f of the partition's), %.1f iterations per pass, "
              "%.3f ms per iteration" % (start, seconds / count, seconds / base,
                                         iterations / count, 1000 * seconds / iterations))


if __name__ == "__main__":
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--seeds", type=int, default=20)
    parser.add_argument("--single", type=int, default=300)
    parser.add_argument("--timing", action="store_true")
    parser.add_argument("--passes", type=int, default=10)
    parser.add_argument("--rounds", type=int, default=5)
    arguments = parser.parse_args()
    if arguments.timing:
        timing(arguments.passes, arguments.rounds)
    else:
        table(arguments.seeds, arguments.single)
