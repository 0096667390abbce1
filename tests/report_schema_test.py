"""Every json line pellix analyze and pellix listen write matches docs/report.schema.json, and
the csv header is the schema's keys in order (listen's with the stream's place). The README's
copies, its list of report keys and its table of result codes, say what the schema and
`pellix --help` say.

Run by ctest as: python3 report_schema_test.py PELLIX SOURCE_DIR
"""
import csv
import io
import json
import os
import re
import subprocess
import sys
import tempfile
import unittest

import jsonschema

PELLIX = SOURCE = None


def run(*arguments, cwd):
    return subprocess.run([PELLIX, *arguments], cwd=cwd, capture_output=True, text=True)


class ReportSchema(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "docs", "report.schema.json")) as f:
            cls.schema = json.load(f)
        jsonschema.Draft202012Validator.check_schema(cls.schema)
        cls.validator = jsonschema.Draft202012Validator(cls.schema)

    def test_every_kind_of_row_matches(self):
        recordings = os.path.join(SOURCE, "examples", "recordings")
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "bad.wav"), "w") as f:
                f.write("not a recording\n")
            with open(os.path.join(folder, "m.csv"), "w") as f:
                f.write("speaker,role,file\n")
                for i in (1, 2, 3):
                    f.write(f"alex,calibrate,{recordings}/alex_calibrate_{i}.wav\n")
                for i in range(1, 13):
                    f.write(f"alex,check,{recordings}/alex_check_{i:02d}.wav\n")
                f.write("alex,check,missing.wav\nalex,check,bad.wav\n")
                f.write(f"robin,check,{recordings}/robin_check_01.wav\n")
            outcome = run("analyze", "--batch", "m.csv", "--profile", "--format", "json", "-q",
                          cwd=folder)
            self.assertEqual(outcome.returncode, 1, outcome.stderr)
            lines = [json.loads(line) for line in outcome.stdout.splitlines()]
            roles = [line["role"] for line in lines]
            self.assertEqual(roles.count("calibrate"), 3)
            self.assertEqual(roles.count("profile"), 2)
            failures = [line for line in lines if line["error_number"] is not None]
            self.assertEqual([f["error_number"] for f in failures], [53, 321])
            # A state file that is no JSON: a failure row of role "state".
            with open(os.path.join(folder, "s.json"), "w") as f:
                f.write("{oops")
            state = run("analyze", "--state", "s.json", "--check", "bad.wav", "--format",
                        "json", cwd=folder)
            state_lines = [json.loads(line) for line in state.stdout.splitlines()]
            self.assertEqual([line["role"] for line in state_lines], ["state"])
            for line in lines + state_lines:
                errors = list(self.validator.iter_errors(line))
                self.assertEqual(errors, [], line)

            table = run("analyze", "--batch", "m.csv", "--profile", "--format", "csv", "-q",
                        cwd=folder)
            rows = list(csv.reader(io.StringIO(table.stdout)))
            keys = [k for k in self.schema["properties"] if k not in ("digits", "percentages")]
            stream_keys = ("stream_start_s", "stream_end_s")
            self.assertEqual(rows[0], [k for k in keys if k not in stream_keys])
            self.assertEqual(len(rows) - 1, len(lines))
            for row in rows[1:]:
                self.assertEqual(len(row), len(keys) - len(stream_keys), row)

            take = os.path.join(recordings, "alex_check_01.wav")
            listened = run("listen", "--input", take, "--calibrate", "0", "--format", "json", "-q",
                           cwd=folder)
            listen_lines = [json.loads(line) for line in listened.stdout.splitlines()]
            self.assertEqual([line["role"] for line in listen_lines], ["check", "profile"])
            for line in listen_lines:
                self.assertEqual(list(self.validator.iter_errors(line)), [], line)
            listened = run("listen", "--input", take, "--format", "csv", "-q", cwd=folder)
            self.assertEqual(next(csv.reader(io.StringIO(listened.stdout))), keys)


class ReadmeCopies(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as f:
            cls.readme = f.read()

    def test_report_keys_are_the_schemas(self):
        with open(os.path.join(SOURCE, "docs", "report.schema.json")) as f:
            schema = json.load(f)
        keys = [k for k in schema["properties"] if k not in ("digits", "percentages")]
        listed = re.search(r"report\.schema\.json\): `([^`]*)`", self.readme)
        self.assertIsNotNone(listed, "the README lists no report keys")
        self.assertEqual(re.split(r",\s+", listed.group(1)), keys)

    def test_result_table_is_the_helps(self):
        table = re.findall(r"^\| (-?\d) \| (.*) \|$", self.readme, re.MULTILINE)
        outcome = subprocess.run([PELLIX, "analyze", "--help"], capture_output=True, text=True)
        self.assertEqual(outcome.returncode, 0, outcome.stderr)
        helped = re.findall(r"^ +(-?\d)  (.*)$", outcome.stdout.split("Result codes", 1)[1],
                            re.MULTILINE)
        self.assertEqual(len(table), 12)
        self.assertEqual(table, helped[:len(table)])


if __name__ == "__main__":
    PELLIX, SOURCE = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1])
