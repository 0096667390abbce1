"""What a take can be: a path, a URL, the bytes of a recording, or samples in a NumPy array.

A path goes to the library, which opens it as the command does. A URL with a scheme
(``s3://``, ``http://``, ``gs://``, ...) is read through fsspec, when it is installed, and its
bytes go to the library; ``file://`` URLs name local files and go to the library as they are,
which opens them as the command does (decoded there, so that every face reads the same file;
a pipe or a device is refused rather than read)."""

import numbers
import operator
import os
import string

from ._files import FileError, PATH_FILE_ACCESS_ERROR, INVALID_FILE_FORMAT, fail

# The most a recording read through fsspec may hold: more than ten hours of 48 kHz stereo
# 16-bit sound, far less than an endless stream.
URL_LIMIT = 8 << 30


_SCHEME_LETTERS = frozenset(string.ascii_letters)
_SCHEME_CHARACTERS = _SCHEME_LETTERS | frozenset(string.digits + "+-.")


def is_url(path):
    """True for text with a scheme before "://", as the library's manifest has it: two or more
    characters, a letter, then letters, digits, '+', '-' or '.' (one letter is a drive)."""
    scheme, sep, _ = path.partition("://")
    return (bool(sep) and len(scheme) > 1 and scheme[0] in _SCHEME_LETTERS
            and all(c in _SCHEME_CHARACTERS for c in scheme))


def is_file_url(path):
    """True for a file:// URL (any case), which the library opens itself."""
    return path[:7].lower() == "file://"


def read_url(url, limit=URL_LIMIT):
    """The bytes at ``url``, through fsspec."""
    try:
        import fsspec
    except ImportError:
        raise FileError(PATH_FILE_ACCESS_ERROR,
                        f"cannot read recording '{url}': URLs are read through fsspec, which is "
                        f"not installed (python3-fsspec) (error {PATH_FILE_ACCESS_ERROR})") from None
    try:
        with fsspec.open(url, "rb") as f:
            data = f.read(limit + 1)
    except FileNotFoundError as e:
        fail(53, "read", "recording ", url, e.strerror or "No such file or directory")
    except OSError as e:
        fail(PATH_FILE_ACCESS_ERROR, "read", "recording ", url, e.strerror or str(e))
    except Exception as e:  # noqa: BLE001 - a file system's own errors name the cause
        fail(PATH_FILE_ACCESS_ERROR, "read", "recording ", url, f"{type(e).__name__}: {e}")
    if len(data) > limit:
        fail(INVALID_FILE_FORMAT, "read", "recording ", url, f"it holds more than {limit} bytes")
    return data


class Take:
    """A take ready for the library: ``kind`` is "path", "bytes" or "pcm"; ``data`` the path,
    the bytes or a C-contiguous array of int16, float32 or float64 samples (interleaved
    frames); ``name`` the take as reports show it."""

    __slots__ = ("kind", "data", "name", "rate", "channels")

    def __init__(self, kind, data, name, rate=0, channels=0):
        self.kind, self.data, self.name, self.rate, self.channels = kind, data, name, rate, channels


def _whole_rate(rate):
    """``rate`` as the whole number of frames per second the library is handed (an unsigned
    32-bit number): a rate that is no whole number, or does not fit, is refused rather than
    cut to another rate."""
    try:
        whole = operator.index(rate)
    except TypeError:
        if not isinstance(rate, numbers.Real) or not float(rate).is_integer():
            raise ValueError(f"a take's rate is a whole number of frames per second, "
                             f"not {rate!r}") from None
        whole = int(rate)
    if not 0 < whole < 1 << 32:
        raise ValueError(f"a take's rate of {whole} frames per second is out of range "
                         f"(1 to {(1 << 32) - 1})")
    return whole


def _samples(array, rate, name):
    import numpy

    if rate is None:
        raise TypeError("a take of samples needs its rate: rate=FRAMES_PER_SECOND")
    rate = _whole_rate(rate)
    if array.ndim not in (1, 2):
        raise ValueError(f"a take of samples is one channel (1-D) or frames by channels (2-D), "
                         f"not {array.ndim}-D")
    if array.dtype not in (numpy.int16, numpy.float32, numpy.float64):
        if array.dtype.kind != "f":
            raise TypeError(f"samples are int16 (full scale 32767) or floats (full scale 1), "
                            f"not {array.dtype}")
        array = array.astype(numpy.float64)
    channels = 1 if array.ndim == 1 else array.shape[1]
    return Take("pcm", numpy.ascontiguousarray(array), name, rate, channels)


def _unnamed(kind, number):
    """How a take in memory given without a name is shown: its kind, and its place among the
    speaker's takes when there is one, so that a report tells such takes apart."""
    return kind if number is None else f"{kind} #{number}"


def take_of(take, rate=None, name=None, number=None):
    """The Take for what a caller passed: a path (str or os.PathLike), a URL, bytes, or a NumPy
    array of samples with ``rate`` frames per second. ``name`` overrides how it is shown; bytes
    and samples without one are shown as "bytes #NUMBER" or "samples #NUMBER" (without
    ``number``, as "bytes" or "samples")."""
    if isinstance(take, Take):
        return take
    if isinstance(take, (bytes, bytearray, memoryview)):
        return Take("bytes", bytes(take), name or _unnamed("bytes", number))
    if isinstance(take, (str, os.PathLike)):
        path = os.fspath(take)
        if isinstance(path, bytes):
            path = os.fsdecode(path)
        if is_url(path) and not is_file_url(path):
            return Take("bytes", read_url(path), name or path)
        return Take("path", path, name or path)
    if hasattr(take, "__array__"):
        import numpy

        return _samples(numpy.asarray(take), rate, name or _unnamed("samples", number))
    raise TypeError(f"a take is a path, bytes or a NumPy array of samples, not "
                    f"{type(take).__name__}")
