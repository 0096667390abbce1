"""Corpus runs on a local Dask cluster of two worker processes, analysing inside the workers,
give exactly what ``pellix analyze --batch`` prints for the same manifest: with failing takes,
with a worker killed in the middle of the run, after an interrupted run is resumed, with
recordings named by file:// URLs, and with no pellix program anywhere on the path.

Needs $PELLIX_COMMAND (the pellix program, for the expected reports only) and the package's
libraries; skipped only where Dask, distributed or pandas are missing."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import distributed
    import pandas
except ImportError as missing:
    raise unittest.SkipTest(f"Dask is missing ({missing.name}): install python3-dask, "
                            "python3-distributed and python3-pandas (scripts/setup.sh)")

sys.path.insert(0, os.path.dirname(__file__))
import corpus_maker  # noqa: E402

import pellix  # noqa: E402
from pellix import _analysis, batch, frame  # noqa: E402
from pellix.batch import corpus  # noqa: E402

PELLIX = os.environ["PELLIX_COMMAND"]


def pellix_analyze(manifest, *options):
    done = subprocess.run([PELLIX, "analyze", "--batch", manifest, "--jobs", "2", *options],
                          capture_output=True, text=True, check=False)
    return done.returncode, done.stdout


class ClusterTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        # 2 bundled + 35 generated + 3 faulty speakers, named from here as a relative path,
        # so that file names climb out of this folder as users' often do.
        cls.manifest = os.path.relpath(corpus_maker.make_corpus(cls.folder.name, 35, checks=2))
        cls.status, cls.expected = pellix_analyze(cls.manifest, "--format", "csv")
        cls.cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1,
                                               processes=True, dashboard_address=None)
        cls.client = distributed.Client(cls.cluster)

    @classmethod
    def tearDownClass(cls):
        cls.client.close()
        cls.cluster.close()
        cls.folder.cleanup()

    def test_rows_and_profiles_as_the_command_gives_them(self):
        table = pellix.analyze(self.manifest, client=self.client, profile=True)
        _, lines = pellix_analyze(self.manifest, "--format", "json", "--profile")
        expected = frame.frame([json.loads(line) for line in lines.splitlines()],
                               _analysis.report_keys())
        pandas.testing.assert_frame_equal(table, expected)
        self.assertEqual(len(table.speaker.unique()), 40)
        silent = table.file.str.endswith("silent.wav", na=False)  # profiles name no file
        self.assertEqual(table[silent]["code"].tolist(), [-1])
        self.assertEqual(sorted(table["error_number"].dropna().unique()), [53, 321])

    def csv_of(self, speakers, futures):
        runs = list(corpus.in_order(speakers, futures))
        return _analysis.csv_header() + "".join(r.csv for run in runs for r in run.results)

    def test_a_worker_killed_mid_run_changes_nothing(self):
        speakers = corpus.speakers_of(self.manifest)
        futures = corpus.submit(self.client, speakers, batch.DEFAULT_PARAMS, False)
        distributed.wait(futures, return_when="FIRST_COMPLETED")
        busy = [w for w, keys in self.client.processing().items() if keys]
        self.assertTrue(busy, "no worker left busy to kill")
        pid = self.client.run(os.getpid, workers=busy[:1])[busy[0]]
        os.kill(pid, signal.SIGKILL)
        self.assertEqual(self.csv_of(speakers, futures), self.expected)

    def test_recordings_named_by_file_urls(self):
        speakers = corpus.speakers_of(self.manifest)
        lines = ["speaker,role,file"]
        for s in speakers[:6]:
            lines += [f"{s.speaker},{role},file://{os.path.abspath(os.path.join(t.base, t.path))}"
                      for role, takes in (("calibrate", s.calibrations), ("check", s.checks))
                      for t in takes]
        urls = os.path.join(self.folder.name, "urls.csv")
        with open(urls, "w") as f:
            f.write("\n".join(lines) + "\n")
        table = pellix.analyze(urls, client=self.client, profile=False)
        expected = pellix.analyze(self.manifest, profile=False)
        expected = expected[expected.speaker.isin([s.speaker for s in speakers[:6]])]
        self.assertTrue(table.file.str.startswith("file:///").all())
        columns = [c for c in table.columns if c not in ("file", "meaning")]
        pandas.testing.assert_frame_equal(table[columns], expected[columns].reset_index(drop=True))
        self.assertEqual(list(table.meaning), list(expected.meaning))

    def test_no_pellix_program_anywhere(self):
        environment = {k: v for k, v in os.environ.items() if k != "PELLIX_COMMAND"}
        environment["PATH"] = "/usr/bin:/bin"
        self.assertIsNone(shutil.which("pellix", path=environment["PATH"]))
        out = os.path.join(self.folder.name, "no_program.csv")
        done = subprocess.run([sys.executable, "-m", "pellix.batch", self.manifest, "--out", out,
                               "--workers", "2"], env=environment, capture_output=True,
                              text=True, check=False, timeout=600)
        self.assertEqual(done.returncode, self.status, done.stderr)
        with open(out) as f:
            self.assertEqual(f.read(), self.expected)

    def command(self, out, *options):
        return subprocess.Popen(
            [sys.executable, "-m", "pellix.batch", self.manifest, "--out", out,
             "--scheduler", self.cluster.scheduler_address, *options],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_resume_after_an_interrupted_run(self):
        out = os.path.join(self.folder.name, "results.csv")
        first = self.command(out, "--checkpoint", "0")  # every speaker in place once written
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline and _lines(out) < 60:
            time.sleep(0.05)
        first.kill()
        first.communicate()
        written = _lines(out)
        self.assertLess(written, self.expected.count("\n"), "the run ended before it was killed")
        with open(out, "a") as f:
            f.write('speaker099,check,"cut short')  # as if killed inside a line
        second = self.command(out, "--resume")
        _, messages = second.communicate(timeout=120)
        with open(out) as f:
            self.assertEqual(f.read(), self.expected)
        self.assertEqual(second.returncode, self.status, messages)
        self.assertIn("already written", messages)


    def test_ctrl_c_on_local_threads_keeps_what_was_written_and_resume_completes_it(self):
        # The corpus eight times over, under other names: threads of one process write the
        # whole corpus in a moment, and Ctrl-C must land before the end.
        manifest = os.path.join(os.path.dirname(self.manifest), "eightfold.csv")
        with open(self.manifest) as f:
            header, *rows = f.read().splitlines()
        with open(manifest, "w") as f:
            f.write("\n".join([header] + [f"{n}_{row}" for n in range(8) for row in rows]) + "\n")
        status, expected = pellix_analyze(manifest, "--format", "csv")
        out = os.path.join(self.folder.name, "interrupted.csv")
        # A loaded machine may still let the run end before the signal lands: then again.
        for _ in range(3):
            if os.path.exists(out):
                os.remove(out)
            run = subprocess.Popen([sys.executable, "-m", "pellix.batch", manifest, "--out",
                                    out, "--workers", "1", "--checkpoint", "0"],
                                   stderr=subprocess.PIPE, text=True)
            for _ in range(6000):  # a minute at the most
                if _lines(out) >= 40:
                    break
                time.sleep(0.01)
            run.send_signal(signal.SIGINT)
            _, messages = run.communicate(timeout=120)
            self.assertEqual(run.returncode, 130, messages)
            # Tasks cancelled by the interruption are neither written nor failures.
            self.assertNotIn("the task failed", messages)
            if _lines(out) < expected.count("\n"):
                break
        self.assertLess(_lines(out), expected.count("\n"), "the run ended before Ctrl-C")
        with open(out) as f:
            self.assertTrue(expected.startswith(f.read()))
        resumed = subprocess.run([sys.executable, "-m", "pellix.batch", manifest, "--out",
                                  out, "--workers", "2", "--resume"],
                                 capture_output=True, text=True, check=False, timeout=600)
        self.assertEqual(resumed.returncode, status, resumed.stderr)
        with open(out) as f:
            self.assertEqual(f.read(), expected)

    def test_resume_after_a_failed_task_and_of_formula_names(self):
        # Speakers whose names a spreadsheet would run: the report writes them with an
        # apostrophe, and resume must still know them.
        renamed = os.path.join(self.folder.name, "renamed.csv")
        with open(self.manifest) as f:
            text = f.read().replace("\nalex,", "\n=alex,").replace("\nspeaker001,", "\n@s1,")
        with open(renamed, "w") as f:
            f.write(text)
        status, expected = pellix_analyze(renamed, "--format", "csv")
        lines = expected.splitlines(keepends=True)
        self.assertEqual(sum(line.startswith("'=alex,") for line in lines), 15)
        # A first run whose task for @s1 failed for good: its rows are missing; the last speaker
        # was cut short.
        out = os.path.join(self.folder.name, "failed.csv")
        with open(out, "w") as f:
            f.write("".join(line for line in lines[:-3] if not line.startswith("'@s1,")))
        done = subprocess.run([sys.executable, "-m", "pellix.batch", renamed, "--out", out,
                               "--scheduler", self.cluster.scheduler_address, "--resume"],
                              capture_output=True, text=True, check=False, timeout=600)
        self.assertEqual(status, 1)  # the corpus's missing and damaged takes
        self.assertEqual(done.returncode, 0, done.stderr)  # @s1 and the last, analysed again
        self.assertIn("2 speakers (38 already written)", done.stderr)
        with open(out) as f:  # @s1 written in its place
            self.assertEqual(f.read(), expected)


def _lines(path):
    try:
        with open(path) as f:
            return f.read().count("\n")
    except FileNotFoundError:
        return 0


if __name__ == "__main__":
    unittest.main()
