"""The files a corpus run reads and writes: the manifest, file names as the command shows
them, and the output file an interrupted run resumes; all without Dask."""

import os
import sys
import tempfile
import types
import unittest

# Everything here works where Dask is not installed: the imports below would fail otherwise.
sys.modules.update(dask=None, distributed=None)

from pellix import _analysis
from pellix.batch import corpus, output, speaker


def parsed(text, folder="dir"):
    """The speakers of manifest ``text`` in ``folder``, read from a file there as a user would
    name it."""
    with tempfile.TemporaryDirectory() as root:
        os.makedirs(os.path.join(root, folder), exist_ok=True)
        with open(os.path.join(root, folder, "m.csv"), "w", newline="") as f:
            f.write(text)
        here = os.getcwd()
        os.chdir(root)
        try:
            return _analysis.read_manifest(os.path.join(folder, "m.csv")).speakers
        finally:
            os.chdir(here)


class ManifestTest(unittest.TestCase):
    """The library reads the manifest; these check what the package makes of it."""

    def test_speakers_in_order_of_first_line_takes_in_manifest_order(self):
        speakers = parsed('\ufeffFile, Role ,speaker,notes\n'
                          'x/1.wav,calibrate,bo,\n'
                          '\n'
                          '"y, z.wav",CHECK,al,"a ""b""\nc"\n'
                          ' ./x/../2.wav ,check, bo ,\n'
                          '/abs/3.wav,calibrate,bo,\n')
        self.assertEqual([s.speaker for s in speakers], ["bo", "al"])
        bo, al = speakers
        self.assertEqual([t.name for t in bo.calibrations], ["dir/x/1.wav", "/abs/3.wav"])
        self.assertEqual([t.name for t in bo.checks], ["dir/2.wav"])
        self.assertEqual([t.name for t in al.checks], ["dir/y, z.wav"])
        self.assertEqual((bo.takes, al.takes), (3, 1))

    def test_refused_manifests_name_file_and_line(self):
        for text, message in [
            ("", "dir/m.csv: the manifest is empty"),
            ("speaker,role,file\n", "dir/m.csv: the manifest lists no takes"),
            ("speaker,role,file\n\na,chek,x\n", "dir/m.csv:3: the role must be calibrate or "
                                                  "check, not 'chek'"),
            ('speaker,role,file\na,check,"x\n', "dir/m.csv:2: a quoted field is not closed"),
        ]:
            with self.assertRaises(_analysis.ManifestError) as raised:
                parsed(text)
            self.assertEqual((raised.exception.number, str(raised.exception)), (321, message))

    def test_frames_are_checked_as_manifests_are(self):
        try:
            import pandas
        except ImportError:
            self.skipTest("pandas is missing (python3-pandas)")

        frame = pandas.DataFrame({"speaker": ["a", "b", "a"], "role": ["check", "calibrate", None],
                                  "file": ["x.wav", "s3://b/y.wav", "z.wav"]})
        with self.assertRaises(_analysis.ManifestError) as raised:
            corpus.speakers_of(frame)
        self.assertEqual(str(raised.exception),
                         "manifest frame:3: the role must be calibrate or check, not ''")
        a, b = corpus.speakers_of(frame[:2])
        self.assertEqual([(t.path, t.name) for t in a.checks + b.calibrations],
                         [("x.wav", "x.wav"), ("s3://b/y.wav", "s3://b/y.wav")])


class GroupTest(unittest.TestCase):
    def test_tasks_are_runs_of_speakers_of_enough_takes(self):
        def speakers(*takes):
            return [_analysis.SpeakerTakes(f"s{i}", checks=[None] * n) for i, n in enumerate(takes)]

        for takes, sizes in [((), []), ((6,) * 10, [5, 5]), ((6,) * 11, [5, 5, 1]),
                             ((40, 1, 29, 30), [1, 2, 1]), ((29,), [1])]:
            groups = corpus.grouped(speakers(*takes), 30)
            self.assertEqual([len(g) for g in groups], sizes, takes)
            self.assertEqual([s for g in groups for s in g], speakers(*takes))


    def test_local_workers_hand_outcomes_in_manifest_order_and_let_each_go(self):
        import threading

        from pellix.batch.local import LocalWorkers

        # Three tasks of one speaker each; the first may end only after the others have, so the
        # order the rows come in is the manifest's, not the finishing order.
        speakers = [_analysis.SpeakerTakes(f"s{i}", checks=[None] * 30) for i in range(3)]
        released = threading.Event()

        def task(i):
            if i == 0:
                released.wait(10)
            return [f"row of s{i}"]

        with LocalWorkers(2) as pool:
            futures = [pool.submit(task, i, pure=False, key=f"k{i}") for i in range(3)]
            futures[2].result(10)
            released.set()
            rows = list(corpus.in_order(speakers, futures))
        self.assertEqual(rows, ["row of s0", "row of s1", "row of s2"])
        self.assertEqual(futures, [None, None, None])  # nothing of the run kept past its use


