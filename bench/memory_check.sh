#!/usr/bin/env bash
# Peak memory of the brevox process against its promise: at most 2.2 times
# the uncompressed song size plus 8 MB for plain input, 3.2 times plus 8 MB
# for gzip input. Runs generated songs of every kind, the one-data-block song
# among them, prints one table and exits 1 when any run is over its bound.
# Usage: bench/memory_check.sh    (KINDS="psg fm pcm block" and SIZES="16 64",
#                                  in megabytes, choose the songs)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-bench}
kinds=${KINDS:-psg fm pcm block}
sizes=${SIZES:-16 64}

command -v /usr/bin/time >/dev/null || { echo "install the package 'time' for /usr/bin/time" >&2; exit 1; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVOX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target brevox make_vgm >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
head -c 4352 /dev/zero >s-smp_player.bin

# Peak resident set size of one brevox run, in kilobytes. Songs this large
# never fit, so a run that packed the whole song ends with the size error.
peak_kb() {
  /usr/bin/time -f "%M" -o time.txt "$build/brevox" "$1" out.spc >brevox.txt 2>&1 || true
  grep -q "too large to fit" brevox.txt || { echo "brevox did not pack $1" >&2; exit 1; }
  tail -n 1 time.txt
}

over=0
printf "%-8s %6s %6s %10s %8s %8s  %s\n" kind size input "peak RSS" "x size" bound verdict
for kind in $kinds; do
  for mb in $sizes; do
    "$build/bench/make_vgm" "$kind" "$mb" song.vgm
    gzip -c song.vgm >song.vgz
    bytes=$(stat -c %s song.vgm)
    for input in song.vgm song.vgz; do
      kb=$(peak_kb "$input")
      factor=2.2
      [ "$input" = song.vgz ] && factor=3.2
      verdict=$(awk -v kb="$kb" -v n="$bytes" -v f="$factor" \
        'BEGIN {print (kb * 1024 <= f * n + 8 * 1048576) ? "within" : "OVER"}')
      [ "$verdict" = within ] || over=1
      printf "%-8s %4s MB %6s %7.1f MB %7.2fx %5sx+8MB  %s\n" "$kind" "$mb" "${input#song.}" \
        "$(awk -v kb="$kb" 'BEGIN {print kb / 1024}')" "$(awk -v kb="$kb" -v n="$bytes" 'BEGIN {print kb * 1024 / n}')" \
        "$factor" "$verdict"
    done
  done
done
exit "$over"
