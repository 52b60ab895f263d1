#!/usr/bin/env bash
# The install benchmark's set "1000" (1000 files, ~200 MB) installed through the real wizard under
# Xvfb, against the engine's own headless benchmark of the same set (bench/install_bench) in the
# same run. The wizard is walked with xdotool to Pick Destination; its time runs from the press of
# Next there (made by bench/xpress, which says when the X server had it) to the first frame of the
# finish screen (the program's "screen:" line, stamped as it arrives). The headless figure it is
# held against is the install screen's own time (install_ms: the frames of grab_files, without the
# server list and manifest, which the wizard fetched on Check Servers); the headless whole run is
# shown too. Everything in /dev/shm; VENTARO_BENCH_ROUNDS (default 3) rounds of each variant, each
# round the wizard then the headless engine:
#   unpaced: the mirrors on loopback at full speed. The gap between the two is taken apart, each
#     part measured in the same wizard run: press to the first request (nginx's access log),
#     the install screen's frames outside its own calls (drawing, swap, event wait: the
#     program's frame log, VENTARO_TEST_FRAME_LOG), and the last frame (the install screen's
#     last call to the finish screen's first frame).
#   paced: every connection to the mirrors goes through bench/pace_relay at VENTARO_BENCH_PACE
#     bytes a second (default 41666667: the three mirrors together 1 Gbit/s); curl's parallel fetch
#     of the set through it in the same round shows what the wire delivered. Goal: wizard/headless
#     at most 1.05x.
# VENTARO_BENCH_VARIANTS picks variants (default "unpaced paced"); VENTARO_BENCH_SET another set of
# bench/install_set.pl.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
host="$(sed -n 's/^VENTARO_SERVER_HOST:STRING=//p' "$build/CMakeCache.txt")"
rounds="${VENTARO_BENCH_ROUNDS:-3}"
kind="${VENTARO_BENCH_SET:-1000}"   # another set of bench/install_set.pl: 20x10M or 10000x2k
variants="${VENTARO_BENCH_VARIANTS:-unpaced paced}"
pace="${VENTARO_BENCH_PACE:-41666667}"

. "$here/lib/install_set.sh"
. "$here/lib/xvfb.sh"
make_work ventaro-wizard-bench
# When each request began: the end of its answer less its duration.
nginx_access_log="log_format stamped '\$msec \$request_time \$request_uri'; access_log $work/logs/access.log stamped;"
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
# The paced wire: started before the paced rounds, it ends when its input closes.
stop_relay() {
  [ -n "${RELAY_PID:-}" ] || return 0
  local pid=$RELAY_PID
  eval "exec ${RELAY[1]}>&-"
  wait "$pid" 2>/dev/null || true
  RELAY_PID=""
}
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  stop_xpress
  stop_relay
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
    TMPDIR="$dir/wizard tmp" DISPLAY="$display" SDL_VIDEODRIVER=x11 VENTARO_TEST_SCREEN_LOG=1 VENTARO_TEST_FRAME_LOG=1 \
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
  : > "$work/logs/access.log"
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
  # The parts of the wizard's time the headless run does not have.
  local first_request frames_line
  first_request=$(awk '$3 ~ /\.zip$/ && $3 !~ /directory\.txt\.zip$/ { printf "%.3f\n", $1 - $2; exit }' "$work/logs/access.log")
  [ -n "$first_request" ] || fail "no request of the set in nginx's log"
  first_request_ms=$(ms_between "$start" "$first_request")
  frames_line=$(grep -m1 "^[0-9.]* frames: Installing " "$log") || fail "no frame log of the install screen"
  install_frames=$(sed -n 's/.* frames=\([0-9]*\).*/\1/p' <<< "$frames_line")
  other_ms=$(sed -n 's/.* other_ms=\([0-9.]*\).*/\1/p' <<< "$frames_line")
  last_frame_ms=$(ms_between "${frames_line%% *}" "$end")
}

# curl's parallel fetch of the set through the proxy port in use; prints its milliseconds.
curl_fetch() {
  local begin finish
  rm -rf "$dir/curl"
  mkdir -p "$dir/curl"
  begin=$(now)
  curl -s --no-progress-meter --proxy "http://127.0.0.1:$port" --parallel --parallel-max 3 -K "$dir/urls"
  finish=$(now)
  [ "$(find "$dir/curl" -name '*.zip' | wc -l)" = "$(grep -c '^url' "$dir/urls")" ] || { echo "curl fetched the wrong number of archives"; exit 1; }
  rm -rf "$dir/curl"
  ms_between "$begin" "$finish"
}

