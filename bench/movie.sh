#!/usr/bin/env bash
# The screen-movie recorder at 800x600 in a real window under Xvfb (Mesa's llvmpipe), writing
# Motion-JPEG through FFmpeg on its compressor thread, against `ffmpeg -f x11grab -c:v mjpeg`
# grabbing the same window on the same display in the same run: movie frames written per second
# flat out, and frames dropped at 30 fps. Three runs. Goal: at least ffmpeg's frames per second,
# none dropped at 30 fps.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
work="$(mktemp -d /tmp/ventaro-movie-bench.XXXXXX)"
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

. "$(dirname "$0")/lib/xvfb.sh"
start_xvfb

for run in 1 2 3; do
  echo "-- run $run"
  (cd "$work" && DISPLAY="$display" SDL_VIDEODRIVER=x11 HOME="$work" "$build/bench/movie_bench")
done
