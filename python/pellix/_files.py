"""Files read and written as the command reads and writes them: never blocking on a pipe or a
device, regular files only, never more than a stated size, and errors that name the file and
carry the platform's error number."""

import errno
import os
import stat

# The most a manifest may hold (the command's limit for text files), and the most a report
# being resumed may hold: far more than any real one, far less than /dev/zero gives.
MANIFEST_LIMIT = 64 << 20
REPORT_LIMIT = 4 << 30

FILE_NOT_FOUND, PERMISSION_DENIED, PATH_FILE_ACCESS_ERROR, INVALID_FILE_FORMAT = 53, 70, 75, 321


class FileError(OSError):
    """A file that cannot be read or written; ``number`` is the platform's error number and
    ``str()`` names the file and says why."""

    def __init__(self, number, message):
        super().__init__(message)
        self.number = number

    def __str__(self):
        return self.args[0]


def _number(code):
    return {errno.ENOENT: FILE_NOT_FOUND, errno.ENOTDIR: FILE_NOT_FOUND,
            errno.EACCES: PERMISSION_DENIED, errno.EPERM: PERMISSION_DENIED}.get(
                code, PATH_FILE_ACCESS_ERROR)


def _not_regular(mode):
    for test, name in ((stat.S_ISDIR, "a directory"), (stat.S_ISFIFO, "a pipe"),
                       (stat.S_ISCHR, "a character device"), (stat.S_ISBLK, "a block device"),
                       (stat.S_ISSOCK, "a socket")):
        if test(mode):
            return f"it is {name}, not a regular file"
    return "" if stat.S_ISREG(mode) else "it is not a regular file"


def fail(number, action, what, path, why):
    raise FileError(number, f"cannot {action} {what}'{path}': {why} (error {number})")


def _open(path, flags, action, what):
    path = os.fspath(path)
    try:
        fd = os.open(path, flags | os.O_NONBLOCK | os.O_CLOEXEC | os.O_NOCTTY, 0o666)
    except OSError as e:
        why = _not_regular(stat.S_IFDIR) if e.errno == errno.EISDIR else e.strerror
        fail(_number(e.errno), action, what, path, why)
    try:
        why = _not_regular(os.fstat(fd).st_mode)
        if why:
            fail(PATH_FILE_ACCESS_ERROR, action, what, path, why)
        os.set_blocking(fd, True)
    except BaseException:
        os.close(fd)
        raise
    return fd


def read_regular(path, what, limit):
    """The bytes of the regular file at ``path`` (``what`` names its kind in messages, "manifest
    " with its blank), refusing more than ``limit`` bytes even from a file that grows."""
    fd = _open(path, os.O_RDONLY, "read", what)
    with os.fdopen(fd, "rb") as f:
        data = f.read(limit + 1)
    if len(data) > limit:
        fail(INVALID_FILE_FORMAT, "read", what, os.fspath(path),
              f"it holds more than {limit} bytes")
    return data


def open_output(path, append):
    """The regular file at ``path`` opened to write a report into: emptied, or kept to be
    appended to. A pipe, device or directory is refused before anything is written."""
    flags = os.O_RDWR | os.O_CREAT | (0 if append else os.O_TRUNC)
    return os.fdopen(_open(path, flags, "write", ""), "r+b")
