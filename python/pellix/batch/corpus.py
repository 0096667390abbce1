"""Speakers of a corpus as Dask tasks: one task per speaker, run where Dask puts it, results
handed back in manifest order."""

import os
import uuid

from . import manifest as manifest_file
from . import rows
from .speaker import analyse_speaker, failed_rows

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
    worker and only its rows come back; the control is made inside the task."""
    run = uuid.uuid4().hex[:8]
    return [client.submit(analyse_speaker, speaker, params, profile, pure=False,
                          key=f"pellix-speaker-{run}-{i}")
            for i, speaker in enumerate(speakers)]


def outcome(future, speaker):
    """A finished future's (rows, messages); a task that Dask could not run to the end (its
    workers kept dying, say) gives failed rows for the speaker rather than stopping the run."""
    try:
        return future.result()
    except Exception as e:  # noqa: BLE001 - any task failure becomes the speaker's rows
        return failed_rows(speaker, e), [(True, f"{speaker.speaker}: {e}")]


def in_order(speakers, futures):
    """(rows, messages) for each speaker in manifest order, each as soon as it and every
    speaker before it are done, so a caller can write the output while the run goes on."""
    from distributed import as_completed

    index = {f.key: i for i, f in enumerate(futures)}
    done, next_index = {}, 0
    for future in as_completed(futures):
        i = index[future.key]
        done[i] = outcome(future, speakers[i])
        while next_index in done:
            yield done.pop(next_index)
            next_index += 1


def _local(speakers, params, profile):
    import dask

    tasks = [dask.delayed(analyse_speaker, pure=False)(s, params, profile) for s in speakers]
    return dask.compute(*tasks, scheduler="threads")


def frame(all_rows):
    """The rows as a DataFrame with the columns of ``rows.FRAME_COLUMNS``."""
    import pandas

    table = pandas.DataFrame(all_rows, columns=list(rows.FRAME_COLUMNS))
    table["error"] = table["error"].astype("Int64")
    return table


def to_csv(table):
    """The text ``pellix analyze --batch --format csv`` prints for the rows of ``table`` (a
    frame ``analyze`` returned, or a part of one)."""
    import pandas

    records = table.to_dict("records")
    for row in records:
        row["error"] = None if pandas.isna(row["error"]) else int(row["error"])
    return rows.csv_header() + "".join(rows.csv_line(r) for r in records if rows.in_csv(r))


def analyze(manifest, client=None, params=DEFAULT_PARAMS, profile=True):
    """Analyses every speaker of ``manifest`` and returns one row per take, in manifest order.

    ``manifest`` is the path of the CSV file ``pellix analyze --batch`` reads, or a pandas
    DataFrame with the columns speaker, role and file (relative files are then relative to
    the current folder). Each speaker is one task that calibrates a control of its own on its
    calibration takes, checks the others and, with ``profile``, runs the profiler. Without
    ``client`` the tasks run on Dask's local threaded scheduler; with a
    ``distributed.Client`` they run on its cluster, whose workers must reach the recordings
    under the same paths.

    A take that cannot be analysed is a row with its platform error number in ``error`` and
    the reason in ``message``; the run goes on.

    >>> table = analyze("examples/manifest.csv")                     # doctest: +SKIP
    >>> table.groupby("speaker")["code"].value_counts()              # doctest: +SKIP
    """
    speakers = speakers_of(manifest)
    if client is None:
        results = _local(speakers, params, profile)
    else:
        futures = submit(client, speakers, params, profile)
        results = list(in_order(speakers, futures))
    return frame([row for speaker_rows, _ in results for row in speaker_rows])
