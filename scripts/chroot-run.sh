#!/bin/sh
# Usage: chroot-run.sh ROOT SOURCE COMMAND...
# Runs COMMAND as root inside the Debian tree ROOT with /proc, /sys (read-only), /dev, its own
# pseudo-terminals, /dev/shm and /tmp, and the source tree SOURCE read-only at /src. Meant to be
# started in mount and PID namespaces of its own (test-debian13.sh does), so the mounts and every
# process left inside end with it; the trap unmounts anyway, whatever way the command ends.
set -eu
root=$1 src=$2
shift 2

# Bind mounts in the first namespace would propagate back onto the machine's own /dev.
if [ "$(readlink /proc/self/ns/mnt)" = "$(readlink /proc/1/ns/mnt)" ]; then
  echo "chroot-run: start me in a mount namespace of my own (unshare --mount --pid --fork)" >&2
  exit 2
fi

# The mount list below is split on blanks.
case "$root$src" in
  *[[:space:]]*) echo "chroot-run: paths with blanks are not supported: $root $src" >&2; exit 2 ;;
esac

mounted=""
# shellcheck disable=SC2317 # called by the trap
unmount_all() {
  # Newest first: later mounts sit inside earlier ones.
  for target in $mounted; do
    umount -l "$target" 2>/dev/null || true
  done
}
trap unmount_all EXIT
trap 'exit 143' TERM INT HUP

# mount_at TARGET MOUNT-ARGUMENTS...: the target is inside ROOT and recorded for the trap.
mount_at() {
  target="$root$1"
  shift
  [ -e "$target" ] || mkdir -p "$target"
  mount "$@" "$target"
  mounted="$target $mounted"
}

# The tree's root a mount point of its own (with what is mounted in it already): a mount
# namespace made inside can then change its propagation, as GNOME Shell's test session does.
mount_at / --rbind "$root"
mount_at /proc -t proc proc
mount_at /sys -t sysfs -o ro sysfs
mount_at /dev --bind /dev
mount_at /dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts
mount_at /dev/ptmx --bind "$root/dev/pts/ptmx"
mount_at /dev/shm -t tmpfs -o mode=1777,nosuid,nodev tmpfs
mount_at /tmp -t tmpfs -o mode=1777,nosuid,nodev tmpfs
# X servers started as another user than root expect this folder to be root's.
mkdir -m 1777 "$root/tmp/.X11-unix"
mount_at /src --bind "$src"
mount -o remount,bind,ro "$root/src"

# Name lookups for the package mirror and npm during the setup.
rm -f "$root/etc/resolv.conf"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# In the background, so a signal reaches the trap at once rather than after the command.
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@" &
status=0
wait $! || status=$?
exit "$status"
