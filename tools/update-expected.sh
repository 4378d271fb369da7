#!/bin/sh
# Regenerates the expected outputs of the end-to-end tests from the current build.
# Inspect every change before committing it: these files are the reference results.
set -e
cd "$(dirname "$0")/.."
exe="${1:-build/veldrix}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p tests/data/expected
for gz in tests/data/*.pdb.gz; do
  name=$(basename "$gz" .gz)
  gzip -dc "$gz" > "$work/$name"
  status=0
  (cd "$work" && env -u VELDRIXLIB "$OLDPWD/$exe" "$name") > "tests/data/expected/${name%.pdb}.out" || status=$?
  echo "$status" > "tests/data/expected/${name%.pdb}.status"
  rm "$work/$name"
done
