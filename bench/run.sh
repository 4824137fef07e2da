#!/usr/bin/env bash
# Installation benchmark: how long the real NuvraUpdater.exe takes to install a reference release
# under Wine, and how much memory it needs, against the same files fetched by curl and by a bare
# loop of the WinInet calls the updater makes.
#
#   bench/run.sh [--big | --all | --hashing | --gzip | --relay] [--runs N]
#   bench/run.sh --update BEFORE.exe [--runs N]
#
#   (default)  the standard release: Nuvra.exe and 199 files of 1 KiB to 2 MiB, about 66 MB, with
#              every size (and hash) in its list; N rounds (default 5), the installation and the
#              loop in alternating order, then the installation and curl through a relay that
#              adds 20 ms each way; the verdicts are medians of the per-round ratios, with round
#              trips per file, bytes served, phases and memory peaks beside them
#   --big      one file of 256 MiB, one run: downloads must stream, nothing holds a whole file
#   --all      both
#   --hashing  the standard release installed with and without SHA-256 in its list, in
#              alternating order, each run paired with one WinInet loop: what checking costs
#   --gzip     the demo's sample release installed through the 20 ms relay as plain files and
#              with a ".gz" beside each file that compresses (nginx's gzip_static), alternated:
#              bytes on the wire and time for each
#   --relay    the standard release installed, and an update of 100 of its 200 files (-u /S), all
#              through the 20 ms relay, each paired in its round with curl fetching the same
#              files one after another in one process (one kept-alive connection), the two sides
#              alternated from round to round: time, connections, bytes on the wire, the
#              updater's processor time and the wineserver's, and the phases (the installation's
#              status texts, the update's log)
#   --update   an unattended update (-u /S) of the standard release where 100 of its 200 files
#              changed, by this tree's updater and by BEFORE.exe (an updater built from another
#              commit), in alternating order; the verdict is the median of the paired ratios
#
# Targets: installation less its two 500 ms pauses within 1.1x of a WinInet loop making one GET
# per file on loopback; through the 20 ms relay within 1.15x of curl fetching the same files in one
# process, with at most 1.1 round trips (requests and new connections) per file; bytes served equal
# to the release's size; a peak working set at most 8 MB above the loop's. Results stay in out/bench/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

releases=(standard)
runs=5
while [ $# -gt 0 ]; do
  case $1 in
    --big) releases=(big) ;;
    --all) releases=(standard big) ;;
    --hashing) releases=(hashing) ;;
    --gzip) releases=(gzip) ;;
    --relay) releases=(relay) ;;
    --update) releases=(update); baseline=$(realpath "$2"); shift ;;
    --runs) runs=$2; shift ;;
    *) echo "usage: bench/run.sh [--big | --all | --hashing | --gzip | --relay | --update BEFORE.exe] [--runs N]" >&2
       exit 2 ;;
  esac
  shift
done

bash scripts/setup-deps.sh
if ! dpkg-query -W -f='${Status}' time 2>/dev/null | grep -q "install ok installed"; then
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends time >/dev/null
fi

echo "== building"
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
      -DCMAKE_BUILD_TYPE=Release -DNUVRA_UPDATE_HOST=127.0.0.1 -DNUVRA_ALLOW_UNSIGNED=ON >/dev/null
cmake --build build/win -j2 --target NuvraUpdater nuvra_sample bench-pilot bench-wininet-loop bench-hash-cost \
      >/dev/null
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/native -j2 --target nuvra-httpd >/dev/null

out=$root/out/bench
mkdir -p "$out"
# A Wine state of our own: stopping it at the end touches nobody else's display or servers.
export NUVRA_WINE_DIR=$root/build/win/bench-wine
export NUVRA_WINE_SUITE=bench
prefix=$NUVRA_WINE_DIR/prefixes/bench
# The prefix is an overlay: its earlier writes (a record left by an update run, say) live in its
# layer, which only --clean removes.
scripts/wine-run --clean bench >/dev/null 2>&1 || true
work=$prefix/drive_c/NuvraBench
installed="$prefix/drive_c/Program Files/Morvel"

httpd_pid=""
proxy_pid=""
port=""
stop_httpd() {
  if [ -n "$httpd_pid" ]; then kill "$httpd_pid" 2>/dev/null || true; wait "$httpd_pid" 2>/dev/null || true; fi
  httpd_pid=""
}
cleanup() {
  stop_proxy
  stop_httpd
  scripts/wine-run --stop
}
trap cleanup EXIT

