#!/bin/sh
# Runs the command in a new network namespace with only the loopback interface up, so tests
# own the fixed Ollama ports and never reach another machine.
exec unshare --net -- sh -c 'ip link set lo up && exec "$@"' sh "$@"
