#!/bin/sh
# Runs a Windows program under wine, for the build (test discovery) and for
# ctest. The wine session (its server and system processes) is started here
# first, detached from our output: started by the program itself, the system
# processes would keep the caller's output pipe open until the session ends,
# and ctest would wait for them. The session ends by itself a minute after
# its last program.
set -e
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEDEBUG WINEDLLOVERRIDES
prefix="${WINEPREFIX:-$HOME/.wine}"
# wineserver needs the directory; wineboot fills a new one.
mkdir -p "$prefix"
{
  flock 9
  # Succeeds only when no session runs yet.
  # Neither may keep the lock (descriptor 9) open.
  if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
    timeout 300 wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
} 9>"$prefix.lock"
exec wine "$@"
