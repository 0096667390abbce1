"""The CSV file a corpus run writes: the header, then each speaker's rows as one block, in
manifest order. Because blocks go out in order, the file is at every moment a beginning of
the finished output, which is what lets an interrupted run resume."""

import os

from . import csv_text, rows


class OutputError(Exception):
    """An output file that cannot be written or resumed; the message names it."""


def _resume_point(text, path, speakers):
    """The manifest index to resume from and the character offset to cut the text at: the
    last speaker in the file is done again, since its block may have been cut short."""
    if "\n" not in text:
        return 0, 0  # not even the header was written whole
    try:
        records = csv_text.records(text, path)
    except csv_text.CsvError:
        # A run killed inside a quoted field leaves it open; drop that last line.
        cut = text.rfind("\n", 0, len(text) - 1) + 1
        records = csv_text.records(text[:cut], path)
    if not records:
        return 0, 0
    if tuple(records[0].fields) != rows.CSV_COLUMNS:
        raise OutputError(f"cannot resume '{path}': its header is not this program's "
                          f"({','.join(records[0].fields)})")
    order = {s.speaker: i for i, s in enumerate(speakers)}
    first_row, last = None, -1
    for record in records[1:]:
        i = order.get(record.fields[0])
        if i is None or i < last:
            why = "who is not in the manifest" if i is None else "out of manifest order"
            raise OutputError(f"cannot resume '{path}': line {record.line} names the speaker "
                              f"'{record.fields[0]}', {why}")
        if i != last:
            first_row, last = record, i
    if first_row is None:
        return 0, 0
    return last, first_row.offset


class Output:
    """The output file, opened for a run. ``first`` is the manifest index of the first speaker
    still to analyse (0 unless resuming)."""

    def __init__(self, path, speakers, resume):
        self.path = path
        self.first = 0
        try:
            if resume and os.path.exists(path):
                with open(path, "rb") as f:
                    text = f.read().decode("utf-8", "surrogateescape")
                self.first, cut = _resume_point(text, path, speakers)
                self.file = open(path, "r+b")
                self.file.truncate(len(text[:cut].encode("utf-8", "surrogateescape")))
                self.file.seek(0, os.SEEK_END)
            else:
                self.file = open(path, "wb")
            if self.file.tell() == 0:
                self.write(csv_text.line(rows.CSV_COLUMNS))
        except OSError as e:
            raise OutputError(f"cannot write '{path}': {e.strerror}") from None

    def write(self, text):
        """Writes whole lines at once and hands them to the system, so that an interrupted run
        leaves every finished speaker in the file."""
        self.file.write(text.encode("utf-8", "surrogateescape"))
        self.file.flush()

    def write_speaker(self, speaker_rows):
        self.write("".join(rows.csv_line(r) for r in speaker_rows if rows.in_csv(r)))

    def close(self):
        os.fsync(self.file.fileno())
        self.file.close()
