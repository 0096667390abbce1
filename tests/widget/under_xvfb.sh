#!/bin/sh
# under_xvfb.sh FOLDER PROGRAM ARGS...: runs PROGRAM on a virtual X display at 96 dpi, one device
# pixel to a logical pixel (so that a picture shows text as large as a plain desktop does), with
# PELLIX_SCREENSHOTS naming the folder to write its pictures to. Exit status 77 (skipped) where
# xvfb-run is missing.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: xvfb-run is missing (Debian package xvfb); no screenshot taken"
  exit 77
fi
folder=$1
shift
exec xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" \
  env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 PELLIX_SCREENSHOTS="$folder" "$@"
