"""Where the package looks for the library, and which export it binds."""

import os
import shutil

import pytest

import selvane
from selvane import _library

from conftest import ROOT

GOOD = [[1.0, 1.0], [2.0, 2.0]]


@pytest.fixture(autouse=True)
def fresh_cache(monkeypatch):
    monkeypatch.setattr(_library, "_loaded", {})
    monkeypatch.delenv("SELVANE_LIBRARY", raising=False)


@pytest.mark.parametrize("platform, bits, expected", [
    ("win32", 32, ("_Selvane@20", "stdcall")),
    ("win32", 64, ("Selvane", "cdecl")),
    ("linux", 64, ("Selvane", "cdecl")),
    ("linux", 32, ("Selvane", "cdecl")),
])
def test_export_by_platform_and_pointer_size(platform, bits, expected):
    assert _library.export_binding(platform, bits) == expected


def test_default_search_is_packaged_then_the_checkout_build_then_the_system_loader():
    assert _library.candidate_paths() == [
        (str(ROOT / "python" / "selvane" / "libselvane.so"), "packaged with selvane"),
        (str(ROOT / "build" / "release" / "libselvane.so"),
         "build folder of the checkout " + str(ROOT)),
        ("libselvane.so", "system loader"),
    ]


def test_explicit_path_wins_over_the_environment(library_path, monkeypatch):
    monkeypatch.setenv("SELVANE_LIBRARY", "/nowhere/libselvane.so")
    assert list(selvane.cluster(GOOD, 2, library=library_path)) == [0, 1]


def test_environment_wins_over_the_checkout(library_path, tmp_path, monkeypatch):
    # A copy elsewhere: loaded under its own path, so the default search
    # cannot be what succeeded.
    copy = tmp_path / "libselvane-copy.so"
    shutil.copy(library_path, copy)
    monkeypatch.setenv("SELVANE_LIBRARY", str(copy))
    selvane.cluster(GOOD, 1)
    assert list(_library._loaded) == [("selvane", "environment", str(copy))]


def test_nothing_found_names_every_place_tried(monkeypatch, tmp_path):
    monkeypatch.setattr(_library, "_checkout_root", lambda: str(tmp_path))
    monkeypatch.setattr(_library, "_file_name", lambda: "libselvane-absent.so")
    with pytest.raises(selvane.LibraryNotFoundError) as raised:
        selvane.load_library()
    lines = str(raised.value).splitlines()
    packaged = os.path.join(os.path.dirname(_library.__file__), "libselvane-absent.so")
    expected_file = os.path.join(str(tmp_path), "build", "release", "libselvane-absent.so")
    assert lines[0] == "cannot find the Selvane library. Tried:"
    assert lines[1] == "  %s (packaged with selvane): no such file" % packaged
    assert lines[2] == "  %s (build folder of the checkout %s): no such file" % (
        expected_file, tmp_path)
    assert lines[3].startswith("  libselvane-absent.so (system loader): ")
    assert lines[4].startswith("Build it in the checkout (cmake --preset release")
    assert "SELVANE_LIBRARY" in lines[4]


def test_installed_copy_searches_its_own_folder_and_no_checkout(monkeypatch, tmp_path):
    # As from a wheel: the package lives outside any checkout.
    installed = tmp_path / "site-packages" / "selvane"
    monkeypatch.setattr(_library, "__file__", str(installed / "_library.py"))
    assert _library.candidate_paths() == [
        (str(installed / "libselvane.so"), "packaged with selvane"),
        ("libselvane.so", "system loader"),
    ]
