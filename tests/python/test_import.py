"""What ``import pellix`` costs: no library, not even ctypes, until a name that needs one is
used; every public name is still there, by attribute, ``from pellix import``, and ``*``."""

import os
import subprocess
import sys
import tempfile
import unittest


def _python(code, *args):
    return subprocess.run([sys.executable, "-c", code, *args], capture_output=True, text=True,
                          env=os.environ, check=False, timeout=120)


class ImportTest(unittest.TestCase):
    def test_importing_loads_nothing_heavy(self):
        done = _python("import sys, pellix; "
                       "print(sorted(m for m in ('ctypes', 'json', 'uuid', 'numpy', 'pandas', "
                       "'dask', 'distributed', 'pellix.control', 'pellix.batch') "
                       "if m in sys.modules))")
        self.assertEqual(done.stdout.strip(), "[]", done.stderr)

    def test_every_public_name_is_there(self):
        done = _python("import pellix\n"
                       "from pellix import Speaker, analyze\n"
                       "names = {}\n"
                       "exec('from pellix import *', names)\n"
                       "assert Speaker is pellix.Speaker and analyze is pellix.analyze\n"
                       "print(sorted(n for n in names if not n.startswith('_')))\n"
                       "print(pellix.DEFAULT_PARAMS == pellix.speaker.DEFAULT_PARAMS)\n"
                       "try:\n"
                       "    pellix.Nothing\n"
                       "except AttributeError as e:\n"
                       "    print(e)\n")
        self.assertEqual(done.stdout.splitlines(), [
            "['AnalysisError', 'Control', 'DEFAULT_PARAMS', 'FileError', 'ManifestError', "
            "'Member', 'ParameterWarning', 'PellixError', 'Result', 'Speaker', 'analyze', "
            "'find_library']",
            "True",
            "module 'pellix' has no attribute 'Nothing'"], done.stderr)

    def test_a_run_on_local_threads_loads_no_dask_nor_pandas(self):
        manifest = os.path.join(os.environ["PELLIX_SOURCE_DIR"], "examples", "manifest.csv")
        with tempfile.TemporaryDirectory() as folder:
            done = _python("import sys\n"
                           "from pellix.batch.__main__ import main\n"
                           "status = main(sys.argv[1:])\n"
                           "print(status, sorted(m for m in ('dask', 'distributed', 'pandas') "
                           "if m in sys.modules))",
                           manifest, "--workers", "2", "--out", os.path.join(folder, "out.csv"))
            with open(os.path.join(folder, "out.csv")) as f:
                rows = f.read().splitlines()
        self.assertEqual(done.stdout.strip(), "0 []", done.stderr)
        # The bundled manifest's 30 takes, under the header, as the command writes them.
        self.assertEqual(len(rows), 31)
        self.assertTrue(rows[0].startswith("speaker,role,file,"))

    def test_processes_are_for_the_local_cluster_only(self):
        done = subprocess.run([sys.executable, "-m", "pellix.batch", "m.csv", "--out", "x.csv",
                               "--scheduler", "tcp://127.0.0.1:1", "--processes"],
                              capture_output=True, text=True, check=False, timeout=120)
        self.assertEqual(done.returncode, 2)
        self.assertIn("--processes is for the local cluster", done.stderr)


if __name__ == "__main__":
    unittest.main()
