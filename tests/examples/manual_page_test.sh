#!/bin/sh
# The manual page renders without a single groff warning (all of them on)
# and names the program's version. Skipped (status 77) without groff.
#
#   usage: manual_page_test.sh PAGE VERSION
set -eu
page=$1
version=$2

if ! command -v groff >/dev/null 2>&1; then
  echo "groff is not installed: skipped"
  exit 77
fi

warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  echo "FAIL: groff warned about $page"
  exit 1
fi
if ! sed -n '/^\.TH /p' "$page" | grep -q "broaden $version"; then
  echo "FAIL: the title line of $page does not name version $version"
  exit 1
fi
