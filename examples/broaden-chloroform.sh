#!/bin/sh
# Broadens the chloroform line list beside this script into a spectrum file,
# answering broaden's four questions through standard input.
#
#   usage: broaden-chloroform.sh [OUTPUT]
#
# OUTPUT defaults to chloroform-spectrum.txt in the current folder. BROADEN
# names the program to run (default: broaden, looked up on PATH). The
# dialogue is shown on standard output; every failure ends the script with a
# message on standard error and status 1.
#
# broaden never overwrites a spectrum file, and neither does this script:
# when OUTPUT exists already it stops before running anything.
set -eu

me=${0##*/}
fail() {
  printf '%s: %s\n' "$me" "$*" >&2
  exit 1
}

[ $# -le 1 ] || fail "usage: $me [OUTPUT]"
output=${1:-chloroform-spectrum.txt}
broaden=${BROADEN:-broaden}
here=$(CDPATH='' cd -- "$(dirname -- "$0")" && pwd)

if [ -e "$output" ] || [ -L "$output" ]; then
  fail "'$output' exists and broaden never overwrites a spectrum file: remove it or name another"
fi
case $broaden in
  */*) broaden=$(CDPATH='' cd -- "$(dirname -- "$broaden")" && pwd)/${broaden##*/} ;;
esac
command -v -- "$broaden" >/dev/null 2>&1 ||
  fail "cannot find the program '$broaden': put it on PATH or set BROADEN"

# broaden reads names of at most 40 characters, and a name with a slash only
# in quotes. It runs in a fresh folder beside OUTPUT, where both of its files
# have short plain names; the spectrum is moved to OUTPUT afterwards.
work=$(mktemp -d "$(dirname -- "$output")/.broaden-chloroform.XXXXXX") ||
  fail "cannot make a work folder beside '$output'"
trap 'rm -rf -- "$work"' EXIT
trap 'exit 1' HUP INT TERM
cp -- "$here/chloroform-lines.txt" "$work/lines.txt"

# The answers, one a line: line-list file, number of lines to read from it,
# spectrum file, width (the standard deviation of each Gaussian, in cm-1).
status=0
(cd "$work" && "$broaden") >"$work/dialogue" <<'ANSWERS' || status=$?
lines.txt
5
spectrum.txt
10.0
ANSWERS
cat -- "$work/dialogue"

# broaden reports a bad line-list field or an uncreatable spectrum file on
# standard output with status 0, and every other failure with status 2.
[ "$status" -eq 0 ] || fail "broaden failed with status $status"
if grep -q '^ Error in' "$work/dialogue" || [ ! -f "$work/spectrum.txt" ]; then
  fail "broaden wrote no spectrum"
fi

mv -n -- "$work/spectrum.txt" "$output"
[ ! -e "$work/spectrum.txt" ] ||
  fail "'$output' appeared while broaden ran; it was left as it is"
printf '%s: wrote %s\n' "$me" "$output" >&2
