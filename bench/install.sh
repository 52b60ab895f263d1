#!/usr/bin/env bash
# Installs a ~1000-file, ~200 MB set from three mirror names on one loopback nginx with the
# engine (polled in 20 ms frames), against curl over 3 parallel connections plus bsdtar; then
# the engine's MD5 scan of the installed copy against find | xargs -P md5sum.
# VENTARO_BENCH_ROUNDS (default 1) repeats the engine's install; VENTARO_BENCH_COMPARE_BUILD names
# another build folder whose engine takes turns with this one on the same set (an older version,
# to see that a change made nothing slower).
set -euo pipefail
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
host="$(sed -n 's/^VENTARO_SERVER_HOST:STRING=//p' "$build/CMakeCache.txt")"
work="$(mktemp -d)"
trap 'kill "$(cat "$work/nginx.pid" 2>/dev/null)" 2>/dev/null || true; [ -n "${VENTARO_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
set_name="Bench Set"
www="$work/www"
src="$work/master"
mkdir -p "$www/$set_name" "$src" "$work/tmp" "$work/logs"

echo "making the install set..."
manifest="$work/directory.txt"
printf 'I\n900 version\nINSTALLER\n\n' > "$manifest"
for i in $(seq 0 $(( ${VENTARO_BENCH_FILES:-1000} - 1 ))); do
  folder="Ventaro/Resources/folder $((i / 50))/"
  name="file $i.dat"
  size=$(( (i * 7919 % 400) * 1000 + 500 ))
  mkdir -p "$src/$folder" "$www/$set_name/$folder"
  if (( i % 3 == 0 )); then head -c "$size" /dev/urandom > "$src/$folder$name"
  else head -c "$size" < <(yes "line $i of some text for the installer benchmark") > "$src/$folder$name"; fi
  (cd "$src/$folder" && bsdtar --format zip -cf "$www/$set_name/$folder$name.zip" "$name")
  if (( i % 50 == 0 )); then printf '\nDIR %s\n' "$folder" >> "$manifest"; fi
  md5=$(md5sum < "$src/$folder$name" | cut -c1-32)
  zsize=$(stat -c %s "$www/$set_name/$folder$name.zip")
  printf 'FILE 0 0 1 %d %d %s %s\n' $((zsize / 1000)) $((size / 1000)) "$md5" "$name" >> "$manifest"
done
(cd "$work" && bsdtar --format zip -cf "$www/$set_name/directory.txt.zip" directory.txt)
du -sh "$src" | sed 's/^/set size: /'

cat > "$work/serverlist9.txt" <<LIST
I
820 version
SERVERS

FINAL $set_name
SERVER m1.bench
/
one

SERVER m2.bench
/
two

SERVER m3.bench
/
three

ENDOFLIST
LIST

# A random port may be taken by someone else: try a few.
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
  access_log off;
  client_body_temp_path $work/tmp/b; proxy_temp_path $work/tmp/p; fastcgi_temp_path $work/tmp/f;
  uwsgi_temp_path $work/tmp/u; scgi_temp_path $work/tmp/s;
  default_type application/octet-stream; sendfile on; keepalive_requests 100000;
  server { listen 127.0.0.1:$port; server_name m1.bench m2.bench m3.bench; root $www; }
  server { listen 127.0.0.1:$port; server_name $host; root $work; }
}
CONF
  nginx -p "$work" -c "$work/nginx.conf" -e "$work/logs/error.log" 2>/dev/null && break
done
sleep 0.3

engines=("$build")
[ -n "${VENTARO_BENCH_COMPARE_BUILD:-}" ] && engines+=("$VENTARO_BENCH_COMPARE_BUILD")
for round in $(seq 1 "${VENTARO_BENCH_ROUNDS:-1}"); do
  for engine in "${engines[@]}"; do
    rm -rf "$work/engine dest" "$work/tmp"/*.zip
    echo "engine install and scan ($engine, round $round)..."
    VENTARO_BENCH_PROXY_PORT=$port VENTARO_BENCH_DEST="$work/engine dest/" VENTARO_BENCH_TEMP="$work/tmp/" \
      timeout 600 "$engine/bench/install_bench" --benchmark_format=console 2>/dev/null | grep -E "^BM_" ||
      { echo "engine run failed"; tail -20 "$work/logs/error.log"; ls -la "$work/tmp"; }
  done
done

echo "curl (3 parallel connections) + bsdtar..."
urls="$work/urls"
: > "$urls"
n=0
while IFS= read -r -d '' zip; do
  rel="${zip#$www/}"
  mirror="m$(( n % 3 + 1 )).bench"
  enc="${rel// /%20}"
  printf 'url = "http://%s/%s"\noutput = "%s/curl/%d.zip"\n' "$mirror" "$enc" "$work" "$n" >> "$urls"
  n=$((n + 1))
done < <(find "$www/$set_name/Ventaro" -name '*.zip' -print0)
mkdir -p "$work/curl" "$work/curl dest"
start=$(date +%s.%N)
curl -s --no-progress-meter --proxy "http://127.0.0.1:$port" --parallel --parallel-max 3 -K "$urls"
for z in "$work"/curl/*.zip; do bsdtar -xf "$z" -C "$work/curl dest"; done
end=$(date +%s.%N)
echo "curl+bsdtar: $(echo "($end - $start) * 1000" | bc) ms for $n archives"

echo "find | xargs -P$(nproc) md5sum of the installed copy..."
start=$(date +%s.%N)
find "$work/engine dest" -type f -print0 | xargs -0 -P"$(nproc)" md5sum > /dev/null
end=$(date +%s.%N)
echo "md5sum: $(echo "($end - $start) * 1000" | bc) ms"
