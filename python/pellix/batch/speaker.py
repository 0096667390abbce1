"""One speaker's analysis inside a worker: a pellix.Speaker of its own, calibrated on the
speaker's calibration takes, then the checks, then the profiler when asked, exactly as
``pellix analyze --batch`` runs a speaker. Only the speaker's takes travel to the worker and
only its rows come back; a worker opens local recordings itself and reads URLs through fsspec,
handing the library bytes."""

import ctypes
import functools
import os
from dataclasses import dataclass

from .. import _files
from ..speaker import Speaker
from ..takes import Take, is_file_url, is_url, read_url


@dataclass
class SpeakerRun:
    """What a speaker's analysis hands back."""

    results: list  # pellix.speaker.Result, one per row, in the report's order
    errors: list  # the messages of rows that failed, each naming its file
    status: int  # 0 when every take was analysed, else 1, as the command's exit status


def _take(take):
    """The take as the worker hands it to the library: a URL's bytes, or the local path or
    file:// URL, which the library opens. A worker in the folder the manifest was read from (a
    local cluster's) opens a relative path as it stands, so that messages name it as the
    command's do."""
    if is_file_url(take.path):
        return Take("path", take.path, take.name)
    if is_url(take.path):
        return Take("bytes", read_url(take.path), take.name)
    if os.path.isabs(take.path) or os.getcwd() == take.base:
        return Take("path", take.path, take.name)
    return Take("path", os.path.join(take.base, take.path), take.name)


@functools.lru_cache(maxsize=None)
def _allocate_as_the_command_does():
    """Dask starts workers with MALLOC_TRIM_THRESHOLD_ set, which makes glibc map and unmap
    every block over 128 KiB afresh: a take's conversion buffers then cost page faults on every
    take, a third more time than in the command. The thresholds the command's allocator grows
    to by itself (32 MiB, glibc's upper bound) bring that time back; memory stays bounded."""
    if "MALLOC_TRIM_THRESHOLD_" not in os.environ:  # the allocator adapts by itself
        return
    try:
        mallopt = ctypes.CDLL(None).mallopt
    except (OSError, AttributeError):  # not glibc: its allocator has no such setting
        return
    m_trim_threshold, m_mmap_threshold = -1, -3
    mallopt(m_mmap_threshold, 32 << 20)
    mallopt(m_trim_threshold, 64 << 20)


def analyse_speaker(speaker, params, profile):
    """The rows of ``speaker``'s takes, analysed in this process."""
    _allocate_as_the_command_does()
    results = []
    with Speaker(params=params, name=speaker.speaker) as control:
        for role, takes in (("calibrate", speaker.calibrations), ("check", speaker.checks)):
            analyse = control.calibrate if role == "calibrate" else control.check
            for take in takes:
                try:
                    given = _take(take)
                except _files.FileError as e:
                    results.append(control.failure(role, take.name, e.number, str(e)))
                    continue
                results.append(analyse(given))
        if profile:
            results.append(control.profile())
    errors = [f"{r.file or speaker.speaker}: {r.error_message}" for r in results
              if r.error_number is not None]
    return SpeakerRun(results, errors, 1 if errors else 0)
