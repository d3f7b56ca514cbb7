#!/bin/sh
# Runs every libFuzzer target for SECONDS each, one after another, and reports the executions and
# the findings of each. Builds the targets first, with clang, in build-fuzz (or $QUILLO_FUZZ_BUILD_DIR).
#   bench/fuzz.sh SECONDS [TARGET...]
# Each target starts from its seeds (fuzz/corpus/<target> and the wire samples of tests/fixtures)
# plus what earlier runs found, kept in <build>/fuzz-work/<target>; findings (crash-*, leak-*,
# timeout-*, oom-*) land in <build>/fuzz-work/<target>/findings. Exit status 1 when any target
# found something, 2 on wrong use.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-}
case $seconds in
  '' | *[!0-9]*) echo "usage: $0 SECONDS [TARGET...]" >&2; exit 2 ;;
esac
shift

# A configure that stopped half way leaves a cache but no build files: configure again then.
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DQUILLO_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Ninja tells a failed compilation on its standard output: shown only then.
if ! cmake --build "$build" --target fuzz_targets >"$build/fuzz-build.log" 2>&1; then
  cat "$build/fuzz-build.log" >&2
  exit 1
fi

targets=${*:-$(find "$build/fuzz" -maxdepth 1 -type f -perm -u+x -name 'fuzz_*' -printf '%f\n' | sort)}
fixtures=$root/tests/fixtures/wire

# The wire samples a target starts from, besides its own seeds.
fixture_seeds() {
  case $1 in
    fuzz_ollama_stream) ls "$fixtures"/ollama/chat-*.ndjson ;;
    fuzz_pull_lines) ls "$fixtures"/ollama/pull-*.ndjson ;;
    fuzz_sse_stream) find "$fixtures"/openai "$fixtures"/providers -type f ;;
  esac
}

# The journal target writes files at every run: memory is faster than a disk.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm

found_any=0
printf '%-24s %12s %10s %9s\n' target executions exec/s findings
for target in $targets; do
  work=$build/fuzz-work/$target
  mkdir -p "$work/corpus" "$work/findings"
  [ -d "$root/fuzz/corpus/$target" ] && cp -n "$root/fuzz/corpus/$target"/* "$work/corpus/" 2>/dev/null || true
  for seed in $(fixture_seeds "$target"); do
    cp -n "$seed" "$work/corpus/"
  done
  before=$(ls "$work/findings" | wc -l)
  # A finding ends a run; the rest of the time goes on, from the same corpus, until it is used up.
  start=$(date +%s)
  runs=0
  while :; do
    left=$((start + seconds - $(date +%s)))
    [ "$left" -gt 0 ] || break
    status=0
    "$build/fuzz/$target" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" >"$work/last.log" 2>&1 || status=$?
    done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/last.log" | tail -n 1)
    runs=$((runs + ${done_runs:-0}))
    [ "$status" -eq 0 ] || cat "$work/last.log" >>"$work/findings.log"
  done
  findings=$(($(ls "$work/findings" | wc -l) - before))
  [ "$findings" -eq 0 ] || found_any=1
  printf '%-24s %12s %10s %9s\n' "$target" "$runs" "$((runs / (seconds > 0 ? seconds : 1)))" "$findings"
done
exit $found_any
