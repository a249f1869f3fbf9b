#!/bin/sh
# The chloroform example end to end: its script drives the built program
# through standard input and the spectrum file it leaves matches the
# committed one byte for byte. Run again, it refuses to overwrite that file;
# and it never reports success when the program wrote no spectrum.
#
#   usage: example_spectrum_test.sh BROADEN EXAMPLES_FOLDER EXPECTED_SPECTRUM
set -eu
broaden=$1
script=$2/broaden-chloroform.sh
expected=$3

work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
cd "$work"
failed=0
fail() {
  printf 'FAIL: %s\n' "$*"
  failed=1
}

# A fresh run writes the expected spectrum.
if BROADEN=$broaden sh "$script" >dialogue 2>messages; then
  cmp chloroform-spectrum.txt "$expected" || fail "the spectrum differs from $expected"
else
  cat dialogue messages
  fail "the example script failed"
fi

# A second run finds the file there: it says so, fails, and leaves it as it is.
if BROADEN=$broaden sh "$script" >dialogue 2>messages; then
  fail "the second run overwrote or ignored the existing spectrum"
fi
grep -q "chloroform-spectrum.txt' exists" messages || fail "the second run gave no reason"
cmp -s chloroform-spectrum.txt "$expected" || fail "the second run changed the spectrum"

# Stand-ins for the program, each ending as it does on a failure: a handled
# one (a line on standard output, status 0) or a fatal one (a line on
# standard error, status 2). Some leave a file named like the spectrum: one
# that was there already, or the start of one whose writing failed. The
# script must pass the message on, fail with its own reason, and leave no
# output file.
for case in '0:: Error in input file' '0:spectrum.txt: Error in output file' \
  "2:spectrum.txt:broaden: cannot write spectrum file 'spectrum.txt': No space left on device"; do
  status=${case%%:*}
  rest=${case#*:}
  leaves=${rest%%:*}
  message=${rest#*:}
  stream=1
  [ "$status" -eq 0 ] || stream=2
  {
    printf '#!/bin/sh\ncat >/dev/null\n'
    [ -z "$leaves" ] || printf 'echo "      0.1000 ,       0.0000" >%s\n' "$leaves"
    printf 'echo "%s" >&%s\nexit %s\n' "$message" "$stream" "$status"
  } >stand-in
  chmod +x stand-in
  if BROADEN=./stand-in sh "$script" other.txt >dialogue 2>messages; then
    fail "'$message' with status $status was taken for success"
  fi
  [ ! -e other.txt ] || fail "'$message' left other.txt"
  grep -qF -- "$message" dialogue messages || fail "'$message' was not passed on"
  grep -q '^broaden-chloroform.sh: ' messages || fail "'$message' got no reason from the script"
done

# No work folder is left behind.
leftovers=$(find . -name '.broaden-chloroform.*')
[ -z "$leftovers" ] || fail "work folders left: $leftovers"

[ "$failed" -eq 0 ]
