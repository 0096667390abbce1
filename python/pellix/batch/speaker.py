"""One speaker's analysis inside a worker: ``pellix analyze --batch`` on a manifest of that
speaker alone, so the worker creates the speaker's control, converts its recordings and words
its rows exactly as the command does for the whole corpus.

The command names a take by its path relative to the manifest's folder, and opens it from the
current folder. To keep both as they are in the corpus manifest, the speaker's manifest lists
each take under the very path the corpus manifest gives it and sits in a private folder where
the first part of each relative path is a link into the client's folder: the command then
shows and opens every take as it would from there."""

import json
import os
import subprocess
import tempfile
from dataclasses import dataclass

from . import csv_text
from .program import pellix_command

# The speaker manifest's name, and the name of the folders that stand for the client's folder
# and its parents when a take's path climbs with "..".
MANIFEST = ".pellix-speaker.csv"
UP = ".pellix-up"


@dataclass
class SpeakerRun:
    """What the command printed for one speaker."""

    header: str  # the CSV header line, with its line feed ("" when none was printed)
    body: str  # the speaker's CSV rows
    errors: str  # standard error: warnings and errors, each naming its file
    status: int  # the command's exit status
    profiles: dict  # speaker -> profile, when asked for and the CSV has no profile rows


def _first_name(path):
    """How many ".." a relative path starts with, and its first other part."""
    climbs = 0
    for part in path.split("/"):
        if part in ("", "."):
            continue
        if part != "..":
            return climbs, part
        climbs += 1
    return climbs, None


def _lay_out(folder, takes):
    """Links in ``folder`` under which the command finds every relative take as from its base
    folder; returns the folder to run the command in."""
    climbs = max((_first_name(t.path)[0] for t in takes if not os.path.isabs(t.path)), default=0)
    cwd = os.path.join(folder, *[UP] * climbs)
    os.makedirs(cwd, exist_ok=True)
    for take in takes:
        if os.path.isabs(take.path):
            continue
        up, name = _first_name(take.path)
        if name is None:
            continue
        link = os.path.join(folder, *[UP] * (climbs - up), name)
        if not os.path.lexists(link):
            target = os.path.realpath(os.path.join(take.base, *[".."] * up))
            os.symlink(os.path.join(target, name), link)
    return cwd


def _manifest_text(speaker):
    lines = [csv_text.line(("speaker", "role", "file"))]
    for role, takes in (("calibrate", speaker.calibrations), ("check", speaker.checks)):
        lines += [csv_text.line((speaker.speaker, role, t.path)) for t in takes]
    return "".join(lines)


def _run(command, cwd, options):
    """The command's exit status, standard output and standard error."""
    done = subprocess.run([command, "analyze", "--batch", MANIFEST, *options], cwd=cwd,
                          stdin=subprocess.DEVNULL, capture_output=True, check=False)
    return (done.returncode, done.stdout.decode("utf-8", "surrogateescape"),
            done.stderr.decode("utf-8", "surrogateescape"))


def _profiles(command, cwd, params):
    """Profiles from the JSON report, for a command whose CSV report has none."""
    _, out, _ = _run(command, cwd, ["--format", "json", "--profile", "--jobs", "1",
                                    "--params", params])
    records = [json.loads(line) for line in out.splitlines() if line.strip()]
    return {r["speaker"]: r["profile"] for r in records
            if r.get("kind", r.get("role")) == "profile"}


def analyse_speaker(speaker, params, profile):
    """The command's CSV report of ``speaker``'s takes, run in this worker."""
    command = pellix_command()
    with tempfile.TemporaryDirectory(prefix="pellix-speaker-") as folder:
        cwd = _lay_out(folder, speaker.calibrations + speaker.checks)
        with open(os.path.join(cwd, MANIFEST), "w", encoding="utf-8",
                  errors="surrogateescape") as f:
            f.write(_manifest_text(speaker))
        options = ["--format", "csv", "--jobs", "1", "--params", params]
        status, out, errors = _run(command, cwd, options + (["--profile"] if profile else []))
        profiles = {}
        if profile and status == 2 and not out:
            # This version of the command reports no profiles in CSV: ask the JSON report.
            status, out, errors = _run(command, cwd, options)
            profiles = _profiles(command, cwd, params)
    header, _, body = out.partition("\n")
    return SpeakerRun(header + "\n" if header else "", body, errors, status, profiles)
