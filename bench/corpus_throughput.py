"""Takes per second of a corpus run: pellix analyze --batch with 1 and 2 jobs beside the Dask
run (pellix.batch, analysing inside its workers) on local clusters of 1 and 2 worker
processes, in one run over the same generated corpus (300 speakers of 3 calibrations and 3
checks; two thirds of the files 44.1 kHz stereo WAV, a third 48 kHz stereo FLAC), and what
Dask itself adds per task. Cluster start-up is timed apart.

    PYTHONPATH=python PELLIX_COMMAND=build/release/host/pellix \\
    PELLIX_LIBRARY=build/release/component/libPellix.so /usr/bin/python3 bench/corpus_throughput.py

The machine may be shared: the ratios between the lines mean more than the absolute figures.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

import distributed

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "python"))
import corpus_maker  # noqa: E402

from pellix import _analysis  # noqa: E402
from pellix.batch import corpus  # noqa: E402


def _nothing(i):
    return i


def command_run(manifest, jobs):
    start = time.perf_counter()
    done = subprocess.run([os.environ["PELLIX_COMMAND"], "analyze", "--batch", manifest,
                           "--format", "csv", "--jobs", str(jobs)],
                          capture_output=True, text=True, check=False)
    return time.perf_counter() - start, done.stdout


def dask_run(manifest, workers, tasks):
    """Seconds of the corpus run, its CSV, seconds to start the cluster, and the seconds per
    task of ``tasks`` empty tasks on the same cluster."""
    start = time.perf_counter()
    with distributed.LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        client.wait_for_workers(workers)
        started = time.perf_counter() - start
        start = time.perf_counter()
        speakers = corpus.speakers_of(manifest)
        runs = list(corpus.in_order(speakers, corpus.submit(client, speakers,
                                                            corpus.DEFAULT_PARAMS, False)))
        seconds = time.perf_counter() - start
        start = time.perf_counter()
        client.gather(client.map(_nothing, range(tasks), pure=False))
        per_task = (time.perf_counter() - start) / tasks
    csv = _analysis.csv_header() + "".join(r.csv for run in runs for r in run.results)
    return seconds, csv, started, per_task


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--speakers", type=int, default=300, help="generated speakers")
    parser.add_argument("--checks", type=int, default=3, help="checks per speaker")
    parser.add_argument("--files", type=int, default=600, help="different recordings")
    parser.add_argument("--rounds", type=int, default=3,
                        help="rounds of the four runs in turn; each run's best round counts, "
                             "since on a shared machine a slow round says more about the others")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        manifest = corpus_maker.make_corpus(folder, args.speakers, args.checks, faults=False,
                                            distinct=args.files, flac_every=3)
        speakers = len(corpus.speakers_of(manifest))
        takes = sum(s.takes for s in corpus.speakers_of(manifest))
        print(f"{speakers} speakers, {takes} takes ({args.files} different recordings, a third "
              f"48 kHz stereo FLAC, the rest 44.1 kHz stereo WAV, and the bundled recordings)")
        runs = [("pellix analyze --jobs 1", lambda: command_run(manifest, 1)),
                ("pellix analyze --jobs 2", lambda: command_run(manifest, 2)),
                ("pellix.batch, 1 worker", lambda: dask_run(manifest, 1, 500)),
                ("pellix.batch, 2 workers", lambda: dask_run(manifest, 2, 500))]
        best, reference = {}, None
        for _ in range(args.rounds):
            for name, run in runs:
                seconds, csv, *extra = run()
                reference = reference or csv
                same = "same rows" if csv == reference else "ROWS DIFFER"
                if name not in best or seconds < best[name][1] or same != "same rows":
                    best[name] = (name, seconds, same, extra)
        lines = [best[name] for name, _ in runs]
        base = takes / lines[0][1]
        print(f"best of {args.rounds} rounds")
        print(f"{'':26}{'seconds':>9}{'takes/s':>9}{'vs jobs 1':>10}")
        for i, (name, seconds, same, extra) in enumerate(lines):
            rate = takes / seconds
            note = ""
            if extra:
                # Worker time a speaker costs beyond what the command spends on it with as
                # many jobs as there are workers.
                workers = i - 1
                extra_ms = (seconds - lines[i - 2][1]) * workers / speakers * 1000
                note = (f"  cluster start {extra[0]:.1f} s, empty task {extra[1] * 1000:.2f} ms,"
                        f" {extra_ms:+.0f} ms per speaker beside the command")
            print(f"{name:26}{seconds:9.1f}{rate:9.1f}{rate / base:10.2f}  {same}{note}")


if __name__ == "__main__":
    main()
