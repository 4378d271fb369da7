#!/bin/sh
# Times the release build of veldrix on large ensembles: median wall time of several runs,
# peak memory, and the share of time in each phase of the run.
#
#   bench/run.sh [runs]      (default 5 runs per input)
#
# Inputs: the large synthetic ensembles (from $VELDRIX_SYNTHETIC, default ../shared/data/synthetic)
# and the largest real ensemble of the test data. Missing inputs are skipped with a note.
set -e
cd "$(dirname "$0")/.."
runs=${1:-5}
synthetic=${VELDRIX_SYNTHETIC:-../shared/data/synthetic}

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELDRIX_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
exe="$PWD/build-release/veldrix"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

inputs="$synthetic/big_300res_20models.pdb.gz $synthetic/big_300res_50models.pdb.gz"
inputs="$inputs $synthetic/big_600res_20models.pdb.gz tests/data/1aq5.pdb.gz"

printf '%-22s %8s %9s %9s %8s %8s %8s %8s\n' input atoms median_s peak_MB read% order+var% cluster% domains%
for gz in $inputs; do
  name=$(basename "$gz" .pdb.gz)
  if [ ! -f "$gz" ]; then
    echo "$name: not found ($gz), skipped"
    continue
  fi
  pdb="$work/$name.pdb"
  gzip -dc "$gz" > "$pdb"
  atoms=$(grep -c '^ATOM  ' "$pdb")
  times=""
  i=0
  while [ $i -lt "$runs" ]; do
    start=$(date +%s.%N)
    "$exe" "$pdb" > /dev/null
    end=$(date +%s.%N)
    times="$times $(echo "$end - $start" | bc)"
    i=$((i + 1))
  done
  median=$(echo $times | tr ' ' '\n' | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}')
  peak=$(/usr/bin/time -f '%M' "$exe" "$pdb" 2>&1 >/dev/null | tail -1)
  shares=$(VELDRIX_PROFILE=1 "$exe" "$pdb" 2>&1 >/dev/null | awk -F'\t' '/^phase/ {t[++n]=$3; s+=$3}
           END {for (i=1;i<=n;i++) printf "%8.1f ", (s>0 ? 100*t[i]/s : 0)}')
  printf '%-22s %8s %9.3f %9.1f %s\n' "$name" "$atoms" "$median" "$(echo "$peak / 1024" | bc -l)" "$shares"
  "$exe" "$pdb" | grep 'Optimal range' | sed 's/^/    /'
  rm -f "$pdb"
done
