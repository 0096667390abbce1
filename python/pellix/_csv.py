"""The two rules by which the report writes a text into a CSV field, for the rows the package
words itself (the speaker's name in a batch row, a take it could not even read)."""

import re

# [+-]digits[.digits][(e|E)[+-]digits], or with the digits after the point only.
_PLAIN_NUMBER = re.compile(r"[+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+)([eE][+-]?[0-9]+)?")


def written_name(text):
    """A text a spreadsheet would run as a formula (one that starts with '=', '+', '-' or '@'
    and is no plain number) gets an apostrophe in front, as the report writes it."""
    if text[:1] in ("=", "+", "-", "@") and not _PLAIN_NUMBER.fullmatch(text):
        return "'" + text
    return text


def field(text):
    """One field as the report writes it: neutralised, then quoted when it holds a comma, a
    quote or a line break, starts or ends with a blank, or starts with a byte-order mark."""
    text = written_name(text)
    if (any(c in text for c in ',"\r\n') or text[:1] in (" ", "\t", "\ufeff")
            or text[-1:] in (" ", "\t")):
        return '"' + text.replace('"', '""') + '"'
    return text
