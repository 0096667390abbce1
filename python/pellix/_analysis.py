"""libPellixAnalysis.so through ctypes: the speakers, takes and report rows of the analysis's C
interface (PellixAnalysis.h). Every C name the package uses is declared here and nowhere else.

The library is found through PELLIX_ANALYSIS_LIBRARY, else in the folder the install recorded
or the prefix the package sits in (as libPellix.so is), else beside the component library the
package uses (a build tree)."""

import ctypes
import os

from . import _library

_NAMES = ("libPellixAnalysis.so", "libPellixAnalysis.so.0")


class AnalysisError(Exception):
    """A speaker that cannot be opened or saved; ``number`` is the platform error number."""

    def __init__(self, number, message):
        super().__init__(message)
        self.number = number


def find_library():
    named = os.environ.get("PELLIX_ANALYSIS_LIBRARY")
    if named:
        return named
    found = _library.beside_package(_NAMES)
    if found:
        return found
    try:
        component = os.path.dirname(os.path.realpath(_library.find_library()))
    except OSError:
        component = None
    for folder in ([component, os.path.join(component, "..", "capi")] if component else []):
        for name in _NAMES:
            candidate = os.path.join(folder, name)
            if os.path.isfile(candidate):
                return os.path.normpath(candidate)
    raise OSError("libPellixAnalysis.so not found: set PELLIX_ANALYSIS_LIBRARY or install the "
                  "package beside the library")


_loaded = None


def library():
    global _loaded
    if _loaded is None:
        _loaded = _declare(ctypes.CDLL(find_library()))
    return _loaded


def _declare(lib):
    return lib
