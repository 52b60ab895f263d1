#!/usr/bin/env bash
# The run-length codec against zlib level 1 on the same 2048 x 2048 RGBA pixels: packing, and
# unpacking as the sixteen 512 x 512 background tiles, fastest of 10 each; stream sizes.
# Two pictures (flat art, photo-like). Three runs.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
cpu=0

for run in 1 2 3; do
  taskset -c "$cpu" "$build/bench/rle_codec_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, -v run="$run" '
      /^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
      /^"BM_rle_vs_zlib/ {
        gsub(/"/, "", $1); split($1, part, "/")
        printf "run %d, %-10s: RLE encode %6.1f ms, decode %5.1f ms, %5.2f MiB | zlib level 1 encode %6.1f ms, decode %5.1f ms, %5.2f MiB\n",
               run, (part[2] == 0 ? "flat art" : "photo-like"), $col["rle_encode_ms"], $col["rle_decode_ms"],
               $col["rle_mib"], $col["zlib1_encode_ms"], $col["zlib1_decode_ms"], $col["zlib1_mib"]
      }'
done
