"""The ``pellix`` program, which every worker runs: the command's own analysis, conversion and
report, so a corpus run prints exactly what ``pellix analyze`` prints."""

import os
import shutil


class ProgramMissing(FileNotFoundError):
    """No ``pellix`` program on this worker."""


def pellix_command():
    """The ``pellix`` program: $PELLIX_COMMAND, else beside the library named by
    $PELLIX_LIBRARY (an installed prefix's bin/, or a build tree's host/), else on PATH."""
    named = os.environ.get("PELLIX_COMMAND")
    if named:
        return named
    library = os.environ.get("PELLIX_LIBRARY")
    if library:
        folder = os.path.dirname(os.path.abspath(library))
        for candidate in (os.path.join(folder, "..", "bin", "pellix"),
                          os.path.join(folder, "..", "host", "pellix")):
            if os.access(candidate, os.X_OK):
                return os.path.normpath(candidate)
    found = shutil.which("pellix")
    if found:
        return found
    raise ProgramMissing("this worker has no pellix program: install it, put it on PATH or "
                         "name it in PELLIX_COMMAND")
