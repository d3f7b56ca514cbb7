#!/bin/sh
# Runs the command in a new network namespace with only the loopback interface up, so tests own
# the fixed Ollama ports and never reach another machine. A normal user gets the namespace inside
# a user namespace of its own, where it counts as root.
[ "$(id -u)" -eq 0 ] && user="" || user="--user --map-root-user"
# shellcheck disable=SC2086
exec unshare $user --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
