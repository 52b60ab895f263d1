#!/usr/bin/env bash
# A full 800x600 screen of the longest licence page and the wizard's frames (laid out as the
# wizard shows it, and repeated to fill the screen), drawn per frame in a real window under Xvfb
# with Mesa's llvmpipe: CPU time per frame of the drawing thread and of the
# whole process, for a first frame (glyph caches empty), a cached frame and, as the reference in
# the same run, an empty frame (clear and swap). Three runs. Goal: a cached frame costs at most
# 4 ms of CPU.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
work="$(mktemp -d /tmp/ventaro-text-bench.XXXXXX)"
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

. "$(dirname "$0")/lib/xvfb.sh"
start_xvfb

# The program reads its fonts, art and translations as resources of the bundle it sits in.
mkdir -p "$work/Text Bench.app/Contents/MacOS"
cp "$build/bench/text_screen_bench" "$work/Text Bench.app/Contents/MacOS/"
ln -s "$build/Ventaro Installer.app/Contents/Resources" "$work/Text Bench.app/Contents/Resources"

for run in 1 2 3; do
  (cd "$work" && DISPLAY="$display" SDL_VIDEODRIVER=x11 HOME="$work" \
     "$work/Text Bench.app/Contents/MacOS/text_screen_bench" --benchmark_format=csv 2>/dev/null) |
    awk -F, -v run="$run" '
      /^name,/ { for (i = 1; i <= NF; ++i) { h = $i; gsub(/"/, "", h); col[h] = i }; next }
      /^"BM_/ {
        name = $1; gsub(/"|BM_/, "", name); split(name, part, "/")
        scene = part[1] == "empty_frame" ? "" : (part[2] == "0" ? ", licence page" : ", screen filled")
        printf "run %d, %-12s%-15s: drawing thread %6.2f ms CPU, whole process %6.2f ms CPU per frame%s\n",
               run, part[1], scene, $col["thread_cpu_ms"], $col["process_cpu_ms"],
               (part[1] ~ /cached/ ? "  (goal: at most 4 ms)" : "")
        lang = $col["lang"]; bytes = $col["licence_bytes"]
      }
      END { printf "run %d: licence page in language %d, %d bytes\n", run, lang, bytes }'
done
