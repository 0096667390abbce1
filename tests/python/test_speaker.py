"""pellix.Speaker and pellix.analyze give, field for field, the rows `pellix analyze --format
json` reports for the bundled recordings, whether a take is a path, its bytes or its samples;
failures are rows with the platform's error number."""

import json
import os
import pathlib
import subprocess
import tempfile
import unittest
import wave

import numpy
import pandas

import pellix

SOURCE = os.environ.get("PELLIX_SOURCE_DIR", ".")
EXAMPLES = os.path.join(SOURCE, "examples")
PELLIX = os.environ.get("PELLIX_BINARY", "pellix")


def command_rows(*args):
    done = subprocess.run([PELLIX, "analyze", "--format", "json", *args], capture_output=True,
                          text=True, check=False, cwd=EXAMPLES)
    return [json.loads(line) for line in done.stdout.splitlines()]


def manifest_takes(speaker):
    with open(os.path.join(EXAMPLES, "manifest.csv")) as f:
        lines = [line.strip().split(",") for line in f][1:]
    return [(role, file) for name, role, file in lines if name == speaker]


def samples(path):
    with wave.open(path, "rb") as w:
        data = numpy.frombuffer(w.readframes(w.getnframes()), dtype="<i2")
        return data.reshape(-1, w.getnchannels()), w.getframerate()


