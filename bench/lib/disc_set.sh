# Sourced by the disc benchmarks. The caller sets $here (bench/).

# Sets $work to a fresh scratch folder in $base (a memory file system when there is one) and $drive
# to the disc's mount point inside it; on exit the disc is let go and the folder removed.
make_disc_work() {   # name
  base="${VENTARO_BENCH_TMP:-/dev/shm}"
  [ -d "$base" ] && [ -w "$base" ] || base=/tmp
  work="$(mktemp -d "$base/$1.XXXXXX")"
  drive="$work/drive"
  trap 'mountpoint -q "$drive" 2>/dev/null && umount "$drive"; rm -rf "$work"' EXIT
}

# The 1000-file set as a disc set's master in $work/master, with the folders such a master must have.
make_disc_master() {
  perl "$here/install_set.pl" 1000 "$work/master"
  mkdir -p "$work/master/All/Global Scenery" "$work/master/All/Resources/default scenery/900 red terrain" \
    "$work/master/All/Resources/bitmaps/Earth Orbit Textures"
}
