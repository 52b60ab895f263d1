#!/usr/bin/env bash
# The install benchmark's set "1000" (1000 files, ~200 MB) installed through the real wizard under
# Xvfb, against the engine's own headless benchmark of the same set (bench/install_bench) in the
# same run. The wizard is walked with xdotool to Pick Destination; its time runs from the press of
# Next there (made by bench/xpress, which says when the X server had it) to the first frame of the finish screen (the program's "screen:" line, stamped as it
# arrives). The headless figure it is held against is the install screen's own time (install_ms:
# the frames of grab_files, without the server list and manifest, which the wizard fetched on Check
# Servers); the headless whole run is shown too. VENTARO_BENCH_ROUNDS (default 3) rounds, each the
# wizard then the headless engine, everything in /dev/shm; goal: wizard/headless at most 1.1x.
# VENTARO_BENCH_SET picks another set of bench/install_set.pl.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
host="$(sed -n 's/^VENTARO_SERVER_HOST:STRING=//p' "$build/CMakeCache.txt")"
rounds="${VENTARO_BENCH_ROUNDS:-3}"
kind="${VENTARO_BENCH_SET:-1000}"   # another set of bench/install_set.pl: 20x10M or 10000x2k

. "$here/lib/install_set.sh"
. "$here/lib/xvfb.sh"
make_work ventaro-wizard-bench
xvfb_pid=""
app_pid=""
# The X client of the timed press (started below): its input closed, it leaves the display while
# the server still runs.
stop_xpress() {
  [ -n "${XPRESS_PID:-}" ] || return 0
  local pid=$XPRESS_PID
  eval "exec ${XPRESS[1]}>&-"
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  stop_xpress
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  kill "$(cat "$work/nginx.pid" 2>/dev/null)" 2>/dev/null
  [ -n "${VENTARO_BENCH_KEEP:-}" ] || rm -rf "$work"
  return 0
}
trap cleanup EXIT

