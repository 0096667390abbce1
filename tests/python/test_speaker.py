"""pellix.Speaker and pellix.analyze give, field for field, the rows `pellix analyze --format
json` reports for the bundled recordings, whether a take is a path, its bytes or its samples;
failures are rows with the platform's error number."""

import ctypes
import json
import os
import pathlib
import subprocess
import tempfile
import unittest
import warnings
import wave

import numpy
import pandas

import pellix
import pellix.frame

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

    def test_one_type_per_key_in_results_and_frames(self):
        """Calibration rows, check rows, a failure and a profile: each key's attribute has the
        one type its column has, and the frame holds the same values."""
        kinds = {int: ("code", "lie_stress", "global_stress", "excitement_stress",
                       "profile_checks", "error_number"),
                 float: ("thorn_rate", "jump_rate", "jump_spread", "avg_jump_len",
                         "cal_thorn_rate", "cal_jump_rate", "cal_jump_spread",
                         "cal_avg_jump_len", "recording_s", "stretch_s", "peak_dbfs",
                         "pitch_hz", "voiced_share"),
                 str: ("speaker", "role", "file", "meaning", "error_message", "profile")}
        rec = os.path.join(EXAMPLES, "recordings")
        with pellix.Speaker() as control:
            results = [control.calibrate(os.path.join(rec, f"alex_calibrate_{i}.wav"))
                       for i in (1, 2, 3)]
            results += [control.check(os.path.join(rec, "alex_check_01.wav")),
                        control.check(os.path.join(rec, "none.wav")), control.profile()]
        for kind, keys in kinds.items():
            for key in keys:
                for i, result in enumerate(results):
                    value = getattr(result, key)
                    self.assertTrue(value is None or type(value) is kind, (i, key, value))
        # The control's whole figures are floats too: the calibrations' jump spread, as a
        # check's.
        self.assertIsInstance(results[0].jump_spread, float)
        self.assertIsInstance(results[3].jump_spread, float)
        failure, profile = results[4], results[5]
        self.assertEqual((failure.code, failure.error_number, failure.flags), (None, 53, None))
        self.assertIsNone(profile.flags)
        self.assertIsInstance(results[3].flags, list)
        table = pellix.frame.frame([r.row for r in results], [*pellix._analysis.report_keys()])
        for i, result in enumerate(results):
            for key in kinds[int] + kinds[float] + kinds[str]:
                cell = table[key][i]
                want = getattr(result, key)
                if want is None:
                    self.assertTrue(pandas.isna(cell), (i, key, cell))
                else:
                    self.assertEqual(cell, want, (i, key))

    def test_refused_as_the_library_counts_it(self):
        """-1 for a calibration or a check refuses the take; a verdict, an accepted
        calibration and a failure do not."""
        rec = os.path.join(EXAMPLES, "recordings")
        silence = numpy.zeros(8000, dtype=numpy.int16)
        short = samples(os.path.join(rec, "alex_check_01.wav"))[0][:400]
        with pellix.Speaker() as control:
            cases = [(control.calibrate(silence, rate=8000), -1, True),
                     (control.calibrate(os.path.join(rec, "alex_calibrate_1.wav")), 0, False),
                     (control.check(short, rate=8000), -1, True),
                     (control.check(os.path.join(rec, "alex_check_01.wav")), 1, False),
                     (control.check(os.path.join(rec, "none.wav")), None, False)]
        for i, (result, code, refused) in enumerate(cases):
            self.assertEqual((result.code, result.refused), (code, refused), i)

    def test_the_take_results_numbers_are_report_keys_of_their_type(self):
        """PellixTakeResult, as the package declares it, names its numbers and texts after the
        report keys the library declares, with their types."""
        types = pellix._analysis.report_key_types()
        own = {"error_message": "text", "warnings": None, "json": None, "csv": None,
               "refused": None}
        kinds = {ctypes.c_double: ("real", "whole"), ctypes.c_char_p: ("text",),
                 ctypes.c_int32: ("whole",), ctypes.c_uint32: ("flags",)}
        for name, ctype in pellix._analysis.TakeResult._fields_:
            if name in own:
                continue
            self.assertIn(types.get(name), kinds[ctype], name)
        self.assertEqual([k for k in types if k not in ("stream_start_s", "stream_end_s")],
                         list(pellix._analysis.report_keys()))

    def test_a_take_that_cannot_be_read_is_a_row_never_an_exception(self):
        with pellix.Speaker() as control:
            for take, number, shown in [("memory://nothing.wav", 53, "memory://nothing.wav"),
                                        (b"RIFF....", 321, "bytes #2")]:
                result = control.check(take)
                self.assertEqual((result.error_number, result.code, result.file),
                                 (number, None, shown), take)
                self.assertIn(shown, result.error_message)
            for take, options, error in [(3.5, {}, TypeError),
                                         (numpy.zeros(4, numpy.int16), {}, TypeError),
                                         (numpy.zeros((2, 2, 2)), {"rate": 8000}, ValueError)]:
                with self.assertRaises(error):
                    control.check(take, **options)

    def test_takes_in_memory_are_named_by_their_place(self):
        path = os.path.join(EXAMPLES, "recordings", "alex_check_01.wav")
        data, rate = samples(path)
        with pellix.Speaker() as control:
            files = [control.calibrate(pathlib.Path(path).read_bytes()).file,
                     control.calibrate(data, rate=rate).file,
                     control.check(path).file,
                     control.check(data, rate=rate, name="mine").file,
                     control.check(pathlib.Path(path).read_bytes()).file]
        self.assertEqual(files, ["bytes #1", "samples #2", path, "mine", "bytes #5"])

    def test_parameters_that_refuse_every_take_warn(self):
        for params, warned in [
                (pellix.DEFAULT_PARAMS, []),
                # Jumps of 0 to 0 positions: every take refused as silent, and length-0 jumps.
                ("abc", ["every take is refused as silent", "a jump of length 0"]),
                # Background border 50 at a gain of 1/3: no sample reaches 127 / 3 = 42.
                ("000023000050000100", ["no sample can be louder than 42"])]:
            with warnings.catch_warnings(record=True) as caught:
                warnings.simplefilter("always")
                pellix.Speaker(params=params).close()
            texts = [str(w.message) for w in caught if w.category is pellix.ParameterWarning]
            self.assertEqual(len(texts), len(warned), (params, texts))
            for text, words in zip(texts, warned):
                self.assertTrue(text.startswith("params: ") and words in text, (params, text))

    def test_exceptions_are_exported_and_documented(self):
        for name, bases in [("PellixError", (Exception,)), ("AnalysisError", (Exception,)),
                            ("ManifestError", (pellix.AnalysisError, ValueError)),
                            ("FileError", (OSError,)), ("ParameterWarning", (UserWarning,))]:
            error = getattr(pellix, name)
            self.assertIn(name, pellix.__all__)
            self.assertIn(name, pellix.__doc__)
            for base in bases:
                self.assertTrue(issubclass(error, base), (name, base))
        with self.assertRaises(pellix.ManifestError) as raised:
            pellix.analyze(os.path.join(EXAMPLES, "no_such_manifest.csv"))
        self.assertEqual(raised.exception.number, 53)
        for method in (pellix.Speaker.calibrate, pellix.Speaker.check, pellix.Speaker.profile,
                       pellix.Speaker.save, pellix.Speaker.close):
            self.assertTrue(method.__doc__, method.__name__)

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
        self.assertEqual(str(table["thorn_rate"].dtype), "Float64")
        self.assertEqual(table["error_number"].tolist()[-1], 53)
        expected = self.expected("alex")[3]
        self.assertEqual(table["lie_stress"][3], expected["lie_stress"])


if __name__ == "__main__":
    unittest.main()
