#!/usr/bin/env bash
# The web updater bringing an installed copy of the install benchmark's set "1000" (1000 files,
# ~200 MB) up to date after 10 of its files changed on the mirrors, under Xvfb, clicked as a person
# would, with -path naming the copy. Against, in the same run:
#   bytes: what nginx sent for the files' archives (its access log) and the zipped size of the 10;
#          goal at most 1.05x (the server list and the manifest are shown beside it);
#   time:  the update's whole run (Next on Welcome to the first frame of Check Disk Space, plus Next
#          there to the first frame of Finish: the wait for the second press is left out) against
#          an MD5 scan of the copy alone (md5sum over every file, one per processor) plus curl
#          fetching the 10 archives from the three mirrors at once; goal at most 1.5x.
# The copy is installed once by the headless engine (bench/install_bench) and restored before
# each of VENTARO_BENCH_ROUNDS (default 3) rounds; everything lies in /dev/shm.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
host="$(sed -n 's/^VENTARO_SERVER_HOST:STRING=//p' "$build/CMakeCache.txt")"
rounds="${VENTARO_BENCH_ROUNDS:-3}"
kind=1000
changed=(0 99 201 300 402 501 600 702 801 999)

. "$here/lib/install_set.sh"
. "$here/lib/xvfb.sh"
make_work ventaro-update-bench
xvfb_pid=""
app_pid=""
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
fail() {
  echo "update run failed: $1"
  echo "-- program output:"; tail -20 "$log" 2>/dev/null || true
  echo "-- program errors:"; tail -20 "$err" 2>/dev/null || true
  exit 1
}

# nginx as the install benchmarks run it, with an access log of the bytes sent for each request.
start_logging_nginx() {
  for attempt in 1 2 3 4 5; do
    port=$(shuf -i 20000-60000 -n 1)
    cat > "$work/nginx.conf" <<CONF
daemon on;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/logs/error.log;
events { worker_connections 256; }
http {
  log_format sent '\$host "\$request_uri" \$body_bytes_sent';
  access_log $work/logs/access.log sent;
  client_body_temp_path $work/tmp/b; proxy_temp_path $work/tmp/p; fastcgi_temp_path $work/tmp/f;
  uwsgi_temp_path $work/tmp/u; scgi_temp_path $work/tmp/s;
  default_type application/octet-stream; sendfile on; keepalive_requests 100000;
  server { listen 127.0.0.1:$port; server_name m1.bench m2.bench m3.bench; root $work/www; }
  server { listen 127.0.0.1:$port; server_name $host; root $work/list; }
}
CONF
    nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" 2>/dev/null && return 0
  done
  echo "nginx could not be started"
  exit 1
}

start_logging_nginx
start_xvfb
echo "making set $kind and installing it..."
make_set "$kind"
list_set "$kind"
dir="$work/$kind"
mirror="$work/www/Bench $kind"
read -r _ < <(engine "$build" "$dir") || { echo "engine run failed"; exit 1; }
same_resources "$dir/master" "$dir/engine dest" || { echo "the engine installed something else"; exit 1; }
mv "$dir/engine dest" "$dir/pristine"

# The next release: 10 files with new bytes of the same size, built against this one's manifest.
# This release's manifest as the previous one, its files at version 1 (the builder gives every file
# of the release it makes the same, higher, version).
bsdtar -xOf "$mirror/directory.txt.zip" directory.txt | sed -E 's/^FILE ([0-9]+) ([0-9]+) [0-9]+ /FILE \1 \2 1 /' \
  > "$work/previous.txt"
paths=()
for i in "${changed[@]}"; do
  p="All/Resources/folder $((i / 50))/file $i.dat"
  head -c "$(stat -c %s "$dir/master/$p")" /dev/urandom > "$dir/master/$p"
  paths+=("$p")
