"""Report rows as a typed DataFrame, and takes given as paths, URLs, bytes or samples, checked
against what `pellix analyze --format json` reports."""

import json
import os
import subprocess
import tempfile
import unittest

import pandas

from pellix import _files, frame, takes

SOURCE = os.environ.get("PELLIX_SOURCE_DIR", ".")
PELLIX = os.environ.get("PELLIX_BINARY", "pellix")
KEYS = ("speaker", "role", "file", "code", "meaning", "lie_stress", "global_stress",
        "excitement_stress", "thorn_rate", "jump_rate", "jump_spread", "avg_jump_len",
        "cal_thorn_rate", "cal_jump_rate", "cal_jump_spread", "cal_avg_jump_len", "recording_s",
        "stretch_start_s", "stretch_end_s", "stretch_s", "peak_dbfs", "rms_dbfs",
        "clipped_source", "clipped_8bit", "pitch_hz", "voiced_share", "flags", "refusal",
        "advice", "profile", "profile_checks", "error_number", "error_message")


def command_rows(folder):
    """The command's json rows for alex's takes, a missing take and a profile."""
    rec = os.path.join(SOURCE, "examples", "recordings")
    args = [PELLIX, "analyze", "--format", "json", "--profile"]
    for i in (1, 2, 3):
        args += ["--calibrate", os.path.join(rec, f"alex_calibrate_{i}.wav")]
    args += ["--check", os.path.join(rec, "alex_check_01.wav"), "--check",
             os.path.join(folder, "missing.wav")]
    done = subprocess.run(args, capture_output=True, text=True, check=False)
    return [json.loads(line) for line in done.stdout.splitlines()]


class FrameTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with tempfile.TemporaryDirectory() as folder:
            cls.rows = command_rows(folder)
        cls.table = frame.frame(cls.rows, KEYS)

    def test_types(self):
        for columns, dtype in [
            (("code", "lie_stress", "global_stress", "excitement_stress", "profile_checks",
              "error_number"), "Int64"),
            (("thorn_rate", "cal_avg_jump_len", "recording_s", "stretch_s", "peak_dbfs",
              "clipped_8bit", "pitch_hz", "voiced_share"), "Float64"),
            (frame.FLAGS, "boolean"),
            (("role",), "category"),
            (("speaker", "file", "meaning", "refusal", "advice", "profile", "error_message"),
             "string"),
        ]:
            for column in columns:
                self.assertEqual(str(self.table[column].dtype), dtype, column)
        self.assertNotIn("flags", self.table.columns)
        self.assertEqual(list(self.table["role"].cat.categories),
                         ["calibrate", "check", "profile", "state", "plot"])

    def test_values_are_the_reports(self):
        self.assertEqual(list(self.table["role"]),
                         ["calibrate"] * 3 + ["check"] * 2 + ["profile"])
        for i, row in enumerate(self.rows):
            for key in KEYS:
                if key == "flags":
                    continue
                cell = self.table[key][i]
                if row[key] is None:
                    self.assertTrue(pandas.isna(cell), (i, key))
                else:
                    self.assertEqual(cell, row[key], (i, key))
        missing = self.table.iloc[4]
        self.assertEqual(missing["error_number"], 53)
        self.assertTrue(pandas.isna(missing["code"]))
        # The flags of rows that analysed no recording (the failure, the profile) are missing,
        # not False; those of the analysed takes are known.
        flags = self.table[list(frame.FLAGS)]
        self.assertEqual(flags.isna().all(axis=1).tolist(), [False] * 4 + [True, True])
        # Every missing cell shows one way, whatever the column's type.
        shown = {str(v) for column in self.table.columns for v in self.table[column]
                 if pandas.isna(v)}
        self.assertEqual(shown, {"<NA>"})

    def test_flags_and_texts_where_numbers_belong(self):
        # A whole number that is NaN (a row read back through a float column) is missing too.
        rows = [{"flags": ["clipped", "steady_tone"], "lie_stress": "none", "code": -1},
                {"flags": [], "lie_stress": 12, "code": None}, {},
                {"lie_stress": float("nan"), "code": 2.0}]
        table = frame.frame(rows, ("code", "lie_stress", "flags"))
        self.assertEqual(table[list(frame.FLAGS)].values.tolist(),
                         [[True, False, False, False, True, False], [False] * 6, [pandas.NA] * 6,
                          [pandas.NA] * 6])
        self.assertEqual(table["lie_stress"].tolist(), [pandas.NA, 12, pandas.NA, pandas.NA])
        self.assertEqual(table["code"].tolist(), [-1, pandas.NA, pandas.NA, 2])


class TakeTest(unittest.TestCase):
    def test_what_a_take_becomes(self):
        for given, kind, data, name in [
            ("a/b.wav", "path", "a/b.wav", "a/b.wav"),
            # The library decodes a file:// URL, as it does for every face.
            ("file:///tmp/a%20b.wav", "path", "file:///tmp/a%20b.wav", "file:///tmp/a%20b.wav"),
            ("FILE:///tmp/a.wav", "path", "FILE:///tmp/a.wav", "FILE:///tmp/a.wav"),
            (b"RIFF", "bytes", b"RIFF", "bytes"),
            (bytearray(b"xy"), "bytes", b"xy", "bytes"),
        ]:
            take = takes.take_of(given)
            self.assertEqual((take.kind, take.data, take.name), (kind, data, name), given)

    def test_samples(self):
        import numpy

        for array, rate, channels, dtype in [
            (numpy.zeros(10, numpy.int16), 8000, 1, numpy.int16),
            (numpy.zeros((10, 2), numpy.float32), 48000, 2, numpy.float32),
            (numpy.zeros((10, 2), numpy.float64)[::2], 44100, 2, numpy.float64),
            (numpy.zeros(4, numpy.float16), 8000, 1, numpy.float64),
        ]:
            take = takes.take_of(array, rate=rate)
            self.assertEqual((take.kind, take.rate, take.channels, take.data.dtype),
                             ("pcm", rate, channels, dtype))
            self.assertTrue(take.data.flags["C_CONTIGUOUS"])
        for array, rate, error in [(numpy.zeros(4, numpy.int16), None, TypeError),
                                   (numpy.zeros(4, numpy.int32), 8000, TypeError),
                                   (numpy.zeros((2, 2, 2)), 8000, ValueError)]:
            with self.assertRaises(error):
                takes.take_of(array, rate=rate)

    def test_urls_through_fsspec(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "a.bin")
            with open(path, "wb") as f:
                f.write(b"12345")
            self.assertEqual(takes.read_url("file://" + path),
                             b"12345")
            self.assertEqual(takes.read_url("file://" + path, limit=5), b"12345")  # exactly
            with self.assertRaises(_files.FileError) as raised:
                takes.read_url("file://" + path, limit=4)
            self.assertEqual(raised.exception.number, 321)
            with self.assertRaises(_files.FileError) as raised:
                takes.read_url("file://" + os.path.join(folder, "none.wav"))
            self.assertEqual(raised.exception.number, 53)


if __name__ == "__main__":
    unittest.main()
