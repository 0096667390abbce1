#!/usr/bin/python3
"""Makes a batch of 44.1 kHz stereo recordings and a manifest for timing `pellix analyze`.

    bench/make_batch.py OUT_DIR [TAKES]

Each bundled example recording (mono, 11025 Hz) is raised to 44100 Hz by linear
interpolation and written as 16-bit stereo, the right channel a little quieter than the left,
as a desk microphone pair gives. The manifest OUT_DIR/manifest.csv lists TAKES takes (default
1000) over speakers of 20 takes each (3 calibrations, 17 checks), cycling through the
recordings.
"""
import csv
import pathlib
import struct
import sys
import wave

EXAMPLES = pathlib.Path(__file__).resolve().parent.parent / "examples"
FACTOR = 4  # 11025 Hz to 44100 Hz


def raise_rate(frames):
    values = struct.unpack("<%dh" % (len(frames) // 2), frames)
    out = []
    for i, value in enumerate(values):
        following = values[i + 1] if i + 1 < len(values) else value
        for step in range(FACTOR):
            left = value + (following - value) * step // FACTOR
            out.append(left)
            out.append(left * 7 // 8)
    return struct.pack("<%dh" % len(out), *out)


def main():
    out_dir = pathlib.Path(sys.argv[1])
    takes = int(sys.argv[2]) if len(sys.argv) > 2 else 1000
    out_dir.mkdir(parents=True, exist_ok=True)
    names = []
    for source in sorted((EXAMPLES / "recordings").glob("*.wav")):
        with wave.open(str(source), "rb") as reader:
            frames = reader.readframes(reader.getnframes())
        target = out_dir / source.name
        with wave.open(str(target), "wb") as writer:
            writer.setnchannels(2)
            writer.setsampwidth(2)
            writer.setframerate(44100)
            writer.writeframes(raise_rate(frames))
        names.append(source.name)
    with open(out_dir / "manifest.csv", "w", newline="") as manifest:
        rows = csv.writer(manifest, lineterminator="\n")
        rows.writerow(["speaker", "role", "file"])
        for take in range(takes):
            role = "calibrate" if take % 20 < 3 else "check"
            rows.writerow(["speaker%03d" % (take // 20), role, names[take % len(names)]])


if __name__ == "__main__":
    main()
