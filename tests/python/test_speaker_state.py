"""pellix.Speaker sharing its state file with `pellix analyze` and other Python processes loses
no check; a save or a load waits for another run in words and gives up on Ctrl-C; close() waits for the
call in flight; a rate is taken as given or refused, never cut to another."""

import fcntl
import io
import json
import os
import selectors
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from contextlib import redirect_stderr

import numpy

import pellix
from pellix._analysis import AnalysisError

SOURCE = os.environ.get("PELLIX_SOURCE_DIR", ".")
RECORDINGS = os.path.join(SOURCE, "examples", "recordings")
PELLIX = os.environ.get("PELLIX_BINARY", "pellix")


def recording(name):
    return os.path.join(RECORDINGS, name + ".wav")


def check(i):
    return recording(f"alex_check_{i:02d}")


def analyze(state, *args):
    subprocess.run([PELLIX, "analyze", "-q", "--state", state, *args], check=True,
                   capture_output=True)


def calibrated(state):
    analyze(state, "--calibrate", *(recording(f"alex_calibrate_{i}") for i in (1, 2, 3)))


def history(state):
    """The take names of the state's history rows, in order."""
    sidecar = state[:-len(".json")] + ".history.jsonl"
    with open(sidecar) as f:
        return [json.loads(line)["file"] for line in f]


class StateLockHeld:
    """The state file's lock, held as another run (pellix listen --state) holds it."""

    def __init__(self, state):
        folder, name = os.path.split(state)
        self.file = open(os.path.join(folder, f".{name}.lock"), "w")
        fcntl.flock(self.file, fcntl.LOCK_EX)

    def release(self):
        self.file.close()


class SharedStateTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.state = os.path.join(self.folder.name, "alex.json")

    def tearDown(self):
        self.folder.cleanup()

    def test_ten_commands_and_ten_python_processes_on_one_state_keep_twenty_checks(self):
        calibrated(self.state)
        script = ("import pellix, sys\n"
                  "with pellix.Speaker(state=sys.argv[1]) as s:\n"
                  "    s.check(sys.argv[2], name=sys.argv[3])\n"
                  "    s.save()\n")
        runs = []
        for i in range(10):
            runs.append(subprocess.Popen([PELLIX, "analyze", "-q", "--state", self.state,
                                          "--check", check(i + 1)], stdout=subprocess.DEVNULL))
            runs.append(subprocess.Popen([sys.executable, "-c", script, self.state, check(i + 1),
                                          f"python{i}"]))
        self.assertEqual([run.wait() for run in runs], [0] * 20)
        rows = history(self.state)
        self.assertEqual(sorted(rows), sorted([check(i + 1) for i in range(10)] +
                                              [f"python{i}" for i in range(10)]))

    def started_waiting(self, call, said):
        """``call`` on a thread of its own, once it has said on ``said`` that it waits for the
        state file another run holds."""
        thread = threading.Thread(target=call)
        thread.start()
        for _ in range(3000):
            if "waiting" in said.getvalue():
                break
            time.sleep(0.01)
        self.assertIn(f"waiting for another run to finish with state file '{self.state}'",
                      said.getvalue())
        return thread

    def test_close_from_another_thread_waits_for_the_call_in_flight(self):
        speaker = pellix.Speaker(state=self.state)
        speaker.check(check(1))
        held = StateLockHeld(self.state)
        said = io.StringIO()
        with redirect_stderr(said):
            saving = self.started_waiting(speaker.save, said)
            closing = threading.Thread(target=speaker.close)
            closing.start()
            closing.join(0.3)
            self.assertTrue(closing.is_alive())  # a close that waits cannot have ended
            held.release()
            saving.join()
            closing.join()
        self.assertEqual(history(self.state), [check(1)])
        with self.assertRaises(ValueError):
            speaker.check(check(2))

    def test_ctrl_c_gives_up_a_save_or_a_load_waiting_for_another_run(self):
        calibrated(self.state)
        before = os.stat(self.state).st_mtime_ns
        scripts = {
            "save": "s = pellix.Speaker(state=sys.argv[1])\ns.check(sys.argv[2])\ns.save()\n",
            "load": "s = pellix.Speaker()\ns.load(sys.argv[1])\n",
        }
        for call, script in scripts.items():
            with self.subTest(call):
                held = StateLockHeld(self.state)
                child = subprocess.Popen([sys.executable, "-c", "import pellix, sys\n" + script,
                                          self.state, check(1)], stderr=subprocess.PIPE,
                                         text=True)
                said = ""
                with selectors.DefaultSelector() as selector:
                    selector.register(child.stderr, selectors.EVENT_READ)
                    while "waiting" not in said and selector.select(timeout=60):
                        line = child.stderr.readline()
                        if not line:
                            break
                        said += line
                self.assertIn(f"waiting for another run to finish with state file "
                              f"'{self.state}'", said)
                child.send_signal(signal.SIGINT)
                try:
                    returned = child.wait(timeout=60)
                finally:
                    held.release()
                    child.wait()
                self.assertNotEqual(returned, 0)
                self.assertIn("KeyboardInterrupt", child.stderr.read())
                self.assertEqual(os.stat(self.state).st_mtime_ns, before)
                self.assertFalse(os.path.exists(self.state[:-len(".json")] + ".history.jsonl"))

    def test_a_load_waits_for_another_run_then_loads_what_it_saved(self):
        with pellix.Speaker(state=self.state) as speaker:
            speaker.check(check(1))
            speaker.save()
        held = StateLockHeld(self.state)
        said = io.StringIO()
        with pellix.Speaker() as speaker, redirect_stderr(said):
            loading = self.started_waiting(lambda: speaker.load(self.state), said)
            held.release()
            loading.join()
            speaker.check(check(2), name="after")
            speaker.save()
        self.assertEqual(history(self.state), [check(1), "after"])

    def test_a_save_elsewhere_brings_no_other_history_and_a_failed_load_changes_nothing(self):
        with pellix.Speaker(state=self.state) as speaker:
            speaker.check(check(1))
            speaker.save()
        with pellix.Speaker() as speaker:
            speaker.save(self.state)
            with self.assertRaises(AnalysisError) as raised:
                speaker.load(os.path.join(self.folder.name, "typo.json"))
            self.assertEqual(raised.exception.number, 53)
            with self.assertRaises(AnalysisError) as raised:
                speaker.save(os.path.join(self.folder.name, "no", "alex.json"))
            self.assertEqual(raised.exception.number, 53)
        with pellix.Speaker(state=self.state) as speaker:
            self.assertEqual(speaker.profile().profile_checks, 0)
        with self.assertRaises(AnalysisError) as raised:
            pellix.Speaker(state="")
        self.assertEqual(raised.exception.number, 5)

    def test_rates_are_whole_numbers_that_fit(self):
        samples = numpy.zeros(8000, numpy.int16)
        with pellix.Speaker() as speaker:
            for rate in (2**32 + 16000, -1, 0, 2**32, 16000.9, float("nan"), "16000"):
                with self.assertRaises(ValueError, msg=repr(rate)):
                    speaker.check(samples, rate=rate)
            for rate in (16000, 16000.0, numpy.int64(16000), numpy.float32(16000)):
                self.assertNotEqual(speaker.check(samples, rate=rate).error_number, 5, rate)


if __name__ == "__main__":
    unittest.main()