done
rm -rf "$dir/built"
[ -d "$work/builder" ] || cp -r "$VENTARO_BENCH_BUILD/builder" "$work/builder"
SDL_VIDEODRIVER=offscreen "$work/builder/Ventaro Builder.app/Contents/MacOS/Ventaro Builder" --lang=en \
  --qa_script=bench "--src_fold=$dir/master/" "--dst_fold_base=$dir/built/" "--old_dir_path=$work/previous.txt" > /dev/null ||
  { echo "the builder failed; see $work/builder/Ventaro Installer Log.txt"; tail -5 "$work/builder/Ventaro Installer Log.txt"; exit 1; }
name=$(sed -n 's/^VERSION //p' "$dir/built/dvd_version.txt")
rm -rf "$mirror"
mv "$dir/built/$name" "$mirror"
zipped=0
: > "$work/curl10"
n=0
for p in "${paths[@]}"; do
  z="$mirror/$p.zip"
  [ -f "$z" ] || { echo "no archive $z"; exit 1; }
  zipped=$((zipped + $(stat -c %s "$z")))
  n=$((n + 1))
  url="Bench $kind/$p.zip"
  printf 'url = "http://m%d.bench/%s"\noutput = "%s/fetched/%d.zip"\n' $(( (n - 1) % 3 + 1 )) "${url// /%20}" "$work" "$n" \
    >> "$work/curl10"
done
echo "changed 10 files: $zipped bytes zipped"

cp -r "$build/Ventaro Web Updater.app" "$work/"
updater="$work/Ventaro Web Updater.app/Contents/MacOS/Ventaro Web Updater"
coproc XPRESS { DISPLAY="$display" "$build/bench/xpress"; }
xpress() { echo "$1" >&"${XPRESS[1]}"; read -r xpress_at <&"${XPRESS[0]}" || fail "no answer from xpress"; }
next_x=725; next_y=23
quit_x=742; quit_y=23
xdo() { DISPLAY="$display" xdotool "$@" > /dev/null 2>&1; }
press() {
  xdo mousemove --window "$window" "$(($1 + 1))" "$((600 - $2))"
  xdo mousemove --sync --window "$window" "$1" "$((600 - $2))"
  xdo mousedown 1
  sleep 0.06
  xdo mouseup 1
}
stamp_of() { awk -v p="$1" 'index(substr($0, index($0, " ") + 1), p) == 1 { print $1; exit }' "$log"; }
wait_line() {
  local end=$((SECONDS + $2))
  while [ $SECONDS -lt $end ]; do
    [ -n "$(stamp_of "$1")" ] && return 0
    sleep 0.02
  done
  return 1
}
# Presses Next through xpress until the line shows; sets timed_press to the press the X server had.
timed_next_until() {
  timed_press=""
  xdo mousemove --window "$window" $((next_x + 1)) $((600 - next_y))
  xdo mousemove --sync --window "$window" $next_x $((600 - next_y))
  for _ in 1 2 3 4; do
    xpress down
    timed_press=$xpress_at
    sleep 0.06
    xpress up
    wait_line "$1" 3 && return 0
  done
  timed_press=""
  return 1
}

