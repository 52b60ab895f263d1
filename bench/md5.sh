#!/usr/bin/env bash
# MD5 of a 512 MB file on one core: calc_file_md5 against `openssl md5` on the same file.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
file="$(mktemp /tmp/ventaro-md5-bench.XXXXXX)"
trap 'rm -f "$file"' EXIT
head -c $((512 * 1024 * 1024)) /dev/urandom > "$file"
cat "$file" > /dev/null   # both sides read from the page cache
cpu=0

now() { date +%s.%N; }
best_openssl=999
for _ in 1 2 3; do
  start=$(now)
  taskset -c "$cpu" openssl md5 "$file" > /dev/null
  end=$(now)
  best_openssl=$(awk -v a="$start" -v b="$end" -v best="$best_openssl" 'BEGIN { t = b - a; print (t < best ? t : best) }')
done

# Best of three repetitions, in seconds (CSV: name,iterations,real_time,cpu_time,time_unit,...).
ours=$(VENTARO_BENCH_MD5_FILE="$file" taskset -c "$cpu" "$build/bench/md5_bench" \
  --benchmark_filter=BM_calc_file_md5 --benchmark_repetitions=3 --benchmark_format=csv 2>/dev/null |
  awk -F, '/^"BM_calc_file_md5/ && !/_mean|_median|_stddev|_cv/ { t = $3 / 1000; if (!best || t < best) best = t } END { print best }')

awk -v o="$best_openssl" -v v="$ours" 'BEGIN {
  printf "openssl md5      : %.3f s  (%.0f MB/s)\n", o, 512 / o
  printf "calc_file_md5    : %.3f s  (%.0f MB/s)\n", v, 512 / v
  printf "speed vs openssl : %.3fx (goal >= 0.95x)\n", o / v
}'
