# Sourced by the install benchmarks: a scratch folder, the set on the mirror, the server list that
# names it, one nginx serving both on loopback, and one headless engine install of the set. The
# caller sets $here (bench/) and $host (the server-list host the build asks); make_work sets $work
# and start_nginx sets $port.

# Sets $work to a fresh scratch folder with www/, tmp/, logs/ and list/ for nginx. A memory file
# system keeps disk write-back of earlier rounds out of the timings; every tool writes to the same one.
make_work() {
  local base="${VENTARO_BENCH_TMP:-/dev/shm}"
  [ -d "$base" ] && [ -w "$base" ] || base=/tmp
  work="$(mktemp -d "$base/$1.XXXXXX")"
  mkdir -p "$work/www" "$work/tmp" "$work/logs" "$work/list"
}

now() { date +%s.%N; }
ms_between() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", (b - a) * 1000 }'; }

# The product's builder makes a web set from a master folder into a new folder: its own program,
# headless (SDL's offscreen driver) and unattended (--qa_script: its alerts only go to its log,
# which lies beside its copy in $work), with no previous release. Prints the set's name.
build_set() {
  local master=$1 out=$2
  [ -d "$work/builder" ] || cp -r "$VENTARO_BENCH_BUILD/builder" "$work/builder"
  printf 'I\n900 version\nINSTALLER\n\n' > "$work/previous.txt"
  SDL_VIDEODRIVER=offscreen "$work/builder/Ventaro Builder.app/Contents/MacOS/Ventaro Builder" --lang=en \
    --qa_script=bench "--src_fold=$master/" "--dst_fold_base=$out/" "--old_dir_path=$work/previous.txt" > /dev/null ||
    { echo "the builder failed; see $work/builder/Ventaro Installer Log.txt"; exit 1; }
  sed -n 's/^VERSION //p' "$out/dvd_version.txt"
}

# Makes the set: the master folder (bench/install_set.pl), the web set the builder makes of it on
# the mirror, curl's list of its archives dealt to the three mirror names in turn, and the single
# archive of the same files that bsdtar extracts.
make_set() {
  local kind=$1 dir="$work/$1" mirror="$work/www/Bench $1" name
  mkdir -p "$dir"
  perl "$here/install_set.pl" "$kind" "$dir/master"
  rm -rf "$dir/built"
  name=$(build_set "$dir/master" "$dir/built")
  mv "$dir/built/$name" "$mirror"
  rm -rf "$dir/built"
  (cd "$mirror" && find . -name '*.zip' ! -name directory.txt.zip | sort) |
    awk -v set="Bench $1" -v out="$dir/curl" '{
      path = substr($0, 3); url = set "/" path; gsub(/ /, "%20", url)
      printf "url = \"http://m%d.bench/%s\"\noutput = \"%s/%d.zip\"\n", (NR - 1) % 3 + 1, url, out, NR
    }' > "$dir/urls"
  (cd "$dir/master" && bsdtar --format zip -cf "$dir/one.zip" All)
  printf 'set %s: %d files, %s, %s zipped\n' "$kind" "$(find "$dir/master" -type f | wc -l)" \
    "$(du -sh --apparent-size "$dir/master" | cut -f1)" "$(du -sh --apparent-size "$mirror" | cut -f1)"
}

# The master's files against an installed copy: a copy holds the plug-ins of its own platform only.
same_resources() {
  diff -r -x plugins "$1/All/Resources" "$2/Resources" > /dev/null
}

# The server list that names the set: the engine installs whatever its FINAL line says.
list_set() {
  cat > "$work/list/serverlist9.txt" <<LIST
I
820 version
SERVERS

FINAL Bench $1
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
}

# A random port may be taken by someone else: try a few. A caller that wants nginx's access log
# sets nginx_access_log to its directives first.
start_nginx() {
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
  ${nginx_access_log:-access_log off;}
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

# One engine install of the listed set into a fresh folder; prints "total_ms install_ms
# longest_frame_ms longest_pass_ms frames finish_ms start_ms fetched_ms": start_ms is the part of
# the run before the install screen (server list, manifest, scan, folders), fetched_ms the part of
# the install screen until the last download was in.
engine() {
  local engine_build=$1 dir=$2
  rm -rf "$dir/engine dest" "$dir/engine tmp"
  mkdir -p "$dir/engine tmp"
  sync
  VENTARO_BENCH_PROXY_PORT=$port VENTARO_BENCH_DEST="$dir/engine dest/" VENTARO_BENCH_TEMP="$dir/engine tmp/" \
    timeout 900 "$engine_build/bench/install_bench" --benchmark_format=csv \
    --benchmark_filter='^BM_install_from_three_mirrors' 2>/dev/null |
    awk -F, '
      NR == 1 { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }; next }
      index($1, "\"BM_install") == 1 {
        printf "%.0f %.0f %.1f %.1f %.0f %.1f %.1f %.1f\n", $col["real_time"], $col["install_ms"], $col["longest_frame_ms"],
               $col["longest_pass_ms"], $col["frames"], ("finish_ms" in col) ? $col["finish_ms"] : 0,
               ("start_ms" in col) ? $col["start_ms"] : 0, ("fetched_ms" in col) ? $col["fetched_ms"] : 0
      }'
}
