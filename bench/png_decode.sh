#!/usr/bin/env bash
# Decoding a 2048 x 2048 RGBA PNG: TEX_load_png against a plain libpng read loop of the same file
# in the same run (alternating, fastest of 30 decodes each), without and with gamma correction.
# Then loading it as a texture: the texture manager (find, map, decode, upload) against the same
# libpng loop plus one glTexImage2D (fastest of 20 each), on SDL's offscreen OpenGL.
# Three runs; goal: at most 1.1x the reference.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
cpu=0

for run in 1 2 3; do
  taskset -c "$cpu" "$build/bench/png_decode_bench" --benchmark_format=csv 2>/dev/null |
    awk -F, -v run="$run" '
      /^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
      /^"BM_decode_pair/ {
        gsub(/"/, "", $1); split($1, part, "/")
        printf "run %d, gamma %s: TEX_load_png %7.2f ms, libpng read loop %7.2f ms, ratio %.3fx (goal <= 1.1x)\n",
               run, (part[2] ? "on " : "off"), $col["ours_ms"], $col["libpng_ms"], $col["ratio"]
      }
      /^"BM_upload_pair/ {
        gsub(/"/, "", $1); split($1, part, "/")
        printf "run %d, gamma %s: texture load %7.2f ms, libpng loop + glTexImage2D %7.2f ms, ratio %.3fx (goal <= 1.1x)\n",
               run, (part[2] ? "on " : "off"), $col["ours_ms"], $col["libpng_ms"], $col["ratio"]
      }'
done
