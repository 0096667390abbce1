"""Corpus runs on a local Dask cluster of two worker processes give exactly what
``pellix analyze --batch --format csv`` prints for the same manifest: with failing takes,
with a worker killed in the middle of the run, and after an interrupted run is resumed.

Needs $PELLIX_COMMAND (the pellix program) and the pellix package's library; skipped only
where Dask, distributed or pandas are missing."""

import json
import os
import signal
import subprocess
import sys
import tempfile
import time
import unittest

try:
    import distributed
    import pandas  # noqa: F401 - analyze returns a frame
except ImportError as missing:
    raise unittest.SkipTest(f"Dask is missing ({missing.name}): install python3-dask, "
                            "python3-distributed and python3-pandas (scripts/setup.sh)")

sys.path.insert(0, os.path.dirname(__file__))
import corpus_maker  # noqa: E402

from pellix import batch  # noqa: E402
from pellix.batch import corpus, csv_text  # noqa: E402

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
        table = batch.analyze(self.manifest, client=self.client, profile=True)
        # The command's CSV report with profiles, where it has them in CSV.
        status, text = pellix_analyze(self.manifest, "--format", "csv", "--profile")
        if status == 2 and not text:
            status, text = self.status, self.expected
        expected = csv_text.records(text, "expected")
        columns = expected[0].fields
        self.assertEqual(list(table.columns[:len(columns)]), columns)
        self.assertEqual(table[columns].values.tolist(), [r.fields for r in expected[1:]])
        self.assertEqual(status, 1)  # a missing and a damaged recording
        self.assertEqual(len(table.speaker.unique()), 40)
        silent = table[table.file.str.endswith("silent.wav")]
        self.assertEqual(list(silent.code), ["-1"])

        profiles = {s: p for s, p in zip(table.speaker, table.profile) if p}
        _, lines = pellix_analyze(self.manifest, "--format", "json", "--profile")
        records = [json.loads(line) for line in lines.splitlines()]
        self.assertEqual(profiles, {r["speaker"]: r["profile"] for r in records
                                    if r.get("kind", r.get("role")) == "profile"})
        self.assertNotEqual(profiles["alex"], "0")  # twelve checks
        self.assertEqual(profiles["speaker000"], "0")  # too few checks for a profile

    def test_a_worker_killed_mid_run_changes_nothing(self):
        speakers = corpus.speakers_of(self.manifest)
        futures = corpus.submit(self.client, speakers, batch.DEFAULT_PARAMS, False)
        distributed.wait(futures, return_when="FIRST_COMPLETED")
        busy = [w for w, keys in self.client.processing().items() if keys]
        self.assertTrue(busy, "no worker left busy to kill")
        pid = self.client.run(os.getpid, workers=busy[:1])[busy[0]]
        os.kill(pid, signal.SIGKILL)
        runs = list(corpus.in_order(speakers, futures))
        self.assertEqual(runs[0].header + "".join(r.body for r in runs), self.expected)

    def command(self, out, *options):
        return subprocess.Popen(
            [sys.executable, "-m", "pellix.batch", self.manifest, "--out", out,
             "--scheduler", self.cluster.scheduler_address, *options],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)

    def test_resume_after_an_interrupted_run(self):
        out = os.path.join(self.folder.name, "results.csv")
        first = self.command(out)
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


def _lines(path):
    try:
        with open(path) as f:
            return f.read().count("\n")
    except FileNotFoundError:
        return 0


if __name__ == "__main__":
    unittest.main()
