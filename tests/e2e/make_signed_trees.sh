#!/bin/sh
# Makes two signed releases with the maker's tool, as a maker would, for the end-to-end test of a
# keyed updater: <out>/product-<v> (the files) and <out>/tree-<v> (the server tree) for 1.0.0 and
# 1.1.0, where 1.1.0 changes doc/readme.txt and adds doc/new.txt. <out>/shipped-<v> are the same
# releases with the updater shipped, published one over the other as a maker does; 1.1.0 carries
# a newer NuvraUpdater.exe (the same program with a trailer), which replaces the running one.
# Usage: make_signed_trees.sh <nuvra-publish> <Nuvra.exe> <private key> <out> <NuvraUpdater.exe>
set -eu
tool=$1 exe=$2 key=$3 out=$4 updater=$5
rm -rf "$out"
for v in 1.0.0 1.1.0; do
  mkdir -p "$out/product-$v/doc"
  cp "$exe" "$out/product-$v/Nuvra.exe"
  printf '[nuvra]\r\ninterval=60\r\n' >"$out/product-$v/nuvra.ini"
  printf 'Morvel Nuvra %s\r\n' "$v" >"$out/product-$v/doc/readme.txt"
done
printf 'new in 1.1.0\r\n' >"$out/product-1.1.0/doc/new.txt"
printf '# replaced in place by updates\ndoc/readme.txt flag=A\n' >"$out/publish.conf"

python3 "$tool" build --product "$out/product-1.0.0" --version 1.0.0 --title "Morvel Nuvra" \
        --config "$out/publish.conf" --key "$key" --no-updater --out "$out/tree-1.0.0"
python3 "$tool" build --product "$out/product-1.1.0" --version 1.1.0 --title "Morvel Nuvra" \
        --config "$out/publish.conf" --key "$key" --no-updater --previous "$out/tree-1.0.0" --out "$out/tree-1.1.0"

cp "$updater" "$out/updater-1.0.0.exe"
{ cat "$updater"; printf 'NuvraUpdater 1.1.0\r\n'; } >"$out/updater-1.1.0.exe"
python3 "$tool" build --product "$out/product-1.0.0" --version 1.0.0 --title "Morvel Nuvra" \
        --key "$key" --updater "$out/updater-1.0.0.exe" --out "$out/shipped-1.0.0"
cp -a "$out/shipped-1.0.0" "$out/shipped-1.1.0"
python3 "$tool" build --product "$out/product-1.1.0" --version 1.1.0 --title "Morvel Nuvra" \
        --key "$key" --updater "$out/updater-1.1.0.exe" --out "$out/shipped-1.1.0"
