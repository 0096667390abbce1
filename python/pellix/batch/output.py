"""The CSV file a corpus run writes: the command's header, then each speaker's rows as one
block. Blocks go out whole, in manifest order, so an interrupted run leaves every speaker it
finished in the file, and a resumed run analyses exactly the speakers the file lacks."""

import os

from .. import _files
from .._csv import written_name
from . import csv_text


class OutputError(Exception):
    """An output file that cannot be written or resumed; the message names it."""


def _resume_point(text, path, speakers):
    """The speakers the file holds whole, the character offset to cut the text at, and the
    header kept. The last speaker's block may have been cut short, so that speaker is dropped
    and done again; a speaker absent from the file (its task failed) is done again too."""
    if "\n" not in text:
        return set(), 0, ""  # not even the header was written whole
    try:
        records = csv_text.records(text, path)
    except csv_text.CsvError:
        # A run killed inside a quoted field leaves it open; drop that last line.
        records = csv_text.records(text[:text.rfind("\n", 0, len(text) - 1) + 1], path)
    header = records[0].fields
    if "speaker" not in header:
        raise OutputError(f"cannot resume '{path}': it is not a corpus report (its header "
                          f"has no speaker column)")
    column = header.index("speaker")
    names = {written_name(s.speaker): s.speaker for s in speakers}
    done, last, last_offset = set(), None, None
    for record in records[1:]:
        name = record.fields[column] if column < len(record.fields) else ""
        if name not in names:
            raise OutputError(f"cannot resume '{path}': line {record.line} names the speaker "
                              f"'{name}', who is not in the manifest")
        if names[name] != last:
            if last is not None:
                done.add(last)
            last, last_offset = names[name], record.offset
    kept = text[:records[1].offset] if len(records) > 1 else text[:text.index("\n") + 1]
    if last is None:
        return set(), len(kept), kept
    return done, last_offset, kept


class Output:
    """The output file, opened for a run. ``done`` holds the speakers it already holds whole
    (empty unless resuming); ``todo(speakers)`` is the rest, in manifest order."""

    def __init__(self, path, speakers, resume):
        self.path = os.fspath(path)
        self.done = set()
        self.header = ""
        try:
            self.file = _files.open_output(self.path, resume)
        except _files.FileError as e:
            raise OutputError(str(e)) from None
        try:
            if resume:
                text = _files.read_regular(self.path, "report ", _files.REPORT_LIMIT)
                text = text.decode("utf-8", "surrogateescape")
                self.done, cut, self.header = _resume_point(text, self.path, speakers)
                self.file.truncate(len(text[:cut].encode("utf-8", "surrogateescape")))
                self.file.seek(0, os.SEEK_END)
        except BaseException as e:
            self.file.close()
            if isinstance(e, _files.FileError):
                raise OutputError(str(e)) from None
            if isinstance(e, OSError):
                raise OutputError(f"cannot write '{self.path}': {e.strerror}") from None
            raise

    def todo(self, speakers):
        return [s for s in speakers if s.speaker not in self.done]

    def _write(self, text):
        # Whole blocks at once, handed to the system, so that an interrupted run leaves every
        # finished speaker in the file.
        self.file.write(text.encode("utf-8", "surrogateescape"))
        self.file.flush()

    def write_speaker(self, header, body):
        """A speaker's rows; the header first when the file has none."""
        if not header:
            return
        if not self.header:
            self.header = header
            self._write(header)
        elif header != self.header:
            raise OutputError(f"cannot resume '{self.path}': it was written by another version "
                              f"of pellix (its header is {self.header.strip()!r}, this one's "
                              f"{header.strip()!r})")
        self._write(body)

    def close(self):
        os.fsync(self.file.fileno())
        self.file.close()
