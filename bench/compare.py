#!/usr/bin/python3
"""Two builds of the benchmarks side by side: each round runs one, then the other, and each
benchmark keeps its fastest time over the rounds, so that a machine whose speed drifts (a
shared host, a neighbour's build) slows both alike and a passing stall counts for neither.

    bench/compare.py BEFORE AFTER [--filter REGEX] [--rounds N]

BEFORE and AFTER are pellix_bench programs (copy one aside before rebuilding). Prints each
benchmark's time in both and the ratio AFTER / BEFORE, and, where the benchmark reports cycles
per sample, those at the fastest time.
"""

import argparse
import json
import subprocess
import sys


def run_once(program, pattern):
    done = subprocess.run([program, "--benchmark_filter=" + pattern, "--benchmark_min_time=0.15",
                           "--benchmark_format=json"], capture_output=True, text=True, check=True)
    return {b["name"]: b for b in json.loads(done.stdout)["benchmarks"]
            if b.get("run_type", "iteration") == "iteration" and "error_occurred" not in b}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--filter", default="EngineInMemory|LoadAndScan|ReadFromMemory|RawRead|"
                        "BM_Check$")
    parser.add_argument("--rounds", type=int, default=12)
    args = parser.parse_args()

    fastest = ({}, {})
    for _ in range(args.rounds):
        for side, program in enumerate((args.before, args.after)):
            for name, result in run_once(program, args.filter).items():
                kept = fastest[side].get(name)
                if kept is None or result["cpu_time"] < kept["cpu_time"]:
                    fastest[side][name] = result

    print(f"{'benchmark':<28}{'before':>12}{'after':>12}{'ratio':>8}  cycles a sample")
    for name in sorted(set(fastest[0]) | set(fastest[1])):
        before, after = fastest[0].get(name), fastest[1].get(name)
        times = [f"{r['cpu_time']:10.0f}{r['time_unit']}" if r else f"{'-':>12}"
                 for r in (before, after)]
        ratio = f"{after['cpu_time'] / before['cpu_time']:8.3f}" if before and after else " " * 8
        cycles = " ".join(f"{r['CyclesPerSample']:.3f}" if r and "CyclesPerSample" in r else "-"
                          for r in (before, after))
        print(f"{name:<28}{times[0]}{times[1]}{ratio}  {cycles}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
