"""The CSV file a corpus run writes: the command's header, then each speaker's rows as one
block, in manifest order. Because blocks go out in order, the file is at every moment a
beginning of the finished output, which is what lets an interrupted run resume."""

import os

from . import csv_text


class OutputError(Exception):
    """An output file that cannot be written or resumed; the message names it."""


def _resume_point(text, path, speakers):
    """The manifest index to resume from, the character offset to cut the text at, and the
    header kept: the last speaker in the file is done again, since its block may have been
    cut short."""
    if "\n" not in text:
        return 0, 0, ""  # not even the header was written whole
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
    order = {s.speaker: i for i, s in enumerate(speakers)}
    first_row, last = None, -1
    for record in records[1:]:
        name = record.fields[column] if column < len(record.fields) else ""
        i = order.get(name)
        if i is None or i < last:
            why = "who is not in the manifest" if i is None else "out of manifest order"
            raise OutputError(f"cannot resume '{path}': line {record.line} names the speaker "
                              f"'{name}', {why}")
        if i != last:
            first_row, last = record, i
    kept = text[:records[1].offset] if len(records) > 1 else text[:text.index("\n") + 1]
    if first_row is None:
        return 0, len(kept), kept
    return last, first_row.offset, kept


class Output:
    """The output file, opened for a run. ``first`` is the manifest index of the first speaker
    still to analyse (0 unless resuming)."""

    def __init__(self, path, speakers, resume):
        self.path = path
        self.first = 0
        self.header = ""
        try:
            if resume and os.path.exists(path):
                with open(path, "rb") as f:
                    text = f.read().decode("utf-8", "surrogateescape")
                self.first, cut, self.header = _resume_point(text, path, speakers)
                self.file = open(path, "r+b")
                self.file.truncate(len(text[:cut].encode("utf-8", "surrogateescape")))
                self.file.seek(0, os.SEEK_END)
            else:
                self.file = open(path, "wb")
        except OSError as e:
            raise OutputError(f"cannot write '{path}': {e.strerror}") from None

    def _write(self, text):
        # Whole blocks at once, handed to the system, so that an interrupted run leaves every
        # finished speaker in the file.
        self.file.write(text.encode("utf-8", "surrogateescape"))
        self.file.flush()

    def write_speaker(self, run):
        """A speaker's rows; the header first when the file has none."""
        if not run.header:
            return
        if not self.header:
            self.header = run.header
            self._write(run.header)
        elif run.header != self.header:
            raise OutputError(f"cannot resume '{self.path}': it was written by another version "
                              f"of pellix (its header is {self.header.strip()!r}, this one's "
                              f"{run.header.strip()!r})")
        self._write(run.body)

    def close(self):
        os.fsync(self.file.fileno())
        self.file.close()