# Same tree? The list files are the server's own and are never installed.
same_tree() {  # same_tree <release folder> <copy> <what>
  if ! diff -r -q -x '_nuvr_file_list.lst*' "$1" "$2" >/dev/null; then
    echo "   $3: the files differ from the release" >&2; return 1
  fi
}

# Serves <server> and readies the updater's copy; sets port and NUVRA_UPDATE_SERVER.
start_httpd() {  # start_httpd <result folder> <server folder>
  build/native/tests/support/nuvra-httpd "$2" >"$1/httpd.log" 2>&1 &
  httpd_pid=$!
  for _ in $(seq 100); do [ -s "$1/httpd.log" ] && break; sleep 0.05; done
  port=$(head -n1 "$1/httpd.log" | grep -o '^[0-9]\+$' || true)
  [ -n "$port" ] || { echo "nuvra-httpd did not start: $(cat "$1/httpd.log")" >&2; return 1; }
  export NUVRA_UPDATE_SERVER=127.0.0.1:$port

  scripts/wine-run cmd /c exit >/dev/null 2>&1 || true  # makes the prefix
  mkdir -p "$work"
  cp build/win/app/NuvraUpdater.exe "$work/"
}

install_once() {  # install_once <release folder> <result file>
  rm -rf "$installed"
  scripts/wine-run build/win/bench/bench-pilot.exe 'C:\NuvraBench\NuvraUpdater.exe' 'C:\NuvraBench' \
    | tr -d '\r' >"$2"
  same_tree "$1" "$installed/Nuvra" installation
}

loop_once() {  # loop_once <release folder> <result file>
  rm -rf "$work/loop"
  scripts/wine-run build/win/bench/bench-wininet-loop.exe 127.0.0.1 "$port" 'C:\NuvraBench\loop' \
    | tr -d '\r' >"$2"
  same_tree "$1" "$work/loop" "WinInet loop"
}

# The same release and server, its list with and without hashes; the order alternates from run to
# run so that a machine getting busier or idler favours neither.
bench_hashing() {
  local dir=$out/hashing server=$out/hashing/server release=$out/hashing/server/update/Nuvra
  rm -rf "$dir"; mkdir -p "$dir"
  python3 bench/make_release.py --out "$server" --exe build/win/product/Nuvra.exe --hashed >"$dir/release.txt"
  cp "$release/_nuvr_file_list.lst" "$dir/list.hashed"
  cp "$release/_nuvr_file_list.lst.plain" "$dir/list.plain"
  echo "== hashing: $(cut -d' ' -f1 "$dir/release.txt") files, $(cut -d' ' -f2 "$dir/release.txt") bytes"
  start_httpd "$dir" "$server" || return 1
  local run order kind
  for run in $(seq "$runs"); do
    if [ $((run % 2)) -eq 1 ]; then order=(plain loop hashed); else order=(hashed loop plain); fi
    for kind in "${order[@]}"; do
      echo "   run $run/$runs: $kind"
      if [ "$kind" = loop ]; then
        loop_once "$release" "$dir/loop.$run"
      else
        cp "$dir/list.$kind" "$release/_nuvr_file_list.lst"
        install_once "$release" "$dir/$kind.$run"
      fi
    done
  done
  stop_httpd
  local bytes; bytes=$(cut -d' ' -f2 "$dir/release.txt")
  for run in $(seq "$runs"); do
    scripts/wine-run build/win/bench/bench-hash-cost.exe "$bytes" | tr -d '\r' >"$dir/hash-cost.$run"
  done
  python3 bench/hashing.py "$dir" "$runs"
}

# The installed release 1.0.0 by hand (its files and the record), then one timed "-u /S" of <exe>
# to the served 1.1.0.
update_once() {  # update_once <v1 product folder> <served product folder> <exe in the work folder> <result file> [log]
  rm -rf "$installed"; mkdir -p "$installed"
  cp -r "$1" "$installed/Nuvra"; rm -f "$installed/Nuvra/_nuvr_file_list.lst"
  local key='HKCU\Software\Morvel\Nuvra'
  scripts/wine-run reg add "$key" /v _sys_setup_dir /d 'C:\Program Files\Morvel\Nuvra' /f >/dev/null 2>&1
  scripts/wine-run reg add "$key" /v _sys_version /d 1.0.0 /f >/dev/null 2>&1
  local start end code=0 log=()
  [ -n "${5:-}" ] && { rm -f "$work/update.log"; log=('/LOG=C:\NuvraBench\update.log'); }
  start=$(date +%s.%N)
  /usr/bin/time -f 'cpu_seconds=%U+%S' -o "$4.cpu" scripts/wine-run "$work/$3" -u /S "${log[@]}" </dev/null \
    >/dev/null 2>&1 || code=$?
  end=$(date +%s.%N)
  [ "$code" -eq 0 ] || { echo "   $3 ended with exit code $code" >&2; return 1; }
  echo "seconds=$(echo "$end - $start" | bc)" >"$4"
  echo "cpu_seconds=$(tail -n1 "$4.cpu" | cut -d= -f2 | bc)" >>"$4"
  [ -n "${5:-}" ] && cp "$work/update.log" "$5"
  same_tree "$2" "$installed/Nuvra" update
}

