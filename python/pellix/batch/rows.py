"""The command's CSV rows as a pandas DataFrame, and the rows of a speaker whose task Dask
could not run to the end.

Rows are the command's own: the columns are its header's names and the values its texts,
so the frame holds exactly what ``pellix analyze --batch --format csv`` prints."""

from . import csv_text


def records(header, body, source):
    """The rows of a CSV report as dicts, keyed by the header's column names."""
    names = csv_text.records(header, source)[0].fields
    return [dict(zip(names, r.fields)) for r in csv_text.records(body, source)]


def failed_rows(names, speaker, message):
    """Rows for every take of ``speaker``, whose task failed for good: each names the take and
    says why in the command's column for error messages (``message`` where it has none)."""
    takes = [("calibrate", t) for t in speaker.calibrations]
    takes += [("check", t) for t in speaker.checks]
    rows = []
    for role, take in takes:
        row = dict.fromkeys(names, "")
        row.update(speaker=speaker.speaker, file=take.name)
        row["role" if "role" in names else "kind"] = role
        row["error_message" if "error_message" in names else "message"] = message
        rows.append(row)
    return rows


def frame(header, runs):
    """One DataFrame of the speakers' rows in order. ``runs`` holds (speaker, SpeakerRun or
    the message of a task that failed)."""
    import pandas

    names = csv_text.records(header, "report")[0].fields if header else []
    table = []
    for speaker, run in runs:
        if isinstance(run, str):
            table += failed_rows(names, speaker, run)
            continue
        rows = records(header, run.body, speaker.speaker)
        for row in rows:
            if run.profiles:
                row["profile"] = run.profiles.get(row["speaker"], "")
        table += rows
    columns = list(dict.fromkeys(names + [c for row in table for c in row]))
    return pandas.DataFrame(table, columns=columns, dtype=str)
