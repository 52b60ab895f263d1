#!/usr/bin/env bash
# The install-set builder making the web set of the install benchmark's master folder "1000"
# (1000 files, ~200 MB, text and random bytes of 0.5 to 400 kB, and the plug-ins every master
# holds), against the same work done by hand: every file zipped on its own by `zip` under
# find | xargs -P$(nproc) (its folders made first), plus md5sum of every file the same way.
# Each of VENTARO_BENCH_ROUNDS (default 3) rounds runs, into fresh folders on the same memory
# file system: the builder's program (window on SDL's offscreen driver, progress strip and all,
# from start to exit), the builder's engine alone (bench/builder_bench), and the reference.
# Goal: the program at most 1.0x the reference. The program's set is also checked against the
# engine's run with one thread: the same bytes whatever the number of threads.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
rounds="${VENTARO_BENCH_ROUNDS:-3}"
. "$here/lib/install_set.sh"
make_work ventaro-builder-bench
trap '[ -n "${VENTARO_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
cores=$(nproc)

master="$work/master"
echo "making the master folder..."
perl "$here/install_set.pl" 1000 "$master"
printf 'master: %d files, %s\n' "$(find "$master" -type f | wc -l)" "$(du -sh --apparent-size "$master" | cut -f1)"
find "$master" -type f -print0 | xargs -0 cat > /dev/null

reference() {
  local out=$1 start end
  rm -rf "$out"
  mkdir -p "$out"
  sync
  start=$(now)
  (cd "$master" && find . -type d -print0 | (cd "$out" && xargs -0 mkdir -p))
  (cd "$master" && find . -type f -print0 | xargs -0 -P"$cores" -I{} zip -q -X -j "$out/{}.zip" "{}")
  (cd "$master" && find . -type f -print0 | xargs -0 -P"$cores" -n 16 md5sum > /dev/null)
  end=$(now)
  ms_between "$start" "$end"
}

program() {
  local out=$1 start end
  rm -rf "$out"
  sync
  start=$(now)
  build_set "$master" "$out" > /dev/null
  end=$(now)
  ms_between "$start" "$end"
}

engine() {
  local out=$1 threads=${2:-0}
  rm -rf "$out"
  sync
  VENTARO_BENCH_MASTER="$master" VENTARO_BENCH_OUT="$out" VENTARO_BENCH_THREADS="$threads" \
    "$build/bench/builder_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, 'index($1, "\"BM_build") == 1 { printf "%.0f\n", $3 }'
}

summary="$work/summary"
: > "$summary"
for round in $(seq 1 "$rounds"); do
  p=$(program "$work/program out")
  e=$(engine "$work/engine out")
  r=$(reference "$work/reference out")
  echo "$round $p $e $r" >> "$summary"
  printf 'round %d: program %d ms, engine %d ms, reference %d ms\n' "$round" "$p" "$e" "$r"
done

# One thread gives the same set, byte for byte, but for the manifest archive's own time stamp.
engine "$work/one thread" 1 > /dev/null
name=$(sed -n 's/^VERSION //p' "$work/program out/dvd_version.txt")
(cd "$work/program out/$name" && unzip -p directory.txt.zip) > "$work/manifest many"
(cd "$work/one thread/$name" && unzip -p directory.txt.zip) > "$work/manifest one"
cmp -s "$work/manifest many" "$work/manifest one" || { echo "the manifests differ"; exit 1; }
diff -r -x directory.txt.zip "$work/program out" "$work/one thread" > /dev/null || { echo "the sets differ"; exit 1; }
echo "the set made with $cores threads and with one are the same bytes"

echo
printf '%5s %11s %10s %13s %14s %13s\n' round "program ms" "engine ms" "reference ms" "program/ref" "engine/ref"
awk '{ printf "%5d %11d %10d %13d %13.2fx %12.2fx\n", $1, $2, $3, $4, $2 / $4, $3 / $4 }' "$summary"
awk '{ p += $2 / $4; e += $3 / $4 } END { printf "mean: program/ref %.2fx, engine/ref %.2fx (goal: program <= 1.0x)\n", p / NR, e / NR }' "$summary"
