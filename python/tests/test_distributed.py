"""Jobs on a Dask cluster of two worker processes on the loopback give the
bits of the one-thread call here: engine jobs, Selvane's job and a scan,
with a worker killed during a job and with the exact fallback; a worker
with another Selvane is refused and nothing is fitted."""

import faulthandler
import logging
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import selvane
from selvane import distributed

from conftest import PROJECT

# The cluster's start and every job are bounded: a hang ends the run.
LIMIT_SECONDS = 240


@pytest.fixture(scope="module")
def client():
    dask = pytest.importorskip(
        "distributed", reason="Dask is not installed (python3-distributed): the "
        "distributed tests cannot run")
    faulthandler.dump_traceback_later(LIMIT_SECONDS, exit=True)
    cluster = dask.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                host="127.0.0.1", dashboard_address=None,
                                silence_logs=logging.ERROR)
    with dask.Client(cluster, timeout=60) as connected:
        yield connected
    cluster.close()
    faulthandler.cancel_dump_traceback_later()


def blobs(seed=3, items=240):
    """Well-separated groups, so that many passes reach one partition and
    the merge's matched passes are confirmed on the workers."""
    rng = np.random.default_rng(seed)
    centres = np.array([[1.0, 9.0, 4.0], [8.0, 2.0, 5.0], [5.0, 5.0, 12.0]])
    return centres[np.arange(items) % 3] + rng.normal(0, 0.8, (items, 3)) + 10


def fitted(X, **parameters):
    model = selvane.KMeans(3, n_passes=24, random_state=11, **parameters).fit(X)
    return (model.labels_.tobytes(), model.cluster_centers_.tobytes(),
            np.float64(model.error_).tobytes(), model.found_count_, model.n_iter_,
            np.float64(model.inertia_).tobytes())


def test_engine_jobs_give_the_one_thread_bits(client):
    X = blobs()
    gappy = X.copy()
    gappy[::7, 1] = np.nan
    for data, parameters in ((X, {}),
                             (gappy, {"centers": "median", "metric": "correlation"}),
                             (gappy, {"weights": [1.0, 0.0, 2.5]})):
        here = fitted(data, n_threads=1, **parameters)
        assert here[3] > 1  # passes matched
        assert fitted(data, client=client, **parameters) == here


def test_selvane_job_and_scan_give_the_one_thread_bits(client):
    X = blobs(items=150)
    for k in (1, 3, 5):
        assert np.array_equal(selvane.cluster(X, k, seed=k, client=client),
                              selvane.cluster(X, k, seed=k))
    ks = [2, 3, 4]
    scanned = selvane.scan(X, ks, seed=8, n_passes=16, client=client)
    for result in scanned:
        model = selvane.KMeans(result.k, n_passes=16, random_state=8, n_threads=1).fit(X)
        assert (result.error, result.found_count) == (model.error_, model.found_count_)
    assert selvane.scan(X, ks, seed=8, n_passes=16) == scanned
    assert (selvane.scan(X, ks, seed=2, selvane_job=True, client=client)
            == selvane.scan(X, ks, seed=2, selvane_job=True))


def _die_during_a_range():
    """Armed on one worker: the next range it runs ends its process while
    the passes run. The nanny starts a new worker process, unarmed."""
    original = distributed._run_range

    def dying(*arguments):
        threading.Timer(0.02, os._exit, (1,)).start()
        return original(*arguments)
    distributed._run_range = dying


def test_a_worker_killed_during_a_job_changes_no_bit(client):
    X = blobs(items=3000)
    here = fitted(X, n_threads=1)
    doomed = sorted(client.scheduler_info()["workers"])[0]
    client.run(_die_during_a_range, workers=[doomed])
    assert fitted(X, client=client) == here
    assert doomed not in client.scheduler_info()["workers"]
    client.wait_for_workers(2, timeout=60)


def _confirm_nothing():
    from selvane import _pieces
    _pieces.same_partition = lambda best, current, k: False


def _pretend_version():
    distributed._versions = lambda library=None: (10099, "0.0.1")


def _restore():
    import importlib
    from selvane import _pieces
    importlib.reload(_pieces)
    importlib.reload(distributed)


def test_an_unconfirmed_match_runs_the_job_whole(client):
    setup, X, _ = selvane.KMeans(3, n_passes=12)._setup(blobs())
    here = selvane._pieces.engine_whole(setup, X, None, 5)
    words = selvane._pieces.engine_plan(setup, X, None, 5)[1]
    for unconfirmed in (False, True):
        if unconfirmed:
            client.run(_confirm_nothing)
        try:
            out = distributed.run_jobs(client, X, None, [(setup, 5)])[0]
        finally:
            client.run(_restore)
        assert out.pop("confirmed") != unconfirmed
        assert out.pop("generator_words") == words
        assert here.keys() == out.keys()
        for name, value in here.items():
            assert np.asarray(value).tobytes() == np.asarray(out[name]).tobytes(), name


def test_a_worker_of_another_version_is_refused(client):
    model = selvane.KMeans(3, random_state=1, client=client)
    client.run(_pretend_version)
    try:
        with pytest.raises(selvane.VersionMismatchError, match="Selvane 0.0.1 with "
                           "engine interface 1.99; the caller has"):
            model.fit(blobs())
    finally:
        client.run(_restore)
    assert not hasattr(model, "labels_")
    # A worker that joins after the check refuses its piece itself.
    setup = selvane.KMeans(3)._setup(blobs())[0]
    with pytest.raises(selvane.VersionMismatchError, match="running passes 0 to 1"):
        distributed._piece_task(setup, (blobs(), None), 0, [1, 2], (10099, "0.0.1"))


def test_selvane_imports_and_runs_without_dask():
    code = ("import sys; sys.modules['dask'] = sys.modules['distributed'] = None; "
            "import numpy, selvane; "
            "print(selvane.scan(numpy.arange(1.0, 13.0).reshape(6, 2), [2], seed=1)[0].k)")
    out = subprocess.run([sys.executable, "-c", code], cwd=PROJECT, capture_output=True,
                         text=True, timeout=60)
    assert out.stdout == "2\n", out.stderr
