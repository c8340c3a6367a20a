"""A PEP 517 / PEP 660 build backend for the selvane package, standard
library only.

The wheel is the package's .py files plus the Selvane shared library and
the engine library beside it, which the package loads through ctypes, so it is tagged for one platform
(py3-none-<platform>: any Python 3, no Python ABI involved). The library
comes from SELVANE_WHEEL_LIBRARY when set (the engine library is taken
from the same folder), else from the checkout's release build, which is
made (libraries only) when it is missing.

Why not setuptools: under pip's default build isolation, setuptools must
come from a package index, so `pip install ./python` fails offline with
"No module named 'setuptools'" even where Debian's python3-setuptools is
installed. This backend needs nothing (requires = []), writes the same
wheel format, and runs as a script to make the Windows wheels from the
cross-built DLLs (selvane_engine.dll is taken from beside selvane.dll):

    python3 selvane_build.py windows-wheel win_amd64 path/to/selvane.dll OUTDIR
"""

import base64
import hashlib
import io
import os
import re
import subprocess
import sys
import sysconfig
import tarfile
import zipfile

NAME = "selvane"
SUMMARY = "Exact k-means clustering of positive measurement vectors (Selvane library, via ctypes)"
REQUIRES_PYTHON = ">=3.8"
DEPENDENCIES = ["numpy"]
# selvane.distributed's, wanted only with a Dask client.
EXTRAS = {"distributed": ["distributed"]}
# Windows wheels: win32 holds the x86 DLL, win_amd64 the x86-64 one.
WINDOWS_TAGS = ("win32", "win_amd64")

_PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PACKAGE = os.path.join(_PROJECT, NAME)


def _version():
    with open(os.path.join(_PACKAGE, "__init__.py"), encoding="utf-8") as f:
        match = re.search(r'^__version__ = "([^"]+)"', f.read(), re.M)
    if match is None:
        raise RuntimeError("selvane/__init__.py defines no __version__")
    return match.group(1)


def _dist_info():
    return "%s-%s.dist-info" % (NAME, _version())


def _metadata():
    lines = [
        "Metadata-Version: 2.1",
        "Name: " + NAME,
        "Version: " + _version(),
        "Summary: " + SUMMARY,
        "Requires-Python: " + REQUIRES_PYTHON,
    ]
    lines += ["Requires-Dist: " + d for d in DEPENDENCIES]
    for extra, needs in EXTRAS.items():
        lines.append("Provides-Extra: " + extra)
        lines += ['Requires-Dist: %s; extra == "%s"' % (d, extra) for d in needs]
    return "\n".join(lines) + "\n"


def _platform_tag():
    return re.sub(r"[^A-Za-z0-9]", "_", sysconfig.get_platform())


def _wheel_file(tag):
    return ("Wheel-Version: 1.0\nGenerator: selvane_build\n"
            "Root-Is-Purelib: false\nTag: %s\n" % tag)


def _checkout_root():
    """The repository root when building from a checkout, else None."""
    root = os.path.dirname(_PROJECT)
    if os.path.isfile(os.path.join(root, "include", "selvane.h")):
        return root
    return None


def _built_library():
    """Path of the Linux library to package; builds it when it is missing."""
    given = os.environ.get("SELVANE_WHEEL_LIBRARY")
    if given:
        return given
    root = _checkout_root()
    if root is None:
        raise RuntimeError("no Selvane checkout around %s: set SELVANE_WHEEL_LIBRARY "
                           "to the libselvane.so to package" % _PROJECT)
    release = os.path.join(root, "build", "release", "libselvane.so")
    if os.path.isfile(release):
        return release
    # The library alone, in a build folder of its own.
    build = os.path.join(root, "build", "python-wheel")
    library = os.path.join(build, "libselvane.so")
    for command in (["cmake", "-S", root, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
                     "-DSELVANE_BUILD_TESTS=OFF", "-DSELVANE_BUILD_TOOLS=OFF"],
                    ["cmake", "--build", build, "--target", "selvane", "selvane_engine"]):
        subprocess.run(command, check=True, stdout=sys.stderr)
    return library