bench_update() {
  local dir=$out/update
  rm -rf "$dir"; mkdir -p "$dir"
  python3 bench/make_release.py --out "$dir/v1" --sized >"$dir/release.txt"
  python3 bench/make_update.py "$dir/v1/update" "$dir/server/update" >"$dir/changed.txt"
  echo "== update: $(cut -d' ' -f1 "$dir/changed.txt") of $(cut -d' ' -f1 "$dir/release.txt") files changed," \
       "$(cut -d' ' -f2 "$dir/changed.txt") bytes"
  start_httpd "$dir" "$dir/server" || return 1
  cp "$baseline" "$work/NuvraUpdater-before.exe"
  local run order kind
  for run in $(seq "$runs"); do
    if [ $((run % 2)) -eq 1 ]; then order=(before after); else order=(after before); fi
    for kind in "${order[@]}"; do
      local exe=NuvraUpdater.exe
      [ "$kind" = before ] && exe=NuvraUpdater-before.exe
      echo "   run $run/$runs: $kind"
      update_once "$dir/v1/update/Nuvra" "$dir/server/update/Nuvra" "$exe" "$dir/$kind.$run"
    done
  done
  stop_httpd
  python3 - "$dir" "$runs" <<'PY'
import statistics, sys
folder, runs = sys.argv[1], int(sys.argv[2])
def seconds(kind, run):
    with open(f"{folder}/{kind}.{run}") as f:
        return float(f.read().split("=")[1])
before = [seconds("before", r) for r in range(1, runs + 1)]
after = [seconds("after", r) for r in range(1, runs + 1)]
ratios = [a / b for a, b in zip(after, before)]
print(f"   before: median {statistics.median(before):.2f} s; after: median {statistics.median(after):.2f} s")
print(f"   after / before, paired per run: median {statistics.median(ratios):.3f}"
      f" (runs {min(ratios):.3f} to {max(ratios):.3f}); target at most 1.05")
PY
}

# Processor time (seconds) the bench prefix's wineserver has used so far: every WinInet read of
# the updater is a round trip through it.
wineserver_seconds() {
  # Wine names its server's folder after the prefix's device and inode, and the server runs in it.
  local pid name
  name=$(printf 'server-%x-%x' $(stat -c '%d %i' "$prefix"))
  for pid in $(pgrep -f wineserver); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$name" ]; then
      awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f\n", ($14 + $15) / hz }' "/proc/$pid/stat"; return
    fi
  done
  echo 0
}

