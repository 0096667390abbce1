"""CSV as ``pellix analyze`` reads and writes it.

Reading follows RFC 4180 with the command's leniencies: a byte-order mark is dropped, blank
lines give no record, blanks around an unquoted field are dropped, and a quoted field may hold
commas, doubled quotes and line breaks.
"""

from dataclasses import dataclass


class CsvError(ValueError):
    """Text that is not CSV; the message names the source and the line."""


@dataclass
class Record:
    line: int  # where the record starts, 1-based
    offset: int  # its first character's index in the text
    fields: list


def _blank(c):
    return c in " \t"


def records(text, source):
    """The records of ``text`` in order. ``source`` names the text in messages."""
    return list(_Reader(text, source).records())


class _Reader:
    def __init__(self, text, source):
        self.text = text[1:] if text.startswith("\ufeff") else text
        self.source = source
        self.pos = 0
        self.line = 1

    def fail(self, line, what):
        raise CsvError(f"{self.source}:{line}: {what}")

    def at_line_end(self):
        t, p = self.text, self.pos
        return p >= len(t) or t[p] == "\n" or (t[p] == "\r" and (p + 1 == len(t) or t[p + 1] == "\n"))

    def end_line(self):
        if self.pos < len(self.text) and self.text[self.pos] == "\r":
            self.pos += 1
        if self.pos < len(self.text) and self.text[self.pos] == "\n":
            self.pos += 1
            self.line += 1

    def skip_blanks(self):
        while self.pos < len(self.text) and _blank(self.text[self.pos]):
            self.pos += 1

    def records(self):
        while self.pos < len(self.text):
            record = Record(self.line, self.pos, [])
            blank_line = True
            while True:
                field, quoted = self.field()
                if quoted or field:
                    blank_line = False
                record.fields.append(field)
                if self.pos < len(self.text) and self.text[self.pos] == ",":
                    self.pos += 1
                    blank_line = False
                    continue
                self.end_line()
                break
            if not blank_line:
                yield record

    def field(self):
        t = self.text
        self.skip_blanks()
        if self.pos < len(t) and t[self.pos] == '"':
            start_line = self.line
            self.pos += 1
            out = []
            while True:
                if self.pos >= len(t):
                    self.fail(start_line, "a quoted field is not closed")
                c = t[self.pos]
                self.pos += 1
                if c == '"':
                    if self.pos < len(t) and t[self.pos] == '"':
                        out.append('"')
                        self.pos += 1
                        continue
                    break
                if c == "\n":
                    self.line += 1
                out.append(c)
            self.skip_blanks()
            if not self.at_line_end() and t[self.pos] != ",":
                self.fail(self.line, "text after the closing quote of a field")
            return "".join(out), True
        start = self.pos
        while not self.at_line_end() and t[self.pos] != ",":
            if t[self.pos] == '"':
                self.fail(self.line, "a quote inside a field that does not start with one")
            self.pos += 1
        return t[start:self.pos].rstrip(" \t"), False
