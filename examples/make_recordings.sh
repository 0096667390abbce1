#!/usr/bin/env bash
# Makes the bundled example recordings and their manifest: two synthetic speakers, each with
# three neutral statements to calibrate on and twelve answers to check.
#
#   examples/make_recordings.sh
#
# Writes examples/recordings/*.wav (mono, 11025 Hz, 16-bit, at most 2.5 s each, so that a take
# fits the 30001 samples the analysis reads) and examples/manifest.csv (speaker,role,file, with
# paths relative to examples/). Needs espeak-ng and sox. The output is the same on every run
# with the same espeak-ng and sox versions.
set -euo pipefail
cd "$(dirname "$0")"

for tool in espeak-ng sox soxi; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "make_recordings: '$tool' is missing; install it with:" >&2
    echo "  sudo apt-get install espeak-ng sox" >&2
    exit 1
  fi
done

readonly max_seconds=2.5
out=recordings
mkdir -p "$out"
rm -f "$out"/*.wav
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

manifest=manifest.csv.new
echo "speaker,role,file" >"$manifest"

# speak SPEAKER VOICE PITCH SPEED ROLE NAME TEXT: one recording, one manifest line.
speak() {
  local speaker=$1 voice=$2 pitch=$3 speed=$4 role=$5 name=$6 text=$7
  local file="$out/$name.wav"
  espeak-ng -v "$voice" -p "$pitch" -s "$speed" -w "$scratch/raw.wav" "$text"
  # Trim the synthesiser's silence at both ends, keep a short lead-in and tail, bring the
  # loudest peak to -1 dBFS (the analysis wants a clear voice), and convert to mono 11025 Hz
  # 16-bit. -D: no dither, so every run gives the same bytes.
  sox -D "$scratch/raw.wav" -r 11025 -c 1 -b 16 "$file" \
    silence 1 0.01 0.3% reverse silence 1 0.01 0.3% reverse norm -1 pad 0.1 0.15
  local seconds
  seconds=$(soxi -D "$file")
  if awk -v s="$seconds" -v m="$max_seconds" 'BEGIN { exit !(s > m) }'; then
    echo "make_recordings: '$text' lasts ${seconds}s, more than ${max_seconds}s;" \
      "shorten it or speak faster" >&2
    exit 1
  fi
  echo "$speaker,$role,$file" >>"$manifest"
}

# speaker NAME VOICE PITCH SPEED: records that speaker's statements and answers (the arrays
# below). Pitch and speed move a little from line to line, as a person's voice does.
speaker() {
  local name=$1 voice=$2 pitch=$3 speed=$4 i
  for i in "${!calibration[@]}"; do
    speak "$name" "$voice" $((pitch + (i * 7) % 9 - 4)) $((speed + (i * 11) % 17 - 8)) \
      calibrate "${name}_calibrate_$((i + 1))" "${calibration[$i]}"
  done
  for i in "${!answers[@]}"; do
    speak "$name" "$voice" $((pitch + (i * 5) % 11 - 5)) $((speed + (i * 13) % 21 - 10)) \
      check "$(printf '%s_check_%02d' "$name" $((i + 1)))" "${answers[$i]}"
  done
}

calibration=(
  "The sky is blue."
  "I live in a small town."
  "The table is made of wood."
)
answers=(
  "Yes."
  "No."
  "I was at home."
  "I did not take the money."
  "My name is Alex."
  "I have never been there."
  "I don't know him."
  "I left at nine o'clock."
  "That is not my car."
  "I was with my sister."
  "I never saw the letter."
  "Yes, I am sure."
)
speaker alex en-us+m3 45 160

calibration=(
  "Today is Monday."
  "The kettle is on the stove."
  "I am sitting on a chair."
)
answers=(
  "Yes, that's right."
  "No."
  "I was at home all evening."
  "I didn't take any money."
  "My name is Robin."
  "I have never met her."
  "I don't know that man."
  "I left before ten."
  "That bag is not mine."
  "I was alone."
  "I never opened the letter."
  "No, I am certain."
)
speaker robin en-gb+f3 55 150

mv "$manifest" manifest.csv
echo "make_recordings: $(($(wc -l <manifest.csv) - 1)) recordings in examples/$out, listed in" \
  "examples/manifest.csv"
