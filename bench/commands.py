#!/usr/bin/python3
"""Two pellix programs side by side, and beside sox: a batch's takes per second and CPU, its
system calls per take, and what a command costs to start. Each round runs one program, then the
other; each figure keeps its best round, so that a shared machine slows both alike. Every
figure is printed as a ratio.

    bench/commands.py BEFORE AFTER [--speakers N] [--rounds N] [--starts N] [--starts-only]

BEFORE and AFTER are pellix programs (copy one aside before rebuilding). The batch is a
generated corpus (N speakers of 3 calibrations and 3 checks; a third of the files 48 kHz stereo
FLAC, the rest 44.1 kHz stereo WAV), run with --jobs 1 and 2; the two programs' reports must be
the same. Start-up is the CPU (user + system) of --version, params, convert and analyze --check
of a bundled recording, beside `sox --version` and `sox FILE -n stat` (scripts/setup.sh
--bench installs sox); then analyze --check of each bundled recording, one process a file, beside
`sox FILE -n stat` on the same file. With --starts-only, only these start-up figures. System calls are counted with strace when it is there. With
--realtime, the batches run at a real-time priority, so that their clock time on a busy
machine is what it would be on an idle one. With
--python-build, the Python package of this checkout (on that build's libraries) runs the
corpus with 2 workers (python3 -m pellix.batch --workers 2) as a whole command beside AFTER's
--jobs 2, with the peak memory of each and the memory the analysis adds to each program once it
is loaded (peak of the run less the peak of the program loaded with nothing analysed: `pellix
--version`; Python with the batch's modules, the analysis library and the manifest read), and
`import pellix` is timed beside `python3 -c pass`.
"""

import argparse
import math
import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "python"))
import corpus_maker  # noqa: E402

RECORDINGS = os.path.join(HERE, "..", "examples", "recordings")
RECORDING = os.path.join(RECORDINGS, "alex_check_01.wav")