copy="$dir/copy"
update() {
  rm -rf "$copy" "$dir/home" "$dir/tmp"
  cp -a "$dir/pristine" "$copy"
  mkdir -p "$dir/home/.config" "$dir/tmp"
  log="$dir/update.out"; err="$dir/update.err"
  : > "$log"
  : > "$work/logs/access.log"
  sync
  HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" TMPDIR="$dir/tmp" DISPLAY="$display" SDL_VIDEODRIVER=x11 \
    VENTARO_TEST_SCREEN_LOG=1 VENTARO_TEST_UNATTENDED=1 VENTARO_TEST_EXIT_AFTER_FRAMES=0 \
    "$updater" -path "$copy/" --lang=en --pref:_proxy_host=127.0.0.1 "--pref:_proxy_port_int=$port" "--pref:_proxy_port=$port" \
    2> "$err" > >(perl -MTime::HiRes=time -ne '$| = 1; printf "%.6f %s", time, $_' > "$log") &
  app_pid=$!
  window=""
  for _ in $(seq 1 300); do
    window="$(DISPLAY="$display" xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1)" || true
    [ -n "$window" ] && break
    sleep 0.05
  done
  [ -n "$window" ] || fail "no window"
  wait_line "screen: Ventaro 9 Web Updater" 60 || fail "no Welcome screen"
  sleep 0.3
  timed_next_until "screen: Search for Updates" || fail "Next on Welcome"
  local t0=$timed_press
  wait_line "screen: Check Disk Space" 300 || fail "no Check Disk Space screen"
  local t1
  t1=$(stamp_of "screen: Check Disk Space")
  sleep 0.3
  timed_next_until "screen: Installing" || fail "Next on Check Disk Space"
  local t2=$timed_press
  wait_line "screen: Finshed Web Update" 300 || fail "no finish screen"
  local t3
  t3=$(stamp_of "screen: Finshed Web Update")
  press $quit_x $quit_y
  for _ in $(seq 1 200); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.05; done
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  grep -q "There were problems updating" "$log" && fail "the update reported an error"
  update_ms=$(( $(ms_between "$t0" "$t1") + $(ms_between "$t2" "$t3") ))
  files_bytes=$(awk '$2 ~ /\.zip"$/ && $2 !~ /directory\.txt\.zip"$/ { s += $3 } END { print s + 0 }' "$work/logs/access.log")
  all_bytes=$(awk '{ s += $3 } END { print s + 0 }' "$work/logs/access.log")
}

# The reference: every file of the copy through md5sum, one process per processor, then curl
# fetching the 10 archives from the three mirrors at once.
reference() {
  rm -rf "$copy" "$work/fetched"
  cp -a "$dir/pristine" "$copy"
  mkdir -p "$work/fetched"
  sync
  local a b c
  a=$(now)
  (cd "$copy" && find . -type f -print0 | xargs -0 -P "$(nproc)" -n 64 md5sum > /dev/null)
  b=$(now)
  curl -s --no-progress-meter --fail --parallel --parallel-max 3 -x "127.0.0.1:$port" -K "$work/curl10" || { echo "curl failed"; exit 1; }
  c=$(now)
  md5_ms=$(ms_between "$a" "$b")
  curl_ms=$(ms_between "$b" "$c")
}

summary="$work/summary"
: > "$summary"
for round in $(seq 1 "$rounds"); do
  update
  # The updated copy holds the new release.
  same_resources "$dir/master" "$copy" || { echo "the update left something else"; exit 1; }
  reference
  echo "$round $update_ms $md5_ms $curl_ms $files_bytes $all_bytes $zipped" >> "$summary"
  printf 'round %d: update %d ms; md5sum scan %d ms + curl of the 10 %d ms; archives sent %d bytes (all %d)\n' \
    "$round" "$update_ms" "$md5_ms" "$curl_ms" "$files_bytes" "$all_bytes"
done

echo
printf '%5s %10s %9s %8s %10s %7s %14s %12s %7s\n' round "update ms" "md5 ms" "curl ms" "ref ms" ratio \
  "archive bytes" "zipped 10" ratio
awk '{ printf "%5d %10d %9d %8d %10d %6.2fx %14d %12d %6.3fx\n", $1, $2, $3, $4, $3 + $4, $2 / ($3 + $4), $5, $7, $5 / $7 }' "$summary"
awk '
  { t[NR] = $2 / ($3 + $4); b[NR] = $5 / $7; all[NR] = $6 / $7 }
  function sort(a, n,   i, j, x) { for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) { x = a[j]; a[j] = a[j - 1]; a[j - 1] = x } }
  END {
    n = NR; sort(t, n); sort(b, n); sort(all, n)
    m = int((n + 1) / 2)
    printf "median time ratio %.2fx (goal <= 1.5x); median bytes ratio %.3fx (goal <= 1.05x); with server list and manifest %.3fx\n", t[m], b[m], all[m]
  }' "$summary"