set_bytes=$(find "$work/www/Bench $kind" -name '*.zip' ! -name directory.txt.zip -print0 | du -cb --files0-from=- | tail -n1 | cut -f1)
nginx_port=$port
for variant in $variants; do
  summary="$work/summary.$variant"
  : > "$summary"
  case $variant in
    unpaced) port=$nginx_port ;;
    paced)
      coproc RELAY { "$build/bench/pace_relay" "$nginx_port" "$pace"; }
      read -r port <&"${RELAY[0]}" || { echo "the relay did not start"; exit 1; } ;;
    *) echo "unknown variant $variant"; exit 1 ;;
  esac
  echo "== $variant"
  for round in $(seq 1 "$rounds"); do
    wizard
    w=$wizard_ms
    same_resources "$dir/master" "$dir/wizard home/Desktop/Ventaro 9 Demo" ||
      { echo "the wizard installed something else"; exit 1; }
    read -r total install longest pass frames _ < <(engine "$build" "$dir") || { echo "engine run failed"; exit 1; }
    same_resources "$dir/master" "$dir/engine dest" ||
      { echo "the engine installed something else"; exit 1; }
    c=0
    [ "$variant" = paced ] && c=$(curl_fetch)
    echo "$round $w $install $total $frames $to_install_ms $first_request_ms $other_ms $last_frame_ms $install_frames $c" >> "$summary"
    printf 'round %d: wizard %d ms (%d of them to the Installing screen), headless install %d ms (whole run %d ms, %d frames)\n' \
      "$round" "$w" "$to_install_ms" "$install" "$total" "$frames"
    rm -rf "$dir/wizard home" "$dir/engine dest"
  done
  [ "$variant" = paced ] && stop_relay
done

echo
echo "wizard: Next on Pick Destination to the finish screen's first frame. headless: the engine's"
echo "install screen alone (install_ms) and its whole run with server list and manifest."
ratios() {   # summary file, goal
  printf '%5s %10s %14s %11s %14s\n' round "wizard ms" "headless ms" ratio "(whole ms)"
  awk '{ printf "%5d %10d %14d %10.2fx %14d\n", $1, $2, $3, $2 / $3, $4 }' "$1"
  awk -v goal="$2" '
    { w[NR] = $2; h[NR] = $3; r[NR] = $2 / $3 }
    function sort(a, n,   i, j, t) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { t = a[j]; a[j] = a[j - 1]; a[j - 1] = t } }
    END {
      n = NR; sort(w, n); sort(h, n); sort(r, n)
      m = int((n + 1) / 2)
      printf "best of %d : wizard %d ms, headless %d ms, ratio %.2fx%s\n", n, w[1], h[1], w[1] / h[1], goal
      printf "median    : ratio %.2fx%s\n", r[m], goal
    }' "$1"
}
if [ -s "$work/summary.unpaced" ]; then
  echo
  echo "unpaced (loopback at full speed)"
  ratios "$work/summary.unpaced" ""
  echo
  echo "where the wizard's extra time goes, each part measured in the same wizard run: press to the"
  echo "first request of the set; the install screen's frames outside its own calls (drawing, swap,"
  echo "event wait); its last call to the finish screen's first frame; the rest (the downloads"
  echo "themselves going slower or faster than headless)."
  printf '%5s %8s %14s %16s %11s %8s\n' round "gap ms" "press->request" "draw+swap (frames)" "last frame" "rest"
  awk '{ gap = $2 - $3; printf "%5d %8d %14d %11.1f (%3d) %11d %8.1f\n", $1, gap, $7, $8, $10, $9, gap - $7 - $8 - $9 }' \
    "$work/summary.unpaced"
fi
if [ -s "$work/summary.paced" ]; then
  echo
  echo "paced ($pace bytes a second on each connection, through bench/pace_relay); curl: its parallel"
  echo "fetch of the set's $set_bytes bytes through the same relay, and the rate it saw."
  ratios "$work/summary.paced" " (goal <= 1.05x)"
  awk -v b="$set_bytes" '{ printf "round %d: curl %d ms, %.2f Gbit/s\n", $1, $11, b * 8 / ($11 / 1000) / 1e9 }' "$work/summary.paced"
fi