def run(command, cwd=None, env=None):
    """Seconds of CPU (user + system) and of the clock, and the standard output."""
    with tempfile.TemporaryFile() as out:
        start = time.perf_counter()
        child = subprocess.Popen(command, cwd=cwd, env=env, stdout=out,
                                 stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.perf_counter() - start
        if os.waitstatus_to_exitcode(status) != 0:
            raise subprocess.CalledProcessError(os.waitstatus_to_exitcode(status), command)
        out.seek(0)
        return usage.ru_utime + usage.ru_stime, wall, out.read()


def peak_memory(command, cwd, env):
    """The peak resident memory in KiB of a run, as GNU time reports it (a child forked from
    this Python would count this Python's memory until it runs the command)."""
    with tempfile.NamedTemporaryFile("r") as report:
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", report.name] + command, cwd=cwd,
                       env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        return int(report.read().split()[-1])


def system_calls(command, cwd):
    """Counts of each system call of a run, by strace -c -f."""
    with tempfile.NamedTemporaryFile("r") as out:
        subprocess.run(["strace", "-c", "-f", "-o", out.name] + command, cwd=cwd,
                       capture_output=True, check=True)
        counts = {}
        for line in out.read().splitlines():
            fields = line.split()
            if len(fields) >= 5 and re.fullmatch(r"[\d.]+", fields[0]) and fields[-1] != "total":
                counts[fields[-1]] = int(fields[3])
        return counts


def batch(before, after, folder, manifest, takes, rounds, realtime):
    print(f"batch: {takes} takes; AFTER / BEFORE (a takes-per-second ratio above 1 is faster)")
    print(f"{'':10}{'takes/s':>9}{'CPU':>8}   same report")
    for jobs in (1, 2):
        command = ["analyze", "--batch", manifest, "--format", "csv", "--jobs", str(jobs), "-q"]
        best = [None, None]
        for _ in range(rounds):
            for side, program in enumerate((before, after)):
                prefix = ["chrt", "-f", "1"] if realtime else []
                cpu, wall, out = run(prefix + [program] + command, folder)
                kept = best[side]
                best[side] = (min(cpu, kept[0]) if kept else cpu,
                              min(wall, kept[1]) if kept else wall, out)
        same = "yes" if best[0][2] == best[1][2] else "NO, THE REPORTS DIFFER"
        print(f"--jobs {jobs:<3}{best[0][1] / best[1][1]:9.2f}{best[1][0] / best[0][0]:8.2f}   {same}")
    if shutil.which("strace"):
        command = ["analyze", "--batch", manifest, "--format", "csv", "--jobs", "1", "-q"]
        counts = [system_calls([p] + command, folder) for p in (before, after)]
        print("system calls per take, --jobs 1 (BEFORE -> AFTER)")
        for name in ("read", "pread64", "lseek", "newfstatat", "madvise", "clone3", "mmap"):
            a, b = (c.get(name, 0) / takes for c in counts)
            print(f"  {name:12}{a:8.2f} -> {b:.2f}")
        a, b = (sum(c.values()) / takes for c in counts)
        print(f"  {'all':12}{a:8.2f} -> {b:.2f}")


def starts(before, after, folder, count, rounds):
    smp = os.path.join(folder, "x.smp")
    commands = [("--version", ["--version"]), ("params", ["params", "00002300000000000"]),
                ("convert", ["convert", RECORDING, smp]),
                ("analyze --check", ["analyze", "--check", RECORDING])]
    peers = [("sox --version", ["sox", "--version"]),
             ("sox FILE -n stat", ["sox", RECORDING, "-n", "stat"])]
    if not shutil.which("sox"):
        peers = []
    lines = [(f"{name} {side}", [program] + args) for name, args in commands
             for side, program in (("BEFORE", before), ("AFTER", after))] + peers
    best = {}
    for _ in range(rounds):
        for name, command in lines:
            cpu = sum(run(command, folder)[0] for _ in range(count)) / count
            best[name] = min(best.get(name, cpu), cpu)
    print(f"start-up: CPU a run, best of {rounds} rounds of {count}")
    reference = peers[0][0] if peers else None
    for name, _ in commands:
        b, a = best[f"{name} BEFORE"], best[f"{name} AFTER"]
        note = f"  x sox --version: {b / best[reference]:.2f} -> {a / best[reference]:.2f}" \
            if reference else ""
        print(f"  {name:18} AFTER / BEFORE {a / b:5.2f}{note}")
    if peers:
        stat = best["sox FILE -n stat"]
        a = best["analyze --check AFTER"]
        print(f"  analyze --check AFTER / sox FILE -n stat {a / stat:.2f}")


def one_file_each(before, after, count, rounds):
    """analyze --check of each bundled recording, one process a file, beside sox FILE -n stat
    on the same file: the CPU of each, best of `rounds` rounds of `count` runs, as ratios."""
    recordings = sorted(os.path.join(RECORDINGS, name) for name in os.listdir(RECORDINGS)
                        if name.endswith(".wav"))
    sides = {"BEFORE": lambda f: [before, "analyze", "--check", f],
             "AFTER": lambda f: [after, "analyze", "--check", f],
             "sox": lambda f: ["sox", f, "-n", "stat"]}
    best = {}
    for _ in range(rounds):
        for recording in recordings:
            for side, command in sides.items():
                cpu = sum(run(command(recording), HERE)[0] for _ in range(count)) / count
                key = (recording, side)
                best[key] = min(best.get(key, cpu), cpu)
    print(f"analyze --check FILE / sox FILE -n stat, CPU a run, best of {rounds} rounds of "
          f"{count}, each bundled recording")
    print(f"  {'recording':24}{'BEFORE':>8}{'AFTER':>8}")
    ratios = {"BEFORE": [], "AFTER": []}
    for recording in recordings:
        line = f"  {os.path.basename(recording):24}"
        for side in ("BEFORE", "AFTER"):
            ratio = best[(recording, side)] / best[(recording, "sox")]
            ratios[side].append(ratio)
            line += f"{ratio:8.2f}"
        print(line)
    print(f"  {'geometric mean':24}" + "".join(
        f"{math.exp(sum(map(math.log, r)) / len(r)):8.2f}" for r in ratios.values()))
    print(f"  {'worst':24}" + "".join(f"{max(r):8.2f}" for r in ratios.values()))


def python_side(after, build, python, folder, manifest, rounds, realtime):
    """The Python package's corpus run with 2 workers (threads of the command), as a whole
    command, beside AFTER's --jobs 2; the memory each adds to its program once loaded; and
    what importing the package costs beside starting Python."""
    env = dict(os.environ, PYTHONPATH=python,
               PELLIX_LIBRARY=os.path.join(build, "component", "libPellix.so"),
               PELLIX_ANALYSIS_LIBRARY=os.path.join(build, "analysis_c", "libPellixAnalysis.so"))
    out = os.path.join(folder, "cluster.csv")
    lines = {"command": [after, "analyze", "--batch", manifest, "--format", "csv", "--jobs", "2"],
             "cluster": ["/usr/bin/python3", "-m", "pellix.batch", manifest, "--workers", "2",
                         "--out", out],
             "pass": ["/usr/bin/python3", "-c", "pass"],
             "import": ["/usr/bin/python3", "-c", "import pellix"]}
    # Each program loaded and ready, with nothing analysed: the command as it starts, Python
    # with the batch's modules, the analysis library and the manifest read.
    idle = {"command": [after, "--version"],
            "cluster": ["/usr/bin/python3", "-c",
                        "import sys, pellix.batch.__main__; from pellix import _analysis;"
                        " _analysis.library(); _analysis.read_manifest(sys.argv[1])",
                        manifest]}
    best, report = {}, None
    for _ in range(rounds):
        for name, command in lines.items():
            whole = name in ("command", "cluster")
            prefix = ["chrt", "-f", "1"] if realtime and whole else []
            for _ in range(1 if whole else 10):
                cpu, wall, printed = run(prefix + command, folder, env)
                if name == "command":
                    report = printed
                kept = best.get(name, (cpu, wall))
                best[name] = (min(cpu, kept[0]), min(wall, kept[1]))
    with open(out, "rb") as f:
        same = "yes" if f.read() == report else "NO, THE REPORTS DIFFER"
    peak = {name: peak_memory(lines[name], folder, env) for name in idle}
    added = {name: peak[name] - peak_memory(idle[name], folder, env) for name in idle}
    (cpu, wall), (ccpu, cwall) = best["cluster"], best["command"]
    print("python3 -m pellix.batch --workers 2 / pellix analyze --batch --jobs 2, whole runs")
    print(f"  CPU {cpu / ccpu:.2f}   clock {wall / cwall:.2f}   same report: {same}")
    print(f"  peak memory {peak['cluster'] / peak['command']:.2f} ({peak['cluster'] // 1024} MiB"
          f" / {peak['command'] // 1024} MiB); added by the analysis to the loaded program "
          f"{added['cluster'] / added['command']:.2f} ({added['cluster'] // 1024} MiB / "
          f"{added['command'] // 1024} MiB)")
    print(f"import pellix / python3 -c pass, CPU: {best['import'][0] / best['pass'][0]:.2f}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--speakers", type=int, default=300)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--starts", type=int, default=40, help="runs of each command a round")
    parser.add_argument("--realtime", action="store_true",
                        help="run each batch (and with --python-build, each whole run of the "
                             "two) at a real-time priority (root only): on a machine "
                             "busy with other work its clock time is then its own, not its "
                             "share of the processors, which favours a program that starts "
                             "many threads")
    parser.add_argument("--starts-only", action="store_true",
                        help="only what commands cost to start, and analyze --check of each "
                             "bundled recording beside sox; no batch")
    parser.add_argument("--python-build", metavar="BUILD",
                        help="also time the Python package's cluster run and its import, with "
                             "the libraries of this build folder (for AFTER)")
    args = parser.parse_args()
    before, after = os.path.abspath(args.before), os.path.abspath(args.after)
    with tempfile.TemporaryDirectory() as folder:
        if not args.starts_only:
            manifest = corpus_maker.make_corpus(folder, args.speakers, 3, faults=False,
                                                distinct=2 * args.speakers, flac_every=3)
            with open(manifest) as lines:
                takes = sum(1 for _ in lines) - 1
            batch(before, after, folder, manifest, takes, args.rounds, args.realtime)
        starts(before, after, folder, args.starts, args.rounds)
        if shutil.which("sox"):
            one_file_each(before, after, max(1, args.starts // 4), args.rounds)
        if args.starts_only:
            return
        if args.python_build:
            python_side(after, os.path.abspath(args.python_build),
                        os.path.join(HERE, "..", "python"), folder, manifest, args.rounds,
                        args.realtime)


if __name__ == "__main__":
    main()
