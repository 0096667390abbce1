"""Finding and loading libPellix.so, and the strings and values that cross its boundary."""

import ctypes
import json
import math
import os
import pathlib
import stat
import threading
from ctypes import POINTER, c_char_p, c_size_t, c_uint32, c_void_p

from . import _abi

PROGRAM_NAME = "Pellix.ALG_V1S"
_LIBRARY_NAMES = ("libPellix.so", "libPellix.so.0")


# The registry is read as the component reads it: a regular file of at most 1 MiB, opened
# without waiting (a pipe is refused at once), nesting at most 512 levels.
_REGISTRY_MAX_BYTES = 1 << 20
_MAX_NESTING = 512


def _read_regular_file(path, max_bytes):
    """The bytes of the regular file at `path`; OSError for anything else or anything larger."""
    descriptor = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY)
    try:
        mode = os.fstat(descriptor).st_mode
        if not stat.S_ISREG(mode):
            raise OSError("it is not a regular file")
        chunks, size = [], 0
        while size <= max_bytes:
            chunk = os.read(descriptor, max_bytes + 1 - size)
            if not chunk:
                break
            chunks.append(chunk)
            size += len(chunk)
        if size > max_bytes:
            raise OSError("it is larger than %d bytes" % max_bytes)
        return b"".join(chunks)
    finally:
        os.close(descriptor)


def _nesting_within(text, limit):
    """Whether the JSON `text` nests arrays and objects at most `limit` deep."""
    depth, in_string, escaped = 0, False, False
    for character in text:
        if in_string:
            if escaped:
                escaped = False
            elif character == "\\":
                escaped = True
            elif character == '"':
                in_string = False
        elif character == '"':
            in_string = True
        elif character in "[{":
            depth += 1
            if depth > limit:
                return False
        elif character in "]}":
            depth -= 1
    return True


def _registry_library():
    """The library the per-user registry records for the control, or None."""
    data_home = os.environ.get("XDG_DATA_HOME", "")
    if not data_home.startswith("/"):
        data_home = os.path.join(os.path.expanduser("~"), ".local", "share")
    path = os.path.join(data_home, "Pellix", "registry.json")
    try:
        text = _read_regular_file(path, _REGISTRY_MAX_BYTES).decode("utf-8", "replace")
        if not _nesting_within(text, _MAX_NESTING):
            raise ValueError("it nests deeper than %d levels" % _MAX_NESTING)
        registry = json.loads(text)
    except FileNotFoundError:
        return None
    except (OSError, ValueError) as error:
        raise OSError("cannot read the class registry %s: %s" % (path, error)) from error
    if not isinstance(registry, dict):
        raise OSError("cannot read the class registry %s: not a JSON object" % path)
    for entry in registry.values():
        if isinstance(entry, dict) and entry.get("progid") == PROGRAM_NAME:
            return entry.get("library")
    return None


def _beside_package():
    """libPellix.so next to the package, or in the lib folder of the prefix it is installed in."""
    here = pathlib.Path(__file__).resolve().parent
    for folder in [here, *here.parents[:4]]:
        for name in _LIBRARY_NAMES:
            candidate = folder / name
            if candidate.is_file():
                return str(candidate)
    return None


def find_library():
    """PELLIX_LIBRARY, else the registry's entry for Pellix.ALG_V1S, else beside the package."""
    path = os.environ.get("PELLIX_LIBRARY") or _registry_library() or _beside_package()
    if not path:
        raise OSError("libPellix.so not found: set PELLIX_LIBRARY, register the component "
                      "(DllRegisterServer) or install the package beside the library")
    return path


_library = None
_loading = threading.Lock()


def library():
    """The loaded component library, with the C helpers' signatures declared. Threads that
    ask at once load it once; the registry is read before the lock is taken."""
    global _library
    if _library is not None:
        return _library
    path = find_library()
    with _loading:
        if _library is None:
            _library = _declared(ctypes.CDLL(path))
    return _library


