#!/usr/bin/env bash
# Repairing an installed copy of the 1000-file, ~200 MB set (text and random files of 0.5 to 400 kB)
# from a disc image mounted read-only through a loop device.
#  1. The repair's scan (every simulator file of the copy by MD5 on one thread per processor, one
#     call per 1/60 s frame, as the scan screen drives it) against `find | xargs -P$(nproc) md5sum`
#     over the same tree, taking turns in each of three rounds after one warm-up round (the load
#     average is printed with each round: other work on the machine slows all of them). The copy lies
#     in $VENTARO_BENCH_TMP (default /dev/shm, a memory file system) and is read through once before
#     the rounds, so both read a warm page cache.
#  2. Ten files of the copy damaged (five with a byte flipped, five deleted), then the repair through
#     the engine: the archives read off the disc (opens traced with strace), the files unpacked (the
#     pipeline's "EXPANDING file" log lines) and every file's MD5 against the master's afterwards.
# VENTARO_BENCH_REALTIME=1 runs the rounds under `chrt -f 1` (the script and all it starts), ahead of
# the machine's other work: a view of an idle machine while others build on it.
# VENTARO_BENCH_COMPARE_BUILD names another build folder whose scan takes a turn in every round too
# (an older version, to see what a change made faster). Needs root (mount) and strace; otherwise it
# says so and stops.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
if [ "$(id -u)" != 0 ] || ! command -v mksquashfs > /dev/null || ! command -v strace > /dev/null; then
  echo "repair benchmark: needs root, mksquashfs and strace to mount and watch a disc image; skipped"
  exit 0
fi
. "$here/lib/disc_set.sh"
make_disc_work ventaro-repair-bench
copy="$work/copy"
make_disc_master
# What every file of the copy must hash to: the master's files, as an install lays them out.
(cd "$work/master/All" && find . -type f -print0 | xargs -0 md5sum) > "$work/master.md5"
mkdir -p "$work/disc"
"$build/bench/disc_install_bench" --make-disc "$work/master" "$work/disc" > /dev/null
mksquashfs "$work/disc/disk_0" "$work/disc.img" -noappend -quiet -no-progress > /dev/null
rm -rf "$work/disc" "$work/master"
mkdir -p "$drive"
mount -o loop,ro "$work/disc.img" "$drive"

mkdir -p "$copy.tmp"
"$build/bench/disc_install_bench" "$drive" "$copy" "$copy.tmp" > /dev/null
(cd "$copy" && md5sum -c --quiet "$work/master.md5") || { echo "the installed copy is not the master"; exit 1; }
files=$(find "$copy" -type f | wc -l)
size=$(du -sb "$copy" | cut -f1)

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", b - a }'; }

# A scan by the engine of build $1: prints its seconds and frames; the files it looked at must all match.
ours() {
  local seconds frames looked matching
  read -r seconds frames looked matching < <("$1/bench/repair_bench" scan "$drive" "$copy" "$copy.tmp")
  [ "$looked" = "$files" ] && [ "$matching" = "$files" ] ||
    { echo "the scan looked at $looked files and matched $matching of the copy's $files" >&2; exit 1; }
  echo "$seconds $frames"
}

# find | xargs -P md5sum with xargs' extra arguments; prints its seconds.
theirs() {
  local start end
  start=$(now)
  find "$copy" -type f -print0 | xargs -0 -P"$(nproc)" "$@" md5sum > "$work/md5sum.out"
  end=$(now)
  [ "$(wc -l < "$work/md5sum.out")" = "$files" ] || { echo "md5sum hashed the wrong number of files" >&2; exit 1; }
  elapsed "$start" "$end"
}

# xargs hands one md5sum as many paths as fit its command line: for this tree that is all of them,
# and the command as written runs on one processor. The second reference deals the files out to
# one md5sum per processor, so that it runs on every one.
spread=(-n "$(( (files + $(nproc) - 1) / $(nproc) ))")
processes() { find "$copy" -type f -print0 | xargs -0 -P"$(nproc)" "$@" sh -c 'echo' md5sum | wc -l; }

# Warm: the copy read through once, and one round of each left out of the figures.
find "$copy" -type f -print0 | xargs -0 cat > /dev/null
builds=("$build")
[ -n "${VENTARO_BENCH_COMPARE_BUILD:-}" ] && builds+=("$VENTARO_BENCH_COMPARE_BUILD")
for b in "${builds[@]}"; do ours "$b" > /dev/null; done
theirs > /dev/null
theirs "${spread[@]}" > /dev/null
echo "repair scan of an installed copy: $files files, $(awk -v s="$size" 'BEGIN { printf "%.1f", s / 1e6 }') MB" \
  "in $base (page cache warm for both), $(nproc) processors${VENTARO_BENCH_REALTIME:+, rounds under chrt -f 1}"
