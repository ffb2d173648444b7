#!/usr/bin/env bash
# Makes the files a Windows sweep is compared with: random command files
# (random_chains.py) and the bundled examples that have no large tiles, one
# folder each, run there by the Linux build's duneforge, whose outputs become
# expected.noise_arr.txt and expected.tutorial.bmp beside its exit status
# (expected.status) and the line it printed (expected.stderr); then the
# Linux build's sweep program writes the chains' doubles (expected.values).
#   make_expected.sh LINUX_DUNEFORGE LINUX_CHAIN_SWEEP FOLDER COUNT SEED EXAMPLES
set -euo pipefail
if [ $# -ne 6 ]; then
  echo "usage: make_expected.sh LINUX_DUNEFORGE LINUX_CHAIN_SWEEP FOLDER COUNT SEED EXAMPLES" >&2
  exit 2
fi
# The programs run from inside each folder: their paths must not be relative.
linux=$(realpath "$1") sweep=$(realpath "$2") folder=$3 count=$4 seed=$5 examples=$6
[ -x "$linux" ] || { echo "make_expected: no Linux duneforge at $linux" >&2; exit 1; }
rm -rf "$folder"
python3 "$(dirname "$0")/random_chains.py" "$folder" "$count" "$seed"
for name in all_types single_perlin; do
  mkdir -p "$folder/example-$name"
  cp "$examples/$name.txt" "$folder/example-$name/cmd_noise.txt"
done
for run in "$folder"/*/; do
  status=0
  (cd "$run" && "$linux" 2>expected.stderr-all) || status=$?
  echo "$status" >"$run/expected.status"
  grep -a '^duneforge' "$run/expected.stderr-all" >"$run/expected.stderr" || true
  rm -f "$run/expected.stderr-all"
  for output in noise_arr.txt tutorial.bmp; do
    [ ! -e "$run/$output" ] || mv "$run/$output" "$run/expected.$output"
  done
done
"$sweep" --expect "$folder"
echo "make_expected: $(ls -d "$folder"/*/ | wc -l) folders, expected files from $linux"
