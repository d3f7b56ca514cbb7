#!/bin/sh
# Usage: chroot-run-test.sh CHROOT-RUN
# The command runs in the tree with the source read-only and a /tmp of its own, its exit status
# comes back, and no mount stays behind, neither when it ends nor when it is stopped. The tree is
# this machine's own /usr, bound read-only inside a mount namespace that ends with the test.
set -eu
run=$1
if [ "$(id -u)" -ne 0 ]; then
  echo "chroot-run test skipped: mounts and chroot need root"
  exit 77
fi
[ -L /bin ] || { echo "chroot-run test skipped: the machine's /bin is not merged into /usr"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/usr" "$work/root/etc" "$work/root/tmp" "$work/src"
for dir in bin sbin lib lib64; do
  ln -s "usr/$dir" "$work/root/$dir"
done
echo "the source" >"$work/src/marker"
touch "$work/root/tmp/from-before"

unshare --mount --pid --fork -- sh -eu -c '
  run=$1 root=$2 src=$3
  mount --bind -o ro /usr "$root/usr"
  fail() { echo "FAIL: $*"; exit 1; }
  # Mount points inside the tree other than the /usr this test bound itself.
  left_over() { awk -v root="$root/" "index(\$5, root) == 1 && \$5 != root \"usr\"" /proc/self/mountinfo; }

  status=0
  out=$(sh "$run" "$root" "$src" sh -c "cat /src/marker; touch /src/new 2>/dev/null && echo wrote-source;
      [ -e /tmp/from-before ] && echo old-tmp; touch /tmp/mine && echo own-tmp;
      [ -r /proc/self/status ] && echo proc; [ -c /dev/null ] && echo dev; exit 7") || status=$?
  [ "$status" -eq 7 ] || fail "the command ended with 7, chroot-run with $status"
  [ "$out" = "$(printf "the source\nown-tmp\nproc\ndev")" ] || fail "inside the tree: $out"
  [ ! -e "$src/new" ] || fail "the source was written to"
  [ -z "$(left_over)" ] || fail "still mounted after the end: $(left_over)"

  sh "$run" "$root" "$src" sleep 300 &
  pid=$!
  tries=0
  until grep -q " $root/src " /proc/self/mountinfo; do
    tries=$((tries + 1))
    [ "$tries" -lt 600 ] || fail "the source was never mounted"
    sleep 0.05
  done
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq 143 ] || fail "stopped, chroot-run ended with $status"
  [ -z "$(left_over)" ] || fail "still mounted after being stopped: $(left_over)"
  echo "chroot-run: all checks passed"
' sh "$run" "$work/root" "$work/src"
