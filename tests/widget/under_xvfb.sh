#!/bin/sh
# under_xvfb.sh PNG PROGRAM ARGS...: runs PROGRAM on a virtual X display with PELLIX_SCREENSHOT
# naming the picture to write. Exit status 77 (skipped) where xvfb-run is missing.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is missing (Debian package xvfb); no screenshot taken"
  exit 77
fi
png=$1
shift
exec xvfb-run -a -s "-screen 0 2400x1500x24 -dpi 96" \
  env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1.5 PELLIX_SCREENSHOT="$png" "$@"
