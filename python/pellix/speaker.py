"""One speaker's analysis on one control, a take at a time, inside this process: what
``pellix analyze`` does for a speaker, through libPellixAnalysis.so.

>>> import pellix
>>> with pellix.Speaker() as alex:                                         # doctest: +SKIP
...     for i in (1, 2, 3):
...         alex.calibrate(f"examples/recordings/alex_calibrate_{i}.wav")
...     result = alex.check("examples/recordings/alex_check_01.wav")
...     print(result.code, result.meaning, result.lie_stress)
"""

import json

from . import _analysis
from ._closing import Closing
from .takes import take_of

# Jumps of 2 to 30 samples, background border 5, automatic gain: what ``pellix analyze``
# initialises with when no --params is given.
DEFAULT_PARAMS = "000023000005000000"


class Result:
    """One row of the report: its attributes are the report's keys (``code``, ``meaning``,
    ``lie_stress``, ..., ``error_number``, ``error_message``), with the values of
    ``pellix analyze --format json``. A take that could not be analysed is a row too, with its
    error number and message. ``row`` is the whole row as a dict, ``csv`` its line in the
    command's CSV report."""

    __slots__ = ("row", "csv")

    def __init__(self, row, csv):
        self.row = row
        self.csv = csv

    def __getattr__(self, key):
        # Only the row's keys; anything else (the slots before unpickling fills them, the
        # protocols' names) is no attribute here.
        row = self.row if key not in Result.__slots__ and not key.startswith("__") else {}
        try:
            return row[key]
        except KeyError:
            raise AttributeError(f"a report row has no key '{key}'") from None

    def __dir__(self):
        return [*self.row, "row", "csv"]

    def __eq__(self, other):
        return isinstance(other, Result) and self.row == other.row

    def __repr__(self):
        shown = ", ".join(f"{k}={v!r}" for k, v in self.row.items() if v not in (None, []))
        return f"Result({shown})"


class Speaker(Closing):
    """A speaker's control: a new one initialised with ``params`` (the packed parameter string
    for Initalize), or the one saved in the JSON state file ``state`` with its check history,
    which ``save()`` writes back. ``name`` names the speaker in the rows.

    ``calibrate(take)`` and ``check(take)`` analyse a take given as a path, a URL (read through
    fsspec), the bytes of a recording or sample file, or a NumPy array of samples with
    ``rate=`` (int16 at full scale 32767, or floats at full scale 1; 2-D arrays are frames by
    channels). ``name=`` says how the row names the take. ``profile()`` runs the profiler over
    the history. Each returns a Result. Like the control, a Speaker belongs to the thread that
    created it."""

    def __init__(self, params=DEFAULT_PARAMS, state=None, name=""):
        self._handle = None
        self._handle = _analysis.open_speaker(params, state, name)

    def calibrate(self, take, *, rate=None, name=None):
        return self._take("calibrate", take, rate, name)

    def check(self, take, *, rate=None, name=None):
        return self._take("check", take, rate, name)

    def profile(self):
        return self._result(_analysis.profile(self._live()), None)

    def failure(self, role, name, number, message):
        """The row of a ``role`` take named ``name`` that could not even be read (a URL), as
        the report words a take it could not analyse."""
        return self._result(*_analysis.failed_take(self._live(), role, name, number, message))

    def save(self, state=None):
        """Writes the state and its check history to ``state`` (by default the file the
        speaker was opened with)."""
        _analysis.save(self._live(), state)

    def load(self, state):
        """Replaces the control and its history by those kept in ``state``."""
        _analysis.load(self._live(), state)

    def close(self):
        if self._handle is not None:
            _analysis.close_speaker(self._handle)
            self._handle = None

    def __del__(self):
        self.close()

    def _live(self):
        if self._handle is None:
            raise ValueError("the speaker is closed")
        return self._handle

    def _take(self, role, take, rate, name):
        return self._result(*_analysis.analyse(self._live(), role, take_of(take, rate, name)))

    def _result(self, json_text, csv_line):
        return Result(json.loads(json_text), csv_line)
