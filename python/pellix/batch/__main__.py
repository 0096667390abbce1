"""python3 -m pellix.batch MANIFEST --scheduler ADDRESS --out results.csv

Analyses every speaker of a manifest on a Dask cluster and writes what
``pellix analyze --batch MANIFEST --format csv`` prints, row for row."""

import argparse
import os
import sys
import threading
import time
import urllib.parse

from .. import _analysis
from .corpus import DEFAULT_PARAMS, in_order, submit
from .local import LocalWorkers
from ..takes import is_file_url, is_url
from .output import Output, OutputError

PROGRAM = "python3 -m pellix.batch"
EPILOG = """\
Speakers go in tasks of a few each to the threads of this command (--workers) or to Dask
(--scheduler, --processes), analysed inside the worker by the library, so the
file holds exactly what pellix analyze --batch MANIFEST --format csv prints, and its errors
are shown here. Every worker needs the pellix package and libraries, and must reach the
recordings under the paths the manifest gives (relative ones from the folder this command
runs in); s3://, http:// and file:// URLs are read through fsspec.

A bad recording or speaker never stops the run. Speakers are written in manifest order as
soon as they and all speakers before them are done, and the file takes them in at each
checkpoint, so an interrupted run keeps what it wrote up to the last one (Ctrl-C: all of it),
and --resume carries on from there: it keeps the speakers the file holds (but the last, which
may be cut short) and analyses the others, a speaker whose task failed included, each
written in its place.

Exit status: as pellix analyze's: 0 when every take was analysed; 1 when a take, a task,
the manifest or the output failed; 2 for a usage error; 130 when interrupted.

Examples:
  dask scheduler &                      # on one machine
  dask worker tcp://HOST:8786 &         # on each of the others
  python3 -m pellix.batch corpus.csv --scheduler tcp://HOST:8786 --out results.csv
  python3 -m pellix.batch corpus.csv --workers 2 --out results.csv --resume"""


def _arguments(argv):
    parser = argparse.ArgumentParser(
        prog=PROGRAM, description="Analyse the speakers of a manifest on a Dask cluster.",
        epilog=EPILOG, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("manifest", metavar="MANIFEST", help="CSV file: speaker,role,file")
    parser.add_argument("--out", required=True, metavar="FILE", help="the CSV file to write")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--scheduler", metavar="ADDRESS",
                       help="a running Dask scheduler (tcp://HOST:8786)")
    where.add_argument("--workers", type=int, metavar="N",
                       help="analyse here instead, on N threads of this process, with no "
                            "Dask cluster to start (default: one per processor)")
    parser.add_argument("--processes", action="store_true",
                        help="analyse here on a local Dask cluster whose N workers are "
                             "processes of their own, each starting Dask anew (a second or so "
                             "each)")
    parser.add_argument("--params", default=DEFAULT_PARAMS, metavar="TEXT",
                        help="packed parameter string for Initalize (default: %(default)s)")
    parser.add_argument("--resume", action="store_true",
                        help="keep the speakers FILE already holds and analyse the rest")
    parser.add_argument("--checkpoint", type=float, default=30.0, metavar="SECONDS",
                        help="how often FILE takes in the speakers written so far, at the cost "
                             "of a copy of it each time (default: %(default)s; 0: after every "
                             "speaker)")
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 1:
        parser.error("--workers must be at least 1")
    if args.processes and args.scheduler:
        parser.error("--processes is for the local cluster, not a running scheduler's")
    if not args.checkpoint >= 0 or args.checkpoint == float("inf"):
        parser.error("--checkpoint must be a number of seconds from 0")
    return args


def _client(args):
    if args.scheduler:
        from distributed import Client

        return Client(args.scheduler, timeout="30s")
    workers = args.workers or os.cpu_count() or 1
    if not args.processes:
        # The library analyses outside Python's lock and keeps each speaker's state with the
        # speaker, whichever thread runs it: threads of this process analyse side by side as
        # processes would, with neither a scheduler nor Dask to start.
        return LocalWorkers(workers)
    from distributed import Client, LocalCluster

    return Client(LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                               dashboard_address=None))


class _Tally:
    """What the summary counts, filled as speakers are written."""

    def __init__(self):
        self.speakers = self.takes = self.refused = self.failed = 0
        self.status = 0

    def add(self, speaker, run, show):
        self.speakers += 1
        self.takes += speaker.takes
        if isinstance(run, str):  # the task itself failed
            self.failed += 1
            self.status = max(self.status, 1)
            show(f"{PROGRAM}: error: {run}")
            return
        self.refused += sum(r.refused for r in run.results)
        if run.status != 0:
            self.failed += 1
            self.status = max(self.status, run.status)
        for line in run.errors:
            show(f"{PROGRAM}: error: {line}")

    def summary(self, skipped, seconds):
        rate = f", {self.takes / seconds:.1f} takes/s" if seconds > 0 else ""
        skip = f" ({skipped} already written)" if skipped else ""
        return (f"{PROGRAM}: {_count(self.speakers, 'speaker')}{skip}, "
                f"{_count(self.takes, 'take')}, {self.refused} refused, "
                f"{_count(self.failed, 'speaker')} with failures, {seconds:.1f} s{rate}")


