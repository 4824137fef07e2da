#!/usr/bin/env bash
# The main job on the bundled demo update server, under Wine: install Nuvra, update it to a
# newer release, uninstall it.
#
# Headless (no DISPLAY, or NUVRA_DEMO_HEADLESS=1): a pilot presses the buttons and screenshots of
# every step land in out/demo/screenshots/. With a display: real windows, and you press them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup-deps.sh

jobs=$(nproc)
out=$root/out/demo
server=$out/server
shots=$out/screenshots
key=$out/key
rm -rf "$out"
mkdir -p "$server" "$shots"

# A throw-away release key: the demo's updater trusts only releases signed with it.
echo "== making a release key"
python3 tools/nuvra-publish keygen --out "$key" >/dev/null

echo "== building (the updater with the demo's key, in build/demo)"
cmake -S . -B build/demo -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DNUVRA_UPDATE_HOST=127.0.0.1 \
      -DNUVRA_RELEASE_PUBLIC_KEY="$key/release-key.pub.pem" >/dev/null
cmake --build build/demo -j"$jobs" --target NuvraUpdater nuvra_sample demo-pilot >/dev/null
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j"$jobs" --target nuvra-httpd >/dev/null

# publish <version> [sample_release.py options]: the release's files, then the signed release
# with the updater just built, switched in over the served one, whose unchanged files keep their
# versions.
publish() {
  local version=$1; shift
  python3 demo/sample_release.py --exe build/demo/product/Nuvra.exe --version "$version" \
          --pack-size 30000000 --out "$out/release-$version" "$@" >/dev/null
  python3 tools/nuvra-publish build --product "$out/release-$version" --version "$version" \
          --title "Morvel Nuvra" --updater build/demo/app/NuvraUpdater.exe --key "$key/release-key.pem" \
          --out "$server" >/dev/null
  python3 tools/nuvra-publish verify "$server" --key "$key/release-key.pub.pem" | sed 's/^/   verify: /'
}

headless=${NUVRA_DEMO_HEADLESS:-}
[ -z "${DISPLAY:-}" ] && headless=1

export NUVRA_WINE_DIR=$root/build/demo/wine
export NUVRA_WINE_SUITE=demo
prefix=$NUVRA_WINE_DIR/prefixes/demo
# Each demo starts from the bare template: no installation of an earlier demo.
scripts/wine-run --clean
[ -z "$headless" ] && export NUVRA_WINE_USE_DISPLAY=1

httpd_pid=""
cleanup() {
  [ -n "$httpd_pid" ] && kill "$httpd_pid" 2>/dev/null || true
  scripts/wine-run --stop
}
trap cleanup EXIT

echo "== publishing release 1.0.0 on the demo update server"
# A 30 MB data file makes the transfers last long enough to watch.
publish 1.0.0
build/native/tests/support/nuvra-httpd "$server" >"$out/httpd.log" 2>&1 &
httpd_pid=$!
for _ in $(seq 100); do [ -s "$out/httpd.log" ] && break; sleep 0.05; done
port=$(head -n1 "$out/httpd.log" | grep -o '[0-9]\+$')
export NUVRA_UPDATE_SERVER=127.0.0.1:$port
echo "   serving $server on $NUVRA_UPDATE_SERVER"

# The user's copy of the updater, somewhere on drive C: of the demo prefix.
scripts/wine-run cmd /c exit >/dev/null 2>&1 || true
# Without a window manager Wine draws captions itself only for unmanaged windows.
scripts/wine-run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
setup=$prefix/drive_c/NuvraSetup
mkdir -p "$setup/shots"
cp build/demo/app/NuvraUpdater.exe "$setup/"
pilot=build/demo/demo/demo-pilot.exe
# The product starts the updater its release shipped, in the product folder.
installed='C:\Program Files\Morvel\Nuvra'
installed_unix="$prefix/drive_c/Program Files/Morvel/Nuvra"

step() {  # step <install|update|uninstall> <folder of NuvraUpdater.exe> <its Linux path> [arguments]
  local name=$1 folder=$2 unix_folder=$3; shift 3
  if [ -n "$headless" ]; then
    scripts/wine-run "$pilot" "$name" "$folder\NuvraUpdater.exe" "$folder" 'C:\NuvraSetup\shots'
  else
    echo "   (press the buttons in the window)"
    (cd "$unix_folder" && "$root/scripts/wine-run" NuvraUpdater.exe "$@")
  fi
}

echo "== install"
step install 'C:\NuvraSetup' "$setup"
ls "$installed_unix"
[ -f "$installed_unix/NuvraUpdater.exe" ] && echo "   the product folder holds the updater its release shipped"
scripts/wine-run reg query 'HKCU\Software\Morvel\Nuvra' 2>/dev/null | tr -d '\r' | grep _sys_ || true

echo "== publishing release 1.1.0 and updating"
publish 1.1.0 --changed res/pack.dat,res/skin/main.bmp,doc/readme.txt
step update "$installed" "$installed_unix" -u
scripts/wine-run reg query 'HKCU\Software\Morvel\Nuvra' /v _sys_version 2>/dev/null | tr -d '\r' | grep _sys_ || true

echo "== uninstall"
step uninstall 'C:\NuvraSetup' "$setup"
if [ -e "$prefix/drive_c/Program Files/Morvel/Nuvra" ]; then echo "   product folder still there"; else echo "   product folder removed"; fi

if [ -n "$headless" ]; then
  for bmp in "$setup"/shots/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
  done
  echo "== screenshots in $shots"
  ls "$shots"
fi
