#!/usr/bin/env bash
# Start-up under Xvfb, for the installer and for a minimal SDL2 program that opens an 800x600 GL
# window, swaps once and ends: the time from exec until the first frame is swapped (for the
# installer, its Welcome screen's first frame, which its screen log reports once swapped) and the
# time from exec until the process has ended (the installer after that one frame and its normal
# shutdown). Three runs each, alternating; best of three and median.
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

# Runs the command from exec to its end and prints "first_line_s end_s": the times at which a line
# starting with $1 appeared on its standard output and at which it ended.
timed() {
  local prefix=$1; shift
  perl -MTime::HiRes=time -e '
    my $prefix = shift;
    my $start = time;
    open(my $out, "-|", @ARGV) or die "cannot start $ARGV[0]: $!";
    my $seen;
    while (my $line = <$out>) { $seen //= time - $start if index($line, $prefix) == 0 }
    close($out);
    my $end = time - $start;
    die "no \"$prefix\" line\n" unless defined $seen;
    printf "%.4f %.4f\n", $seen, $end;
  ' "$prefix" "$@"
}
run_installer() {
  (cd "$work/cwd" && HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" DISPLAY="$display" \
     SDL_VIDEODRIVER=x11 VENTARO_TEST_EXIT_AFTER_FRAMES=1 VENTARO_TEST_UNATTENDED=1 VENTARO_TEST_SCREEN_LOG=1 \
     timed "screen: Welcome" "$installer" --lang=en)
}
run_ref() { DISPLAY="$display" SDL_VIDEODRIVER=x11 timed "frame" "$ref"; }

run_installer > /dev/null; run_ref > /dev/null   # warm the page cache and the shader cache of both
: > "$work/runs"
for i in 1 2 3; do
  echo "installer $(run_installer)" >> "$work/runs"
  echo "reference $(run_ref)" >> "$work/runs"
done
awk '
  function sort(a, n,   i, j, t) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t } }
  $1 == "installer" { n++; of[n] = $2; oe[n] = $3; lf = lf " " $2; le = le " " $3 }
  $1 == "reference" { m++; rf[m] = $2; re[m] = $3; rlf = rlf " " $2; rle = rle " " $3 }
  END {
    printf "exec to first frame swapped (installer: its Welcome screen), s\n"
    printf "  installer runs :%s\n  reference runs :%s\n", lf, rlf
    sort(of, n); sort(rf, m)
    printf "  best           : installer %.3f, reference %.3f, ratio %.2fx (goal <= 2x)\n", of[1], rf[1], of[1] / rf[1]
    printf "  median         : installer %.3f, reference %.3f, ratio %.2fx (goal <= 2x)\n", of[2], rf[2], of[2] / rf[2]
    printf "exec to the end of the process, s\n"
    printf "  installer runs :%s\n  reference runs :%s\n", le, rle
    sort(oe, n); sort(re, m)
    printf "  best           : installer %.3f, reference %.3f, ratio %.2fx (goal <= 1.5x)\n", oe[1], re[1], oe[1] / re[1]
  }' "$work/runs"
