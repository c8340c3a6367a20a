"""`pip install ./python` into a fresh virtual environment needs nothing
from a package index, and the installed copy finds the library of the
checkout it was built from."""

import base64
import hashlib
import subprocess
import sys
import zipfile

import pytest

from conftest import PROJECT, ROOT

sys.path.insert(0, str(PROJECT / "build_backend"))
import selvane_build  # noqa: E402


def test_wheel_holds_the_modules_metadata_and_a_valid_record(tmp_path):
    name = selvane_build.build_wheel(str(tmp_path))
    assert name == "selvane-0.1.0-py3-none-any.whl"
    with zipfile.ZipFile(tmp_path / name) as wheel:
        names = set(wheel.namelist())
        assert {"selvane/__init__.py", "selvane/_cluster.py", "selvane/_library.py",
                "selvane/_checkout.py", "selvane-0.1.0.dist-info/METADATA",
                "selvane-0.1.0.dist-info/WHEEL", "selvane-0.1.0.dist-info/RECORD"} <= names
        assert not any(n.startswith("selvane/tests") or "__pycache__" in n for n in names)
        metadata = wheel.read("selvane-0.1.0.dist-info/METADATA").decode()
        assert "Name: selvane\n" in metadata and "Requires-Dist: numpy\n" in metadata
        assert wheel.read("selvane/_checkout.py").decode().endswith(
            "CHECKOUT = %r\n" % str(ROOT))
        record = wheel.read("selvane-0.1.0.dist-info/RECORD").decode().splitlines()
        listed = set()
        for line in record:
            path, digest, size = line.rsplit(",", 2)
            listed.add(path)
            if path.endswith("RECORD"):
                continue
            data = wheel.read(path)
            expected = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
            assert digest == "sha256=" + expected.decode(), path
            assert int(size) == len(data), path
        assert listed == names


def _pip_importable():
    return subprocess.run([sys.executable, "-c", "import pip"],
                          capture_output=True).returncode == 0


def test_pip_install_into_a_fresh_venv_then_cluster(tmp_path, library_path):
    venv = tmp_path / "venv"
    # The system's pip serves the venv through its site packages, which
    # saves the seconds of seeding a pip of its own.
    with_pip = [] if not _pip_importable() else ["--without-pip"]
    made = subprocess.run([sys.executable, "-m", "venv", "--system-site-packages",
                           *with_pip, str(venv)], capture_output=True, text=True)
    if made.returncode != 0:
        pytest.fail("cannot create a virtual environment (apt-get install "
                    "python3-venv):\n" + made.stderr)
    python = str(venv / "bin" / "python")
    install = subprocess.run([python, "-m", "pip", "install", "--no-index",
                              "--disable-pip-version-check", str(PROJECT)],
                             capture_output=True, text=True)
    assert install.returncode == 0, install.stdout + install.stderr

    # Run from elsewhere so that the source tree is not on sys.path.
    check = subprocess.run(
        [python, "-c", "import selvane, numpy; print(selvane.__file__); "
                       "print(selvane.cluster(numpy.random.rand(50, 4) + 0.1, 3))"],
        capture_output=True, text=True, cwd=str(tmp_path))
    assert check.returncode == 0, check.stderr
    location, numbers = check.stdout.split("\n", 1)
    assert location.startswith(str(venv))
    values = [int(v) for v in numbers.replace("[", " ").replace("]", " ").split()]
    assert len(values) == 50 and set(values) <= {0, 1, 2}
