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
import warnings

from . import _analysis, frame
from ._closing import Closing
from ._files import FileError
from .takes import take_of

# Jumps of 2 to 30 samples, background border 5, automatic gain: what ``pellix analyze``
# initialises with when no --params is given.
DEFAULT_PARAMS = "000023000005000000"

# How long save() and load() wait in the library at a time for a state file another run holds,
# between their looks for Ctrl-C.
_WAIT_SECONDS = 0.25


def _say_waiting(state):
    print(f"pellix: waiting for another run to finish with state file '{os.fspath(state)}'",
          file=sys.stderr, flush=True)


class ParameterWarning(UserWarning):
    """A parameter string with values that refuse every take, or worse: what
    ``pellix analyze --params`` warns of."""


class Result:
    """One row of the report: its attributes are the report's keys (``code``, ``meaning``,
    ``lie_stress``, ..., ``error_number``, ``error_message``), each with one type whatever the
    row (as ``pellix.analyze``'s columns have them, ``pellix.frame``): ``int`` for codes, stress
    levels, counts and error numbers, ``float`` for measures, seconds, levels and shares,
    ``str`` for texts, a list of words for ``flags``, and ``None`` for anything missing (a key
    the row leaves empty, a text of the control where a number belongs, the flags of a row that
    analysed no recording). A take that could not be analysed is a row too: ``error_number``
    (the platform's) and ``error_message`` are set and ``code`` is None. ``row`` is the row as
    ``pellix analyze --format json`` writes it, ``csv`` its line in the command's CSV report.
    ``refused`` is whether the control refused the take (code -1 or -2), as the library and
    every summary of Pellix count refusals; a failure is no refusal."""

    __slots__ = ("row", "csv", "refused")

    def __init__(self, row, csv, refused=False):
        self.row = row
        self.csv = csv
        self.refused = refused

    def __getattr__(self, key):
        # Only the row's keys; anything else (the slots before unpickling fills them, the
        # protocols' names) is no attribute here.
        row = self.row if key not in Result.__slots__ and not key.startswith("__") else {}
        try:
            value = row[key]
        except KeyError:
            raise AttributeError(f"a report row has no key '{key}'") from None
        if key == "flags":
            return list(value) if frame.flags_apply(row) else None
        return frame.typed(key, value)

    def __dir__(self):
        return [*self.row, "row", "csv", "refused"]

    def __eq__(self, other):
        return isinstance(other, Result) and self.row == other.row

    def __repr__(self):
        shown = ", ".join(f"{k}={v!r}" for k, v in self.row.items() if v not in (None, []))
        return f"Result({shown})"


class Speaker(Closing):
    """A speaker's control: a new one initialised with ``params`` (the packed parameter string
    for Initalize), or the one saved in the JSON state file ``state`` with its check history,
    which ``save()`` writes back. ``name`` names the speaker in the rows. Parameters with which
    every take is refused give a ParameterWarning, as the command warns of them; parameters or
    a state that cannot be used raise AnalysisError.

    ``calibrate(take)`` and ``check(take)`` analyse a take given as a path, a URL (read through
    fsspec), the bytes of a recording or sample file, or a NumPy array of samples with
    ``rate=`` (int16 at full scale 32767, or floats at full scale 1; 2-D arrays are frames by
    channels). ``name=`` says how the row names the take; bytes and samples given without one
    are named by their place among the speaker's takes ("bytes #2", "samples #5").
    ``profile()`` runs the profiler over the history. Each returns a Result.

    A take that cannot be read (missing, unreadable, not a recording, a URL that cannot be
    fetched) raises nothing: its Result has ``error_number`` and ``error_message``, as the
    command's report has a row for it; a take the control refuses has ``code`` -1 and says why
    in ``refusal``. What is no take at all (an object of another type, samples without
    ``rate=``, an array of three dimensions) raises TypeError or ValueError. Calls from several threads take turns, and
    ``close()`` waits for a call in flight."""

    def __init__(self, params=DEFAULT_PARAMS, state=None, name=""):
        self._lock = threading.RLock()
        self._handle = None
        self._takes = 0
        self._state = state
        for warning in _analysis.parameter_warnings(params):
            warnings.warn(f"params: {warning}", ParameterWarning, stacklevel=2)
        self._handle = _analysis.open_speaker(params, state, name)

    def calibrate(self, take, *, rate=None, name=None):
        """Calibrates on ``take`` (a path, URL, bytes, or samples with ``rate=``) and returns
        its Result: ``code`` 0 when the calibration accepted it, -1 when it refused it, None
        with ``error_number`` set when the take could not be read."""
        return self._take("calibrate", take, rate, name)

    def check(self, take, *, rate=None, name=None):
        """Checks ``take`` (a path, URL, bytes, or samples with ``rate=``) against the
        calibration and returns its Result: the result ``code`` (-2 to 9) with ``meaning``, the
        three stress levels and the take's measures; None with ``error_number`` set when the
        take could not be read."""
        return self._take("check", take, rate, name)

    def profile(self):
        """Runs the profiler over the speaker's check history and returns its Result:
        ``profile`` (the profile string) and ``profile_checks`` (the checks it covers)."""
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
            _say_waiting(state if state is not None else self._state)
            while not _analysis.save(handle, state, _WAIT_SECONDS):
                pass

    def load(self, state):
        """Replaces the control and its history by those kept in ``state``; AnalysisError 53,
        the speaker unchanged, when there is no such file. While another run holds the file,
        it says so on standard error and waits, and Ctrl-C gives up the wait, the speaker
        unchanged."""
        with self._lock:
            handle = self._live()
            if not _analysis.load(handle, state):
                _say_waiting(state)
                while not _analysis.load(handle, state, _WAIT_SECONDS):
                    pass
            self._state = state

    def close(self):
        """Gives the control back without saving; the end of a ``with`` block closes too."""
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
        with self._lock:
            handle = self._live()
            self._takes += 1
            try:
                given = take_of(take, rate, name, self._takes)
            except FileError as e:  # a URL that could not be fetched: a row, as any unread take
                shown = name or (os.fsdecode(os.fspath(take))
                                 if isinstance(take, (str, os.PathLike)) else type(take).__name__)
                return self._result(*_analysis.failed_take(handle, role, shown, e.number, str(e)))
            return self._result(*_analysis.analyse(handle, role, given))

    def _result(self, json_text, csv_line, refused=False):
        return Result(json.loads(json_text), csv_line, refused)
