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
import os
import sys
import threading

from . import _analysis
from ._closing import Closing
from .takes import take_of

# Jumps of 2 to 30 samples, background border 5, automatic gain: what ``pellix analyze``
# initialises with when no --params is given.
DEFAULT_PARAMS = "000023000005000000"

# How long save() waits in the library at a time for a state file another run holds, between
# its looks for Ctrl-C.
_WAIT_SECONDS = 0.25


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
    the history. Each returns a Result. Calls from several threads take turns, and ``close()``
    waits for a call in flight."""

    def __init__(self, params=DEFAULT_PARAMS, state=None, name=""):
        self._lock = threading.RLock()
        self._handle = None
        self._state = state
        self._handle = _analysis.open_speaker(params, state, name)

    def calibrate(self, take, *, rate=None, name=None):
        return self._take("calibrate", take, rate, name)

    def check(self, take, *, rate=None, name=None):
        return self._take("check", take, rate, name)

    def profile(self):
        return self._result(self._call(_analysis.profile), None)

    def failure(self, role, name, number, message):
        """The row of a ``role`` take named ``name`` that could not even be read (a URL), as
        the report words a take it could not analyse."""
        return self._result(*self._call(_analysis.failed_take, role, name, number, message))

    def save(self, state=None):
        """Writes the state and its check history to ``state`` (by default the file the
        speaker was opened with). Saved to its own file, it keeps what other runs saved there
        meanwhile (their checks, then this speaker's); while another run (``pellix listen
        --state``) holds the file, it says so on standard error and waits, and Ctrl-C gives up
        the wait without saving."""
        with self._lock:
            handle = self._live()
            if _analysis.save(handle, state):
                return
            shown = os.fspath(state if state is not None else self._state)
            print(f"pellix: waiting for another run to finish with state file '{shown}'",
                  file=sys.stderr, flush=True)
            while not _analysis.save(handle, state, _WAIT_SECONDS):
                pass

    def load(self, state):
        """Replaces the control and its history by those kept in ``state``; AnalysisError 53,
        the speaker unchanged, when there is no such file."""
        self._call(_analysis.load, state)
        self._state = state

    def close(self):
        with self._lock:
            if self._handle is not None:
                _analysis.close_speaker(self._handle)
                self._handle = None

    def __del__(self):
        self.close()

    def _live(self):
        if self._handle is None:
            raise ValueError("the speaker is closed")
        return self._handle

    def _call(self, function, *args):
        with self._lock:
            return function(self._live(), *args)

    def _take(self, role, take, rate, name):
        return self._result(*self._call(_analysis.analyse, role, take_of(take, rate, name)))

    def _result(self, json_text, csv_line):
        return Result(json.loads(json_text), csv_line)
