#!/usr/bin/env bash
# Installing a 1000-file, ~200 MB set (text and random files of 0.5 to 400 kB) from a disc image
# mounted read-only through a loop device: the pipeline (archives copied off the disc one at a time
# and unpacked on one thread per processor, each file's MD5 checked before it goes in place, polled
# once per 1/60 s frame) against what a person would do instead: `cp -r` of the archives off the
# disc, `mkdir -p` of the set's folders, then `xargs -P$(nproc) -n3 bsdtar -xC <folder> -f <archive>`
# over them. Both read the same mounted image; each takes three turns after one warm-up round,
# into fresh folders, and the trees they make are compared. Needs root (mount); otherwise it says
# so and stops.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="${VENTARO_BENCH_BUILD:?run through scripts/bench}"
if [ "$(id -u)" != 0 ] || ! command -v mksquashfs > /dev/null; then
  echo "disc install benchmark: needs root and mksquashfs to mount a disc image; skipped"
  exit 0
fi
. "$here/lib/disc_set.sh"
make_disc_work ventaro-disc-bench
make_disc_master
mkdir -p "$work/disc"
"$build/bench/disc_install_bench" --make-disc "$work/master" "$work/disc" > /dev/null
name=$(sed -n 's/^VERSION //p' "$work/disc/disk_0/dvd_version.txt")
mksquashfs "$work/disc/disk_0" "$work/disc.img" -noappend -quiet -no-progress > /dev/null
rm -rf "$work/disc" "$work/master"
mkdir -p "$drive"
mount -o loop,ro "$work/disc.img" "$drive"
set_dir="$drive/$name"
archives=$(find "$set_dir" -name '*.zip' ! -name directory.txt.zip | wc -l)

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# The pipeline into $1 (the destination) with $1.tmp as its temporary folder.
ours() {
  mkdir -p "$1.tmp"
  sync
  "$build/bench/disc_install_bench" "$drive" "$1" "$1.tmp" | awk '{ print $1 }'
}

# cp, mkdir and bsdtar into $1: the archives are copied into $1.tmp, each one extracted into the
# folder its file belongs in (the path below the set's top folder, as an install lays it out).
theirs() {
  local dest=$1 copy=$1.tmp start end
  sync
  start=$(now)
  cp -r "$set_dir" "$copy"
  # Paths below the set's top folder, as an install lays them out; one awk for all of them.
  (cd "$copy" && find . -mindepth 2 -type d -print0 |
     awk -v RS='\0' -v ORS='\0' -v dest="$dest" '{ d = substr($0, 3); sub(/^[^\/]*/, "", d); print dest d }' |
     xargs -0 mkdir -p)
  # The folders every install makes.
  mkdir -p "$dest/Output/FMS plans" "$dest/Output/logbooks" "$dest/Output/replays" "$dest/Output/situations" \
    "$dest/Output/preferences"
  (cd "$copy" && find . -name '*.zip' ! -name directory.txt.zip -print0 |
     awk -v RS='\0' -v ORS='\0' -v dest="$dest" -v copy="$copy" '{
       p = substr($0, 3); d = p; sub(/\/[^\/]*$/, "", d); sub(/^[^\/]*/, "", d)
       print dest d; print "-f"; print copy "/" p }' |
     xargs -0 -P"$(nproc)" -n3 bsdtar -x -C)
  end=$(now)
  elapsed "$start" "$end"
}

ours "$work/warm-o" > /dev/null
theirs "$work/warm-t" > /dev/null
diff -r "$work/warm-o" "$work/warm-t" > "$work/diff" || { echo "the pipeline and bsdtar made different trees:"; head -5 "$work/diff"; exit 1; }
rm -rf "$work"/warm-*
o=() t=()
for i in 1 2 3; do
  o+=("$(ours "$work/o$i")")
  t+=("$(theirs "$work/t$i")")
  rm -rf "$work/o$i" "$work/o$i.tmp" "$work/t$i" "$work/t$i.tmp"
done
size=$(du -sb "$set_dir" | cut -f1)
for i in 0 1 2; do
  awk -v r=$((i + 1)) -v o="${o[$i]}" -v t="${t[$i]}" 'BEGIN {
    printf "run %d: pipeline %.3f s, cp + xargs bsdtar %.3f s, ratio %.3fx (goal <= 1.2x)\n", r, o, t, o / t }'
done
printf 'set: %d archives, %.1f MB on the disc image (squashfs, loop-mounted read-only), %d processors\n' \
  "$archives" "$(awk -v s="$size" 'BEGIN { print s / 1e6 }')" "$(nproc)"
