"""Shared set-up: the package from this source tree, and the built library
and command-line host of this checkout (the release preset's)."""

import os
import sys
from pathlib import Path

import pytest

PROJECT = Path(__file__).resolve().parents[1]
ROOT = PROJECT.parent
sys.path.insert(0, str(PROJECT))

# The release preset's build, or the one SELVANE_BUILD_DIR names.
RELEASE = Path(os.environ.get("SELVANE_BUILD_DIR") or ROOT / "build" / "release")
IRIS = ROOT / "examples" / "iris.csv"


def _built(path, what):
    if not path.is_file():
        pytest.fail("%s not found at %s: build the release preset first "
                    "(cmake --preset release && cmake --build --preset release), "
                    "or set SELVANE_BUILD_DIR to a build folder" % (what, path))
    return path


@pytest.fixture(scope="session")
def library_path():
    """The library under test: SELVANE_LIBRARY when set, else the release build."""
    given = os.environ.get("SELVANE_LIBRARY")
    if given:
        return Path(given)
    return _built(RELEASE / "libselvane.so", "the Selvane library")


@pytest.fixture(scope="session")
def cli_path():
    return _built(RELEASE / "tools" / "selvane", "the selvane command")
