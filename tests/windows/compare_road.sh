#!/usr/bin/env bash
# The road of one terrain from the Windows package: unpacks the zip into a
# fresh folder and runs, from there under Wine, example_host.exe on the
# terrain example as a user would (it starts duneforge.exe, waits for its
# message, then writes terrain.hmp through loamwriter.dll). The Linux build's
# example host runs the same road; terrain.hmp, noise_arr.txt and
# tutorial.bmp must be the same bytes.
#   compare_road.sh PACKAGE LINUX_BUILD WORK
# Wine runs with a time limit (TOOLKIT_WINE_TIMEOUT, default 1500 seconds).
set -uo pipefail
if [ $# -ne 3 ]; then
  echo "usage: compare_road.sh PACKAGE LINUX_BUILD WORK" >&2
  exit 2
fi
package=$1 linux_build=$2 work=$3/road
limit=${TOOLKIT_WINE_TIMEOUT:-1500}
export WINEDEBUG=${WINEDEBUG:--all}
fail() {
  echo "compare_road: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$package") || fail "cannot unpack $package"
home=$work/unpacked/terrain_toolkit
for item in duneforge.exe loamwriter.dll example_host.exe README.txt examples/terrain.txt examples/all_types.txt \
  examples/single_perlin.txt examples/README.md; do
  [ -f "$home/$item" ] || fail "the package lacks $item"
done

"$linux_build/examples/example_host" --timeout 600 "$home/examples/terrain.txt" "$work/linux" \
  "$linux_build/generator/duneforge" "$linux_build/plugin/libloamwriter.so" >"$work/linux.out" 2>&1 ||
  { cat "$work/linux.out"; fail "the Linux road failed"; }

# From inside the unpacked folder, with Windows paths.
(cd "$home" && timeout --kill-after=20 "$limit" wine example_host.exe --timeout "$limit" 'examples\terrain.txt' \
  '..\..\windows' duneforge.exe loamwriter.dll </dev/null) >"$work/windows.out" 2>&1
status=$?
tr -d '\r' <"$work/windows.out" >"$work/windows.lines"
if [ "$status" -ne 0 ] || ! grep -q '^message 368475 received' "$work/windows.lines"; then
  cat "$work/windows.out"
  fail "example_host.exe exited with status $status (the message must arrive and the road end with 0)"
fi
for file in terrain.hmp noise_arr.txt tutorial.bmp; do
  [ -f "$work/windows/$file" ] || fail "the Windows road wrote no $file"
  cmp "$work/linux/$file" "$work/windows/$file" || fail "$file differs from the Linux road's"
done
echo "compare_road: terrain.hmp, noise_arr.txt and tutorial.bmp of the road from the package are the Linux road's"
