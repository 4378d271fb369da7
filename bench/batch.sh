#!/bin/sh
# Throughput of veldrix-batch: inputs per second with -j 1 and -j 2, the speed-up, and the
# per-input overhead against a shell loop that runs veldrix once per file.
#
#   bench/batch.sh [repeat]     (default: enough copies of the ensembles for at least 200 inputs)
#
# Inputs: the shared real ensembles ($VELDRIX_ENSEMBLES, default ../shared/data/ensembles, else the
# test data), decompressed and copied until there are at least 200 files. Each timing is the best
# of 3 runs on a quiet machine.
set -e
cd "$(dirname "$0")/.."
ensembles=${VELDRIX_ENSEMBLES:-../shared/data/ensembles}
[ -d "$ensembles" ] || ensembles=tests/data

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DVELDRIX_TESTS=OFF >/dev/null
cmake --build build-release -j "$(nproc 2>/dev/null || echo 2)" --target veldrix veldrix-batch >/dev/null
exe="$PWD/build-release/veldrix"
batch="$PWD/build-release/veldrix-batch"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/src" "$work/in"
for gz in "$ensembles"/*.pdb.gz; do gzip -dc "$gz" > "$work/src/$(basename "$gz" .gz)"; done
n_src=$(ls "$work/src" | wc -l)
repeat=${1:-$(( (200 + n_src - 1) / n_src ))}
i=0
while [ $i -lt "$repeat" ]; do
  for f in "$work/src"/*.pdb; do cp "$f" "$work/in/$(printf '%03d' $i)_$(basename "$f")"; done
  i=$((i + 1))
done
n=$(ls "$work/in" | wc -l)

now() { date +%s.%N; }
# best <command...>: the least wall time of 3 runs, in seconds
best() {
  b=""
  for _ in 1 2 3; do
    s=$(now); "$@" >/dev/null 2>&1 || true; e=$(now)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  echo "$b"
}
loop() { for f in "$work/in"/*.pdb; do "$exe" "$f"; done; }

t_loop=$(best loop)
t_j1=$(best "$batch" -q -j 1 "$work/in")
t_j2=$(best "$batch" -q -j 2 "$work/in")
analysis=$("$batch" -q -j 1 "$work/in" | awk -F'"seconds":' '{split($2, a, "}"); s += a[1]} END {printf "%.3f", s}')

echo "inputs: $n ($n_src ensembles x $repeat) on $(nproc) cores"
printf '%-34s %9s %11s\n' run seconds inputs/s
printf '%-34s %9.3f %11.1f\n' "veldrix once per file (shell loop)" "$t_loop" "$(echo "$n / $t_loop" | bc -l)"
printf '%-34s %9.3f %11.1f\n' "veldrix-batch -j 1" "$t_j1" "$(echo "$n / $t_j1" | bc -l)"
printf '%-34s %9.3f %11.1f\n' "veldrix-batch -j 2" "$t_j2" "$(echo "$n / $t_j2" | bc -l)"
printf 'speed-up -j 2 over -j 1:            %.2f (target >= 1.8)\n' "$(echo "$t_j1 / $t_j2" | bc -l)"
printf 'overhead per input, -j 1 vs loop:   %+.2f ms (target <= 5)\n' "$(echo "1000 * ($t_j1 - $t_loop) / $n" | bc -l)"
printf 'overhead per input, -j 1 vs the analyses alone (sum of seconds %.3f): %+.2f ms\n' "$analysis" \
  "$(echo "1000 * ($t_j1 - $analysis) / $n" | bc -l)"
