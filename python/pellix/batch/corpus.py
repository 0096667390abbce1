"""Speakers of a corpus as Dask tasks: runs of consecutive speakers, analysed inside the
worker, results handed back in manifest order."""

import os

from .. import _analysis, frame
from ..speaker import DEFAULT_PARAMS
from .local import as_completed
from .speaker import analyse_speaker

__all__ = ["DEFAULT_PARAMS", "analyze", "grouped", "in_order", "speakers_of", "submit"]


def manifest_of(manifest):
    """The library's manifest of a manifest file's path, or of a DataFrame with the columns
    speaker, role and file (other columns are ignored; a missing value is an empty field, and
    messages name the rows from 1)."""
    if isinstance(manifest, (str, bytes, os.PathLike)):
        return _analysis.read_manifest(manifest)
    import pandas

    missing = {"speaker", "role", "file"} - set(manifest.columns)
    if missing:
        raise _analysis.ManifestError(
            5, f"the manifest frame lacks the columns {', '.join(sorted(missing))}")
    columns = [["" if pandas.isna(v) else str(v) for v in manifest[c]]
               for c in ("speaker", "role", "file")]
    return _analysis.manifest_of_rows(*columns, "manifest frame")


def speakers_of(manifest):
    """The speakers (``_analysis.SpeakerTakes``) of a manifest file's path or DataFrame, in
    manifest order."""
    return manifest_of(manifest).speakers


# Takes per task: a task is a run of consecutive speakers of at least this many takes, so that
# Dask's round trip per task (tens of milliseconds on a busy machine) stays small beside the
# analysis, while the tasks still spread over the workers.
TAKES_PER_TASK = 30


def grouped(speakers, takes=TAKES_PER_TASK):
    """The speakers in runs of consecutive speakers, each of at least ``takes`` takes (the last
    may have fewer)."""
    groups, group, count = [], [], 0
    for speaker in speakers:
        group.append(speaker)
        count += speaker.takes
        if count >= takes:
            groups.append(group)
            group, count = [], 0
    return groups + ([group] if group else [])


def analyse_speakers(speakers, params, profile):
    """A task: each speaker's SpeakerRun, in order."""
    return [analyse_speaker(s, params, profile) for s in speakers]


def submit(client, speakers, params, profile):
    """One future per run of speakers (see ``grouped``), in manifest order."""
    run = os.urandom(4).hex()  # keys of this run apart from another's on the same cluster
    return [client.submit(analyse_speakers, group, params, profile, pure=False,
                          key=f"pellix-speakers-{run}-{i}")
            for i, group in enumerate(grouped(speakers))]


def outcomes(future, group):
    """A finished future's SpeakerRuns, or for each speaker the message of a task that Dask
    could not run to the end (its workers kept dying, ...): one task never stops the run."""
    try:
        return future.result()
    except Exception as e:  # noqa: BLE001 - any task failure becomes its speakers' message
        return [f"{s.speaker}: the task failed: {type(e).__name__}: {e}" for s in group]


def in_order(speakers, futures):
    """Each speaker's outcome in manifest order, as soon as it and every speaker before it are
    done, so a caller can write the output while the run goes on. ``futures`` are submit's for
    the same speakers; each is let go (its place in the list emptied) once its outcome is
    taken, so that a run holds the rows not yet written, not every row of the corpus."""
    groups = grouped(speakers)
    index = {id(f): i for i, f in enumerate(futures)}
    done, next_index = {}, 0
    for future in as_completed(futures):
        i = index[id(future)]
        done[i] = outcomes(future, groups[i])
        futures[i] = future = None
        while next_index in done:
            yield from done.pop(next_index)
            next_index += 1


def failed_rows(speaker, message):
    """A row for every take of a speaker whose task failed for good, saying why."""
    takes = [("calibrate", t) for t in speaker.calibrations]
    takes += [("check", t) for t in speaker.checks]
    return [{"speaker": speaker.speaker, "role": role, "file": t.name, "flags": [],
             "error_message": message} for role, t in takes]


def rows_of(speakers, runs):
    rows = []
    for speaker, run in zip(speakers, runs):
        rows += failed_rows(speaker, run) if isinstance(run, str) else [r.row for r in run.results]
    return rows


def analyze(manifest, client=None, params=DEFAULT_PARAMS, profile=True):
    """Analyses every speaker of ``manifest`` and returns its report as a typed DataFrame (see
    ``pellix.frame``), the rows in the order ``pellix analyze --batch`` reports them.

    ``manifest`` is the path of the CSV file ``pellix analyze --batch`` reads, or a pandas
    DataFrame with the columns speaker, role and file (relative files are then relative to the
    current folder); a file may be a URL that fsspec reads. Each speaker is analysed on a
    control of its own: its calibrations, its checks, and with ``profile`` the profiler.
    Without ``client`` the speakers run one after another in this process; with a
    ``distributed.Client``, as tasks on its cluster, whose workers must reach the recordings.
    A take that cannot be analysed is a row with its error number and message; a speaker whose
    task failed for good has a row per take saying why, and the run goes on.

    >>> table = analyze("examples/manifest.csv")                     # doctest: +SKIP
    >>> table.groupby("speaker")["code"].value_counts()              # doctest: +SKIP
    """
    speakers = speakers_of(manifest)
    if client is None:
        runs = [analyse_speaker(s, params, profile) for s in speakers]
    else:
        runs = list(in_order(speakers, submit(client, speakers, params, profile)))
    return frame.frame(rows_of(speakers, runs), _analysis.report_keys())
