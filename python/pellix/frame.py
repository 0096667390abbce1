"""Report rows with real types, one type per key, as a pandas DataFrame and as a Result's
attributes.

The rows are the command's (``pellix analyze --format json``), keyed and ordered by its one
key list; here each key gets the type of what it holds: whole numbers for codes, levels,
counts and error numbers (``Int64`` columns, ``int`` attributes), real numbers for measures,
seconds, levels in dBFS and shares (``Float64`` columns, ``float`` attributes, even where the
control's figure happens to be whole), a boolean column per flag, a category for the role, and
texts (``string`` columns, ``str`` attributes). Anything missing is ``<NA>`` in a frame and
``None`` in an attribute: a key the row does not fill, a cell the control filled with a text
where a number belongs (a level it did not reach), and the flags of a row that analysed no
recording (a profile, a failure)."""

_key_types = None


def key_types():
    """{key: "text", "whole", "real" or "flags"}, as the library that writes the rows declares
    its keys (PellixReportKeys); read once."""
    global _key_types
    if _key_types is None:
        from . import _analysis
        _key_types = _analysis.report_key_types()
    return _key_types


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


def whole(value):
    """A whole-number cell as an int, or None."""
    value = _number(value)
    return None if value is None or value != value else int(value)


def real(value):
    """A real-number cell as a float, or None."""
    value = _number(value)
    return None if value is None else float(value)


def flags_apply(row):
    """Whether the row analysed a recording, so that its flags say something: a calibration or
    a check that did not fail."""
    return row.get("role", "check") in ("calibrate", "check") and row.get("error_number") is None \
        and row.get("flags") is not None


def typed(key, value):
    """A cell of ``key`` with the key's one type (None when missing)."""
    kind = key_types().get(key)
    if kind == "whole":
        return whole(value)
    if kind == "real":
        return real(value)
    if kind == "text" and value is not None and not isinstance(value, str):
        return str(value)
    return value


def frame(rows, keys):
    """A DataFrame of report ``rows`` (dicts as the JSON report has them) with the columns
    ``keys`` in order, typed as the module says."""
    import pandas

    columns = {}
    types = key_types()
    for key in keys:
        cells = [row.get(key) for row in rows]
        kind = types.get(key)
        if kind == "flags":
            for flag in FLAGS:
                columns[flag] = pandas.Series(
                    [flag in row["flags"] if flags_apply(row) else None for row in rows],
                    dtype="boolean")
        elif kind == "whole":
            columns[key] = pandas.Series([whole(c) for c in cells], dtype="Int64")
        elif kind == "real":
            columns[key] = pandas.Series([real(c) for c in cells], dtype="Float64")
        elif key == "role":
            columns[key] = pandas.Categorical(cells, categories=ROLES)
        elif kind == "text":
            columns[key] = pandas.Series(cells, dtype="string")
        else:
            columns[key] = pandas.Series(cells, dtype=object)
    return pandas.DataFrame(columns, index=pandas.RangeIndex(len(rows)))
