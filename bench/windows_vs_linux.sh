#!/usr/bin/env bash
# duneforge.exe under 32-bit Wine against the Linux duneforge on the same
# command file, the same tiles and the same threads: paired wall times,
# the two runs of a round taken in turn (which goes first alternates), and
# the ratio Windows / Linux per round, printed as its minimum, median and
# maximum. Each run works in a fresh folder.
#   bench/windows_vs_linux.sh [COMMAND_FILE] [ROUNDS] [THREADS]
# Defaults: examples/terrain.txt, 7 rounds, the machine's hardware threads.
# Needs build/windows (scripts/test-windows) and build/checked. Where the
# kernel cannot run 32-bit code, Wine's 32-bit half runs under qemu-i386 and
# the figure would measure the emulator, so the script refuses to run there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
commands=${1:-$root/examples/terrain.txt}
rounds=${2:-7}
threads=${3:-$(nproc)}
linux=$root/build/checked/generator/duneforge
windows=$root/build/windows/generator/duneforge.exe
export WINEPREFIX=${WINEPREFIX:-$root/build/wine-prefix} WINEDEBUG=-all DUNEFORGE_THREADS=$threads

# kernel_runs_32bit
source "$root/scripts/kernel-runs-32bit.sh"
if ! kernel_runs_32bit; then
  echo "windows_vs_linux: this kernel runs no 32-bit code; under qemu-i386 the figure means nothing" >&2
  exit 1
fi
[ -x "$linux" ] && [ -f "$windows" ] || { echo "windows_vs_linux: build $linux and $windows first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"; wineserver -k 2>/dev/null || true' EXIT
wineserver -p
# Seconds one run takes, in a fresh folder.
run() {
  rm -rf "$work/run" && mkdir "$work/run" && cp "$commands" "$work/run/cmd_noise.txt"
  local start end
  start=$(date +%s.%N)
  (cd "$work/run" && "$@" >/dev/null 2>&1)
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
run wine "$windows" >/dev/null  # Wine's own start-up, once, uncounted
ratios=()
for ((i = 0; i < rounds; i++)); do
  if ((i % 2 == 0)); then
    w=$(run wine "$windows")
    l=$(run "$linux")
  else
    l=$(run "$linux")
    w=$(run wine "$windows")
  fi
  ratios+=("$(awk -v a="$w" -v b="$l" 'BEGIN { print a / b }')")
  printf 'round %d: Windows %.3f s, Linux %.3f s\n' "$((i + 1))" "$w" "$l"
done
sorted=($(printf '%s\n' "${ratios[@]}" | sort -g))
printf 'Windows / Linux, %d threads, %d rounds: median %.3f (%.3f .. %.3f)\n' "$threads" "$rounds" \
  "${sorted[$((rounds / 2))]}" "${sorted[0]}" "${sorted[$((rounds - 1))]}"
