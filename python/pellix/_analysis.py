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
    for folder in ([component, os.path.join(component, "..", "analysis_c")] if component else []):
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


class Take(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int32), ("name", ctypes.c_char_p), ("data", ctypes.c_void_p),
                ("size", ctypes.c_size_t), ("rate", ctypes.c_uint32),
                ("channels", ctypes.c_uint32)]


_FIGURES = ("thorn_rate", "jump_rate", "jump_spread", "avg_jump_len", "cal_thorn_rate",
            "cal_jump_rate", "cal_jump_spread", "cal_avg_jump_len", "lie_stress",
            "global_stress", "excitement_stress", "recording_s", "stretch_start_s",
            "stretch_end_s", "stretch_s", "peak_dbfs", "rms_dbfs", "clipped_source",
            "clipped_8bit", "pitch_hz", "voiced_share")


class TakeResult(ctypes.Structure):
    _fields_ = [("error_number", ctypes.c_int32), ("error_message", ctypes.c_char_p),
                ("file", ctypes.c_char_p), ("code", ctypes.c_int32),
                ("meaning", ctypes.c_char_p), *((f, ctypes.c_double) for f in _FIGURES),
                ("flags", ctypes.c_uint32), ("refusal", ctypes.c_char_p),
                ("advice", ctypes.c_char_p), ("warnings", ctypes.c_char_p),
                ("json", ctypes.c_char_p), ("csv", ctypes.c_char_p)]


class ProfileDigit(ctypes.Structure):
    _fields_ = [("digit", ctypes.c_char), ("topic", ctypes.c_char_p),
                ("meaning", ctypes.c_char_p)]


class ProfilePercentage(ctypes.Structure):
    _fields_ = [("percent", ctypes.c_int32), ("name", ctypes.c_char_p),
                ("meaning", ctypes.c_char_p)]


class Profile(ctypes.Structure):
    _fields_ = [("error_number", ctypes.c_int32), ("error_message", ctypes.c_char_p),
                ("text", ctypes.c_char_p), ("checks", ctypes.c_int32),
                ("readable", ctypes.c_int32), ("meaning", ctypes.c_char_p),
                ("digits", ProfileDigit * 9), ("percentages", ProfilePercentage * 9),
                ("json", ctypes.c_char_p)]


_KINDS = {"path": 0, "bytes": 1, "int16": 2, "float32": 3, "float64": 4}


def _declare(lib):
    speaker = ctypes.c_void_p
    for name, result, arguments in [
        ("PellixSpeakerOpen", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p,
                                             ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixSpeakerClose", None, [speaker]),
        ("PellixSpeakerError", ctypes.c_char_p, [speaker]),
        ("PellixSpeakerCalibrate", ctypes.c_int, [speaker, ctypes.POINTER(Take),
                                                  ctypes.POINTER(TakeResult)]),
        ("PellixSpeakerCheck", ctypes.c_int, [speaker, ctypes.POINTER(Take),
                                              ctypes.POINTER(TakeResult)]),
        ("PellixSpeakerProfile", ctypes.c_int, [speaker, ctypes.POINTER(Profile)]),
        ("PellixSpeakerSave", ctypes.c_int, [speaker, ctypes.c_char_p]),
        ("PellixSpeakerLoad", ctypes.c_int, [speaker, ctypes.c_char_p]),
        ("PellixCsvHeader", ctypes.c_char_p, []),
    ]:
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib


def _text(raw):
    return (raw or b"").decode("utf-8", "surrogateescape")


def _encoded(text):
    return None if text is None else os.fsencode(text)


def csv_header():
    """The CSV report's header line, with its line feed."""
    return _text(library().PellixCsvHeader()) + "\n"


def report_keys():
    """The report's one key list: the CSV header's columns, the JSON rows' keys."""
    return tuple(csv_header().rstrip("\n").split(","))


def open_speaker(params, state):
    """A new speaker's handle; AnalysisError when the parameters or the state are unusable."""
    lib = library()
    handle = ctypes.c_void_p()
    number = lib.PellixSpeakerOpen(_encoded(params), _encoded(state and os.fspath(state)),
                                   ctypes.byref(handle))
    if not handle:
        raise MemoryError("no memory for a speaker")
    if number:
        message = _text(lib.PellixSpeakerError(handle))
        lib.PellixSpeakerClose(handle)
        raise AnalysisError(number, message)
    return handle


def close_speaker(handle):
    library().PellixSpeakerClose(handle)


def analyse(handle, role, take):
    """The report row of a take (a pellix.takes.Take) as (JSON text, CSV line with its line
    feed): a failure's row when it could not be analysed."""
    given = Take()
    given.name = os.fsencode(take.name)
    if take.kind == "path":
        held = ctypes.c_char_p(os.fsencode(take.data))  # opened there, shown as named
        given.kind, given.data = _KINDS["path"], ctypes.cast(held, ctypes.c_void_p).value
    elif take.kind == "bytes":
        held = ctypes.c_char_p(take.data)  # the bytes themselves, not a copy, for the call
        given.kind, given.size = _KINDS["bytes"], len(take.data)
        given.data = ctypes.cast(held, ctypes.c_void_p).value
    else:
        array = take.data
        given.kind = _KINDS[str(array.dtype)]
        given.data, given.size = array.ctypes.data, array.size
        given.rate, given.channels = take.rate, take.channels
    result = TakeResult()
    lib = library()
    call = lib.PellixSpeakerCalibrate if role == "calibrate" else lib.PellixSpeakerCheck
    call(handle, ctypes.byref(given), ctypes.byref(result))
    return _text(result.json), _text(result.csv).rstrip("\n") + "\n"


def profile(handle):
    """The profile's report row as JSON text."""
    result = Profile()
    library().PellixSpeakerProfile(handle, ctypes.byref(result))
    return _text(result.json)


def save(handle, state=None):
    lib = library()
    number = lib.PellixSpeakerSave(handle, _encoded(state and os.fspath(state)))
    if number:
        raise AnalysisError(number, _text(lib.PellixSpeakerError(handle)))


def load(handle, state):
    lib = library()
    number = lib.PellixSpeakerLoad(handle, _encoded(os.fspath(state)))
    if number:
        raise AnalysisError(number, _text(lib.PellixSpeakerError(handle)))