# The installation and the update through the 20 ms relay, each against curl fetching the same
# files one after another in one process (one kept-alive connection).
bench_relay() {
  local dir=$out/relay
  rm -rf "$dir"; mkdir -p "$dir"
  python3 bench/make_release.py --out "$dir/v1" --exe build/win/product/Nuvra.exe --sized >"$dir/release.txt"
  python3 bench/make_update.py "$dir/v1/update" "$dir/server/update" >"$dir/changed.txt"
  local served=$dir/server/update/Nuvra
  echo "== relay: install $(cut -d' ' -f1 "$dir/release.txt") files, $(cut -d' ' -f2 "$dir/release.txt") bytes;" \
       "update $(cut -d' ' -f1 "$dir/changed.txt") changed files, $(cut -d' ' -f2 "$dir/changed.txt") bytes"
  start_httpd "$dir" "$dir/server" || return 1
  local direct_port=$port
  local all=() changed=()
  mapfile -t all < <(tail -n +3 "$served/_nuvr_file_list.lst" | awk -F, '{ print ($4 == "" ? "" : $4 "/") $2 }')
  mapfile -t changed < <(tail -n +3 "$served/_nuvr_file_list.lst" |
    awk -F, '$3 == "1.1.0" { print ($4 == "" ? "" : $4 "/") $2 }')
  curl_fetch() {  # curl_fetch <result file> <path>...: one process, one connection, in list order
    local result=$1 urls=() path; shift
    rm -rf "$dir/curl"
    for path in "$@"; do urls+=(-o "$dir/curl/$path" "http://127.0.0.1:$proxy_port/update/Nuvra/$path"); done
    /usr/bin/time -f 'seconds=%e\nmax_rss_kb=%M' -o "$result" curl -sS --fail --create-dirs "${urls[@]}"
  }
  local run kind order before
  for run in $(seq "$runs"); do
    order=(install curl-install update curl-update)
    [ $((run % 2)) -eq 0 ] && order=(curl-install install curl-update update)
    for kind in "${order[@]}"; do
      echo "   run $run/$runs: $kind, 20 ms each way"
      start_proxy "$dir/relay-$kind.$run"
      export NUVRA_UPDATE_SERVER=127.0.0.1:$proxy_port
      before=$(wineserver_seconds)
      case $kind in
        install)
          # The update's run left a record, which would make the program uninstall instead.
          scripts/wine-run reg delete 'HKCU\Software\Morvel\Nuvra' /f >/dev/null 2>&1 || true
          before=$(wineserver_seconds)
          install_once "$served" "$dir/install.$run" ;;
        update) update_once "$dir/v1/update/Nuvra" "$served" NuvraUpdater.exe "$dir/update.$run" \
                  "$dir/update-log.$run" ;;
        curl-install) curl_fetch "$dir/curl-install.$run" "${all[@]}" ;;
        curl-update) curl_fetch "$dir/curl-update.$run" "${changed[@]}" ;;
      esac
      echo "wineserver_seconds=$(echo "$(wineserver_seconds) - $before" | bc)" >>"$dir/$kind.$run"
      export NUVRA_UPDATE_SERVER=127.0.0.1:$direct_port
      stop_proxy
    done
  done
  stop_httpd
  python3 bench/relay_summary.py "$dir" "$runs"
}

# Relays 127.0.0.1:<port> with 20 ms added each way; sets proxy_port; its counts go to <stats>.
start_proxy() {  # start_proxy <stats file>
  python3 bench/delay_proxy.py "$port" 20 "$1" >"$1.port" &
  proxy_pid=$!
  for _ in $(seq 100); do [ -s "$1.port" ] && break; sleep 0.05; done
  proxy_port=$(head -n1 "$1.port")
}
stop_proxy() {
  if [ -n "$proxy_pid" ]; then kill "$proxy_pid" 2>/dev/null || true; wait "$proxy_pid" 2>/dev/null || true; fi
  proxy_pid=""
}

bench_release() {  # bench_release <standard|big>
  local name=$1 dir=$out/$1 count=$runs
  local server=$dir/server release=$dir/server/update/Nuvra
  rm -rf "$dir"; mkdir -p "$dir"
  if [ "$name" = big ]; then
    count=1
    python3 bench/make_release.py --out "$server" --big --sized >"$dir/release.txt"
  else
    python3 bench/make_release.py --out "$server" --exe build/win/product/Nuvra.exe --sized >"$dir/release.txt"
  fi
  echo "== $name release: $(cut -d' ' -f1 "$dir/release.txt") files, $(cut -d' ' -f2 "$dir/release.txt") bytes"

  start_httpd "$dir" "$server" || return 1

  local paths=() path
  while IFS=, read -r _ file _ folder _; do
    paths+=("${folder:+$folder/}$file")
  done < <(tail -n +3 "$release/_nuvr_file_list.lst")
  curl_urls() {  # curl_urls <port> <folder>: the arguments that fetch every file
    for path in "${paths[@]}"; do printf '%s\n' -o "$2/$path" "http://127.0.0.1:$1/update/Nuvra/$path"; done
  }

  local run kind direct_port=$port
  for run in $(seq "$count"); do
    # Alternated, so that neither side always meets a warmer or a busier machine first.
    local order=(install loop)
    [ $((run % 2)) -eq 0 ] && order=(loop install)
    for kind in "${order[@]}"; do
      if [ "$kind" = install ]; then
        echo "   run $run/$count: installation"
        install_once "$release" "$dir/install.$run"
      else
        echo "   run $run/$count: WinInet loop, one GET per file"
        rm -rf "$work/loop"
        scripts/wine-run build/win/bench/bench-wininet-loop.exe 127.0.0.1 "$port" 'C:\NuvraBench\loop' --no-sizes \
          | tr -d '\r' >"$dir/loop.$run"
        same_tree "$release" "$work/loop" "WinInet loop"
      fi
    done

    echo "   run $run/$count: curl"
    rm -rf "$dir/curl"
    mapfile -t urls < <(curl_urls "$port" "$dir/curl")
    /usr/bin/time -f 'seconds=%e\nmax_rss_kb=%M' -o "$dir/curl.$run" curl -sS --fail --create-dirs "${urls[@]}"
    same_tree "$release" "$dir/curl" curl

    [ "$name" = big ] && continue
    # The same two through 20 ms each way, curl and the installation alternated.
    local delayed=(install curl)
    [ $((run % 2)) -eq 0 ] && delayed=(curl install)
    for kind in "${delayed[@]}"; do
      echo "   run $run/$count: $kind, 20 ms each way"
      start_proxy "$dir/relay-$kind.$run"
      if [ "$kind" = install ]; then
        export NUVRA_UPDATE_SERVER=127.0.0.1:$proxy_port
        install_once "$release" "$dir/install-delayed.$run"
        export NUVRA_UPDATE_SERVER=127.0.0.1:$direct_port
      else
        rm -rf "$dir/curl"
        mapfile -t urls < <(curl_urls "$proxy_port" "$dir/curl")
        /usr/bin/time -f 'seconds=%e\nmax_rss_kb=%M' -o "$dir/curl-delayed.$run" \
          curl -sS --fail --create-dirs "${urls[@]}"
        same_tree "$release" "$dir/curl" "curl, delayed"
      fi
      stop_proxy
    done
  done
  stop_httpd
  if [ "$name" = big ]; then rm -rf "$server" "$dir/curl" "$installed" "$work/loop"; fi
  python3 bench/summary.py "$dir" "$count"
}

