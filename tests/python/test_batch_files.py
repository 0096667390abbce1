"""The files a corpus run reads and writes: the manifest, file names as the command shows
them, and the output file an interrupted run resumes; all without Dask."""

import os
import sys
import tempfile
import unittest

# Everything here works where Dask is not installed: the imports below would fail otherwise.
sys.modules.update(dask=None, distributed=None)

from pellix import _csv, _files
from pellix.batch import corpus, manifest, output, speaker


class ManifestTest(unittest.TestCase):
    def test_names_shown_as_the_command_shows_them(self):
        for given, shown in [
            ("examples/recordings/a.wav", "examples/recordings/a.wav"),
            ("a//b.wav", "a/b.wav"),
            ("./a/./b.wav", "a/b.wav"),
            ("a/../b.wav", "b.wav"),
            ("a/../../b.wav", "../b.wav"),
            ("/../b.wav", "/b.wav"),
            ("a/b/..", "a/"),
            ("a/.", "a/"),
            ("a/..", "."),
        ]:
            self.assertEqual(manifest.normal_name(given), shown, given)

    def test_speakers_in_order_of_first_line_takes_in_manifest_order(self):
        text = ('\ufeffFile, Role ,speaker,notes\n'
                'x/1.wav,calibrate,bo,\n'
                '\n'
                '"y, z.wav",CHECK,al,"a ""b""\nc"\n'
                ' x/2.wav ,check, bo ,\n'
                '/abs/3.wav,calibrate,bo,\n')
        speakers = manifest.parse(text, "m.csv", "dir", base="/base")
        self.assertEqual([s.speaker for s in speakers], ["bo", "al"])
        bo, al = speakers
        self.assertEqual([t.name for t in bo.calibrations], ["dir/x/1.wav", "/abs/3.wav"])
        self.assertEqual([t.name for t in bo.checks], ["dir/x/2.wav"])
        self.assertEqual([t.name for t in al.checks], ["dir/y, z.wav"])
        self.assertEqual(al.checks[0].base, "/base")

    def test_refused_manifests_name_file_and_line(self):
        for text, message in [
            ("", "m.csv: the manifest is empty"),
            ("speaker,role,file\n", "m.csv: the manifest lists no takes"),
            ("speaker,role\n", "m.csv:1: the header must name the columns speaker, role and file "
                               "(found 'speaker,role')"),
            ("speaker,role,file,Role\n", "m.csv:1: the header names the column 'role' twice"),
            ("speaker,role,file\na,check\n", "m.csv:2: 2 fields where the header has 3"),
            ("speaker,role,file\n\na,chek,x\n", "m.csv:3: the role must be calibrate or check, "
                                                "not 'chek'"),
            ("speaker,role,file\n,check,x\n", "m.csv:2: the speaker is empty"),
            ("speaker,role,file\na,check,\n", "m.csv:2: the file is empty"),
            ('speaker,role,file\na,check,"x\n', "m.csv:2: a quoted field is not closed"),
            ('speaker,role,file\na,check,"x"y\n', "m.csv:2: text after the closing quote of a field"),
            ('speaker,role,file\na,check,x"y\n', "m.csv:2: a quote inside a field that does not "
                                                 "start with one"),
        ]:
            with self.assertRaises(manifest.ManifestError) as raised:
                manifest.parse(text, "m.csv", "")
            self.assertEqual(str(raised.exception), message, repr(text))


class CsvFieldTest(unittest.TestCase):
    def test_fields_as_the_report_writes_them(self):
        for text, written in [
            ("abc", "abc"), ("a,b", '"a,b"'), ('say "hi"', '"say ""hi"""'), (" x", '" x"'),
            ("x\t", '"x\t"'), ("\ufeffa", '"\ufeffa"'), ("a\nb", '"a\nb"'),
            ("=1+2", "'=1+2"), ("-", "'-"), ("@x,y", '"\'@x,y"'), ("+a", "'+a"),
            ("-1", "-1"), ("-1e5", "-1e5"), ("+.5", "+.5"), ("-1.", "-1."), ("-.e1", "'-.e1"),
            ("-1e", "'-1e"), ("-١", "'-١"), ("", ""),
        ]:
            self.assertEqual(_csv.field(text), written, repr(text))


class GroupTest(unittest.TestCase):
    def test_tasks_are_runs_of_speakers_of_enough_takes(self):
        def speakers(*takes):
            return [manifest.Speaker(f"s{i}", checks=[None] * n) for i, n in enumerate(takes)]

        for takes, sizes in [((), []), ((6,) * 10, [5, 5]), ((6,) * 11, [5, 5, 1]),
                             ((40, 1, 29, 30), [1, 2, 1]), ((29,), [1])]:
            groups = corpus.grouped(speakers(*takes), 30)
            self.assertEqual([len(g) for g in groups], sizes, takes)
            self.assertEqual([s for g in groups for s in g], speakers(*takes))


