#!/bin/sh
# Two command-line lookups loops on one home at once, against the project's fake Ollama in a
# private network namespace: ROUNDS (500) `quillo --ask` runs each, then counts the entries
# knowledge.json holds once both have quit. Prints the count, the expected count and the time.
#   bench/knowledge-sharing.sh [ROUNDS]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QUILLO_BUILD_DIR:-$root/build}
if [ "${1:-}" != "--inside" ]; then
    exec "$root/tests/support/in-private-network.sh" "$0" --inside "${1:-500}"
fi
rounds=$2
scratch=$(mktemp -d)
trap 'kill "$ollama" 2>/dev/null; wait "$ollama" 2>/dev/null; rm -rf "$scratch"' EXIT
mkdir -m 700 "$scratch/.selvane" "$scratch/models"
echo 1 > "$scratch/.selvane/onboarded"
echo '{"useExternalOllama":true,"qwenModel":"qwen2.5:7b","compareMode":false,"profileEnabled":false}' > "$scratch/.selvane/config.json"
OLLAMA_MODELS=$scratch/models "$build/bin/fake_ollama" serve >/dev/null 2>&1 &
ollama=$!
until curl -sf http://127.0.0.1:11434/api/version >/dev/null; do sleep 0.1; done
curl -sf http://127.0.0.1:11434/api/pull -d '{"model":"qwen2.5:7b"}' >/dev/null

lookups() {
    i=1
    while [ "$i" -le "$rounds" ]; do
        HOME=$scratch QT_QPA_PLATFORM=offscreen SELVANE_UI_LANG=en "$build/bin/quillo" --ask explain "$1-$i" >/dev/null 2>>"$scratch/errors" || echo "$1-$i failed" >&2
        i=$((i + 1))
    done
}
start=$(date +%s)
lookups a &
first=$!
lookups b
wait "$first"
elapsed=$(($(date +%s) - start))
count=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' "$scratch/.selvane/knowledge.json")
echo "entries: $count of $((2 * rounds)) in ${elapsed}s"
ls -A "$scratch/.selvane"
[ "$count" -eq $((2 * rounds)) ]
