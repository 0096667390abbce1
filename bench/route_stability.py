#!/usr/bin/python3
"""How stable the verdicts are across capture rates and routes into pellix.

    bench/route_stability.py build/release/host/pellix            # files and standard input
    bench/route_stability.py build/release/host/pellix --device   # and a PulseAudio null sink

The speech is the bundled examples' (two speakers, three statements to calibrate on and twelve
answers each), spoken again by examples/make_recordings.sh with only its rate changed, so that
each rate is the same speech captured at that rate (at 11025 Hz the files are the bundled ones,
byte for byte). Each rate's speech goes through every route:

  analyze   pellix analyze of the files, as the manifest lists them
  listen    pellix listen --input of a stream: 0.9 s of silence, then each recording followed
            by 0.9 s of silence (the listener cuts the utterances itself)
  s16 pipe  the same stream as raw 16-bit PCM on standard input
  f32 pipe  the same stream as raw 32-bit floats on standard input
  device    (--device) the stream played into a null sink and captured at that rate

and two last rows take every 11025 Hz recording up to 22050 Hz and back, once as it was and
once one sample of 22050 Hz later: the same route and rate, the speech unmoved or moved by
half a sample.

Each cell counts the checks whose result code equals that of pellix analyze of the bundled files
(the published values), out of the 24, and the accepted calibrations out of 6.
"""
import argparse
import array
import csv
import io
import os
import signal
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "examples")
RATES = (8000, 11025, 16000, 22050, 44100, 48000)
GAP_S = 0.9


def speak_at(rate, folder):
    """The examples spoken again at `rate`: {speaker: [(role, path)]}."""
    os.makedirs(folder)
    with open(os.path.join(EXAMPLES, "make_recordings.sh")) as f:
        script = f.read().replace("-r 11025", f"-r {rate}")
    with open(os.path.join(folder, "make.sh"), "w") as f:
        f.write(script)
    subprocess.run(["bash", os.path.join(folder, "make.sh")], check=True,
                   stdout=subprocess.DEVNULL)
    speakers = {}
    with open(os.path.join(folder, "manifest.csv")) as f:
        for row in csv.DictReader(f):
            speakers.setdefault(row["speaker"], []).append(
                (row["role"], os.path.join(folder, row["file"])))
    return speakers


def frames_of(path):
    with wave.open(path) as w:
        return w.getframerate(), w.readframes(w.getnframes())


def write_stream(takes, folder, name):
    """The takes as one stream with silences between; the stream and each take's span in s."""
    rate, _ = frames_of(takes[0][1])
    gap = b"\0\0" * int(rate * GAP_S)
    sound, spans, at = bytearray(gap), [], GAP_S
    for _, path in takes:
        _, pcm = frames_of(path)
        spans.append((at, at + len(pcm) / 2 / rate))
        sound += pcm + gap
        at = len(sound) / 2 / rate
    path = os.path.join(folder, name + ".wav")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(bytes(sound))
    with open(os.path.join(folder, name + ".s16"), "wb") as f:
        f.write(sound)
    floats = array.array("f", (s / 32768 for s in array.array("h", bytes(sound))))
    with open(os.path.join(folder, name + ".f32"), "wb") as f:
        f.write(floats.tobytes())
    return path, rate, spans


def rows_of(text):
    return [row for row in csv.DictReader(io.StringIO(text)) if row["role"] != "profile"]


def outcome_by_take(rows, spans):
    """The code of each take (None where its utterance was missed or split) from a listen run."""
    found = [[] for _ in spans]
    for row in rows:
        middle = (float(row["stream_start_s"]) + float(row["stream_end_s"])) / 2
        for i, (start, end) in enumerate(spans):
            if start - 0.3 <= middle <= end + 0.3:
                found[i].append(row)
    return [rows[0] if len(rows) == 1 else None for rows in found]


def analyze(pellix, takes):
    calibrate = [p for role, p in takes if role == "calibrate"]
    check = [p for role, p in takes if role == "check"]
    out = subprocess.run([pellix, "analyze", "--calibrate", *calibrate, "--check", *check,
                          "--format", "csv", "-q"], capture_output=True, text=True, check=True)
    return rows_of(out.stdout)


def listen(pellix, arguments, stdin=None):
    with open(stdin or os.devnull, "rb") as source:
        out = subprocess.run([pellix, "listen", *arguments, "--format", "csv", "-q"],
                             stdin=source, capture_output=True, text=True)
    return rows_of(out.stdout)


class Device:
    """A PulseAudio server of its own with a null sink whose monitor is the default source."""

    def __init__(self, folder):
        self.env = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(folder, "run"), HOME=folder)
        os.mkdir(self.env["XDG_RUNTIME_DIR"], 0o700)
        subprocess.run(["pulseaudio", "--daemonize=yes", "--exit-idle-time=-1", "--disallow-exit",
                        "-n", "--load=module-native-protocol-unix",
                        "--load=module-null-sink sink_name=v", "--load=module-always-sink"],
                       env=self.env, check=True, timeout=20, stderr=subprocess.DEVNULL)
        for command in (["pactl", "set-default-sink", "v"],
                        ["pactl", "set-default-source", "v.monitor"]):
            subprocess.run(command, env=self.env, check=True, timeout=10)

    def capture(self, pellix, stream, rate):
        command = [pellix, "listen", "--device", "pulse", "--rate", str(rate), "--format", "csv",
                   "-q"]
        process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=self.env)
        time.sleep(1)
        subprocess.run(["paplay", stream], env=self.env, check=True, timeout=600)
        time.sleep(1.5)
        process.send_signal(signal.SIGINT)
        out, _ = process.communicate(timeout=60)
        return out

    def stop(self):
        with open(os.path.join(self.env["XDG_RUNTIME_DIR"], "pulse", "pid")) as f:
            os.kill(int(f.read()), signal.SIGTERM)


