"""libPellixAnalysis.so through ctypes: the speakers, takes and report rows of the analysis's C
interface (PellixAnalysis.h). Every C name the package uses is declared here and nowhere else.

The library is found through PELLIX_ANALYSIS_LIBRARY, else in the folder the install recorded
or the prefix the package sits in (as libPellix.so is), else beside the component library the
package uses (a build tree)."""

import ctypes
import os

from . import _library
from ._closing import Closing

_NAMES = ("libPellixAnalysis.so", "libPellixAnalysis.so.0")


class AnalysisError(Exception):
    """A speaker that cannot be opened or saved, a report that cannot be written; ``number`` is
    the platform error number."""

    def __init__(self, number, message):
        super().__init__(message)
        self.number = number

    def __reduce__(self):  # raised in Dask workers, read in the client
        return type(self), (self.number, str(self))


class ArgumentError(AnalysisError, ValueError):
    """A name the library cannot be handed: one holding a NUL character, which would end it
    there and so name something else; ``number`` is 5 (invalid argument)."""


class ManifestError(AnalysisError, ValueError):
    """A manifest that cannot be used; the message names the file and, where there is one, the
    line."""


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


# PellixTakeResult's numbers, in the struct's order, which its ABI fixes; each is a report key
# of the same name (the tests hold them to the library's key table).
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
                ("json", ctypes.c_char_p), ("csv", ctypes.c_char_p), ("refused", ctypes.c_int32)]


class ReportKey(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("type", ctypes.c_int32),
                ("control_text", ctypes.c_int32), ("nullable", ctypes.c_int32),
                ("listen_only", ctypes.c_int32), ("description", ctypes.c_char_p)]


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


class ManifestTake(ctypes.Structure):
    _fields_ = [("path", ctypes.c_char_p), ("name", ctypes.c_char_p)]


class ManifestSpeaker(ctypes.Structure):
    _fields_ = [("speaker", ctypes.c_char_p),
                ("calibrations", ctypes.POINTER(ManifestTake)),
                ("calibration_count", ctypes.c_size_t),
                ("checks", ctypes.POINTER(ManifestTake)), ("check_count", ctypes.c_size_t)]


_KINDS = {"path": 0, "bytes": 1, "int16": 2, "float32": 3, "float64": 4}


