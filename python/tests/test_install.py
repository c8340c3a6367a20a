"""The wheels: what they hold and how they are tagged, and `pip install` of
the package into a fresh virtual environment, offline, working after the
source it was built from is gone."""

import base64
import hashlib
import re
import shutil
import subprocess
import sys
import sysconfig
import zipfile

import pytest

import selvane
from conftest import IRIS, PROJECT, ROOT

sys.path.insert(0, str(PROJECT / "build_backend"))
import selvane_build  # noqa: E402

VERSION = selvane.__version__
DIST_INFO = "selvane-%s.dist-info" % VERSION
MODULES = {"selvane/__init__.py", "selvane/_cluster.py", "selvane/_engine.py",
           "selvane/_kmeans.py", "selvane/_library.py", "selvane/_pieces.py",
           "selvane/distributed.py"}


def test_one_version_in_header_and_package():
    header = (ROOT / "include" / "selvane.h").read_text()
    assert '#define SELVANE_VERSION_STRING "%s"' % VERSION in header


def read_wheel(path, library_name, library, engine_name):
    """Checks the parts every wheel shares, the engine library taken from
    beside the library; returns its WHEEL file."""
    engine = library.parent / engine_name
    with zipfile.ZipFile(path) as wheel:
        names = set(wheel.namelist())
        assert names == MODULES | {"selvane/" + library_name, "selvane/" + engine_name} | {
            DIST_INFO + "/" + n for n in ("METADATA", "WHEEL", "RECORD")}
        assert wheel.read("selvane/" + library_name) == library.read_bytes()
        assert wheel.read("selvane/" + engine_name) == engine.read_bytes()
        metadata = wheel.read(DIST_INFO + "/METADATA").decode()
        assert "Name: selvane\n" in metadata and "Requires-Dist: numpy\n" in metadata
        assert 'Requires-Dist: distributed; extra == "distributed"\n' in metadata
        for name in names:
            # Nothing may depend on where the wheel was built.
            assert str(ROOT).encode() not in wheel.read(name), name
        for line in wheel.read(DIST_INFO + "/RECORD").decode().splitlines():
            name, digest, size = line.rsplit(",", 2)
            names.remove(name)
            if not name.endswith("RECORD"):
                data = wheel.read(name)
                expected = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
                assert (digest, int(size)) == ("sha256=" + expected.decode(), len(data)), name
        assert not names, "files missing from RECORD: %s" % names
        return wheel.read(DIST_INFO + "/WHEEL").decode()


def test_linux_wheel_carries_the_library_under_a_platform_tag(tmp_path, library_path,
                                                              monkeypatch):
    monkeypatch.setenv("SELVANE_WHEEL_LIBRARY", str(library_path))
    name = selvane_build.build_wheel(str(tmp_path))
    tag = "py3-none-" + re.sub(r"[^A-Za-z0-9]", "_", sysconfig.get_platform())
    assert name == "selvane-%s-%s.whl" % (VERSION, tag)
    assert tag != "py3-none-any"
    wheel = read_wheel(tmp_path / name, "libselvane.so", library_path,
                       "libselvane_engine.so")
    assert "Root-Is-Purelib: false\nTag: %s\n" % tag in wheel


@pytest.mark.parametrize("tag", ["win32", "win_amd64"])
def test_windows_wheels(tmp_path, tag):
    # The bytes stand for the DLL of that architecture: the wheel must hold
    # them unchanged, whatever they are.
    dll = tmp_path / "selvane.dll"
    dll.write_bytes(b"MZ stand-in for the %s DLL" % tag.encode())
    (tmp_path / "selvane_engine.dll").write_bytes(b"MZ stand-in for its engine DLL")
    out = tmp_path / "out"
    out.mkdir()
    made = subprocess.run([sys.executable, str(PROJECT / "build_backend" / "selvane_build.py"),
                           "windows-wheel", tag, str(dll), str(out)],
                          capture_output=True, text=True, check=True)
    name = "selvane-%s-py3-none-%s.whl" % (VERSION, tag)
    assert made.stdout == name + "\n"
    wheel = read_wheel(out / name, "selvane.dll", dll, "selvane_engine.dll")
    assert "Tag: py3-none-%s\n" % tag in wheel
    with pytest.raises(ValueError):
        selvane_build.build_windows_wheel("win_arm64", str(dll), str(out))


def test_pip_install_offline_then_cluster_iris_with_the_source_gone(tmp_path, library_path):
    # A copy of the package source and library, removed once installed:
    # the installed copy must need neither.
    source = tmp_path / "source"
    shutil.copytree(PROJECT, source / "python", ignore=shutil.ignore_patterns(
        "tests", "__pycache__", "*.egg-info"))
    shutil.copy(library_path, source / "libselvane.so")
    shutil.copy(library_path.parent / "libselvane_engine.so", source / "libselvane_engine.so")
    venv = tmp_path / "venv"
    # The system's pip, when there is one, serves the venv through its site
    # packages, which saves the seconds of seeding a pip of its own.
    has_pip = subprocess.run([sys.executable, "-c", "import pip"]).returncode == 0
    made = subprocess.run([sys.executable, "-m", "venv", "--system-site-packages",
                           *(["--without-pip"] if has_pip else []), str(venv)],
                          capture_output=True, text=True)
    if made.returncode != 0:
        pytest.fail("cannot create a virtual environment (apt-get install "
                    "python3-venv):\n" + made.stderr)
    python = str(venv / "bin" / "python")
    install = subprocess.run(
        [python, "-m", "pip", "install", "--no-index", "--disable-pip-version-check",
         str(source / "python")], capture_output=True, text=True,
        env={"PATH": "/usr/bin:/bin", "HOME": str(tmp_path),
             "SELVANE_WHEEL_LIBRARY": str(source / "libselvane.so")})
    assert install.returncode == 0, install.stdout + install.stderr
    shutil.rmtree(source)

    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    shutil.copy(IRIS, elsewhere / "iris.csv")
    check = subprocess.run([python, "-c", """
import numpy, selvane
X = numpy.loadtxt("iris.csv", delimiter=",", skiprows=1, usecols=(1, 2, 3, 4))
labels = selvane.cluster(X, 3)
seeded = selvane.KMeans(3, random_state=1).fit(X).labels_
selvane.load_library()
maps = [l.split()[-1] for l in open("/proc/self/maps") if "libselvane" in l]
print(len(labels), sorted(set(labels.tolist())), sorted(set(maps)))
"""], capture_output=True, text=True, cwd=str(elsewhere), env={"PATH": "/usr/bin:/bin"})
    assert check.returncode == 0, check.stderr
    packaged = next(venv.glob("lib/python3*/site-packages/selvane/libselvane.so"))
    engine = packaged.parent / "libselvane_engine.so"
    assert check.stdout == "150 [0, 1, 2] %r\n" % [str(packaged), str(engine)]
