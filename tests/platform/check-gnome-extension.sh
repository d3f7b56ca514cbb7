#!/bin/sh
# Loads both builds of Quillo's GNOME Shell extension the way their Shells do, as far as node can
# without a Shell: the build for Shell 45 and later as ES modules whose helper exports what
# extension.js imports, the one for 43 and 44 as scripts whose helper leaves its class a top-level
# name for the legacy importer. Only Shell 43 runs here, so for the newer build this is all.
#   check-gnome-extension.sh EXTENSIONS_DIR
set -eu
command -v node >/dev/null 2>&1 || { echo "skipped: node is not installed (scripts/install-deps.sh installs it)"; exit 77; }
dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for file in "$dir"/quillo@quillo.org/*.js; do
  cp "$file" "$scratch/$(basename "$file" .js).mjs"
  node --check "$scratch/$(basename "$file" .js).mjs"
done
grep -q "import {QuilloShellHelper} from './helper.js';" "$dir/quillo@quillo.org/extension.js"
node --input-type=module -e "
  import {QuilloShellHelper} from '$scratch/helper.mjs';
  if (typeof QuilloShellHelper !== 'function') process.exit(1);"
for file in "$dir"/quillo-legacy@quillo.org/*.js; do
  node --check "$file"
done
node -e "
  const vm = require('vm'), fs = require('fs');
  const scope = {};
  vm.runInNewContext(fs.readFileSync('$dir/quillo-legacy@quillo.org/helper.js', 'utf8'), scope);
  if (typeof scope.QuilloShellHelper !== 'function') process.exit(1);"
for uuid in quillo@quillo.org quillo-legacy@quillo.org; do
  node -e "
    const m = JSON.parse(require('fs').readFileSync('$dir/$uuid/metadata.json', 'utf8'));
    if (m.uuid !== '$uuid' || !m['shell-version'].length) process.exit(1);"
done
echo "both builds load"
