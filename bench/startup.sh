#!/usr/bin/env bash
# Start-up under Xvfb: time from exec until the process has swapped its first frame and ended,
# for the installer (one frame, then its normal shutdown) and for a minimal SDL2 program that
# opens an 800x600 GL window, swaps once and ends. Three runs each, alternating; best of three.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
work="$(mktemp -d /tmp/ventaro-startup-bench.XXXXXX)"
xvfb_pid=""
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

. "$(dirname "$0")/lib/xvfb.sh"
start_xvfb

cp -r "$build/Ventaro Installer.app" "$work/"
mkdir -p "$work/home/.config" "$work/cwd"
installer="$work/Ventaro Installer.app/Contents/MacOS/Ventaro Installer"
ref="$build/bench/first_frame_ref"

run_installer() {
  (cd "$work/cwd" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" DISPLAY="$display" \
     SDL_VIDEODRIVER=x11 VENTARO_TEST_EXIT_AFTER_FRAMES=1 VENTARO_TEST_UNATTENDED=1 \
     "$installer" --lang=en > /dev/null)
}
run_ref() { DISPLAY="$display" SDL_VIDEODRIVER=x11 "$ref"; }
seconds() { local s e; s=$(date +%s.%N); "$@"; e=$(date +%s.%N); awk -v a="$s" -v b="$e" 'BEGIN { printf "%.4f", b - a }'; }

run_installer; run_ref   # warm the page cache and the shader cache of both
ours=(); refs=()
for i in 1 2 3; do
  ours+=("$(seconds run_installer)")
  refs+=("$(seconds run_ref)")
done
best() { printf '%s\n' "$@" | sort -n | head -n1; }
o=$(best "${ours[@]}"); r=$(best "${refs[@]}")
echo "installer runs   : ${ours[*]} s"
echo "reference runs   : ${refs[*]} s"
awk -v o="$o" -v r="$r" 'BEGIN {
  printf "installer (best) : %.3f s\n", o
  printf "reference (best) : %.3f s\n", r
  printf "ratio            : %.2fx (goal <= 1.5x)\n", o / r
}'
