"""Report rows as a pandas DataFrame with real types.

The rows are the command's (``pellix analyze --format json``), keyed and ordered by its one
key list; here each key gets the type of what it holds: nullable integers for codes, levels,
counts and error numbers, floats for measures, seconds, levels in dBFS and shares, a boolean
column per flag, categories for role and meaning, and texts as they are. A cell the control
filled with a text where a number belongs (a level it did not reach) is missing (<NA>)."""

# Keys holding whole numbers: result codes, stress levels, the profile's check count, the
# platform's error numbers.
WHOLE = ("code", "lie_stress", "global_stress", "excitement_stress", "profile_checks",
         "error_number")
# Keys holding measures, seconds, levels in dBFS and shares.
REAL = ("thorn_rate", "jump_rate", "jump_spread", "avg_jump_len", "cal_thorn_rate",
        "cal_jump_rate", "cal_jump_spread", "cal_avg_jump_len", "recording_s",
        "stretch_start_s", "stretch_end_s", "stretch_s", "peak_dbfs", "rms_dbfs",
        "clipped_source", "clipped_8bit", "pitch_hz", "voiced_share")
ROLES = ("calibrate", "check", "profile", "state", "plot")
# The words a take can be flagged with (docs/report.schema.json), one boolean column each in
# place of the report's list.
FLAGS = ("clipped", "very_quiet", "short_stretch", "no_voiced_speech", "steady_tone",
         "pitch_mismatch")


def _number(value):
    """A JSON cell as a number, or None for a text or nothing."""
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        return None
    return value


def frame(rows, keys):
    """A DataFrame of report ``rows`` (dicts as the JSON report has them) with the columns
    ``keys`` in order, typed as the module says."""
    import pandas

    columns = {}
    for key in keys:
        cells = [row.get(key) for row in rows]
        if key == "flags":
            for flag in FLAGS:
                columns[flag] = pandas.Series([flag in (c or ()) for c in cells], dtype=bool)
        elif key in WHOLE:
            columns[key] = pandas.Series([_number(c) for c in cells], dtype="Int64")
        elif key in REAL:
            columns[key] = pandas.Series([_number(c) for c in cells], dtype="float64")
        elif key == "role":
            columns[key] = pandas.Categorical(cells, categories=ROLES)
        elif key == "meaning":
            columns[key] = pandas.Categorical(cells)
        else:
            columns[key] = pandas.Series(cells, dtype=object)
    return pandas.DataFrame(columns, index=pandas.RangeIndex(len(rows)))
