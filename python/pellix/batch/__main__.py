"""python3 -m pellix.batch MANIFEST --scheduler ADDRESS --out results.csv

Analyses every speaker of a manifest on a Dask cluster and writes what
``pellix analyze --batch MANIFEST --format csv`` prints, row for row."""

import argparse
import sys
import threading
import time

from . import manifest, rows
from .corpus import DEFAULT_PARAMS, in_order, submit
from .output import Output, OutputError

PROGRAM = "python3 -m pellix.batch"
EPILOG = """\
Each speaker is one Dask task: a control of its own, its calibration takes, then its checks.
Every worker needs the pellix package, libPellix.so (PELLIX_LIBRARY) and the pellix program
(PELLIX_COMMAND or PATH, to convert recordings), and must reach the recordings under the
paths the manifest gives (relative ones from the folder this command runs in).

A take that cannot be analysed is named on standard error and left out of the CSV, as
pellix analyze does; the run goes on. Speakers are written in manifest order as soon as they
and all speakers before them are done, so an interrupted run keeps what it wrote and
--resume carries on from there.

Exit status: 0 when every take was analysed; 1 when a take, the manifest or the output
failed; 2 for a usage error; 130 when interrupted.

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
                       help="start a local cluster of N worker processes instead "
                            "(default: one per processor)")
    parser.add_argument("--params", default=DEFAULT_PARAMS, metavar="TEXT",
                        help="packed parameter string for Initalize (default: %(default)s)")
    parser.add_argument("--resume", action="store_true",
                        help="keep the speakers FILE already holds and analyse the rest")
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 1:
        parser.error("--workers must be at least 1")
    return args


def _client(args):
    from distributed import Client, LocalCluster

    if args.scheduler:
        return Client(args.scheduler, timeout="30s")
    cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                           dashboard_address=None)
    return Client(cluster)


class _Tally:
    """What the summary counts, filled as speakers are written."""

    def __init__(self):
        self.speakers = self.takes = self.failed = self.refused = 0
        self.lock = threading.Lock()

    def add(self, speaker_rows, messages, show):
        with self.lock:
            self.speakers += 1
            self.takes += len(speaker_rows)
            # As pellix analyze counts them: a take refused as too short or silent is a
            # warning; one that could not be read, or found no constants loaded, a failure.
            self.failed += sum(r["error"] is not None or r["code"] == "-2"
                               for r in speaker_rows)
            self.refused += sum(r["code"] == "-1" for r in speaker_rows)
            for error, text in messages:
                if error:
                    show(f"{PROGRAM}: error: {text}")

    def summary(self, skipped, seconds):
        rate = f", {self.takes / seconds:.1f} takes/s" if seconds > 0 else ""
        skip = f" ({skipped} already written)" if skipped else ""
        return (f"{PROGRAM}: {self.speakers} speakers{skip}, {self.takes} takes, "
                f"{self.refused} refused, {self.failed} failed, {seconds:.1f} s{rate}")


def _run(args, speakers, output, show_progress):
    tally = _Tally()

    def show(line):
        # The progress bar shares the terminal: clear its line first.
        sys.stderr.write(("\33[2K\r" if show_progress else "") + line + "\n")

    start = time.monotonic()
    todo = speakers[output.first:]
    with _client(args) as client:
        futures = submit(client, todo, args.params, False)
        failure = []

        def write():
            try:
                for speaker_rows, messages in in_order(todo, futures):
                    output.write_speaker(speaker_rows)
                    tally.add(speaker_rows, messages, show)
            except BaseException as e:  # noqa: BLE001 - reported by the main thread
                failure.append(e)

        writer = threading.Thread(target=write, daemon=True)
        writer.start()
        if show_progress:
            from distributed import progress

            progress(futures)
        writer.join()
        if failure:
            raise failure[0]
    return tally, time.monotonic() - start


def main(argv=None):
    args = _arguments(argv)
    try:
        speakers = manifest.read(args.manifest)
        output = Output(args.out, speakers, args.resume)
    except (manifest.ManifestError, OutputError) as e:
        print(f"{PROGRAM}: error: {e}", file=sys.stderr)
        return 1
    try:
        tally, seconds = _run(args, speakers, output, sys.stdout.isatty())
    except KeyboardInterrupt:
        output.close()
        print(f"\n{PROGRAM}: interrupted; run again with --resume to carry on", file=sys.stderr)
        return 130
    except OSError as e:
        output.close()
        print(f"{PROGRAM}: error: {e}", file=sys.stderr)
        return 1
    output.close()
    print(tally.summary(output.first, seconds), file=sys.stderr)
    return 1 if tally.failed else 0


if __name__ == "__main__":
    sys.exit(main())
