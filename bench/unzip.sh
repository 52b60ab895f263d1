#!/usr/bin/env bash
# Extracting a 1000-entry, ~200 MB zip of text and random files: zip_to_file against
# `bsdtar -xf` (the goal) and Info-ZIP `unzip` (the slower reference), on the same archive.
# The tools take turns: one warm-up round, then seven counted rounds, each run into a fresh folder
# after the page cache was written back. The medians are compared (the file system is shared with
# other work, so single runs scatter). Everything is removed at the end.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
# A memory file system keeps disk write-back of earlier rounds out of the timings.
base="${VENTARO_BENCH_TMP:-/dev/shm}"
[ -d "$base" ] && [ -w "$base" ] || base=/tmp
work="$(mktemp -d "$base/ventaro-unzip-bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT
zip="$work/set.zip"
"$build/bench/unzip_bench" --make-zip="$zip"
cat "$zip" > /dev/null
have_unzip=0
command -v unzip > /dev/null && have_unzip=1

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { print b - a }'; }
# Runs a command in a fresh folder and prints its wall time in seconds.
timed() {
  local dir=$1 start end
  shift
  mkdir "$dir"
  sync
  start=$(now)
  (cd "$dir" && "$@" > /dev/null)
  end=$(now)
  elapsed "$start" "$end"
}
ours() {
  mkdir "$1"
  sync
  VENTARO_BENCH_ZIP="$zip" VENTARO_BENCH_OUT="$1" "$build/bench/unzip_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, '/^"BM_zip_to_file/ { print $3 / 1000 }'
}

timed "$work/warm-b" bsdtar -xf "$zip" > /dev/null
ours "$work/warm-o" > /dev/null
rm -rf "$work/warm-b" "$work/warm-o"
b=() u=() o=()
for i in 1 2 3 4 5 6 7; do
  b+=("$(timed "$work/b$i" bsdtar -xf "$zip")")
  o+=("$(ours "$work/o$i")")
  if [ $have_unzip = 1 ]; then u+=("$(timed "$work/u$i" unzip -q -o "$zip")"); fi
  # Keep only the first round's trees (compared below), so memory use does not grow round by round.
  [ "$i" = 1 ] || rm -rf "$work/b$i" "$work/o$i" "$work/u$i"
done
diff -r "$work/b1" "$work/o1/ours0" > /dev/null || { echo "zip_to_file and bsdtar extracted different trees"; exit 1; }

median() { printf '%s\n' "$@" | sort -g | sed -n 4p; }
size=$(stat -c %s "$zip")
awk -v b="$(median "${b[@]}")" -v u="$([ $have_unzip = 1 ] && median "${u[@]}" || echo none)" -v o="$(median "${o[@]}")" \
    -v s="$size" -v base="$base" -v all_b="${b[*]}" -v all_o="${o[*]}" 'BEGIN {
  printf "archive          : %.1f MB compressed, 1000 entries, extracted under %s\n", s / 1e6, base
  printf "bsdtar -xf       : %.3f s median (runs: %s)\n", b, all_b
  if (u != "none") printf "unzip -q         : %.3f s median\n", u
  printf "zip_to_file      : %.3f s median (runs: %s)\n", o, all_o
  printf "speed vs bsdtar  : %.3fx (goal >= 1.0x)\n", b / o
  if (u != "none") printf "speed vs unzip   : %.3fx\n", u / o
}'
