#!/bin/sh
# Throughput of veldrix-batch: inputs per second with -j 1 and -j 2, the speed-up, and the
# per-input overhead against a shell loop that runs veldrix once per file.
#
#   bench/batch.sh [repeat]     (default: enough copies of the ensembles for at least 200 inputs)
#
# Inputs: the shared real ensembles ($VELDRIX_ENSEMBLES, default ../shared/data/ensembles, else the
# test data), decompressed and copied until there are at least 200 files. Each timing is the best
# of several interleaved rounds (ROUNDS, default 5): on a shared machine, the least time is the
# one least disturbed.
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

# measure <command...>: "wall cpu" seconds of one run; cpu is user + system of it and its children.
measure() {
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$@" >/dev/null 2>&1 || true
  tail -1 "$work/time" | awk '{printf "%s %.2f\n", $1, $2 + $3}'
}

# Rounds interleave the three runs, so that a burst of load elsewhere hits all of them alike;
# the least time of each is kept.
rounds=${ROUNDS:-5}
best() { sort -n | head -1; }
: > "$work/loop"; : > "$work/j1"; : > "$work/j2"
r=0
while [ $r -lt "$rounds" ]; do
  measure sh -c "for f in '$work/in'/*.pdb; do '$exe' \"\$f\"; done" >> "$work/loop"
  measure "$batch" -q -j 1 "$work/in" >> "$work/j1"
  measure "$batch" -q -j 2 "$work/in" >> "$work/j2"
  r=$((r + 1))
done
t_loop=$(cut -d' ' -f1 "$work/loop" | best); c_loop=$(cut -d' ' -f2 "$work/loop" | best)
t_j1=$(cut -d' ' -f1 "$work/j1" | best); c_j1=$(cut -d' ' -f2 "$work/j1" | best)
t_j2=$(cut -d' ' -f1 "$work/j2" | best); c_j2=$(cut -d' ' -f2 "$work/j2" | best)
analysis=$("$batch" -q -j 1 "$work/in" | awk -F'"seconds":' '{split($2, a, "}"); s += a[1]} END {printf "%.3f", s}')

echo "inputs: $n ($n_src ensembles x $repeat) on $(nproc) cores; best of $rounds rounds; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %9s %9s %11s\n' run wall_s cpu_s inputs/s
printf '%-34s %9.2f %9.2f %11.1f\n' "veldrix once per file (shell loop)" "$t_loop" "$c_loop" "$(echo "$n / $t_loop" | bc -l)"
printf '%-34s %9.2f %9.2f %11.1f\n' "veldrix-batch -j 1" "$t_j1" "$c_j1" "$(echo "$n / $t_j1" | bc -l)"
printf '%-34s %9.2f %9.2f %11.1f\n' "veldrix-batch -j 2" "$t_j2" "$c_j2" "$(echo "$n / $t_j2" | bc -l)"
printf 'speed-up -j 2 over -j 1:          %.2f (target >= 1.8)\n' "$(echo "$t_j1 / $t_j2" | bc -l)"
printf 'overhead per input, -j 1 vs loop: %+.2f ms wall, %+.2f ms cpu (target <= 5 ms)\n' \
  "$(echo "1000 * ($t_j1 - $t_loop) / $n" | bc -l)" "$(echo "1000 * ($c_j1 - $c_loop) / $n" | bc -l)"
printf 'analyses alone (sum of the records seconds): %.2f s, %.2f ms per input\n' "$analysis" \
  "$(echo "1000 * $analysis / $n" | bc -l)"