def first_spans(rows, spans):
    """A device's stream starts whenever capture does: its rows moved onto the file's spans by
    the first utterance."""
    if not rows:
        return rows
    shift = float(rows[0]["stream_start_s"]) - spans[0][0]
    for row in rows:
        for key in ("stream_start_s", "stream_end_s"):
            row[key] = str(float(row[key]) - shift)
    return rows


def through_22050(takes, folder, delay):
    """The takes up to 22050 Hz and back, `delay` samples of 22050 Hz later."""
    os.makedirs(folder)
    moved = []
    for role, path in takes:
        up = os.path.join(folder, "up.wav")
        out = os.path.join(folder, os.path.basename(path))
        subprocess.run(["sox", "-D", path, "-r", "22050", up], check=True)
        subprocess.run(["sox", "-D", up, "-r", "11025", out, "pad", f"{delay}s", "0"], check=True)
        moved.append((role, out))
    return moved


STRESS = ("lie_stress", "global_stress", "excitement_stress")
MEASURES = ("thorn_rate", "jump_rate", "jump_spread", "avg_jump_len")


def score(checks, reference, calibrations):
    """Checks whose code, stress levels and measures equal the reference's; calibrations
    accepted."""
    def same(keys):
        return sum(1 for row, ref in zip(checks, reference)
                   if row is not None and all(row[k] == ref[k] for k in keys))
    accepted = sum(1 for row in calibrations if row is not None and row["code"] == "0")
    return f"{same(('code',))} / {same(STRESS)} / {same(MEASURES)}, {accepted}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("pellix")
    parser.add_argument("--device", action="store_true")
    args = parser.parse_args()
    routes = ["analyze", "listen", "s16 pipe", "f32 pipe"] + (["device"] if args.device else [])
    with tempfile.TemporaryDirectory() as folder:
        device = Device(folder) if args.device else None
        try:
            table, reference = {}, None
            cases = [(rate, f"{rate} Hz", None) for rate in RATES]
            cases += [(11025, "11025 Hz via 22050 Hz", 0),
                      (11025, "same, half a sample later", 1)]
            for case, (rate, label, delay) in enumerate(cases):
                speakers = speak_at(rate, os.path.join(folder, f"case{case}"))
                if delay is not None:
                    speakers = {name: through_22050(takes, os.path.join(folder, f"moved{case}", name),
                                                    delay)
                                for name, takes in speakers.items()}
                results = {route: ([], []) for route in routes}  # check codes, calibration rows
                for name, takes in sorted(speakers.items()):
                    path, stream_rate, spans = write_stream(takes, folder, name)
                    base = os.path.splitext(path)[0]
                    by_route = {"analyze": analyze(args.pellix, takes)}
                    runs = {
                        "listen": listen(args.pellix, ["--input", path]),
                        "s16 pipe": listen(args.pellix, ["-", "--rate", str(stream_rate)],
                                           stdin=base + ".s16"),
                        "f32 pipe": listen(args.pellix, ["-", "--rate", str(stream_rate),
                                                         "--sample-format", "f32le"],
                                           stdin=base + ".f32"),
                    }
                    if device and delay is None:
                        # A capture on a busy machine may lose the server: once more then.
                        for _ in range(2):
                            rows = rows_of(device.capture(args.pellix, path, rate))
                            if len(rows) >= len(spans):
                                break
                        runs["device"] = first_spans(rows, spans)
                    for route, rows in runs.items():
                        by_route[route] = outcome_by_take(rows, spans)
                    for route in routes:
                        rows = by_route.get(route, [None] * 15)
                        results[route][1].extend(rows[:3])
                        results[route][0].extend(rows[3:])
                if reference is None and rate == 11025:
                    reference = results["analyze"][0]
                table[label] = results
            print("Checks (of 24) whose code / stress levels / measures equal those of pellix "
                  "analyze of the bundled files, and calibrations accepted (of 6):")
            print()
            print("| speech | " + " | ".join(routes) + " |")
            print("|---" * (len(routes) + 1) + "|")
            for label, results in table.items():
                cells = [score(checks, reference, calibrations)
                         if any(row is not None for row in checks + calibrations) else "-"
                         for checks, calibrations in results.values()]
                print(f"| {label} | " + " | ".join(cells) + " |")
            print()
            print("check codes and global stress, alex then robin, per rate and route:")
            for label, results in table.items():
                for route, (checks, _) in results.items():
                    print(f"  {label:26} {route:9} " + " ".join(
                        f"{r['code']}:{r['global_stress']}" if r else "." for r in checks))
        finally:
            if device:
                device.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
