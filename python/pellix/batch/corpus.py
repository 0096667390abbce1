"""Speakers of a corpus as Dask tasks: one task per speaker, run where Dask puts it, results
handed back in manifest order."""

import os
import uuid

from . import manifest as manifest_file
from . import rows
from .speaker import analyse_speaker

# Jumps of 2 to 30 samples, background border 5, automatic gain: what ``pellix analyze``
# initialises with when no --params is given.
DEFAULT_PARAMS = "000023000005000000"


def speakers_of(manifest):
    """The speakers of a manifest file's path, or of a DataFrame with the columns speaker, role
    and file."""
    if isinstance(manifest, (str, bytes, os.PathLike)):
        return manifest_file.read(manifest)
    return manifest_file.from_frame(manifest)


def submit(client, speakers, params, profile):
    """One future per speaker. Only the speaker's takes (paths and names) travel to the
    worker and only the command's report comes back."""
    run = uuid.uuid4().hex[:8]
    return [client.submit(analyse_speaker, speaker, params, profile, pure=False,
                          key=f"pellix-speaker-{run}-{i}")
            for i, speaker in enumerate(speakers)]


def outcome(future, speaker):
    """A finished future's SpeakerRun, or the message of a task that Dask could not run to the
    end (its workers kept dying, the program is missing, ...): one speaker never stops the
    run."""
    try:
        return future.result()
    except Exception as e:  # noqa: BLE001 - any task failure becomes the speaker's message
        return f"{speaker.speaker}: the task failed: {type(e).__name__}: {e}"


def in_order(speakers, futures):
    """Each speaker's outcome in manifest order, as soon as it and every speaker before it are
    done, so a caller can write the output while the run goes on."""
    from distributed import as_completed

    index = {f.key: i for i, f in enumerate(futures)}
    done, next_index = {}, 0
    for future in as_completed(futures):
        done[index[future.key]] = outcome(future, speakers[index[future.key]])
        while next_index in done:
            yield done.pop(next_index)
            next_index += 1


def _local(speakers, params, profile):
    import dask

    tasks = [dask.delayed(analyse_speaker, pure=False)(s, params, profile) for s in speakers]
    return dask.compute(*tasks, scheduler="threads")


def analyze(manifest, client=None, params=DEFAULT_PARAMS, profile=True):
    """Analyses every speaker of ``manifest`` and returns the rows ``pellix analyze --batch``
    reports for it, as a pandas DataFrame in the same order.

    ``manifest`` is the path of the CSV file ``pellix analyze --batch`` reads, or a pandas
    DataFrame with the columns speaker, role and file (relative files are then relative to
    the current folder). Each speaker is one task: a control of its own, calibrated on the
    speaker's calibration takes, the other takes checked, and with ``profile`` the profiler.
    Without ``client`` the tasks run on Dask's local threaded scheduler; with a
    ``distributed.Client`` they run on its cluster, whose workers must reach the recordings
    under the same paths.

    The columns and values are the command's CSV report's: texts exactly as it prints them
    (``pandas.to_numeric`` makes numbers of a column). A take that cannot be analysed is
    reported as the command reports it; a speaker whose task failed for good has a row per
    take with the reason, and the run goes on.

    >>> table = analyze("examples/manifest.csv")                     # doctest: +SKIP
    >>> table.groupby("speaker")["code"].value_counts()              # doctest: +SKIP
    """
    speakers = speakers_of(manifest)
    if client is None:
        runs = _local(speakers, params, profile)
    else:
        runs = list(in_order(speakers, submit(client, speakers, params, profile)))
    header = next((r.header for r in runs if not isinstance(r, str) and r.header), "")
    return rows.frame(header, list(zip(speakers, runs)))
