"""Finding the Selvane shared libraries (one search for both), and binding
the one export of the Selvane library."""

import ctypes
import os
import sys
import threading

__all__ = ["LibraryNotFoundError", "load_library", "candidate_paths", "find"]


class LibraryNotFoundError(OSError):
    """No Selvane library could be loaded, or the one found lacks the export.

    The message names every place that was tried and why each failed.
    """


def _pointer_bits():
    return 8 * ctypes.sizeof(ctypes.c_void_p)


def export_binding(platform=None, pointer_bits=None):
    """(export name, calling convention) of the library this process can load.

    The 32-bit Windows build exports the stdcall-decorated name; every other
    build the plain name with the platform's default convention.
    """
    platform = sys.platform if platform is None else platform
    bits = _pointer_bits() if pointer_bits is None else pointer_bits
    if platform == "win32" and bits == 32:
        return "_Selvane@20", "stdcall"
    return "Selvane", "cdecl"


def _file_name():
    return _library_file_name("selvane")


def _library_file_name(stem):
    if sys.platform == "win32":
        return stem + ".dll"
    if sys.platform == "darwin":
        return "lib%s.dylib" % stem
    return "lib%s.so" % stem


def _build_folders():
    """Build folders of a checkout, relative to its root, in order of use.

    The sanitizer build is left out on purpose: its library cannot be
    loaded into an interpreter that was not started with the sanitizer
    runtime.
    """
    if sys.platform == "win32":
        return ["build/win32"] if _pointer_bits() == 32 else ["build/win64"]
    return ["build/release"]


def _checkout_root():
    """Root of the checkout this source file lives in, when it runs from
    one (not installed), else None."""
    here = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    if os.path.isfile(os.path.join(here, "include", "selvane.h")):
        return here
    return None


def candidate_paths(stem="selvane"):
    """[(path, how it was chosen)] for the default search, without loading.
    stem "selvane_engine" gives the engine library's places."""
    name = _file_name() if stem == "selvane" else _library_file_name(stem)
    # The library an installed wheel carries beside this module.
    candidates = [(os.path.join(os.path.dirname(os.path.abspath(__file__)), name),
                   "packaged with selvane")]
    root = _checkout_root()
    if root is not None:
        for folder in _build_folders():
            path = os.path.join(root, *folder.split("/"), name)
            candidates.append((path, "build folder of the checkout " + root))
    # A bare name leaves the search to the system loader (LD_LIBRARY_PATH,
    # the ld.so cache, PATH on Windows).
    candidates.append((name, "system loader"))
    return candidates


def _bind(path):
    """Loads path and returns its export as a ctypes function."""
    name, convention = export_binding()
    if convention == "stdcall":
        library = ctypes.WinDLL(path)
    else:
        library = ctypes.CDLL(path)
    try:
        function = getattr(library, name)
    except AttributeError:
        raise LibraryNotFoundError(
            "the library %r has no export %r: it is not a Selvane library "
            "for this %d-bit Python" % (path, name, _pointer_bits())) from None
    function.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_double),
                         ctypes.c_int, ctypes.POINTER(ctypes.c_double)]
    function.restype = None
    return function


_lock = threading.Lock()
_loaded = {}


def find(stem, library, variable, bind, what, hint):
    """The one search behind load_library and load_engine_library: the
    explicit path `library`, else the environment variable `variable`, else
    the default places of candidate_paths(stem). An explicit path or the
    variable is used alone: when it fails, nothing else is tried. Returns
    bind(path), cached per place; raises LibraryNotFoundError naming what was
    tried, `what` being the library's name in words and `hint` the way out."""
    if library is not None:
        key = (stem, "explicit", os.fspath(library))
    elif os.environ.get(variable):
        key = (stem, "environment", os.environ[variable])
    else:
        key = (stem, "default", None)
    with _lock:
        if key not in _loaded:
            _loaded[key] = _load(key, variable, bind, what, hint)
        return _loaded[key]


def _load(key, variable, bind, what, hint):
    stem, kind, path = key
    if kind != "default":
        origin = ("the library argument" if kind == "explicit"
                  else "the environment variable " + variable)
        try:
            return bind(path)
        except LibraryNotFoundError:
            raise
        except OSError as error:
            raise LibraryNotFoundError("cannot load the %s %r given by %s: %s"
                                       % (what, path, origin, error)) from None

    tried = []
    for path, how in candidate_paths(stem):
        if os.path.sep in path and not os.path.isfile(path):
            tried.append("%s (%s): no such file" % (path, how))
            continue
        try:
            return bind(path)
        except LibraryNotFoundError:
            raise
        except OSError as error:
            tried.append("%s (%s): %s" % (path, how, error))
    raise LibraryNotFoundError("cannot find the %s. Tried:\n  " % what +
                               "\n  ".join(tried) + "\n" + hint)


def load_library(library=None):
    """Returns the library's export as a ctypes function.

    Search order: the explicit path `library`, else the environment variable
    SELVANE_LIBRARY, else the library packaged with this module (a wheel
    carries one), else the build folder of the checkout this module runs
    from, else the system loader (see candidate_paths). An explicit path or the
    environment variable is used alone: when it fails, nothing else is
    tried. Raises LibraryNotFoundError naming what was tried.
    """
    return find("selvane", library, "SELVANE_LIBRARY", _bind, "Selvane library",
                "Build it in the checkout (cmake --preset release && cmake --build "
                "--preset release), or pass library=PATH, or set SELVANE_LIBRARY to "
                "its path.")
