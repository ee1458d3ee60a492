#!/usr/bin/env bash
# Measures the converter on this machine: the in-memory benchmarks, then the
# whole brevox process on a generated 64 MB song, plain and gzip, beside
# `cat` and `gzip -dc` of the same file. Prints one table, then runs the
# memory check (bench/memory_check.sh) on every kind of song.
# Usage: bench/run.sh            (KIND=psg|fm|pcm picks the song, default pcm)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
kind=${KIND:-pcm}
megabytes=64
runs=3

command -v /usr/bin/time >/dev/null || { echo "install the package 'time' for /usr/bin/time" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVOX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target brevox brevox_bench make_vgm >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/brevox_bench" --benchmark_min_time=0.5 --benchmark_format=json \
  --benchmark_out="$work/bench.json" --benchmark_out_format=json >/dev/null

song="$work/song.vgm"
"$build/bench/make_vgm" "$kind" "$megabytes" "$song"
gzip -c "$song" >"$work/song.vgz"
# brevox reads its player from the working directory; a song this large never
# fits, so it stops after packing with exit status 1, having done all the work.
head -c 4352 /dev/zero >"$work/s-smp_player.bin"

# Best wall time of $runs runs and the largest peak RSS, as "seconds kilobytes".
measure() {
  local best="" rss=0
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    /usr/bin/time -v -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    local wall kb
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.4f", (b - a) / 1e9}')
    kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN {exit !(a < b)}'; then best=$wall; fi
    if [ "$kb" -gt "$rss" ]; then rss=$kb; fi
  done
  echo "$best $rss"
}

cd "$work"
"$build/brevox" song.vgm out.spc >brevox.txt || true
grep -q "too large to fit" brevox.txt || { echo "brevox did not pack the song" >&2; exit 1; }
{
  echo "cat $(measure cat song.vgm)"
  echo "brevox_plain $(measure "$build/brevox" song.vgm out.spc)"
  echo "gzip $(measure gzip -dc song.vgz)"
  echo "brevox_gzip $(measure "$build/brevox" song.vgz out.spc)"
} >"$work/process.txt"

python3 - "$work/bench.json" "$work/process.txt" "$(stat -c %s song.vgm)" "$kind" <<'PY'
import json, sys

bench = json.load(open(sys.argv[1]))["benchmarks"]
process = {name: (float(t), int(kb)) for name, t, kb in (line.split() for line in open(sys.argv[2]))}
size, kind = int(sys.argv[3]), sys.argv[4]
mb = 1 << 20
kinds = ["psg", "fm", "pcm"]

def rate(b):
    return b["bytes_per_second"]

memcpy = {b["name"].split("size:")[1]: rate(b) for b in bench if b["name"].startswith("BM_Memcpy")}
rows = []
for b in bench:
    name = b["name"]
    if name.startswith("BM_Memcpy"):
        continue
    step, args = name[3:].split("/", 1)
    k = kinds[int(args.split("kind:")[1].split("/")[0])]
    s = args.split("size:")[1]
    seconds = b["real_time"] / 1e3
    rows.append((f"{step} {k} {int(s) // mb} MB", seconds, rate(b), memcpy[s] / rate(b), "-"))
for s, r in memcpy.items():
    rows.append((f"memcpy {int(s) // mb} MB", int(s) / r, r, 1.0, "-"))
for case, ceiling, label in (("brevox_plain", "cat", "plain"), ("brevox_gzip", "gzip", "gzip")):
    for name in (ceiling, case):
        t, kb = process[name]
        text = f"{'brevox' if name == case else ('cat' if name == 'cat' else 'gzip -dc')} {label} {kind} {size // mb} MB"
        rows.append((text, t, size / t if t > 0 else float("inf"),
                     t / process[ceiling][0] if process[ceiling][0] > 0 else float("nan"),
                     f"{kb * 1024 / size:.2f}x"))

print(f"{'case':<28} {'time':>10} {'throughput':>12} {'x ceiling':>10} {'peak RSS':>9}")
for case, t, r, ratio, rss in rows:
    print(f"{case:<28} {t * 1e3:>8.1f}ms {r / mb:>8.1f}MB/s {ratio:>10.2f} {rss:>9}")
print("x ceiling: time over the time of memcpy (benchmarks), cat (plain) or gzip -dc (gzip) on as many bytes;")
print("peak RSS: maximum resident set size over the uncompressed song size.")
PY

echo
BUILD_DIR="$build" "$root/bench/memory_check.sh"
