#!/bin/sh
# Runs a Windows program under Wine, headless and quiet, as the cross-compiled build's
# CMAKE_CROSSCOMPILING_EMULATOR (see mingw-w64.cmake):
#
#   wine-run.sh <wine loader> <prefix dir> <program.exe> [arguments...]
#   wine-run.sh <wine loader> <prefix dir> --stop
#
# The first run makes the Wine prefix. Every run makes sure a Wine server with its helper processes
# is up for the prefix before the program starts: the helpers that a fresh server starts keep the
# standard streams of the program that caused them, which would hold the pipes of CTest or of the
# end-to-end runner open for seconds after the program has ended. So a fresh server is started
# here, persisting 30 seconds after its last program, and warmed up with every stream on
# /dev/null. `--stop` ends the server at once.
#
# The program's standard streams, arguments and exit code pass through untouched. LC_ALL is pinned
# (the end-to-end runner drops every LC_* variable): Wine then uses the ANSI code page 1252.
set -u

if [ $# -lt 3 ]; then
  echo "usage: wine-run.sh <wine loader> <prefix dir> <program.exe> [arguments...] | --stop" >&2
  exit 125
fi
loader=$1
prefix=$2
shift 2

server="$(dirname "$loader")/wineserver"
[ -x "$server" ] || server=$(command -v wineserver) || {
  echo "wine-run.sh: no wineserver beside $loader nor on PATH" >&2
  exit 125
}

export WINEPREFIX="$prefix"
export WINELOADER="${WINELOADER:-$loader}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer when the prefix is made.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY

if [ "$1" = "--stop" ]; then
  [ -d "$prefix" ] && "$server" -k 2>/dev/null
  exit 0
fi

mkdir -p "$prefix" || exit 125

# One run at a time sets up; CTest runs tests in parallel. Nothing started here keeps the lock.
exec 9>"$prefix.lock"
flock 9
# wineserver exits 0 when it started a server, non-zero when one runs for the prefix already.
fresh=false
"$server" -p30 </dev/null >/dev/null 2>&1 9>&- && fresh=true
if [ ! -f "$prefix/.incwalk32-ready" ]; then
  if ! "$loader" wineboot --init </dev/null >/dev/null 2>&1 9>&-; then
    echo "wine-run.sh: could not make the Wine prefix $prefix" >&2
    exit 125
  fi
  : >"$prefix/.incwalk32-ready"
elif $fresh; then
  "$loader" cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
fi
flock -u 9
exec 9>&-

exec "$loader" "$@"
