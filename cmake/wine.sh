#!/bin/sh
# Wine for the Windows build, set up here alone: the toolchain's emulator
# (test discovery in the build, and ctest) and tools/run_windows_tests.sh
# both come through this script.
#   cmake/wine.sh run PROGRAM [ARGUMENT...]   runs a Windows program
#   cmake/wine.sh end                         ends the wine session
#
# The prefix is build/windows/wine, made on first use; 64-bit, no debug
# output, and no Mono or Gecko installer prompts. The wine session (its
# server and system processes) is started here before the program, detached
# from our output: started by the program itself, the system processes would
# keep the caller's output pipe open until the session ends, and ctest would
# wait for them. The session ends by itself a minute after its last program,
# or at `end`.
set -e
WINEPREFIX="$(cd "$(dirname "$0")/.." && pwd)/build/windows/wine"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
WINEARCH=win64
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES WINEARCH

# Starts the session unless one runs; a new prefix is initialised in it.
start_session() {
  # wineserver needs the directory; wineboot fills a new one.
  mkdir -p "$WINEPREFIX"
  {
    flock 9
    # Succeeds only when no session runs yet.
    # Neither may keep the lock (descriptor 9) open.
    if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
      if [ -f "$WINEPREFIX/system.reg" ]; then
        timeout 300 wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
      else
        echo "initialising the wine prefix build/windows/wine" >&2
        timeout 300 wine wineboot -i </dev/null >/dev/null 2>&1 9>&- || {
          echo "wineboot -i failed: the wine prefix is not ready" >&2
          exit 1
        }
      fi
    fi
  } 9>"$WINEPREFIX.lock"
}

case "${1:-}" in
  run)
    shift
    start_session
    exec wine "$@"
    ;;
  end) wineserver -k >/dev/null 2>&1 || true ;;
  *)
    echo "usage: cmake/wine.sh run PROGRAM [ARGUMENT...] | cmake/wine.sh end" >&2
    exit 2
    ;;
esac
