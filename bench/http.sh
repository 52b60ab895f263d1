#!/usr/bin/env bash
# One HTTP stream polled in a tight loop vs `curl -o`, both fetching a 200 MB file from nginx on
# loopback through the proxy route. Prints the median of five runs each and their ratio.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:-build/bench}"
nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
work="$(mktemp -d /tmp/ventaro-http-bench-XXXXXX)"
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www/bench.mirror" "$work/tmp"
head -c 200000000 /dev/urandom > "$work/www/bench.mirror/big.bin"

start_nginx() {
  local port=$1
  cat > "$work/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp/body; proxy_temp_path $work/tmp/proxy; fastcgi_temp_path $work/tmp/fcgi;
  uwsgi_temp_path $work/tmp/uwsgi; scgi_temp_path $work/tmp/scgi;
  sendfile on;
  server { listen 127.0.0.1:$port; server_name bench.mirror; root $work/www/bench.mirror; }
}
CONF
  "$nginx_bin" -p "$work/" -c "$work/nginx.conf" -e "$work/error.log" >/dev/null 2>&1 &
  nginx_pid=$!
  for _ in $(seq 100); do
    if curl -s -o /dev/null -x "127.0.0.1:$port" "http://bench.mirror/none" 2>/dev/null; then return 0; fi
    kill -0 "$nginx_pid" 2>/dev/null || { nginx_pid=""; return 1; }
    sleep 0.05
  done
  return 1
}

port=""
for _ in $(seq 10); do
  p=$(( 20000 + RANDOM % 40000 ))
  if start_nginx "$p"; then port=$p; break; fi
done
[ -n "$port" ] || { echo "nginx did not start"; exit 1; }

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

curl_ms=$(for _ in 1 2 3 4 5; do
  curl -s -x "127.0.0.1:$port" -o "$work/curl.out" -w '%{time_total}\n' "http://bench.mirror/big.bin"
done | awk '{ print $1 * 1000 }' | median)

VENTARO_BENCH_HTTP_PORT=$port VENTARO_BENCH_HTTP_HOST=bench.mirror VENTARO_BENCH_HTTP_PATH=/big.bin \
VENTARO_BENCH_HTTP_OUT="$work/ours.out" \
  "$build/bench/http_bench" --benchmark_out="$work/ours.csv" --benchmark_out_format=csv >/dev/null 2>"$work/bench.err"
ours_ms=$(grep '_median"' "$work/ours.csv" | head -1 | cut -d, -f3)

cmp -s "$work/ours.out" "$work/www/bench.mirror/big.bin" || { echo "downloaded file differs"; exit 1; }
awk -v o="$ours_ms" -v c="$curl_ms" 'BEGIN {
  printf "200 MB over loopback nginx: net_check stream %.0f ms (%.0f MB/s), curl -o %.0f ms (%.0f MB/s), ratio %.2f\n",
         o, 200000 / o, c, 200000 / c, o / c }'