def _declared(lib):
    """`lib` with the signatures of the C helpers the package calls."""
    lib.DllGetClassObject.restype = _abi.HRESULT
    lib.DllGetClassObject.argtypes = [POINTER(_abi.GUID), POINTER(_abi.GUID), POINTER(c_void_p)]
    lib.DllCanUnloadNow.restype = _abi.HRESULT
    lib.DllRegisterServer.restype = _abi.HRESULT
    lib.DllUnregisterServer.restype = _abi.HRESULT
    lib.PellixSysAllocStringLen.restype = c_void_p
    lib.PellixSysAllocStringLen.argtypes = [c_void_p, c_uint32]
    lib.PellixSysFreeString.restype = None
    lib.PellixSysFreeString.argtypes = [c_void_p]
    lib.PellixVariantClear.restype = _abi.HRESULT
    lib.PellixVariantClear.argtypes = [POINTER(_abi.VARIANT)]
    lib.PellixLastErrorDescription.restype = c_void_p
    lib.PellixSetErrorInfo.restype = _abi.HRESULT
    lib.PellixSetErrorInfo.argtypes = [c_uint32, c_void_p]
    lib.PellixPropertyChangeName.restype = c_char_p
    lib.PellixPropertyChangeName.argtypes = [ctypes.c_int32]
    lib.PellixTypeLibrary.restype = POINTER(_abi.TypeLibraryInfo)
    lib.PellixStringToUtf8.restype = c_size_t
    lib.PellixErrorNumber.restype = ctypes.c_int
    lib.PellixErrorNumber.argtypes = [ctypes.c_int32]
    return lib


def bstr_from_str(text):
    """A new BSTR holding `text`; the receiver (or free_bstr) frees it."""
    units = str(text).encode("utf-16-le", "surrogatepass")
    buffer = ctypes.create_string_buffer(units, len(units) + 2)
    bstr = library().PellixSysAllocStringLen(buffer, len(units) // 2)
    if not bstr:
        raise MemoryError("cannot allocate a string for the component")
    return bstr


def str_from_bstr(bstr):
    """The text of a BSTR (None reads as empty), lone surrogates as U+FFFD."""
    if not bstr:
        return ""
    length = ctypes.c_uint32.from_address(bstr - 4).value
    return ctypes.string_at(bstr, length).decode("utf-16-le", "replace")


def str_from_olestr(address):
    """The text of a zero-terminated UTF-16 string."""
    if not address:
        return ""
    units = []
    index = 0
    while True:
        unit = ctypes.c_uint16.from_address(address + 2 * index).value
        if unit == 0:
            break
        units.append(unit)
        index += 1
    return b"".join(u.to_bytes(2, "little") for u in units).decode("utf-16-le", "replace")


def free_bstr(bstr):
    if bstr:
        library().PellixSysFreeString(bstr)


def beyond_double_range(value):
    """Whether `value` is an integer no double holds (beyond about 1.8e308)."""
    if isinstance(value, bool) or not isinstance(value, int):
        return False
    try:
        float(value)
    except OverflowError:
        return True
    return False


def set_variant(record, value):
    """Fills `record` with a Python value: None Empty, bool VT_BOOL, int VT_I4 (VT_R8 beyond
    32 bits, an infinity of its sign beyond the double range, which every member refuses as
    an overflow), float VT_R8, str VT_BSTR. Anything else is VT_ERROR, which the control
    refuses as a type mismatch."""
    ctypes.memset(ctypes.byref(record), 0, ctypes.sizeof(record))
    if value is None:
        record.vt = _abi.VT_EMPTY
    elif isinstance(value, bool):
        record.vt = _abi.VT_BOOL
        record.u.boolVal = -1 if value else 0
    elif isinstance(value, int) and -2**31 <= value < 2**31:
        record.vt = _abi.VT_I4
        record.u.lVal = value
    elif isinstance(value, (int, float)):
        record.vt = _abi.VT_R8
        if beyond_double_range(value):
            record.u.dblVal = math.inf if value > 0 else -math.inf
        else:
            record.u.dblVal = float(value)
    elif isinstance(value, str):
        record.u.bstrVal = bstr_from_str(value)
        record.vt = _abi.VT_BSTR
    else:
        record.vt = _abi.VT_ERROR


def python_value(record, whole_as_int=False):
    """The Python value of a record: None, int, float, str or bool. With `whole_as_int`, a
    double holding a whole number up to 2**53 comes back as an int."""
    vt = record.vt
    if vt == _abi.VT_EMPTY:
        return None
    if vt == _abi.VT_I2:
        return record.u.iVal
    if vt == _abi.VT_UI1:
        return record.u.bVal
    if vt == _abi.VT_I4:
        return record.u.lVal
    if vt in (_abi.VT_R4, _abi.VT_R8):
        number = record.u.fltVal if vt == _abi.VT_R4 else record.u.dblVal
        if whole_as_int and math.isfinite(number) and number == int(number) and abs(number) <= 2**53:
            return int(number)
        return number
    if vt == _abi.VT_BSTR:
        return str_from_bstr(record.u.bstrVal)
    if vt == _abi.VT_BOOL:
        return record.u.boolVal != 0
    raise TypeError("value of type %d cannot cross into Python" % vt)
