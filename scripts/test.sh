#!/usr/bin/env bash
# Builds everything twice (native with sanitizers, Windows with mingw-w64) and runs every test:
# the native suites directly, the Windows suites under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup-deps.sh

jobs=$(nproc)
status=0

echo "== native build and tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs") || status=1

echo "== Windows build and tests under Wine"
wine_state=$root/build/win/wine
# Wine's X11 driver now and then ends a process of the test on an X error about a window of a
# dying process (BadWindow on X_UnmapWindow) under load; the tests drive windows through user32
# alone, which the null display driver keeps whole, without an X server that can end them.
export NUVRA_WINE_GRAPHICS=null
wine_run() { NUVRA_WINE_DIR=$wine_state scripts/wine-run "$@"; }
trap 'wine_run --stop' EXIT
# Prefixes of an earlier run would carry its writes into this one; the template stays.
wine_run --clean
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DNUVRA_UPDATE_HOST=127.0.0.1 -DNUVRA_ALLOW_UNSIGNED=ON >/dev/null
cmake --build build/win -j"$jobs"
# The suites share the template read-only: after the run it must be as it was before.
NUVRA_WINE_SUITE=template-check wine_run cmd /c exit >/dev/null 2>&1 </dev/null || true
wine_run --clean template-check
template_manifest() { (cd "$wine_state/template" && find . -printf '%P %s %T@ %m %U\n' | sort | md5sum); }
template_before=$(template_manifest)
(cd build/win && ctest --output-on-failure -j"$jobs") || status=1
if [ "$(template_manifest)" != "$template_before" ]; then
  echo "FAILED: a test changed the Wine template that every suite shares"; status=1
fi
wine_run --stop # unmounted, the prefixes count only their own writes
echo "== disk: build tree $(du -sh build 2>/dev/null | cut -f1)"

exit $status
