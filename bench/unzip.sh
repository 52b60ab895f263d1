#!/usr/bin/env bash
# Extracting a 1000-entry, ~200 MB zip of text and random files: zip_to_checked_files (every
# file's MD5 taken while it is inflated and checked before it goes in place, as an install does)
# against `bsdtar -xf` (the goal), with plain zip_to_file and Info-ZIP `unzip` beside them, on
# the same archive. The tools take turns: one warm-up round, then seven counted rounds, each run
# into a fresh folder after the page cache was written back. The medians are compared (the file
# system is shared with other work, so single runs scatter). Everything is removed at the end.
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
# Runs one of our benchmarks into a fresh folder and prints its time in seconds.
ours() {
  mkdir "$1"
  sync
  VENTARO_BENCH_ZIP="$zip" VENTARO_BENCH_OUT="$1" "$build/bench/unzip_bench" --benchmark_format=csv \
    --benchmark_filter="^$2/" 2>/dev/null | awk -F, -v name="\"$2/" 'index($1, name) == 1 { print $3 / 1000 }'
}

timed "$work/warm-b" bsdtar -xf "$zip" > /dev/null
ours "$work/warm-c" BM_zip_to_checked_files > /dev/null
rm -rf "$work/warm-b" "$work/warm-c"
b=() c=() p=() u=()
for i in 1 2 3 4 5 6 7; do
  b+=("$(timed "$work/b$i" bsdtar -xf "$zip")")
  c+=("$(ours "$work/c$i" BM_zip_to_checked_files)")
  p+=("$(ours "$work/p$i" BM_zip_to_file)")
  if [ $have_unzip = 1 ]; then u+=("$(timed "$work/u$i" unzip -q -o "$zip")"); fi
  # Keep only the first round's trees (compared below), so memory use does not grow round by round.
  [ "$i" = 1 ] || rm -rf "$work/b$i" "$work/c$i" "$work/p$i" "$work/u$i"
done
diff -r "$work/b1" "$work/c1/checked0" > /dev/null || { echo "zip_to_checked_files and bsdtar extracted different trees"; exit 1; }
diff -r "$work/b1" "$work/p1/ours0" > /dev/null || { echo "zip_to_file and bsdtar extracted different trees"; exit 1; }

median() { printf '%s\n' "$@" | sort -g | sed -n 4p; }
size=$(stat -c %s "$zip")
awk -v b="$(median "${b[@]}")" -v u="$([ $have_unzip = 1 ] && median "${u[@]}" || echo none)" \
    -v c="$(median "${c[@]}")" -v p="$(median "${p[@]}")" -v s="$size" -v base="$base" \
    -v all_b="${b[*]}" -v all_c="${c[*]}" 'BEGIN {
  printf "archive               : %.1f MB compressed, 1000 entries, extracted under %s\n", s / 1e6, base
  printf "bsdtar -xf            : %.3f s median (runs: %s)\n", b, all_b
  if (u != "none") printf "unzip -q              : %.3f s median\n", u
  printf "zip_to_checked_files  : %.3f s median (runs: %s)\n", c, all_c
  printf "zip_to_file (no MD5)  : %.3f s median\n", p
  printf "checked vs bsdtar     : %.3fx (goal >= 1.0x)\n", b / c
  if (u != "none") printf "checked vs unzip      : %.3fx\n", u / c
}'