class WorkerTakeTest(unittest.TestCase):
    def test_what_a_worker_hands_the_library(self):
        text = ("speaker,role,file\n"
                "a,check,x/1.wav\n"
                "a,check,/abs/2.wav\n"
                "a,check,file:///abs/a%20b.wav\n"
                "a,check,s3://bucket/dir/../3.flac\n")
        here = os.getcwd()
        with tempfile.TemporaryDirectory() as root:
            os.makedirs(os.path.join(root, "dir"))
            with open(os.path.join(root, "dir", "m.csv"), "w") as f:
                f.write(text)
            os.chdir(root)
            try:
                takes = _analysis.read_manifest("dir/m.csv").speakers[0].checks
                # From the folder the manifest was read in, paths stay as the command has them
                self.assertEqual(speaker._take(takes[0]).data, "dir/x/1.wav")
            finally:
                os.chdir(here)
            self.assertEqual([t.name for t in takes], ["dir/x/1.wav", "/abs/2.wav",
                                                       "file:///abs/a%20b.wav",
                                                       "s3://bucket/dir/../3.flac"])
            # From elsewhere (a remote worker's folder), relative to the reader's.
            self.assertEqual([(g.kind, g.data) for g in map(speaker._take, takes[:3])],
                             [("path", os.path.join(root, "dir/x/1.wav")), ("path", "/abs/2.wav"),
                              ("path", "file:///abs/a%20b.wav")])


class OutputTest(unittest.TestCase):
    """The output file through the library: resumed as the command resumes, every speaker the
    file lacks written again in its place."""

    NAMES = ("a", "b", "c", "d", "=x", "-1", "@y")
    WRITTEN = {"=x": "'=x", "@y": "'@y"}

    def row(self, name, run):
        return f"{self.WRITTEN.get(name, name)},check,{run}\n"

    def resume(self, text):
        """The speakers the file had and the file after a resumed run writes the others."""
        with tempfile.TemporaryDirectory() as folder:
            manifest = _analysis.read_manifest(self.manifest(folder))
            path = os.path.join(folder, "out.csv")
            with open(path, "w") as f:
                f.write(text)
            out = output.Output(path, manifest, resume=True)
            todo = out.todo()
            for i in todo:
                out.write_speaker(i, self.row(self.NAMES[i], "new"))
            out.close()
            with open(path) as f:
                return ([n for i, n in enumerate(self.NAMES) if i not in todo], out.kept), f.read()

    def manifest(self, folder):
        path = os.path.join(folder, "m.csv")
        with open(path, "w") as f:
            f.write("speaker,role,file\n" + "".join(f"{n},check,x\n" for n in self.NAMES))
        return path

    def test_resume_does_the_last_and_every_absent_speaker_again(self):
        header = _analysis.csv_header()
        old = {n: self.row(n, "old") for n in self.NAMES}
        new = {n: self.row(n, "new") for n in self.NAMES}
        fresh = header + "".join(new.values())
        for text, had, after in [
            ("", [], fresh),
            ("x", [], fresh),  # only the start of a header
            (header, [], fresh),
            (header + old["a"], [], fresh),
            (header + old["a"] + old["b"], ["a"], header + old["a"] + "".join(
                new[n] for n in self.NAMES[1:])),
            # b's task failed for good in the first run: it has no rows and is done again
            (header + old["a"] + old["c"] + old["c"] + old["d"], ["a", "c"],
             header + old["a"] + new["b"] + old["c"] + old["c"] + "".join(
                 new[n] for n in self.NAMES[3:])),
            # names a spreadsheet would run are written with an apostrophe, numbers as they are
            (header + old["=x"] + old["-1"] + old["@y"], ["=x", "-1"],
             header + "".join(new[n] for n in "abcd") + old["=x"] + old["-1"] + new["@y"]),
        ]:
            self.assertEqual(self.resume(text), ((had, len(had)), after), repr(text))

    def test_resume_refuses_a_file_of_another_run(self):
        header = _analysis.csv_header()
        for text in ["file,role\n", header + "e,check,x\n", header + "=x,check,x\n",
                     header + "b,check,x\na,check,x\n"]:
            with self.assertRaises(output.OutputError) as raised:
                self.resume(text)
            self.assertIn("(error 321); it was left as it is", str(raised.exception))


