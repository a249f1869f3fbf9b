#!/bin/sh
# The README's broaden-batch example end to end: chloroform's six
# fundamentals, scaled by 0.96, as Lorentzians of FWHM 10 cm-1 on 400 to
# 4000 cm-1 by 1. Two lines fall below the grid (a warning); the strongest
# band, 774 cm-1 scaled to 743.04, peaks at the point 743 with the height of
# an area-normalised Lorentzian, 100 / (pi * 5) plus the others' tails. Run
# again, the program refuses to replace the file. The pictures of both
# examples are drawn, as the READMEs draw them, when gnuplot is there.
#
#   usage: batch_example_test.sh BROADEN_BATCH EXAMPLES_FOLDER
set -eu
program=$1
examples=$2

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
cd "$work"
failed=0
fail() {
  printf 'FAIL: %s\n' "$*"
  failed=1
}
cp "$examples/chloroform-fundamentals.txt" lines.txt

run() {
  "$program" --shape lorentzian --fwhm 10 --scale 0.96 --from 400 --to 4000 --step 1 \
    -o chloroform.tsv lines.txt 2>messages
}
if ! run; then
  cat messages
  fail "the example run failed"
fi
[ "$(cat messages)" = "broaden-batch: warning: 2 of 6 lines lie outside the grid (400 to 4000); only their tails reach it" ] ||
  fail "warning: $(cat messages)"
[ "$(head -n 1 chloroform.tsv)" = "# shape=lorentzian fwhm=10 normalise=area from=400 to=4000 step=1 scale=0.96 input='lines.txt' lines=6" ] ||
  fail "parameter line: $(head -n 1 chloroform.tsv)"
[ "$(wc -l <chloroform.tsv)" -eq 3602 ] || fail "not 3601 points"
peak=$(awk -F '\t' 'NR > 1 && $2 > best { best = $2; at = $1 } END { print at, best }' chloroform.tsv)
case $peak in
  "743 6.3"*) ;;
  *) fail "the strongest band peaks at $peak" ;;
esac

if run; then fail "the second run replaced the spectrum"; fi
grep -q "'chloroform.tsv' exists" messages || fail "the second run gave no reason"

# The README's conformers: the weights from the free energies add up to 1,
# the lower conformer weighs about three times the other, and every weighted
# line is its intensity times its file's weight.
"$program" --shape lorentzian --fwhm 10 --boltzmann 298.15 -o conformers.tsv \
  --sticks conformers-sticks.tsv "$examples/conformer-a.log" "$examples/conformer-b.log" \
  2>messages || fail "the conformers: $(cat messages)"
# Only the populations are told: a heading and a line a conformer.
[ "$(wc -l <messages)" -eq 3 ] && [ "$(grep -vc '^broaden-batch: note: ' messages)" = 0 ] &&
  head -n 1 messages | grep -q 'Boltzmann populations at 298.15 K' ||
  fail "the conformers said: $(cat messages)"
weights=$(head -n 1 conformers.tsv | tr ' ' '\n' | sed -n 's/^weight=//p' | tr '\n' ' ')
case $weights in
  "0.7485"*" 0.2514"*) ;;
  *) fail "the conformers' weights: $weights" ;;
esac
awk -v w="$weights" 'BEGIN { split(w, x, " "); if (x[1] + x[2] < 1 - 1e-15 || x[1] + x[2] > 1 + 1e-15) exit 1 }' ||
  fail "the weights do not add up to 1: $weights"
[ "$(sed -n 2p conformers-sticks.tsv | cut -f 1)" = 812.3 ] || fail "sticks: $(sed -n 2p conformers-sticks.tsv)"
[ "$(wc -l <conformers-sticks.tsv)" -eq 13 ] || fail "not 12 sticks"
grep -q '^# .* input=.*conformer-a.log.* free_energy=-158.45921 weight=0.7485.* lines=12 spectrum=ir intensity=km/mol axis=cm-1$' conformers.tsv ||
  fail "the conformers' header: $(head -n 1 conformers.tsv)"

# The pictures of both examples, drawn by --plot as the READMEs draw them:
# 1200x700 PNG files (the signature, then the IHDR chunk's size).
png_1200x700() {
  [ "$(od -An -tx1 -N24 "$1" | tr -d ' \n')" = 89504e470d0a1a0a0000000d49484452000004b0000002bc ]
}
if command -v gnuplot >/dev/null 2>&1; then
  "$program" --shape lorentzian --fwhm 10 --scale 0.96 --from 400 --to 4000 --step 1 \
    --plot chloroform-batch.png --plot-sticks \
    --title "Chloroform: six fundamentals scaled by 0.96, Lorentzian FWHM 10 cm-1" lines.txt \
    2>messages || fail "the batch picture: $(cat messages)"
  png_1200x700 chloroform-batch.png || fail "the batch picture is no 1200x700 PNG"
  "$program" --input fixed --sigma 10 --plot chloroform-spectrum.png \
    --title "Chloroform: five fundamentals, Gaussian standard deviation 10 cm-1" \
    "$examples/chloroform-lines.txt" 2>messages || fail "the classic picture: $(cat messages)"
  png_1200x700 chloroform-spectrum.png || fail "the classic picture is no 1200x700 PNG"
  [ ! -s messages ] || fail "the classic picture: $(cat messages)"
  if "$program" --input fixed --sigma 10 --plot chloroform-spectrum.png \
    "$examples/chloroform-lines.txt" 2>messages; then
    fail "the picture was replaced"
  fi
  grep -q "'chloroform-spectrum.png' exists: give --force" messages || fail "no reason: $(cat messages)"
fi
[ "$failed" -eq 0 ]