echo "references: find | xargs -P$(nproc) md5sum (xargs starts $(processes) md5sum), and the same with" \
  "xargs ${spread[*]} (xargs starts $(processes "${spread[@]}"))"
[ -n "${VENTARO_BENCH_REALTIME:-}" ] && chrt -f -p 1 $$
for round in 1 2 3; do
  load=$(cut -d' ' -f1 /proc/loadavg)
  line="run $round (load $load):"
  for b in "${builds[@]}"; do
    read -r seconds frames < <(ours "$b")
    label=$([ "$b" = "$build" ] && echo scan || echo "compare scan")
    line+=" $label $seconds s ($frames frames),"
    [ "$b" = "$build" ] && o=$seconds
  done
  t=$(theirs)
  s=$(theirs "${spread[@]}")
  echo "$line md5sum $t s, md5sum ${spread[*]} $s s;" \
    "$(awk -v o="$o" -v t="$t" -v s="$s" 'BEGIN { printf "ratio %.2fx, %.2fx against every processor (goal <= 1.0x)", o / t, o / s }')"
done
[ -n "${VENTARO_BENCH_REALTIME:-}" ] && chrt -o -p 0 $$

# Ten damaged files: a byte flipped in the first five, the next five deleted.
mapfile -t damaged < <(cd "$copy" && find Resources -name 'file *.dat' | sort | awk 'NR % 97 == 1' | head -10)
[ "${#damaged[@]}" = 10 ] || { echo "found ${#damaged[@]} files to damage"; exit 1; }
for i in 0 1 2 3 4; do
  perl -e 'open(my $f, "+<:raw", $ARGV[0]) or die; my $n = -s $f; seek($f, $n / 2, 0); read($f, my $b, 1);
           seek($f, $n / 2, 0); print $f chr(ord($b) ^ 0x5a); close($f) or die' "$copy/${damaged[$i]}"
done
for i in 5 6 7 8 9; do rm "$copy/${damaged[$i]}"; done
if (cd "$copy" && md5sum -c --quiet "$work/master.md5" > /dev/null 2>&1); then echo "the damage did not take"; exit 1; fi

strace -f -qq -e trace=open,openat,openat2 -o "$work/opens" \
  "$build/bench/repair_bench" repair "$drive" "$copy" "$copy.tmp" "$work/repair.log" > "$work/repair.out" ||
  { echo "the repair failed:"; cat "$work/repair.out"; tail -5 "$work/repair.log"; exit 1; }
# Archives read off the disc: opens of its zips other than the set's directory (a call that a
# thread's switch splits is counted by its first half, the one with the path).
grep -F "\"$drive/" "$work/opens" | grep -vF 'directory.txt.zip' | grep -v ' = -1 ' |
  sed -n 's/^[0-9]* *[a-z0-9]*([^"]*"\([^"]*\.zip\)".*/\1/p' > "$work/read_off"
read_off=$(wc -l < "$work/read_off")
# Which files they were: the paths below the set's top folder, without ".zip".
sed "s|^$drive/[^/]*/[^/]*/||; s|\.zip\$||" "$work/read_off" | sort > "$work/read_files"
printf '%s\n' "${damaged[@]}" | sort > "$work/damaged_files"
unpacked=$(grep -c '^EXPANDING file .*, with result=0\.$' "$work/repair.log" || true)
expanded=$(grep -c '^EXPANDING file ' "$work/repair.log" || true)
echo "repair of 10 damaged files (5 with a byte flipped, 5 deleted): $(cat "$work/repair.out")"
echo "archives copied off the disc: $read_off; files unpacked: $unpacked ($expanded EXPANDING lines)"
cmp -s "$work/read_files" "$work/damaged_files" ||
  { echo "the archives read off the disc are not those of the damaged files:"; diff "$work/damaged_files" "$work/read_files" | head; exit 1; }
if (cd "$copy" && md5sum -c --quiet "$work/master.md5"); then
  echo "every file's MD5 matches the master's afterwards ($(wc -l < "$work/master.md5") files)"
else
  echo "some files differ from the master after the repair"
  exit 1
fi
[ "$read_off" = 10 ] && [ "$unpacked" = 10 ] && [ "$expanded" = 10 ] ||
  { echo "the repair should copy and unpack exactly the 10 damaged files"; exit 1; }
echo "exactly the 10 damaged files' archives were copied off the disc and unpacked"
