#!/usr/bin/python3
"""Latency of pellix listen: milliseconds from the end of each utterance's pause to its row.

    bench/listen_latency.py build/release/host/pellix            # the paced file
    bench/listen_latency.py build/release/host/pellix --device   # and a PulseAudio null sink

The stream is the bundled examples (alex's three statements and twelve answers, 0.9 s apart),
repeated --times times; it is played in real time with --input --realtime, and with --device
also into a PulseAudio server of its own whose sink's monitor pellix captures. Prints the
median, 95th percentile and maximum, and the CPU share of one core while listening.
"""
import argparse
import os
import resource
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
RECORDINGS = os.path.join(HERE, "..", "examples", "recordings")


def make_stream(path, times):
    names = [f"alex_calibrate_{i}" for i in (1, 2, 3)] + [f"alex_check_{i:02d}" for i in range(1, 13)]
    silence = b"\0\0" * int(11025 * 0.9)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(11025)
        for _ in range(times):
            out.writeframes(silence)
            for name in names:
                with wave.open(os.path.join(RECORDINGS, name + ".wav")) as take:
                    out.writeframes(take.readframes(take.getnframes()) + silence)


def report(label, timings_file, cpu_seconds, wall_seconds):
    with open(timings_file) as f:
        values = sorted(float(line) for line in f if line.strip())
    if not values:
        print(f"{label}: no utterance timed")
        return
    p95 = values[min(len(values) - 1, round(0.95 * (len(values) - 1)))]
    print(f"{label}: {len(values)} utterances, median {statistics.median(values):.1f} ms, "
          f"95th percentile {p95:.1f} ms, maximum {values[-1]:.1f} ms; "
          f"CPU {100 * cpu_seconds / wall_seconds:.1f}% of one core")


def timed(command, **kwargs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, **kwargs)
    return process, before, started


def finish(process, before, started, timeout):
    process.wait(timeout=timeout)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return cpu, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("pellix")
    parser.add_argument("--times", type=int, default=3)
    parser.add_argument("--device", action="store_true")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        stream = os.path.join(folder, "stream.wav")
        make_stream(stream, args.times)
        timings = os.path.join(folder, "paced.txt")
        run = timed([args.pellix, "listen", "--input", stream, "--realtime", "-q", "--timings",
                     timings])
        report("paced file", timings, *finish(*run, timeout=3600))
        if not args.device:
            return
        env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(folder, "run"), HOME=folder)
        os.mkdir(env["XDG_RUNTIME_DIR"], 0o700)
        subprocess.run(["pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--disallow-exit",
                        "-n", "--load=module-native-protocol-unix",
                        "--load=module-null-sink sink_name=v", "--load=module-always-sink"],
                       env=env, check=True, timeout=20, stderr=subprocess.DEVNULL)
        try:
            for command in (["pactl", "set-default-sink", "v"],
                            ["pactl", "set-default-source", "v.monitor"]):
                subprocess.run(command, env=env, check=True, timeout=10)
            timings = os.path.join(folder, "device.txt")
            run = timed([args.pellix, "listen", "--device", "pulse", "-q", "--timings", timings],
                        env=env)
            time.sleep(1)
            subprocess.run(["paplay", stream], env=env, check=True, timeout=3600)
            time.sleep(1.5)
            run[0].send_signal(signal.SIGINT)
            report("device", timings, *finish(*run, timeout=60))
        finally:
            with open(os.path.join(env["XDG_RUNTIME_DIR"], "pulse", "pid")) as f:
                os.kill(int(f.read()), signal.SIGTERM)


if __name__ == "__main__":
    sys.exit(main())
