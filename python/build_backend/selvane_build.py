"""A PEP 517 / PEP 660 build backend for the selvane package, standard
library only.

The package is a handful of .py files, so a wheel is a zip of them plus the
three dist-info files; writing that directly keeps `pip install ./python`
free of setuptools, which pip's build isolation would otherwise have to
download.

When the package is built from a checkout of the Selvane repository, the
wheel records the checkout's root in selvane/_checkout.py, so that the
installed package still finds the library in that checkout's build folders.
"""

import base64
import hashlib
import io
import os
import re
import tarfile
import zipfile

NAME = "selvane"
SUMMARY = "Exact k-means clustering of positive measurement vectors (Selvane library, via ctypes)"
REQUIRES_PYTHON = ">=3.8"
DEPENDENCIES = ["numpy"]
TAG = "py3-none-any"

_PROJECT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
_PACKAGE = os.path.join(_PROJECT, NAME)
_GENERATED = "_checkout.py"


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
    return "\n".join(lines) + "\n"


def _wheel_file():
    return ("Wheel-Version: 1.0\nGenerator: selvane_build\n"
            "Root-Is-Purelib: true\nTag: %s\n" % TAG)


def _checkout_root():
    """The repository root when building from a checkout, else None."""
    root = os.path.dirname(_PROJECT)
    if os.path.isfile(os.path.join(root, "include", "selvane.h")):
        return root
    return None


def _package_files():
    """(archive name, bytes) of every module, sorted for reproducible wheels."""
    files = []
    for name in sorted(os.listdir(_PACKAGE)):
        if name.endswith(".py") and name != _GENERATED:
            with open(os.path.join(_PACKAGE, name), "rb") as f:
                files.append((NAME + "/" + name, f.read()))
    root = _checkout_root()
    text = ('"""Written by the build: the checkout this copy was installed from."""\n'
            "CHECKOUT = %r\n" % root)
    files.append((NAME + "/" + _GENERATED, text.encode("utf-8")))
    return files


def _record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode("ascii")


def _write_wheel(wheel_directory, files):
    dist_info = _dist_info()
    files = list(files) + [
        (dist_info + "/METADATA", _metadata().encode("utf-8")),
        (dist_info + "/WHEEL", _wheel_file().encode("utf-8")),
    ]
    record_name = dist_info + "/RECORD"
    record = "".join("%s,%s,%d\n" % (name, _record_hash(data), len(data))
                     for name, data in files)
    record += record_name + ",,\n"
    files.append((record_name, record.encode("utf-8")))

    filename = "%s-%s-%s.whl" % (NAME, _version(), TAG)
    path = os.path.join(wheel_directory, filename)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files:
            # A fixed date keeps the wheel's bytes independent of when it
            # was built.
            info = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            info.external_attr = 0o644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(info, data)
    return filename


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
    for name, text in (("METADATA", _metadata()), ("WHEEL", _wheel_file())):
        with open(os.path.join(target, name), "w", encoding="utf-8") as f:
            f.write(text)
    return _dist_info()


prepare_metadata_for_build_editable = prepare_metadata_for_build_wheel


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    return _write_wheel(wheel_directory, _package_files())


def build_editable(wheel_directory, config_settings=None, metadata_directory=None):
    # A .pth file puts this source folder on sys.path: edits take effect
    # without reinstalling, and the library is found relative to the source.
    pth = (_PROJECT + "\n").encode("utf-8")
    return _write_wheel(wheel_directory, [("__editable__.%s.pth" % NAME, pth)])


def build_sdist(sdist_directory, config_settings=None):
    base = "%s-%s" % (NAME, _version())
    filename = base + ".tar.gz"
    names = ["pyproject.toml", "build_backend/selvane_build.py"]
    names += sorted(NAME + "/" + n for n in os.listdir(_PACKAGE)
                    if n.endswith(".py") and n != _GENERATED)
    with tarfile.open(os.path.join(sdist_directory, filename), "w:gz") as sdist:
        for name in names:
            sdist.add(os.path.join(_PROJECT, name), arcname=base + "/" + name)
        pkg_info = _metadata().encode("utf-8")
        info = tarfile.TarInfo(base + "/PKG-INFO")
        info.size = len(pkg_info)
        sdist.addfile(info, io.BytesIO(pkg_info))
    return filename
