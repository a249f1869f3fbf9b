#!/bin/sh
# The plotting recipe turns a spectrum file into an 800x450 PNG picture.
# Skipped (status 77) without gnuplot.
#
#   usage: plot_test.sh PLOT_SCRIPT SPECTRUM
set -eu
plot=$1
spectrum=$2

if ! command -v gnuplot >/dev/null 2>&1; then
  echo "gnuplot is not installed: skipped"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
gnuplot -c "$plot" "$spectrum" "$work/spectrum.png" "a title"

# The PNG signature, then the IHDR chunk: width 800 and height 450, big-endian.
header=$(od -An -tx1 -N24 "$work/spectrum.png" | tr -d ' \n')
if [ "$header" != 89504e470d0a1a0a0000000d4948445200000320000001c2 ]; then
  echo "FAIL: not an 800x450 PNG: $header"
  exit 1
fi
