#!/usr/bin/env bash
# Two suites' prefixes never see each other's writes, and no write reaches the template they share.
#   wine_prefix_isolation.sh <wine-run> <state folder>
set -uo pipefail
wine_run=$1
export NUVRA_WINE_DIR=$2
a=isolation-a b=isolation-b
passes=0 failures=0
check() { # check <what> <command...>
  if "${@:2}"; then echo "ok: $1"; passes=$((passes + 1)); else echo "FAILED: $1"; failures=$((failures + 1)); fi
}
as_suite() { NUVRA_WINE_SUITE=$1 "$wine_run" "${@:2}" >/dev/null 2>&1 </dev/null; }
manifest() { (cd "$NUVRA_WINE_DIR/template" && find . -printf '%P %s %T@ %m %U\n' | sort | md5sum); }

"$wine_run" --clean "$a" "$b"
as_suite "$a" cmd /c exit # makes the template if this is the first suite
before=$(manifest)
mountpoint -q "$NUVRA_WINE_DIR/prefixes/$a" && echo "prefixes are overlays" || echo "prefixes are copies"

check "a writes a file" as_suite "$a" cmd /c 'mkdir C:\isolation & echo a> C:\isolation\a.txt'
check "a writes the registry" as_suite "$a" reg add 'HKCU\Software\NuvraIsolation' /v by /d a /f
check "b sees no file of a" as_suite "$b" cmd /c 'if exist C:\isolation\a.txt exit 1'
check "b sees no key of a" bash -c "! NUVRA_WINE_SUITE=$b '$wine_run' reg query 'HKCU\\Software\\NuvraIsolation' >/dev/null 2>&1 </dev/null"
check "b writes its own file" as_suite "$b" cmd /c 'mkdir C:\isolation & echo b> C:\isolation\b.txt'
check "a sees no file of b" as_suite "$a" cmd /c 'if exist C:\isolation\b.txt exit 1'
check "a keeps its file" as_suite "$a" cmd /c 'if not exist C:\isolation\a.txt exit 1'
# Registry hives reach the disk when the prefix's server ends.
"$wine_run" --clean "$b"
"$wine_run" --stop "$a"
check "a keeps its key after its server ended" as_suite "$a" reg query 'HKCU\Software\NuvraIsolation'
"$wine_run" --clean "$a" "$b"
check "the template holds neither file" test ! -e "$NUVRA_WINE_DIR/template/drive_c/isolation"
check "the template holds neither key" bash -c "! grep -q NuvraIsolation '$NUVRA_WINE_DIR'/template/*.reg"
check "the template is unchanged" test "$before" = "$(manifest)"
check "cleaning removed both prefixes" test ! -e "$NUVRA_WINE_DIR/prefixes/$a" -a ! -e "$NUVRA_WINE_DIR/layers/$b"
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