# The files as the maker's guide compresses them: a ".gz" beside each one it makes smaller.
add_gzip_siblings() {  # add_gzip_siblings <served folder>
  find -L "$1" -type f ! -name '*.gz' -exec sh -c \
    'gzip -9 -n -k -f "$1" && [ $(stat -c%s "$1.gz") -lt $(stat -c%s "$1") ] || rm -f "$1.gz"' _ {} \;
}

bench_gzip() {
  local dir=$out/gzip product=$out/gzip/product server=$out/gzip/server
  rm -rf "$dir"; mkdir -p "$dir"
  python3 demo/sample_release.py --exe build/win/product/Nuvra.exe --version 1.0.0 --korean \
    --out "$product" >"$dir/release.txt"
  python3 tools/nuvra-publish build --product "$product" --version 1.0.0 --title "Morvel Nuvra" --no-updater \
    --out "$server" >/dev/null
  local bytes; bytes=$(find "$product" -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
  echo "== gzip: sample release, $(wc -l <"$dir/release.txt") files, $bytes bytes"
  start_httpd "$dir" "$server" || return 1
  local run kind order direct_port=$port
  for run in $(seq "$runs"); do
    order=(plain gzip)
    [ $((run % 2)) -eq 0 ] && order=(gzip plain)
    for kind in "${order[@]}"; do
      echo "   run $run/$runs: $kind, 20 ms each way"
      find -L "$server/update" -name '*.gz' -delete
      [ "$kind" = gzip ] && add_gzip_siblings "$server/update"
      start_proxy "$dir/relay-$kind.$run"
      export NUVRA_UPDATE_SERVER=127.0.0.1:$proxy_port
      install_once "$product" "$dir/install-$kind.$run"
      export NUVRA_UPDATE_SERVER=127.0.0.1:$direct_port
      stop_proxy
    done
  done
  stop_httpd
  python3 - "$dir" "$runs" "$bytes" <<'PY'
import re, statistics, sys
folder, runs, size = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
def stat(path, key):
    text = open(path, encoding="utf-8").read()
    return float(re.search(r"^%s=([0-9.]+)" % key, text, re.M).group(1))
for kind in ("plain", "gzip"):
    served = [stat(f"{folder}/relay-{kind}.{r}", "served_bytes") for r in range(1, runs + 1)]
    seconds = [stat(f"{folder}/install-{kind}.{r}", "seconds") for r in range(1, runs + 1)]
    print(f"   {kind:5}: {statistics.median(served):,.0f} bytes served ({statistics.median(served) / size:.3f} of "
          f"the release's {size:,}), installation {statistics.median(seconds):.2f} s (medians of {runs})")
PY
}

for r in "${releases[@]}"; do
  case $r in
    hashing) bench_hashing ;;
    gzip) bench_gzip ;;
    update) bench_update ;;
    relay) bench_relay ;;
    *) bench_release "$r" ;;
  esac
done
