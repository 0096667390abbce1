"""One speaker's analysis inside a worker, on a control of its own, driven as
``pellix analyze`` drives it: a new control, the parameter string and Initalize, the
calibrations, the checks, the profiler."""

import tempfile
import threading

from . import rows
from .takes import INVALID_PROCEDURE_CALL, Preparer, TakeError, file_error_number


def _measures(control):
    return tuple(getattr(control, name) for name in rows.MEASURES)


class _Session:
    def __init__(self, speaker, params, profile):
        self.speaker = speaker
        self.params = params
        self.profile = profile
        self.rows = []
        self.messages = []  # (is_error, text), as the command would print them

    def run(self):
        import pellix  # in the worker: the library is loaded where the control runs

        with tempfile.TemporaryDirectory(prefix="pellix-") as scratch, pellix.Control() as control:
            preparer = Preparer(scratch)
            control.DATAstr = self.params
            control.Initalize()
            for take in self.speaker.calibrations:
                self.take(pellix, control, preparer, take, "calibrate")
            for take in self.speaker.checks:
                self.take(pellix, control, preparer, take, "check")
            profile = self.run_profiler(pellix, control) if self.profile else ""
        for row in self.rows:
            row["profile"] = profile
        return self

    def take(self, pellix, control, preparer, take, role):
        try:
            sample_file = preparer.prepare(take)
        except TakeError as e:
            return self.fail(take, role, e.number, e.message)
        before = _measures(control)
        try:
            control.DATAstr = sample_file
            control.Calibrate() if role == "calibrate" else control.Check()
        except pellix.PellixError as e:
            what = "calibration" if role == "calibrate" else "check"
            return self.fail(take, role, e.number, f"{take.name}: {what} failed: {e.description}")
        code = control.CR_msgX
        after = _measures(control)
        # A refused take shows measures only when it wrote them: a take refused as too short
        # leaves the row of an earlier take in place.
        refused = code != "0" if role == "calibrate" else code in ("-1", "-2")
        measures = after if not refused or after != before else None
        stress = None
        if not refused and role == "check":
            stress = tuple(getattr(control, name) for name in rows.STRESS)
        if refused:
            self.messages.append((code == "-2", f"{take.name}: {rows.meaning(role, code)}"))
        self.rows.append(rows.take_row(self.speaker.speaker, role, take.name, code, stress,
                                       measures))

    def fail(self, take, role, number, message):
        self.messages.append((True, message))
        self.rows.append(rows.take_row(self.speaker.speaker, role, take.name, error=number,
                                       message=message))

    def run_profiler(self, pellix, control):
        try:
            control.profiler()
        except pellix.PellixError as e:
            self.messages.append((True, f"{self.speaker.speaker}: profiler failed: "
                                        f"{e.description} (error {e.number})"))
            return ""
        return control.DATAstr


def analyse_speaker(speaker, params, profile):
    """The rows of ``speaker``'s takes in order, and the messages of its run. Runs the session
    on a new thread, so that the control meets the engine's per-thread analysis state as the
    first speaker of a fresh process does, whatever ran on this worker's threads before."""
    session = _Session(speaker, params, profile)
    failure = []

    def run():
        try:
            session.run()
        except BaseException as e:  # noqa: BLE001 - handed back to the calling thread
            failure.append(e)

    thread = threading.Thread(target=run, name=f"pellix {speaker.speaker}")
    thread.start()
    thread.join()
    if failure:
        _speaker_failed(session, failure[0])
    return session.rows, session.messages


def error_number(error):
    """The platform error number of an exception that ended a speaker's run."""
    number = getattr(error, "number", None)
    if isinstance(number, int):
        return number
    if isinstance(error, OSError) and error.errno is not None:
        return file_error_number(error.errno)
    return INVALID_PROCEDURE_CALL


def failed_rows(speaker, error, first=0):
    """Failed rows for ``speaker``'s takes from the ``first`` on, when its control could not
    run on: one speaker never stops the corpus."""
    number, message = error_number(error), f"{speaker.speaker}: {error}"
    takes = [(t, "calibrate") for t in speaker.calibrations]
    takes += [(t, "check") for t in speaker.checks]
    return [rows.take_row(speaker.speaker, role, take.name, error=number, message=message)
            for take, role in takes[first:]]


def _speaker_failed(session, error):
    if not isinstance(error, Exception):
        raise error
    session.messages.append((True, f"{session.speaker.speaker}: {error}"))
    session.rows += failed_rows(session.speaker, error, len(session.rows))