start_nginx
start_xvfb
echo "making set $kind..."
make_set "$kind"
list_set "$kind"
dir="$work/$kind"
cat "$work/www/Bench $kind"/All/Resources/*/*.zip > /dev/null

cp -r "$build/Ventaro Installer.app" "$work/"
installer="$work/Ventaro Installer.app/Contents/MacOS/Ventaro Installer"

# The timed press goes through a connected X client: its answer is the moment the server had it.
coproc XPRESS { DISPLAY="$display" "$build/bench/xpress"; }
xpress() { echo "$1" >&"${XPRESS[1]}"; read -r xpress_at <&"${XPRESS[0]}" || fail "no answer from xpress"; }

# Interface points (800x600, y up from the bottom): Next's centre, the licence's tick box, the
# last screen's Quit (where Next was).
next_x=725; next_y=23
agree_x=250; agree_y=303
quit_x=742; quit_y=23

fail() {
  echo "wizard run failed: $1"
  echo "-- program output:"; tail -20 "$log" 2>/dev/null || true
  echo "-- program errors:"; tail -20 "$err" 2>/dev/null || true
  exit 1
}
xdo() { DISPLAY="$display" xdotool "$@" > /dev/null 2>&1; }
press() {   # press and release button 1 at an interface point; the program reads it once a frame
  xdo mousemove --window "$window" "$(($1 + 1))" "$((600 - $2))"
  xdo mousemove --sync --window "$window" "$1" "$((600 - $2))"
  xdo mousedown 1
  sleep 0.06
  xdo mouseup 1
}
# The stamp of the first output line starting with $1, or nothing.
stamp_of() { awk -v p="$1" 'index(substr($0, index($0, " ") + 1), p) == 1 { print $1; exit }' "$log"; }
wait_line() {   # prefix, seconds
  local end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    [ -n "$(stamp_of "$1")" ] && return 0
    sleep 0.02
  done
  return 1
}
# Presses until the line shows (a press in a screen's first frames can go unseen).
press_until() {   # x y prefix
  for _ in 1 2 3 4; do
    press "$1" "$2"
    wait_line "$3" 5 && return 0
  done
  return 1
}

# One walk of the wizard into a fresh home; sets wizard_ms to the Next-to-finish time and
# to_install_ms to its part up to the Installing screen's first frame.
wizard() {
  local home="$dir/wizard home"
  rm -rf "$home" "$dir/wizard tmp"
  mkdir -p "$home/Desktop" "$home/.config" "$dir/wizard tmp"
  log="$dir/wizard.out"; err="$dir/wizard.err"
  : > "$log"
  sync
  # Each line of standard output is stamped as it arrives.
  HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" XDG_DESKTOP_DIR="$home/Desktop" \
    TMPDIR="$dir/wizard tmp" DISPLAY="$display" SDL_VIDEODRIVER=x11 VENTARO_TEST_SCREEN_LOG=1 \
    VENTARO_TEST_UNATTENDED=1 VENTARO_TEST_EXIT_AFTER_FRAMES=0 \
    "$installer" --lang=en --pref:_proxy_host=127.0.0.1 "--pref:_proxy_port_int=$port" "--pref:_proxy_port=$port" \
    2> "$err" > >(perl -MTime::HiRes=time -ne '$| = 1; printf "%.6f %s", time, $_' > "$log") &
  app_pid=$!
  window=""
  for _ in $(seq 1 300); do
    window="$(DISPLAY="$display" xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1)" || true
    [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || fail "no window"

  wait_line "screen: Welcome" 60 || fail "no Welcome screen"
  press_until $next_x $next_y "screen: End User License Agreement" || fail "Next on Welcome"
  press $agree_x $agree_y
  if ! press_until $next_x $next_y "screen: Check Servers"; then
    press $agree_x $agree_y   # the tick went unseen
    press_until $next_x $next_y "screen: Check Servers" || fail "Next on the licence"
  fi
  wait_line "screen: Pick Install Destination for" 60 || fail "no Pick Destination screen"
  sleep 0.5   # the screen's first frames check the destination and the disk space

  local start="" tries
  xdo mousemove --window "$window" $((next_x + 1)) $((600 - next_y))
  xdo mousemove --sync --window "$window" $next_x $((600 - next_y))
  for tries in 1 2 3 4; do
    xpress down
    start=$xpress_at
    sleep 0.06
    xpress up
    wait_line "screen: Installing" 3 && break
    start=""
  done
  [ -n "$start" ] || fail "Next on Pick Destination"
  wait_line "screen: Finshed Web Demo Install" 900 || fail "no finish screen"
  local end
  end=$(stamp_of "screen: Finshed Web Demo Install")
  press $quit_x $quit_y
  for _ in $(seq 1 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  grep -q "There were problem" "$log" && fail "the install reported an error"
  wizard_ms=$(ms_between "$start" "$end")
  to_install_ms=$(ms_between "$start" "$(stamp_of "screen: Installing")")
}

summary="$work/summary"
: > "$summary"
for round in $(seq 1 "$rounds"); do
  wizard
  w=$wizard_ms
  same_resources "$dir/master" "$dir/wizard home/Desktop/Ventaro 9 Demo" ||
    { echo "the wizard installed something else"; exit 1; }
  read -r total install longest pass frames _ < <(engine "$build" "$dir") || { echo "engine run failed"; exit 1; }
  same_resources "$dir/master" "$dir/engine dest" ||
    { echo "the engine installed something else"; exit 1; }
  echo "$round $w $install $total $frames $to_install_ms" >> "$summary"
  printf 'round %d: wizard %d ms (%d of them to the Installing screen), headless install %d ms (whole run %d ms, %d frames)\n' \
    "$round" "$w" "$to_install_ms" "$install" "$total" "$frames"
  rm -rf "$dir/wizard home" "$dir/engine dest"
done

echo
echo "wizard: Next on Pick Destination to the finish screen's first frame. headless: the engine's"
echo "install screen alone (install_ms) and its whole run with server list and manifest."
printf '%5s %10s %14s %11s %14s\n' round "wizard ms" "headless ms" ratio "(whole ms)"
awk '{ printf "%5d %10d %14d %10.2fx %14d\n", $1, $2, $3, $2 / $3, $4 }' "$summary"
awk '
  { w[NR] = $2; h[NR] = $3; r[NR] = $2 / $3 }
  function sort(a, n,   i, j, t) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t } }
  END {
    n = NR; sort(w, n); sort(h, n); sort(r, n)
    m = int((n + 1) / 2)
    printf "best of %d : wizard %d ms, headless %d ms, ratio %.2fx (goal <= 1.1x)\n", n, w[1], h[1], w[1] / h[1]
    printf "median    : ratio %.2fx (goal <= 1.1x)\n", r[m]
  }' "$summary"
