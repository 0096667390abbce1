"""The rows of a corpus run, and how a row reads in the frame and in the CSV file.

This is the one place that decides columns and wording. The CSV file is exactly what
``pellix analyze --batch --format csv`` prints for the same manifest, so the words here are
the command's own (its table of result codes and their meanings); the tests compare the two
outputs line by line, so any drift between them fails there.
"""

from . import csv_text

# What CR_msgX means after a check, in the command's words.
CODE_MEANINGS = {
    "-2": "the analysis constants are not loaded: Initalize has not run",
    "-1": "too few samples (a check needs 800), or a silent utterance (no thorns, no jumps)",
    "0": "no conclusion: the measures point to no category",
    "1": "truth: no abnormal feature",
    "2": "lie stress just below the truth floor; or sarcasm (both deviations very low); or "
         "possible sarcasm",
    "3": "excitement",
    "4": "uncertainty in the answer",
    "5": "high excitement",
    "6": "voice manipulation",
    "7": "lie: lie stress above the band; or sarcasm or lie",
    "8": "exaggerated truth indicators, result reversed (lie stress mirrored); or "
         "exaggeration: lie stress inside the band",
    "9": "trauma or lie; or an extreme thorn deviation",
}
ACCEPTED = "accepted"
REJECTED = ("rejected: too short or silent: fewer than 450 samples of speech, or a measure "
            "of 0")

STRESS = ("LIEstress", "GLBstress", "EXCstress")
MEASURES = ("CR_spT", "CR_SPJ", "CR_JQ", "CR_avJ")

# The frame's columns: one row per take, in manifest order. Values are the control's texts
# ("" where a take has none); a take that could not be analysed has its platform error number
# in ``error`` and the reason in ``message``; ``profile`` is the speaker's, on each of its rows.
FRAME_COLUMNS = ("speaker", "role", "file", "code", "meaning", *STRESS, *MEASURES,
                 "error", "message", "profile")

# The CSV file's columns, as the command names them.
CSV_COLUMNS = ("speaker", "kind", "file", "code", "meaning", *STRESS, *MEASURES)
_KIND = {"calibrate": "calibration", "check": "check"}


def meaning(role, code):
    """The result of a take in words."""
    if role == "calibrate":
        return ACCEPTED if code == "0" else REJECTED
    return CODE_MEANINGS.get(code, f"unknown code '{code}'")


def take_row(speaker, role, name, code="", stress=None, measures=None, error=None, message=""):
    """A frame row for one take (the profile is added once the speaker is done)."""
    row = dict.fromkeys(FRAME_COLUMNS, "")
    row.update(speaker=speaker, role=role, file=name, code=code, message=message)
    row["meaning"] = meaning(role, code) if error is None else ""
    row["error"] = error
    row.update(zip(STRESS, stress or ("", "", "")))
    row.update(zip(MEASURES, measures or ("", "", "", "")))
    return row


def in_csv(row):
    """Whether the CSV file shows the row: the command writes no row for a take it could not
    analyse (it names it on standard error)."""
    return row["error"] is None


def csv_header():
    return csv_text.line(CSV_COLUMNS)


def csv_line(row):
    """The CSV line of a frame row, with its line feed."""
    values = dict(row, kind=_KIND[row["role"]])
    return csv_text.line(values[c] for c in CSV_COLUMNS)