class OverwriteTest(unittest.TestCase):
    def test_an_output_that_is_an_input_is_refused_and_left_as_it_is(self):
        import contextlib
        import importlib
        import io

        command = importlib.import_module("pellix.batch.__main__")
        with tempfile.TemporaryDirectory() as folder:
            take = os.path.join(folder, "a b.wav")
            manifest = os.path.join(folder, "m.csv")
            text = f"speaker,role,file\na,check,a b.wav\na,check,file://{folder}/a%20b.wav\n"
            for path, data in [(take, "RIFF"), (manifest, text)]:
                with open(path, "w") as f:
                    f.write(data)
            os.symlink(manifest, os.path.join(folder, "alias.csv"))
            for out, what in [(manifest, f"the manifest '{manifest}'"),
                              (os.path.join(folder, "alias.csv"), f"the manifest '{manifest}'"),
                              (take, f"the take '{take}'")]:
                err = io.StringIO()
                with contextlib.redirect_stderr(err):
                    status = command.main([manifest, "--out", out])
                self.assertEqual(status, 2, out)
                self.assertIn(f"--out '{out}' would overwrite {what}", err.getvalue())
            with open(manifest) as f:
                self.assertEqual(f.read(), text)
            with open(take) as f:
                self.assertEqual(f.read(), "RIFF")


class GuardedFilesTest(unittest.TestCase):
    """A manifest or report that is no regular file fails at once with the platform's number
    instead of hanging or filling memory."""

    def test_refused_files(self):
        with tempfile.TemporaryDirectory() as folder:
            fifo = os.path.join(folder, "fifo")
            os.mkfifo(fifo)
            manifest = _analysis.read_manifest(OutputTest().manifest(folder))
            for path, number, why in [(fifo, 75, "it is a pipe, not a regular file (error 75)"),
                                      (folder, 75, "it is a directory"),
                                      ("/dev/zero", 75, "it is a device, not a regular "
                                                        "file (error 75)"),
                                      (os.path.join(folder, "none"), 53,
                                       "No such file or directory (error 53)")]:
                with self.assertRaises(_analysis.ManifestError) as raised:
                    _analysis.read_manifest(path)
                self.assertEqual(raised.exception.number, number)
                self.assertTrue(str(raised.exception).startswith(
                    f"cannot read manifest '{path}': {why}"), str(raised.exception))
                if not path.endswith("none"):
                    with self.assertRaises(output.OutputError) as raised:
                        output.Output(path, manifest, resume=True)
                    self.assertIn(f"'{path}': {why}", str(raised.exception))

    def test_a_manifest_beyond_the_limit(self):
        with tempfile.NamedTemporaryFile() as f:
            f.truncate((64 << 20) + 1)
            with self.assertRaises(_analysis.ManifestError) as raised:
                _analysis.read_manifest(f.name)
            self.assertEqual(raised.exception.number, 321)


class TallyTest(unittest.TestCase):
    def test_refused_takes_are_those_the_library_says(self):
        """A check not analysed (-2) is refused as one too short (-1); a failure is not."""
        from pellix.batch.__main__ import _Tally
        from pellix.speaker import Result
        rows = [({"code": -1}, True), ({"code": -2}, True), ({"code": 3}, False),
                ({"code": None, "error_number": 53}, False)]
        run = types.SimpleNamespace(results=[Result(row, "", refused) for row, refused in rows],
                                    status=0, errors=[])
        tally = _Tally()
        tally.add(types.SimpleNamespace(takes=4), run, print)
        self.assertEqual((tally.takes, tally.refused, tally.failed), (4, 2, 0))
        self.assertIn("4 takes, 2 refused, 0 speakers with failures", tally.summary(0, 0))


if __name__ == "__main__":
    unittest.main()

