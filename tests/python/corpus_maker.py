"""Builds a corpus of speakers for corpus-run tests and measurements: the two bundled speakers
as they are, and generated speakers whose takes are the bundled recordings turned into 44.1 kHz
stereo WAV (or, on request, a share of them into 48 kHz stereo FLAC, written with libsndfile)
with a speaker's own gain, speed and channel balance. Optionally three faulty
speakers: one with a missing file, one with a damaged WAV, one with a silent take."""

import ctypes
import ctypes.util
import os
import wave

import numpy

SOURCE_DIR = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
RATE = 44100


def _read(path):
    with wave.open(path, "rb") as w:
        assert w.getsampwidth() == 2 and w.getnchannels() == 1
        data = numpy.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        return data.astype(numpy.float64), w.getframerate()


def write_wav(path, left, right):
    """A 16-bit stereo WAV at 44.1 kHz."""
    frames = numpy.empty(2 * len(left), dtype="<i2")
    frames[0::2] = numpy.clip(numpy.rint(left), -32768, 32767)
    frames[1::2] = numpy.clip(numpy.rint(right), -32768, 32767)
    with wave.open(path, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(frames.tobytes())


class _SfInfo(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int),
                ("channels", ctypes.c_int), ("format", ctypes.c_int),
                ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]


def write_flac(path, left, right, rate):
    """A 16-bit stereo FLAC file, through libsndfile."""
    sndfile = ctypes.CDLL(ctypes.util.find_library("sndfile") or "libsndfile.so.1")
    sndfile.sf_open.restype = ctypes.c_void_p
    sndfile.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(_SfInfo)]
    sndfile.sf_writef_short.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
    sndfile.sf_writef_short.restype = ctypes.c_int64
    sndfile.sf_close.argtypes = [ctypes.c_void_p]
    frames = numpy.empty(2 * len(left), dtype=numpy.int16)
    frames[0::2] = numpy.clip(numpy.rint(left), -32768, 32767)
    frames[1::2] = numpy.clip(numpy.rint(right), -32768, 32767)
    info = _SfInfo(0, rate, 2, 0x170000 | 0x0002, 0, 0)  # FLAC, 16-bit
    handle = sndfile.sf_open(os.fsencode(path), 0x20, ctypes.byref(info))  # for writing
    if not handle:
        raise OSError(f"cannot write {path}")
    written = sndfile.sf_writef_short(handle, frames.ctypes.data, len(left))
    sndfile.sf_close(handle)
    if written != len(left):
        raise OSError(f"cannot write {path}")


def voice(samples, rate, speed, gain, balance, to_rate=RATE):
    """A recording resampled to ``to_rate`` as if spoken ``speed`` times faster, louder by
    ``gain``, the right channel a little quieter and later than the left."""
    duration = len(samples) / rate / speed
    times = numpy.arange(int(duration * to_rate)) / to_rate * speed * rate
    mono = numpy.interp(times, numpy.arange(len(samples)), samples) * gain
    delay = 3
    right = numpy.concatenate([numpy.zeros(delay), mono[:-delay]]) * balance
    return mono, right


def bundled_takes():
    """(speaker, role, absolute path) of the bundled manifest."""
    takes = []
    with open(os.path.join(SOURCE_DIR, "manifest.csv")) as f:
        next(f)
        for line in f:
            speaker, role, file = line.strip().split(",")
            takes.append((speaker, role, os.path.join(SOURCE_DIR, file)))
    return takes


def make_corpus(folder, speakers, checks=12, faults=True, distinct=None, calibrations=3,
                flac_every=0):
    """Writes ``speakers`` generated speakers (3 calibrations and ``checks`` checks each) into
    ``folder`` with a manifest ``corpus.csv`` that starts with the two bundled speakers, and
    returns the manifest's path. ``distinct`` limits the number of different WAV files, which
    the speakers then share (measurements need many takes, not many files); with
    ``flac_every`` n, every n-th file is 48 kHz stereo FLAC instead."""
    sources = bundled_takes()
    cache, lines = {}, ["speaker,role,file"]
    lines += [f"{s},{r},{p}" for s, r, p in sources]

    def take_file(k, i, role, index):
        pool = [(s, p) for s, r, p in sources if r == role]
        key = (k, role, index) if distinct is None else (31 * k + 7 * index + len(role)) % distinct
        if key not in cache:
            origin, path = pool[(k + index) % len(pool)]
            samples, rate = _read(path)
            variant = len(cache)
            flac = flac_every and variant % flac_every == flac_every - 1
            left, right = voice(samples, rate, 0.96 + 0.02 * (variant % 5),
                                0.55 + 0.1 * (variant % 5), 0.8 + 0.05 * (variant % 4),
                                48000 if flac else RATE)
            name = f"take_{variant:04d}.{'flac' if flac else 'wav'}"
            if flac:
                write_flac(os.path.join(folder, name), left, right, 48000)
            else:
                write_wav(os.path.join(folder, name), left, right)
            cache[key] = name
        return cache[key]

    for k in range(speakers):
        name = f"speaker{k:03d}"
        for role, count in (("calibrate", calibrations), ("check", checks)):
            for index in range(count):
                lines.append(f"{name},{role},{take_file(k, index, role, index)}")
    if faults:
        lines += _faulty_speakers(folder, sources)
    path = os.path.join(folder, "corpus.csv")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def _faulty_speakers(folder, sources):
    calibrations = [p for _, r, p in sources if r == "calibrate"][:3]
    checks = [p for _, r, p in sources if r == "check"][:4]
    with open(os.path.join(folder, "damaged.wav"), "wb") as f:
        f.write(b"RIFF\x24\x80\x00\x00WAVEfmt \x10\x00\x00\x00" + bytes(range(256)) * 4)
    silent = numpy.zeros(RATE * 2)
    write_wav(os.path.join(folder, "silent.wav"), silent, silent)
    lines = []
    for speaker, odd in (("missing", "nowhere/absent.wav"), ("damaged", "damaged.wav"),
                         ("silent", "silent.wav")):
        lines += [f"{speaker},calibrate,{p}" for p in calibrations]
        lines += [f"{speaker},check,{p}" for p in checks[:2]]
        lines.append(f"{speaker},check,{odd}")
        lines += [f"{speaker},check,{p}" for p in checks[2:]]
    return lines
