#!/usr/bin/env bash
# Allocator comparison. jemalloc is opened privately at run time and needs room in the static TLS
# block that glibc keeps for such libraries; the tunable gives it that room.
set -euo pipefail
build="${VENTARO_BENCH_BUILD:-build/bench}"
GLIBC_TUNABLES="glibc.rtld.optional_static_tls=16384${GLIBC_TUNABLES:+:$GLIBC_TUNABLES}" \
  "$build/bench/alloc_bench" --benchmark_min_time=0.5 "$@"