def _declare(lib):
    speaker = ctypes.c_void_p
    texts = ctypes.POINTER(ctypes.c_char_p)
    for name, result, arguments in [
        ("PellixSpeakerOpen", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p,
                                             ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixSpeakerOpenNamed", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p,
                                                  ctypes.c_char_p,
                                                  ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixSpeakerClose", None, [speaker]),
        ("PellixSpeakerFailedTake", ctypes.c_int, [speaker, ctypes.c_int, ctypes.c_char_p,
                                                   ctypes.c_int, ctypes.c_char_p,
                                                   ctypes.POINTER(TakeResult)]),
        ("PellixSpeakerError", ctypes.c_char_p, [speaker]),
        ("PellixSpeakerCalibrate", ctypes.c_int, [speaker, ctypes.POINTER(Take),
                                                  ctypes.POINTER(TakeResult)]),
        ("PellixSpeakerCheck", ctypes.c_int, [speaker, ctypes.POINTER(Take),
                                              ctypes.POINTER(TakeResult)]),
        ("PellixSpeakerProfile", ctypes.c_int, [speaker, ctypes.POINTER(Profile)]),
        ("PellixSpeakerSave", ctypes.c_int, [speaker, ctypes.c_char_p]),
        ("PellixSpeakerSaveWithin", ctypes.c_int, [speaker, ctypes.c_char_p, ctypes.c_double]),
        ("PellixSpeakerLoad", ctypes.c_int, [speaker, ctypes.c_char_p]),
        ("PellixSpeakerLoadWithin", ctypes.c_int, [speaker, ctypes.c_char_p, ctypes.c_double]),
        ("PellixCsvHeader", ctypes.c_char_p, []),
        ("PellixReportKeys", ctypes.POINTER(ReportKey), [ctypes.POINTER(ctypes.c_size_t)]),
        ("PellixParameterWarnings", ctypes.c_char_p, [ctypes.c_char_p]),
        ("PellixManifestRead", ctypes.c_int, [ctypes.c_char_p, ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixManifestFromRows", ctypes.c_int, [texts, texts, texts, ctypes.c_size_t,
                                                  ctypes.c_char_p, ctypes.c_char_p,
                                                  ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixManifestSpeakers", ctypes.c_size_t,
         [ctypes.c_void_p, ctypes.POINTER(ctypes.POINTER(ManifestSpeaker))]),
        ("PellixManifestError", ctypes.c_char_p, [ctypes.c_void_p]),
        ("PellixManifestClose", None, [ctypes.c_void_p]),
        ("PellixReportOpen", ctypes.c_int, [ctypes.c_char_p, ctypes.c_void_p, ctypes.c_int,
                                            ctypes.c_double, ctypes.POINTER(ctypes.c_void_p)]),
        ("PellixReportHas", ctypes.c_int, [ctypes.c_void_p, ctypes.c_size_t]),
        ("PellixReportKept", ctypes.c_size_t, [ctypes.c_void_p]),
        ("PellixReportWrite", ctypes.c_int, [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_char_p,
                                             ctypes.c_size_t]),
        ("PellixReportCommit", ctypes.c_int, [ctypes.c_void_p]),
        ("PellixReportError", ctypes.c_char_p, [ctypes.c_void_p]),
        ("PellixReportClose", None, [ctypes.c_void_p]),
    ]:
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib


def _text(raw):
    return (raw or b"").decode("utf-8", "surrogateescape")


def _encoded(text, what):
    """``text`` (str, bytes or a path) as the library takes it; ArgumentError names it as
    ``what`` when it holds a NUL character."""
    if text is None:
        return None
    encoded = os.fsencode(text)
    if b"\0" in encoded:
        raise ArgumentError(5, f"the {what} '{_shown(encoded)}' holds a NUL character")
    return encoded


def _shown(encoded):
    """Bytes for a message, a NUL shown as \\0 as the library shows it."""
    return os.fsdecode(encoded).replace("\0", "\\0")


def csv_header():
    """The CSV report's header line, with its line feed."""
    return _text(library().PellixCsvHeader()) + "\n"


def parameter_warnings(params):
    """What ``pellix analyze --params`` warns of for the parameter string ``params``, a text
    each."""
    warned = library().PellixParameterWarnings(_encoded(params, "parameter string"))
    if warned is None:
        raise MemoryError("no memory for the parameters' warnings")
    return _text(warned).splitlines()


def report_keys():
    """The report's one key list: the CSV header's columns, the JSON rows' keys."""
    return tuple(csv_header().rstrip("\n").split(","))


# PellixReportKey.type: what a key holds.
KEY_TYPES = ("text", "whole", "real", "flags")


def report_key_types():
    """Every report key (pellix listen's too) with what it holds, as the library that writes
    the rows declares them: {key: "text", "whole", "real" or "flags"}, in the rows' order."""
    count = ctypes.c_size_t()
    keys = library().PellixReportKeys(ctypes.byref(count))
    return {keys[i].name.decode(): KEY_TYPES[keys[i].type] for i in range(count.value)}


def _opened(lib, handle, number, kind, failure):
    """``handle`` as the library's Pellix<Kind>Open... call left it, returning ``number``: with
    no handle there was no memory; a failed call's handle holds the library's words for
    ``failure`` and is freed before it is raised."""
    name = kind.capitalize()
    if not handle:
        raise MemoryError(f"no memory for a {kind}")
    if number:
        message = _text(getattr(lib, f"Pellix{name}Error")(handle))
        getattr(lib, f"Pellix{name}Close")(handle)
        raise failure(number, message)
    return handle


def open_speaker(params, state, name=""):
    """A new speaker's handle, whose rows name it ``name``; AnalysisError when the parameters
    or the state are unusable."""
    lib = library()
    handle = ctypes.c_void_p()
    number = lib.PellixSpeakerOpenNamed(
        _encoded(name, "speaker name"), _encoded(params, "parameter string"),
        _encoded(None if state is None else os.fspath(state), "state file"),
                                        ctypes.byref(handle))
    return _opened(lib, handle, number, "speaker", AnalysisError)


def close_speaker(handle):
    library().PellixSpeakerClose(handle)


def analyse(handle, role, take):
    """The report row of a take (a pellix.takes.Take) as (JSON text, CSV line with its line
    feed, whether the control refused the take): a failure's row when it could not be
    analysed."""
    if take.kind == "path" and b"\0" in os.fsencode(take.data):
        # The library would open the file named up to the NUL: refused as the library does.
        path = os.fsencode(take.data)
        what = "sample file" if path.lower().endswith(b".smp") else "recording"
        return failed_take(handle, role, _shown(os.fsencode(take.name)), 5,
                           f"cannot open {what} '{_shown(path)}': the name holds a NUL character")
    given = Take()
    given.name = _encoded(take.name, "take name")
    if take.kind == "path":
        path = os.fsencode(take.data)
        held = ctypes.c_char_p(path)  # opened there, shown as named
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
    return _text(result.json), _text(result.csv).rstrip("\n") + "\n", bool(result.refused)


def failed_take(handle, role, name, number, message):
    """The row of a take that could not even be handed to the library, as (JSON text, CSV line
    with its line feed, False: a failure is no refusal)."""
    result = TakeResult()
    library().PellixSpeakerFailedTake(handle, role == "check", _encoded(name, "take name"),
                                      number, message.encode("utf-8", "surrogateescape"),
                                      ctypes.byref(result))
    return _text(result.json), _text(result.csv).rstrip("\n") + "\n", bool(result.refused)


def profile(handle):
    """The profile's report row as JSON text."""
    result = Profile()
    library().PellixSpeakerProfile(handle, ctypes.byref(result))
    return _text(result.json)


# PellixSpeakerSaveWithin's and PellixSpeakerLoadWithin's number for a state file another run
# holds.
_STATE_FILE_BUSY = 55


def _waited(lib, handle, number):
    """True when a save or load of the state file came through, False when another run still
    held the file; any other failure is raised."""
    if number == _STATE_FILE_BUSY:
        return False
    if number:
        raise AnalysisError(number, _text(lib.PellixSpeakerError(handle)))
    return True


def save(handle, state=None, seconds=0):
    """Saves the speaker, waiting at most ``seconds`` for another run holding the state file;
    False, nothing saved, when it still held it then."""
    lib = library()
    number = lib.PellixSpeakerSaveWithin(handle,
                                         _encoded(None if state is None else os.fspath(state), "state file"),
                                         float(seconds))
    return _waited(lib, handle, number)


def load(handle, state, seconds=0):
    """Loads the speaker from ``state``, waiting at most ``seconds`` for another run holding
    it; False, the speaker unchanged, when it still held it then."""
    lib = library()
    number = lib.PellixSpeakerLoadWithin(handle, _encoded(os.fspath(state), "state file"),
                                         float(seconds))
    return _waited(lib, handle, number)


class TakeEntry:
    """A take of a manifest: ``path`` to open (relative to ``base``, the folder the manifest was
    read from, unless absolute or a URL), ``name`` as rows show it."""

    __slots__ = ("path", "name", "base")

    def __init__(self, path, name, base):
        self.path, self.name, self.base = path, name, base

    def __reduce__(self):
        return TakeEntry, (self.path, self.name, self.base)

    def __eq__(self, other):
        return isinstance(other, TakeEntry) and (self.path, self.name, self.base) == (
            other.path, other.name, other.base)

    def __repr__(self):
        return f"TakeEntry({self.path!r}, {self.name!r})"


class SpeakerTakes:
    """A speaker of a manifest: its name and its takes, calibrations and checks in manifest
    order."""

    __slots__ = ("speaker", "calibrations", "checks")

    def __init__(self, speaker, calibrations=(), checks=()):
        self.speaker, self.calibrations, self.checks = speaker, list(calibrations), list(checks)

    def __reduce__(self):
        return SpeakerTakes, (self.speaker, self.calibrations, self.checks)

    def __eq__(self, other):
        return isinstance(other, SpeakerTakes) and (
            self.speaker, self.calibrations, self.checks) == (
                other.speaker, other.calibrations, other.checks)

    def __repr__(self):
        return f"SpeakerTakes({self.speaker!r}, {self.takes} takes)"

    @property
    def takes(self):
        return len(self.calibrations) + len(self.checks)


class _Handle(Closing):
    """Something the library made for the package: ``close()``, the end of a ``with`` block or
    the collector gives it back, once, through the library's call named ``_CLOSE``."""

    _CLOSE = ""

    def close(self):
        if self.handle:
            getattr(library(), self._CLOSE)(self.handle)
            self.handle = None

    def __del__(self):
        self.close()


class Manifest(_Handle):
    """A manifest the library read: ``speakers`` (SpeakerTakes) in manifest order, and the
    handle a Report is opened with."""

    _CLOSE = "PellixManifestClose"

    def __init__(self, opened):
        self.handle = None
        lib = library()
        handle = ctypes.c_void_p()
        number = opened(lib, ctypes.byref(handle))
        self.handle = _opened(lib, handle, number, "manifest", ManifestError)
        base = os.getcwd()
        given = ctypes.POINTER(ManifestSpeaker)()
        count = lib.PellixManifestSpeakers(handle, ctypes.byref(given))

        def takes(array, n):
            return [TakeEntry(_text(array[i].path), _text(array[i].name), base) for i in range(n)]

        self.speakers = [SpeakerTakes(_text(s.speaker), takes(s.calibrations, s.calibration_count),
                                      takes(s.checks, s.check_count))
                         for s in (given[i] for i in range(count))]


def read_manifest(path):
    """The manifest file at ``path``, read as the command reads it."""
    encoded = _encoded(os.fspath(path), "manifest")
    return Manifest(lambda lib, handle: lib.PellixManifestRead(encoded, handle))


def manifest_of_rows(speakers, roles, files, source, folder=""):
    """The manifest of rows given as three columns of texts; messages name row i (from 1) as
    "<source>:<i>"."""
    def column(values, field):
        encoded = [str(v).encode("utf-8", "surrogateescape") for v in values]
        for row, text in enumerate(encoded, 1):
            if b"\0" in text:  # refused as the library refuses it in a manifest file
                raise ManifestError(321, f"{source}:{row}: the {field} holds a NUL character")
        return (ctypes.c_char_p * max(len(encoded), 1))(*encoded)

    count = len(speakers)
    given = [column(c, f) for c, f in ((speakers, "speaker"), (roles, "role"), (files, "file"))]
    return Manifest(lambda lib, handle: lib.PellixManifestFromRows(
        *given, count, _encoded(source, "source"), _encoded(folder, "folder"), handle))


class Report(_Handle):
    """The CSV report file of a run over ``manifest`` (a Manifest), written as
    ``pellix analyze --batch --format csv -o PATH`` writes it; with ``resume``, carried on with
    its --resume rules. ``has(i)`` tells whether the speaker at index i is in the file already.
    AnalysisError names the file and says why."""

    _CLOSE = "PellixReportClose"

    def __init__(self, path, manifest, resume, checkpoint_seconds):
        self.handle = None
        lib = library()
        self.handle = ctypes.c_void_p()
        number = lib.PellixReportOpen(_encoded(os.fspath(path), "report file"), manifest.handle,
                                      1 if resume else 0, float(checkpoint_seconds),
                                      ctypes.byref(self.handle))
        if not self.handle:
            raise MemoryError("no memory for a report")
        self._check(number)

    def _check(self, number):
        if number:
            raise AnalysisError(number, _text(library().PellixReportError(self.handle)))

    def has(self, index):
        return bool(library().PellixReportHas(self.handle, index))

    def kept(self):
        return library().PellixReportKept(self.handle)

    def write(self, index, rows):
        data = rows.encode("utf-8", "surrogateescape")
        self._check(library().PellixReportWrite(self.handle, index, data, len(data)))

    def commit(self):
        self._check(library().PellixReportCommit(self.handle))
