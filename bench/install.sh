#!/usr/bin/env bash
# Whole installs from three mirror names on one loopback nginx, driven in realistic frames (20 ms
# of work, then the rest of the 1/60 s tick waited out), every file's MD5 checked, against what a
# person would use instead: `curl --parallel --parallel-max 3` fetching the same archives through
# the same proxy, plus one `bsdtar -xf` extracting the same files from a single archive. The engine
# is reported against the sum of the two, and against curl's fetch alone (the wire), measured in
# the same run, for three sets:
#   1000 files, ~200 MB (text and random bytes of 0.5 to 400 kB)
#   20 files of 10 MB (bound by the wire and by inflating)
#   10,000 files of 2 kB (bound by requests)
# Each set takes VENTARO_BENCH_ROUNDS (default 3) rounds; in each round the engine, curl and bsdtar
# run one after the other into fresh folders. Then the engine's MD5 scan of the installed copy is
# compared with find | xargs -P md5sum. VENTARO_BENCH_SETS picks sets (default "1000 20x10M
# 10000x2k"); VENTARO_BENCH_COMPARE_BUILD names another build folder whose engine takes a turn in
# every round too (an older version, to see that a change made nothing slower).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
host="$(sed -n 's/^VENTARO_SERVER_HOST:STRING=//p' "$build/CMakeCache.txt")"
. "$here/lib/install_set.sh"
make_work ventaro-install-bench
trap 'kill "$(cat "$work/nginx.pid" 2>/dev/null)" 2>/dev/null || true; [ -n "${VENTARO_BENCH_KEEP:-}" ] || rm -rf "$work"' EXIT
rounds="${VENTARO_BENCH_ROUNDS:-3}"
sets="${VENTARO_BENCH_SETS:-1000 20x10M 10000x2k}"

curl_fetch() {
  local dir=$1 start end
  rm -rf "$dir/curl"
  mkdir -p "$dir/curl"
  sync
  start=$(now)
  curl -s --no-progress-meter --proxy "http://127.0.0.1:$port" --parallel --parallel-max 3 -K "$dir/urls"
  end=$(now)
  ms_between "$start" "$end"
}

bsdtar_extract() {
  local dir=$1 start end
  rm -rf "$dir/bsdtar dest"
  mkdir -p "$dir/bsdtar dest"
  sync
  start=$(now)
  bsdtar -xf "$dir/one.zip" -C "$dir/bsdtar dest"
  end=$(now)
  ms_between "$start" "$end"
}

start_nginx
engines=("$build")
[ -n "${VENTARO_BENCH_COMPARE_BUILD:-}" ] && engines+=("$VENTARO_BENCH_COMPARE_BUILD")
summary="$work/summary"
: > "$summary"
for kind in $sets; do
  case $kind in
    1000) count=1000 ;;
    20x10M) count=20 ;;
    10000x2k) count=10000 ;;
    *) echo "unknown set $kind"; exit 1 ;;
  esac
  echo "making set $kind..."
  make_set "$kind"
  dir="$work/$kind"
  list_set "$kind"
  cat "$dir/one.zip" "$work/www/Bench $kind"/All/Resources/*/*.zip > /dev/null
  for round in $(seq 1 "$rounds"); do
    for e in "${engines[@]}"; do
      read -r total install longest pass frames finish start fetched < <(engine "$e" "$dir") || { echo "engine run failed"; tail -20 "$work/logs/error.log"; exit 1; }
      # The installed copy must be the master copy, byte for byte.
      same_resources "$dir/master" "$dir/engine dest" || { echo "the engine installed something else"; exit 1; }
      label=$([ "$e" = "$build" ] && echo engine || echo "compare")
      echo "$kind $round $label $total $install $longest $pass $frames $finish $start $fetched" >> "$summary"
    done
    c=$(curl_fetch "$dir")
    [ "$(find "$dir/curl" -name '*.zip' | wc -l)" = "$(grep -c '^url' "$dir/urls")" ] || { echo "curl fetched the wrong number of archives"; exit 1; }
    b=$(bsdtar_extract "$dir")
    echo "$kind $round reference $c $b" >> "$summary"
    rm -rf "$dir/curl" "$dir/bsdtar dest"
  done
  if [ "$kind" = "1000" ]; then
    echo "MD5 scan of the installed copy (set $kind): engine against find | xargs -P$(nproc) md5sum"
    VENTARO_BENCH_PROXY_PORT=$port VENTARO_BENCH_DEST="$dir/engine dest/" VENTARO_BENCH_TEMP="$dir/engine tmp/" \
      "$build/bench/install_bench" --benchmark_format=console 2>/dev/null | grep -E "^BM_md5" || true
    start=$(now)
    find "$dir/engine dest" -type f -print0 | xargs -0 -P"$(nproc)" md5sum > /dev/null
    end=$(now)
    echo "md5sum: $(ms_between "$start" "$end") ms"
  fi
  [ -n "${VENTARO_BENCH_KEEP:-}" ] || rm -rf "$dir/engine dest" "$dir/master" "$dir/one.zip" "$work/www/Bench $kind"
done

echo
echo "engine: the whole run (server list, manifest, install) and, in brackets, the install screen"
echo "alone, its longest frame and longest single pass of grab_files, its number of frames, and the"
echo "flush of the finished copy to disk (part of the install screen's time)."
echo "reference: curl --parallel --parallel-max 3 through the same proxy, plus one bsdtar -xf of a"
echo "single zip of the same files. Ratios are the engine's whole run over the reference, and over"
echo "curl's fetch alone (the wire: goal at most 1.2x)."
echo
printf '%-9s %5s  %-7s %8s  %-38s  %-24s %-10s %s\n' set round engine ms "(install, frame, pass, frames, flush)" \
  "curl + bsdtar = ref ms" "engine/ref" "engine/curl"
awk '
  $3 == "reference" { ref[$1 " " $2] = $4 + $5; curl[$1 " " $2] = $4; part[$1 " " $2] = $4 " + " $5; next }
  { run[++n] = $0 }
  END {
    for (i = 1; i <= n; i++) {
      split(run[i], f, " ")
      key = f[1] " " f[2]
      inner = sprintf("(%d, %.1f, %.1f, %d, %.1f)", f[5], f[6], f[7], f[8], f[9])
      cmp = sprintf("%s = %d", part[key], ref[key])
      printf "%-9s %5s  %-7s %8d  %-38s  %-24s %-10s %.2fx\n", f[1], f[2], f[3], f[4], inner, cmp,
        sprintf("%.2fx", f[4] / ref[key]), f[4] / curl[key]
    }
  }' "$summary"
echo
echo "where the whole run goes: before the install screen (server list, manifest, scan, folders),"
echo "the install screen until the last download was in, and after it (the last extractions and"
echo "the flush)."
printf '%-9s %5s  %-7s %8s %8s %10s %8s\n' set round engine ms "start" "downloads" "after"
awk '$3 != "reference" { printf "%-9s %5s  %-7s %8d %8.1f %10.1f %8.1f\n", $1, $2, $3, $4, $10, $11, $5 - $11 }' "$summary"
