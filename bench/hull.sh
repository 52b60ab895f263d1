#!/usr/bin/env bash
# Convex hulls of 10^4 and 10^5 random points, uniform in a cube and in a ball: the brute-force
# and two-stage list functions against qconvex (Qt, triangulated) on the same points, fastest of
# three each. qconvex is timed by its own "after input" figure and, in brackets, as a whole
# process reading the points as text.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
command -v qconvex > /dev/null || { echo "hull.sh: qconvex is missing (scripts/bootstrap installs qhull-bin)"; exit 1; }
work="$(mktemp -d /tmp/ventaro-hull-bench.XXXXXX)"
trap 'rm -rf "$work"' EXIT
cpu=0
now() { date +%s.%N; }

# Integer coordinates below 2^20 are exact for both programs.
make_points() {  # kind n seed
  awk -v kind="$1" -v n="$2" -v seed="$3" 'BEGIN {
    srand(seed); print 3; print n; r = 524288
    for (i = 0; i < n; ) {
      x = int(rand() * 1048576); y = int(rand() * 1048576); z = int(rand() * 1048576)
      if (kind == "ball" && (x - r) ^ 2 + (y - r) ^ 2 + (z - r) ^ 2 > r ^ 2) continue
      printf "%d %d %d\n", x, y, z; ++i
    }
  }'
}

for kind in cube ball; do
  for n in 10000 100000; do
    pts="$work/$kind-$n.txt"
    make_points "$kind" "$n" 26 > "$pts"

    best_q=999; best_qwall=999; q_facets=0
    for _ in 1 2 3; do
      start=$(now)
      taskset -c "$cpu" qconvex s Qt i < "$pts" > /dev/null 2> "$work/q.txt"
      end=$(now)
      q=$(awk -F: '/CPU seconds to compute hull/ { print $2 + 0 }' "$work/q.txt")
      q_facets=$(awk -F: '/Number of facets/ { print $2 + 0 }' "$work/q.txt")
      best_q=$(awk -v a="$q" -v b="$best_q" 'BEGIN { print (a < b ? a : b) }')
      best_qwall=$(awk -v s="$start" -v e="$end" -v b="$best_qwall" 'BEGIN { t = e - s; print (t < b ? t : b) }')
    done

    VENTARO_BENCH_HULL_POINTS="$pts" taskset -c "$cpu" "$build/bench/hull_bench" --benchmark_repetitions=3 \
      --benchmark_out="$work/ours.csv" --benchmark_out_format=csv > /dev/null 2>&1
    awk -F, -v kind="$kind" -v n="$n" -v q="$best_q" -v qw="$best_qwall" -v qf="$q_facets" '
      /^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
      /^"BM_/ && !/_mean|_median|_stddev|_cv/ {
        name = $1; gsub(/"|BM_|\/real_time/, "", name); t = $col["real_time"] / 1000
        if (!(name in best) || t < best[name]) { best[name] = t; tris[name] = $col["triangles"] }
      }
      END {
        printf "%-4s %6d points: qconvex %8.4f s (whole process %.4f s), %d triangles\n", kind, n, q, qw, qf
        split("brute_force two_stage", names, " ")
        for (k = 1; k <= 2; ++k) if ((name = names[k]) in best)
          printf "                   %-11s %8.4f s, %d triangles, %.2fx qconvex\n", name, best[name], tris[name], best[name] / q
      }' "$work/ours.csv"
  done
done
