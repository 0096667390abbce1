"""The batch manifest: per speaker, the takes to calibrate on and the takes to check.

The same file ``pellix analyze --batch`` reads::

    speaker,role,file
    alex,calibrate,recordings/alex_calibrate_1.wav
    alex,check,recordings/alex_check_01.wav

The header names the columns in any order and any case; other columns are ignored. A relative
file is relative to the manifest's folder. Speakers keep the order of their first line, and each
speaker's takes the order of the manifest.
"""

import os
from dataclasses import dataclass, field

from .. import _files
from ..takes import is_url
from . import csv_text


class ManifestError(ValueError):
    """A manifest that cannot be used; the message names the file and, where there is one, the
    line."""


@dataclass(frozen=True)
class Take:
    path: str  # to open, relative to ``base`` unless absolute
    name: str  # to show, as the command shows it
    base: str  # the absolute folder ``path`` is relative to


@dataclass
class Speaker:
    speaker: str
    calibrations: list = field(default_factory=list)
    checks: list = field(default_factory=list)

    @property
    def takes(self):
        return len(self.calibrations) + len(self.checks)


def normal_name(path):
    """``path`` without redundant separators, ``.`` and ``name/..`` parts, as the command
    shows file names (unlike ``os.path.normpath``, a trailing separator stays)."""
    if not path:
        return ""
    rooted = path.startswith("/")
    names = [n for n in path.split("/") if n]
    out, trailing = [], False
    for i, name in enumerate(names):
        last = i == len(names) - 1
        if name == "." or (name == ".." and rooted and not out):
            trailing = trailing or last
        elif name == ".." and out and out[-1] != "..":
            out.pop()
            trailing = trailing or last
        else:
            out.append(name)
            trailing = last and name != ".." and path.endswith("/")
    if not out:
        return "/" if rooted else "."
    return ("/" if rooted else "") + "/".join(out) + ("/" if trailing else "")


def _columns(header, source):
    found = {}
    for i, name in enumerate(header.fields):
        name = name.lower()
        if name not in ("speaker", "role", "file"):
            continue
        if name in found:
            raise ManifestError(f"{source}:{header.line}: the header names the column '{name}' twice")
        found[name] = i
    if len(found) < 3:
        raise ManifestError(
            f"{source}:{header.line}: the header must name the columns speaker, role and file "
            f"(found '{','.join(header.fields)}')")
    return found


def _speakers(entries, folder, base, nothing):
    """Speakers from (fail, speaker, role, file) entries in manifest order; ``fail`` reports a
    problem with its entry, ``nothing`` is the message when there are no entries."""
    speakers, by_name = [], {}
    for fail, speaker, role, file in entries:
        if not speaker:
            fail("the speaker is empty")
        if role.lower() not in ("calibrate", "check"):
            fail(f"the role must be calibrate or check, not '{role}'")
        if not file:
            fail("the file is empty")
        entry = by_name.get(speaker)
        if entry is None:
            entry = by_name[speaker] = Speaker(speaker)
            speakers.append(entry)
        if is_url(file):  # read where it lies, shown as given
            take = Take(file, file, base)
        else:
            path = os.path.join(folder, file)
            take = Take(path, normal_name(path), base)
        (entry.calibrations if role.lower() == "calibrate" else entry.checks).append(take)
    if not speakers:
        raise ManifestError(nothing)
    return speakers


def parse(text, source, folder, base=None):
    """The speakers of manifest ``text``; ``source`` names it in messages, relative files are
    under ``folder``, itself relative to ``base`` (the current folder by default)."""
    try:
        rows = csv_text.records(text, source)
    except csv_text.CsvError as e:
        raise ManifestError(str(e)) from None
    if not rows:
        raise ManifestError(f"{source}: the manifest is empty")
    columns = _columns(rows[0], source)

    def entries():
        for record in rows[1:]:
            def fail(what, line=record.line):
                raise ManifestError(f"{source}:{line}: {what}")
            if len(record.fields) != len(rows[0].fields):
                fail(f"{len(record.fields)} fields where the header has {len(rows[0].fields)}")
            yield (fail, *(record.fields[columns[c]] for c in ("speaker", "role", "file")))

    return _speakers(entries(), folder, os.path.abspath(base or os.getcwd()),
                     f"{source}: the manifest lists no takes")


def read(path):
    """The speakers of the manifest file at ``path``."""
    path = os.fspath(path)
    try:
        data = _files.read_regular(path, "manifest ", _files.MANIFEST_LIMIT)
    except _files.FileError as e:
        raise ManifestError(str(e)) from None
    text = data.decode("utf-8", "surrogateescape")
    return parse(text, path, os.path.dirname(path))


def from_frame(frame, folder=""):
    """The speakers of a pandas DataFrame with the columns speaker, role and file (other
    columns are ignored); relative files are under ``folder``."""
    import pandas

    missing = {"speaker", "role", "file"} - set(frame.columns)
    if missing:
        raise ManifestError(f"the manifest frame lacks the columns {', '.join(sorted(missing))}")

    def entries():
        for row, values in enumerate(zip(frame["speaker"], frame["role"], frame["file"]), 1):
            def fail(what, row=row):
                raise ManifestError(f"manifest row {row}: {what}")
            yield (fail, *("" if pandas.isna(v) else str(v) for v in values))

    return _speakers(entries(), folder, os.getcwd(), "the manifest frame lists no takes")