def _package_files(library, library_name, engine_name):
    """(archive name, bytes, mode) of every module, the library and the
    engine library from the same folder, sorted for reproducible wheels."""
    files = []
    for name in sorted(os.listdir(_PACKAGE)):
        if name.endswith(".py"):
            with open(os.path.join(_PACKAGE, name), "rb") as f:
                files.append((NAME + "/" + name, f.read(), 0o644))
    engine = os.path.join(os.path.dirname(os.path.abspath(library)), engine_name)
    for path, name in ((library, library_name), (engine, engine_name)):
        with open(path, "rb") as f:
            files.append((NAME + "/" + name, f.read(), 0o755))
    return files


def _record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


def _write_wheel(wheel_directory, files, tag):
    dist_info = _dist_info()
    files = list(files) + [
        (dist_info + "/METADATA", _metadata().encode("utf-8"), 0o644),
        (dist_info + "/WHEEL", _wheel_file(tag).encode("utf-8"), 0o644),
    ]
    record_name = dist_info + "/RECORD"
    record = "".join("%s,%s,%d\n" % (name, _record_hash(data), len(data))
                     for name, data, _ in files)
    record += record_name + ",,\n"
    files.append((record_name, record.encode("utf-8"), 0o644))

    filename = "%s-%s-%s.whl" % (NAME, _version(), tag)
    path = os.path.join(wheel_directory, filename)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data, mode in files:
            # A fixed date keeps the wheel's bytes independent of when it
            # was built.
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = mode << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return filename


def build_windows_wheel(tag, dll, wheel_directory):
    """A wheel for 32-bit (win32) or 64-bit (win_amd64) Windows Pythons
    holding the DLL of that architecture."""
    if tag not in WINDOWS_TAGS:
        raise ValueError("Windows wheel tag must be one of %s, got %r" % (WINDOWS_TAGS, tag))
    return _write_wheel(wheel_directory, _package_files(dll, "selvane.dll", "selvane_engine.dll"),
                        "py3-none-" + tag)


# --- PEP 517 hooks -------------------------------------------------------

def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def get_requires_for_build_editable(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    target = os.path.join(metadata_directory, _dist_info())
    os.makedirs(target, exist_ok=True)
    for name, text in (("METADATA", _metadata()),
                       ("WHEEL", _wheel_file("py3-none-" + _platform_tag()))):
        with open(os.path.join(target, name), "w", encoding="utf-8") as f:
            f.write(text)
    return _dist_info()


prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    return _write_wheel(wheel_directory, _package_files(_built_library(), "libselvane.so",
                                                        "libselvane_engine.so"),
                        "py3-none-" + _platform_tag())


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # A .pth file puts this source folder on sys.path: edits take effect
    # without reinstalling, and the library is found in the checkout's build.
    pth = (_PROJECT + "\n").encode("utf-8")
    return _write_wheel(wheel_directory, [("__editable__.%s.pth" % NAME, pth, 0o644)],
                        "py3-none-any")


def build_sdist(sdist_directory, config_settings=None):
    base = "%s-%s" % (NAME, _version())
    filename = base + ".tar.gz"
    names = ["pyproject.toml", "build_backend/selvane_build.py"]
    names += sorted(NAME + "/" + n for n in os.listdir(_PACKAGE)
                    if n.endswith(".py"))
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as sdist:
        for name in names:
            sdist.add(os.path.join(_PROJECT, name), arcname=base + "/" + name)
        pkg_info = _metadata().encode("utf-8")
        info = tarfile.TarInfo(base + "/PKG-INFO")
        info.size = len(pkg_info)
        sdist.addfile(info, io.BytesIO(pkg_info))
    return filename


if __name__ == "__main__":
    if len(sys.argv) != 5 or sys.argv[1] != "windows-wheel":
        sys.exit("usage: selvane_build.py windows-wheel {win32|win_amd64} SELVANE_DLL OUTDIR")
    print(build_windows_wheel(sys.argv[2], sys.argv[3], sys.argv[4]))