def _count(number, noun):
    return f"{number} {noun}{'' if number == 1 else 's'}"


def _run(args, speakers, output, show_progress):
    tally = _Tally()

    def show(line):
        # The progress bar shares the terminal: clear its line first.
        sys.stderr.write(("\33[2K\r" if show_progress else "") + line + "\n")

    indices = output.todo()
    if not indices:  # every speaker is in the file already: no cluster needed
        return tally, 0.0
    todo = [speakers[i] for i in indices]
    # Set when the run is interrupted: the writer then writes no more, and the speakers whose
    # tasks were cancelled are neither written nor reported as failures.
    stop = threading.Event()
    failure = []

    def write(futures, local):
        try:
            for index, speaker, run in zip(indices, todo, in_order(todo, futures)):
                if stop.is_set():
                    return
                # A task that failed for good leaves its speaker out: --resume reruns it.
                failed = isinstance(run, str)
                output.write_speaker(index, "" if failed else "".join(r.csv for r in run.results))
                tally.add(speaker, run, show)
                if show_progress and local:
                    sys.stderr.write(f"\33[2K\r{tally.speakers} of {len(todo)} speakers")
        except BaseException as e:  # noqa: BLE001 - reported by the main thread
            failure.append(e)

    writer = None
    try:
        with _client(args) as client:
            local = isinstance(client, LocalWorkers)
            start = time.monotonic()  # the cluster's start is not the analysis's time
            futures = submit(client, todo, args.params, False)
            # Dask's bar watches a copy: the writer lets each future go once it is written.
            watched = list(futures) if show_progress and not local else []
            writer = threading.Thread(target=write, args=(futures, local), daemon=True)
            del futures
            writer.start()
            try:
                if watched:
                    from distributed import progress

                    progress(watched)
                writer.join()
                if show_progress and local:
                    sys.stderr.write("\33[2K\r")  # the count gives way to the summary
            except BaseException:
                stop.set()  # before the pool or client cancels what has not run
                raise
    except BaseException:
        # Out of a pool of this process, whose tasks have ended or been cancelled, the writer
        # is soon done with the output, before the caller puts it in place.
        if writer is not None and local:
            writer.join()
        raise
    if failure:
        raise failure[0]
    return tally, time.monotonic() - start


def _overwritten(out, manifest_path, speakers):
    """What writing ``out`` would destroy among the run's inputs (the manifest, a take), in
    words; None when nothing. The output is looked up once, each input once."""
    try:
        output = os.stat(out)
    except OSError:
        return None  # a new file overwrites nothing

    def same(path):
        try:
            return os.path.samestat(output, os.stat(path))
        except (OSError, ValueError):
            return False

    if same(manifest_path):
        return f"the manifest '{manifest_path}'"
    for speaker in speakers:
        for take in (*speaker.calibrations, *speaker.checks):
            if is_url(take.path):  # URLs other than file:// are read where they lie
                if not is_file_url(take.path):
                    continue
                path = urllib.parse.unquote(urllib.parse.urlsplit(take.path).path)
            else:
                path = os.path.join(take.base, take.path)
            if same(path):
                return f"the take '{take.name}'"
    return None


def main(argv=None):
    args = _arguments(argv)
    try:
        manifest = _analysis.read_manifest(args.manifest)
        overwritten = _overwritten(args.out, args.manifest, manifest.speakers)
        if overwritten:
            print(f"{PROGRAM}: error: --out '{args.out}' would overwrite {overwritten}: name "
                  f"another file", file=sys.stderr)
            return 2
        output = Output(args.out, manifest, args.resume, args.checkpoint)
    except (_analysis.ManifestError, OutputError) as e:
        print(f"{PROGRAM}: error: {e}", file=sys.stderr)
        return 1
    try:
        tally, seconds = _run(args, manifest.speakers, output, sys.stdout.isatty())
    except KeyboardInterrupt:
        _close(output)
        print(f"\n{PROGRAM}: interrupted; run again with --resume to carry on", file=sys.stderr)
        return 130
    except (OSError, OutputError) as e:
        _close(output)
        print(f"{PROGRAM}: error: {e}", file=sys.stderr)
        return 1
    if not _close(output):
        return 1
    print(tally.summary(output.kept, seconds), file=sys.stderr)
    return tally.status


def _close(output):
    """Puts the output in place; False, having said why, when that failed."""
    try:
        output.close()
    except OutputError as e:
        print(f"{PROGRAM}: error: {e}", file=sys.stderr)
        return False
    return True


if __name__ == "__main__":
    sys.exit(main())
