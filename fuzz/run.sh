#!/usr/bin/env bash
# Builds the fuzz harnesses (clang, libFuzzer, ASan + UBSan, array index checks) and runs
# one of them, or each in turn, for the given number of seconds.
#
#   fuzz/run.sh <pdb|lib|args|select|gzip|mmcif|cifsyntax|all> <seconds> [libFuzzer flags ...]
#
# The seeds in fuzz/corpus/<harness>/ are only read: new corpus entries go to a
# temporary directory that is removed at the end, unless FUZZ_KEEP=<dir> names a
# directory to keep them in. Crashes, timeouts and the log of each run go to
# build-fuzz/findings/<harness>/.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD:-$root/build-fuzz}
harnesses=(pdb lib args select gzip mmcif cifsyntax)

if [[ $# -lt 2 || ! $2 =~ ^[0-9]+$ ]]; then
  echo "usage: $0 <${harnesses[*]// /|}|all> <seconds> [libFuzzer flags ...]" >&2
  exit 2
fi
which=$1
seconds=$2
shift 2
if [[ $which == all ]]; then
  selected=("${harnesses[@]}")
elif [[ " ${harnesses[*]} " == *" $which "* ]]; then
  selected=("$which")
else
  echo "unknown harness: $which" >&2
  exit 2
fi

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j 2 --target "${selected[@]/#/fuzz_}" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for h in "${selected[@]}"; do
  findings="$build/findings/$h"
  mkdir -p "$findings" "$work/$h/new" "$work/$h/tmp"
  new="${FUZZ_KEEP:+$FUZZ_KEEP/$h}"
  new="${new:-$work/$h/new}"
  mkdir -p "$new"
  case $h in
    pdb | lib | gzip | mmcif | cifsyntax) max_len=65536 ;;
    *) max_len=4096 ;;
  esac
  echo "== $h: $seconds s, log in $findings/log.txt"
  # New entries are written to the first corpus directory only.
  if ! TMPDIR="$work/$h/tmp" \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$build/fuzz_$h" "$new" "$root/fuzz/corpus/$h" \
      -max_total_time="$seconds" -max_len="$max_len" -timeout=30 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 "$@" >"$findings/log.txt" 2>&1; then
    status=1
    echo "   $h: a finding, see $findings/"
  fi
  grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb|^stat::new_units_added' "$findings/log.txt" |
    sed "s/^/   /" || true
done
exit $status
