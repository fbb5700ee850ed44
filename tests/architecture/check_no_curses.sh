#!/usr/bin/env bash
# A program that must not draw on the terminal links no curses library:
# the shared libraries it needs (readelf) name no curses, terminfo or panel
# library.  Usage: check_no_curses.sh PROGRAM
set -u
program=$1
needed=$(readelf -d "$program" 2>/dev/null | grep NEEDED) || { echo "cannot read $program"; exit 2; }
if echo "$needed" | grep -Eq 'curses|tinfo|libpanel|libmenu|libform'; then
  echo "$program links a curses library:"
  echo "$needed"
  exit 1
fi
echo "$program links no curses library"