class SpeakerTest(unittest.TestCase):
    def session(self, speaker, take):
        """The rows of the bundled speaker's takes through pellix.Speaker, each take given as
        ``take(role, file)`` makes it, and the profile."""
        rows = []
        with pellix.Speaker() as control:
            for role, file in manifest_takes(speaker):
                given, options = take(os.path.join(EXAMPLES, file))
                analyse = control.calibrate if role == "calibrate" else control.check
                rows.append(analyse(given, name=file, **options).row)
            rows.append(control.profile().row)
        return rows

    def expected(self, speaker):
        args = ["--profile"]
        for role, file in manifest_takes(speaker):
            args += [f"--{role}", file]
        return command_rows(*args)

    def test_rows_as_the_command_reports_them(self):
        for speaker in ("alex", "robin"):
            expected = self.expected(speaker)
            self.assertEqual(len(expected), 16)
            for how, take in [("path", lambda p: (p, {})),
                              ("bytes", lambda p: (pathlib.Path(p).read_bytes(), {})),
                              ("samples", lambda p: (samples(p)[0], {"rate": samples(p)[1]}))]:
                got = self.session(speaker, take)
                for i, (row, want) in enumerate(zip(got, expected)):
                    for key, value in want.items():
                        if how != "path" and key == "file" and want["role"] == "profile":
                            continue
                        self.assertEqual(row.get(key), value, (speaker, how, i, key))

    def test_state_kept_between_speakers_as_between_runs(self):
        takes = manifest_takes("alex")
        calibrations = [f for role, f in takes if role == "calibrate"]
        check = next(f for role, f in takes if role == "check")
        with tempfile.TemporaryDirectory() as folder:
            ours, theirs = os.path.join(folder, "ours.json"), os.path.join(folder, "theirs.json")
            args = ["--state", theirs]
            for file in calibrations:
                args += ["--calibrate", file]
            command_rows(*args)
            expected = command_rows("--state", theirs, "--check", check)[0]
            with pellix.Speaker(state=ours) as control:
                for file in calibrations:
                    control.calibrate(os.path.join(EXAMPLES, file), name=file)
                control.save()
            with pellix.Speaker(state=ours) as control:
                self.assertEqual(control.check(os.path.join(EXAMPLES, check), name=check).row,
                                 expected)

    def test_failures_are_rows(self):
        with tempfile.TemporaryDirectory() as folder:
            missing = os.path.join(folder, "none.wav")
            fifo = os.path.join(folder, "fifo.wav")
            os.mkfifo(fifo)
            with pellix.Speaker() as control:
                for take, number in [(missing, 53), (fifo, 75), (b"not a recording", 321)]:
                    result = control.check(take)
                    self.assertEqual(result.error_number, number, take)
                    self.assertTrue(result.error_message)
                    self.assertIsNone(result.code)
        with self.assertRaises(AttributeError):
            result.no_such_key  # noqa: B018 - the attribute is the test

    def test_file_urls_are_read_by_the_library_and_nul_never_names_another_file(self):
        with tempfile.TemporaryDirectory() as folder:
            take = os.path.join(folder, "a b.smp")
            with open(os.path.join(EXAMPLES, "samples", "alex_check_01.smp"), "rb") as f:
                data = f.read()
            with open(take, "wb") as f:
                f.write(data)
            url = "file://" + folder.replace(" ", "%20") + "/a%20b.smp"
            with pellix.Speaker() as control:
                by_path = control.check(take).row
            for given, number, message in [
                (url, None, None),
                ("FILE://localhost" + folder + "/a%20b.smp", None, None),
                (take + "\0.x", 5, f"cannot open recording '{take}\\0.x': the name holds a NUL"),
                (url + "%00.x", 5, f"cannot open recording '{url}%00.x': the path it decodes "
                                   f"to holds a NUL"),
                ("file://elsewhere" + take, 75, "it names the host 'elsewhere'"),
            ]:
                with pellix.Speaker() as control:
                    row = control.check(given).row
                self.assertEqual(row["file"], given.replace("\0", "\\0"))
                self.assertEqual(row["error_number"], number, given)
                if number is None:
                    self.assertEqual({**row, "file": take}, by_path)
                else:
                    self.assertIn(message, row["error_message"])
        for make in [lambda: pellix.Speaker(name="a\0b"), lambda: pellix.Speaker(state="s\0.json"),
                     lambda: pellix.Speaker().check(b"RIFF", name="x\0y")]:
            with self.assertRaises(ValueError) as raised:
                make()
            self.assertEqual(raised.exception.number, 5)
            self.assertIn("holds a NUL character", str(raised.exception))

    def test_a_named_speakers_csv_rows_begin_with_the_name_as_the_report_writes_it(self):
        take = os.path.join(EXAMPLES, "samples", "alex_check_01.smp")
        with pellix.Speaker() as control:
            unnamed = control.check(take, name="t.smp").csv
        self.assertTrue(unnamed.startswith(",check,t.smp,"), unnamed)
        # A name a spreadsheet would run gets an apostrophe; a plain number, even signed, none.
        cases = [("@at", "'@at"), ("=eq", "'=eq"), ("+p", "'+p"), ("-x", "'-x"),
                 ("-1E-5", "-1E-5"), ("a,b", '"a,b"'), ("bo", "bo")]
        for name, written in cases:
            with pellix.Speaker(name=name) as control:
                self.assertEqual(control.check(take, name="t.smp").csv, written + unnamed, name)
                failure = control.failure("check", "x.wav", 53, "gone").csv
                self.assertTrue(failure.startswith(written + ",check,x.wav,,"), (name, failure))

    def test_analyze_gives_typed_rows(self):
        manifest = pandas.DataFrame({
            "speaker": ["alex"] * 4 + ["kim"],
            "role": ["calibrate"] * 3 + ["check", "check"],
            "file": [os.path.join(EXAMPLES, "recordings", f"alex_calibrate_{i}.wav")
                     for i in (1, 2, 3)] + [os.path.join(EXAMPLES, "recordings",
                                                         "alex_check_01.wav"), "none.wav"]})
        table = pellix.analyze(manifest, profile=False)
        self.assertEqual(list(table["speaker"]), ["alex"] * 4 + ["kim"])
        self.assertEqual(str(table["code"].dtype), "Int64")
        self.assertEqual(str(table["role"].dtype), "category")
        self.assertEqual(table["error_number"].tolist()[-1], 53)
        expected = self.expected("alex")[3]
        self.assertEqual(table["lie_stress"][3], expected["lie_stress"])


if __name__ == "__main__":
    unittest.main()
