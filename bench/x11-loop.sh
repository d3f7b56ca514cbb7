#!/bin/sh
# Runs every x11 test ROUNDS times (20 unless given) beside two busy loops at low priority, the
# load of a shared machine, and reports how often each test passed. Extra arguments go to ctest
# (e.g. -R selection_apps). Exit status 1 when any run failed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$root/build}
rounds=${1:-20}
[ $# -gt 0 ] && shift
log=$(mktemp)
busy=""
trap 'kill $busy 2>/dev/null || true; rm -f "$log"' EXIT
trap 'exit 143' TERM INT HUP
for _ in 1 2; do
  nice -n 19 sh -c 'while :; do :; done' &
  busy="$busy $!"
done
for round in $(seq "$rounds"); do
  (cd "$build" && ctest -L x11 --output-on-failure "$@") >"$log.run" 2>&1 || true
  sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .*\(Passed\|Failed\|Timeout\|Exception\|Not Run\).*/\1 \2/p' "$log.run" >>"$log"
  grep -E '\*\*\*(Failed|Timeout)|Exception' "$log.run" >/dev/null && cp "$log.run" "$build/x11-loop-failure-$round.log"
  echo "round $round: $(grep -c Passed "$log.run" || true) passed, $(grep -cE '\*\*\*|Exception' "$log.run" || true) failed" >&2
done
rm -f "$log.run"
echo "test                                passed/runs"
sort "$log" | awk '{runs[$1]++; if ($2 == "Passed") ok[$1]++} END {for (t in runs) printf "%-35s %d/%d\n", t, ok[t], runs[t]}' | sort
! grep -qv ' Passed$' "$log"