class WorkerTakeTest(unittest.TestCase):
    def test_what_a_worker_hands_the_library(self):
        text = ("speaker,role,file\n"
                "a,check,x/1.wav\n"
                "a,check,/abs/2.wav\n"
                "a,check,file:///abs/a%20b.wav\n"
                "a,check,s3://bucket/dir/../3.flac\n")
        takes = manifest.parse(text, "m.csv", "dir", base="/base")[0].checks
        self.assertEqual([t.name for t in takes], ["dir/x/1.wav", "/abs/2.wav",
                                                   "file:///abs/a%20b.wav",
                                                   "s3://bucket/dir/../3.flac"])
        self.assertEqual([(g.kind, g.data) for g in map(speaker._take, takes[:3])],
                         [("path", "/base/dir/x/1.wav"), ("path", "/abs/2.wav"),
                          ("path", "/abs/a b.wav")])
        # From the folder the manifest was read in, relative paths stay as the command has them
        here = manifest.parse(text, "m.csv", "dir")[0].checks[0]
        self.assertEqual(speaker._take(here).data, "dir/x/1.wav")


class OutputTest(unittest.TestCase):
    SPEAKERS = [manifest.Speaker(name) for name in ("a", "b", "c", "d", "=x", "-1", "@y")]
    HEADER = "speaker,role,file\n"

    def resume(self, text, rows=None):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "out.csv")
            with open(path, "w") as f:
                f.write(text)
            out = output.Output(path, self.SPEAKERS, resume=True)
            if rows:
                out.write_speaker(*rows)
            out.close()
            with open(path) as f:
                return [s.speaker for s in out.todo(self.SPEAKERS)], f.read()

    def test_resume_does_the_last_and_every_absent_speaker_again(self):
        a, b1, b2, c = "a,check,x\n", "b,check,y\n", 'b,check,"z\n', "c,check,x\n"
        every = [s.speaker for s in self.SPEAKERS]
        for text, todo, kept in [
            ("", every, ""),
            (self.HEADER[:10], every, ""),
            (self.HEADER, every, self.HEADER),
            (self.HEADER + a, every, self.HEADER),
            (self.HEADER + a + b1, every[1:], self.HEADER + a),
            (self.HEADER + a + b1 + b2, every[1:], self.HEADER + a),  # cut inside a quoted field
            (self.HEADER + c + "d,chec", ["a", "b", "d", "=x", "-1", "@y"], self.HEADER + c),
            # b's task failed for good in the first run: it has no rows and is done again
            (self.HEADER + a + c + c + "d,check,x\n", ["b", "d", "=x", "-1", "@y"],
             self.HEADER + a + c + c),
            # names a spreadsheet would run are written with an apostrophe, numbers as they are
            (self.HEADER + "'=x,check,x\n-1,check,x\n'@y,check,x\n", every[:4] + ["@y"],
             self.HEADER + "'=x,check,x\n-1,check,x\n"),
        ]:
            self.assertEqual(self.resume(text), (todo, kept), repr(text))

    def test_resume_refuses_a_file_of_another_run(self):
        rows = ("speaker,kind,file\n", "a,check,x\n")
        for text, given in [("file,role\n", None), (self.HEADER + "e,check,x\n", None),
                            (self.HEADER + "=x,check,x\n", None), (self.HEADER, rows)]:
            with self.assertRaises(output.OutputError):
                self.resume(text, given)


class GuardedFilesTest(unittest.TestCase):
    """A manifest or report that is no regular file, or far too large, fails at once with the
    platform's number instead of hanging or filling memory."""

    def test_refused_files(self):
        with tempfile.TemporaryDirectory() as folder:
            fifo = os.path.join(folder, "fifo")
            os.mkfifo(fifo)
            cases = [(fifo, "it is a pipe, not a regular file (error 75)"),
                     (folder, "it is a directory, not a regular file (error 75)"),
                     ("/dev/zero", "it is a character device, not a regular file (error 75)"),
                     (os.path.join(folder, "none"), "No such file or directory (error 53)")]
            for path, why in cases:
                with self.assertRaises(manifest.ManifestError) as raised:
                    manifest.read(path)
                self.assertEqual(str(raised.exception), f"cannot read manifest '{path}': {why}")
                if not path.endswith("none"):
                    with self.assertRaises(output.OutputError) as raised:
                        output.Output(path, [], resume=True)
                    self.assertIn(f"'{path}': {why}", str(raised.exception))

    def test_a_manifest_beyond_the_limit(self):
        with tempfile.NamedTemporaryFile() as f:
            f.truncate(_files.MANIFEST_LIMIT + 1)
            with self.assertRaises(manifest.ManifestError) as raised:
                manifest.read(f.name)
            self.assertIn(f"holds more than {_files.MANIFEST_LIMIT} bytes (error 321)",
                          str(raised.exception))


if __name__ == "__main__":
    unittest.main()
