"""Takes made ready for the control inside a worker: a sample file is used as it is, any other
recording is converted by ``pellix convert``, the converter ``pellix analyze`` itself uses, so
the control reads the very bytes the command would give it."""

import errno
import os
import shutil
import stat
import subprocess

SAMPLE_FILE_SIGNATURE = b"PLXSMP01"

# Platform error numbers of the take failures the command reports.
INVALID_PROCEDURE_CALL = 5
FILE_NOT_FOUND = 53
PERMISSION_DENIED = 70
PATH_FILE_ACCESS_ERROR = 75
INVALID_FILE_FORMAT = 321


class TakeError(Exception):
    """A take that cannot be made ready: its platform error number and a message naming it."""

    def __init__(self, number, message):
        super().__init__(message)
        self.number = number
        self.message = message


def file_error_number(errno_value):
    if errno_value in (errno.ENOENT, errno.ENOTDIR):
        return FILE_NOT_FOUND
    if errno_value in (errno.EACCES, errno.EPERM, errno.EROFS):
        return PERMISSION_DENIED
    return PATH_FILE_ACCESS_ERROR


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
                          os.path.join(folder, "..", "host", "pellix"),
                          os.path.join(folder, "host", "pellix")):
            if os.access(candidate, os.X_OK):
                return os.path.normpath(candidate)
    found = shutil.which("pellix")
    if found:
        return found
    raise TakeError(FILE_NOT_FOUND, "the pellix program is needed to convert recordings: set "
                                    "PELLIX_COMMAND to its path or put it on PATH")


def _where(take):
    """The take's path as this worker opens it: from the client's folder when that exists
    here, else as the manifest named it."""
    if os.path.isabs(take.path) or not os.path.isdir(take.base):
        return take.path, None
    return take.path, take.base


def _open_error(e, take):
    return TakeError(file_error_number(e.errno),
                     f"cannot open sample file '{take.path}': {os.strerror(e.errno)}")


def is_sample_file(path):
    """A file named *.smp (any case) or starting with the sample-file signature."""
    if path.lower().endswith(".smp"):
        return True
    try:
        with open(path, "rb") as f:
            return f.read(len(SAMPLE_FILE_SIGNATURE)) == SAMPLE_FILE_SIGNATURE
    except OSError:
        return False


def _check_sample_file(path, take):
    try:
        fd = os.open(path, os.O_RDONLY | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY)
    except OSError as e:
        raise _open_error(e, take) from None
    try:
        mode = os.fstat(fd).st_mode
    finally:
        os.close(fd)
    if not stat.S_ISREG(mode):
        kind = "a directory" if stat.S_ISDIR(mode) else "not a regular file"
        raise TakeError(PATH_FILE_ACCESS_ERROR,
                        f"cannot open sample file '{take.path}': it is {kind}")


class Preparer:
    """Sample files for one speaker's takes, converted into ``scratch``."""

    def __init__(self, scratch):
        self.scratch = scratch
        self.command = None  # found when the first recording needs converting
        self.count = 0

    def prepare(self, take):
        """The sample file for ``take``, as a path the control can open from anywhere."""
        path, cwd = _where(take)
        absolute = os.path.join(cwd, path) if cwd else os.path.abspath(path)
        if is_sample_file(absolute):
            _check_sample_file(absolute, take)
            return absolute
        self.command = self.command or pellix_command()
        self.count += 1
        stem = os.path.splitext(os.path.basename(path))[0]
        out = os.path.join(self.scratch, f"{self.count}-{stem}.smp")
        done = subprocess.run([self.command, "convert", path, out], cwd=cwd,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, check=False)
        if done.returncode != 0:
            raise _conversion_error(done, take)
        return out


def _conversion_error(done, take):
    """The converter says "pellix: MESSAGE (error N)" on its last line."""
    lines = done.stderr.decode("utf-8", "replace").strip().splitlines()
    text = lines[-1] if lines else ""
    text = text.removeprefix("pellix: ")
    number = INVALID_FILE_FORMAT
    if text.endswith(")") and " (error " in text:
        head, _, tail = text.rpartition(" (error ")
        if tail[:-1].isdigit():
            text, number = head, int(tail[:-1])
    return TakeError(number, text or f"{take.path}: pellix convert ended with status "
                                     f"{done.returncode}")
