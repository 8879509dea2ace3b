#!/usr/bin/env bash
# tavrix.exe on a console shows non-ASCII paths as typed. Wine makes a
# console of a terminal, so tavrix runs on a pseudo-terminal here and the
# terminal must receive the echo line's characters, not their UTF-8 bytes
# read in the console's code page.
#   console_win32_test.sh TAVRIX_EXE
set -euo pipefail
tavrix=$1
: "${WINEPREFIX:?}"
export WINEDEBUG=-all LANG=C.UTF-8
screen=$(timeout 120 script -q -e -c "wine '$tavrix' /v 'Ωμέγα für Jürgen' 'Sicherung\\'" /dev/null </dev/null)
expected='xcopy.exe "Ωμέγα für Jürgen" Sicherung\ /d:'
if grep -qF "$expected" <<<"$screen"; then
  echo "1 passed, 0 failed"
else
  echo "the console did not show: $expected" >&2
  printf '%s\n' "$screen" | cat -v | head -20 >&2
  echo "0 passed, 1 failed"
  exit 1
fi
