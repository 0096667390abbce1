"""Errors of files the package reads itself (recordings at URLs, through fsspec): the
platform's error number, and a message that names the file, as the library words its own."""

FILE_NOT_FOUND, PERMISSION_DENIED, PATH_FILE_ACCESS_ERROR, INVALID_FILE_FORMAT = 53, 70, 75, 321


class FileError(OSError):
    """A file that cannot be read; ``number`` is the platform's error number and ``str()``
    names the file and says why."""

    def __init__(self, number, message):
        super().__init__(message)
        self.number = number

    def __str__(self):
        return self.args[0]


def fail(number, action, what, path, why):
    raise FileError(number, f"cannot {action} {what}'{path}': {why} (error {number})")
