#!/usr/bin/env bash
# Runs duneforge.exe under Wine and the Linux build's duneforge on the same
# case, each in a fresh folder of its own, and compares what they did: the
# exit status, the line on standard error, and every file left in the folder,
# byte for byte.
#   compare_duneforge.sh CASE LINUX_DUNEFORGE WINDOWS_DUNEFORGE WORK EXAMPLES
# Cases:
#   example-NAME      examples/NAME.txt as it is
#   no-window         single_perlin with a host window that names no window
#   appended          terrain, onto an existing noise_arr.txt, with threads,
#                     memory budget and evaluator all set
#   no-command-file   an empty folder
#   array-is-folder   noise_arr.txt is a folder
#   refused-row       a Perlin row with 31 octaves
#   preview-is-folder tutorial.bmp is a folder
#   out-of-memory     one tile of 32767 x 32767 with a preview, more than a
#                     32-bit process can hold: the out-of-memory line and
#                     status 1, at once (a 64-bit Linux run would build it)
#   libnoise-refused  DUNEFORGE_EVALUATOR=libnoise, which the Windows build
#                     refuses
# The last two are compared with the line the Windows build must print.
# Wine runs with a time limit (TOOLKIT_WINE_TIMEOUT, default 900 seconds).
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: compare_duneforge.sh CASE LINUX_DUNEFORGE WINDOWS_DUNEFORGE WORK EXAMPLES" >&2
  exit 2
fi
case_name=$1 linux=$2 windows=$3 work=$4 examples=$5
limit=${TOOLKIT_WINE_TIMEOUT:-900}
export WINEDEBUG=${WINEDEBUG:--all}

fail() {
  echo "compare_duneforge: $case_name: $*" >&2
  exit 1
}

# Fills folder $1 with the case's inputs.
prepare() {
  local folder=$1
  rm -rf "$folder"
  mkdir -p "$folder"
  case "$case_name" in
    example-*) cp "$examples/${case_name#example-}.txt" "$folder/cmd_noise.txt" ;;
    no-window) sed '1s/^0 /4242 /' "$examples/single_perlin.txt" >"$folder/cmd_noise.txt" ;;
    appended)
      cp "$examples/terrain.txt" "$folder/cmd_noise.txt"
      printf '0.5,-1,' >"$folder/noise_arr.txt" ;;
    no-command-file) ;;
    array-is-folder)
      cp "$examples/all_types.txt" "$folder/cmd_noise.txt"
      mkdir "$folder/noise_arr.txt" ;;
    refused-row) printf '0 2\n1 1 8 8\n0 1 0 1\n0 0\n7 1 0 0 0\n0 31 1 0.5 0\n' >"$folder/cmd_noise.txt" ;;
    preview-is-folder)
      cp "$examples/all_types.txt" "$folder/cmd_noise.txt"
      mkdir "$folder/tutorial.bmp" ;;
    out-of-memory) printf '0 1\n1 1 32767 32767\n0 1 0 1\n0 1\n7 1 0 0 0\n' >"$folder/cmd_noise.txt" ;;
    libnoise-refused) cp "$examples/single_perlin.txt" "$folder/cmd_noise.txt" ;;
    *) fail "unknown case" ;;
  esac
}

# The case's environment, for both runs.
environment=()
case "$case_name" in
  appended) environment=(DUNEFORGE_THREADS="${DUNEFORGE_THREADS:-3}" DUNEFORGE_MEMORY_MB=1 DUNEFORGE_EVALUATOR=portable) ;;
  out-of-memory) environment=(DUNEFORGE_MEMORY_MB=4000) ;;
  libnoise-refused) environment=(DUNEFORGE_EVALUATOR=libnoise) ;;
esac

# Writes the status, the standard error and a listing of the folder's files
# (with their checksums) after the run, into $folder.result.
record() {
  local folder=$1 status=$2 errors=$3
  {
    echo "status $status"
    tr -d '\r' <"$errors"
    (cd "$folder" && find . -mindepth 1 | LC_ALL=C sort | while read -r f; do
      if [ -d "$f" ]; then echo "folder $f"; else echo "file $f $(cksum <"$f")"; fi
    done)
  } >"$folder.result"
}

linux_folder=$work/$case_name.linux
windows_folder=$work/$case_name.windows
prepare "$linux_folder"
prepare "$windows_folder"

if [ "$case_name" = out-of-memory ] || [ "$case_name" = libnoise-refused ]; then
  linux_status=none
else
  (cd "$linux_folder" && env "${environment[@]}" "$linux") 2>"$work/$case_name.linux-errors"
  linux_status=$?
fi
(cd "$windows_folder" && env "${environment[@]}" timeout --kill-after=20 "$limit" wine "$windows" </dev/null) \
  >"$work/$case_name.windows-output" 2>"$work/$case_name.windows-errors"
windows_status=$?
[ "$windows_status" -ne 124 ] && [ "$windows_status" -ne 137 ] || fail "duneforge.exe did not finish within ${limit}s"
# Wine's own complaints are not the program's; the program's line starts
# with its name.
grep -a '^duneforge' "$work/$case_name.windows-errors" >"$work/$case_name.windows-lines" || true

# The Windows build's own line, for the cases Linux cannot show (an extended
# regular expression: which piece runs out of memory first depends on the
# memory budget's plan).
expected=
case "$case_name" in
  out-of-memory) expected='^duneforge: (tile 0 \(tileWidth 32767, tileHeight 32767\): )?cannot allocate a grid of [0-9]+ elements$' ;;
  libnoise-refused) expected='^duneforge: DUNEFORGE_EVALUATOR="libnoise": this build has no libnoise; choose batch, portable, x86-64-v3 or x86-64-v4$' ;;
esac
if [ -n "$expected" ]; then
  [ "$windows_status" -eq 1 ] || fail "status $windows_status instead of 1"
  lines=$(tr -d '\r' <"$work/$case_name.windows-lines")
  [ "$(printf '%s\n' "$lines" | grep -c .)" -eq 1 ] && printf '%s\n' "$lines" | grep -Eq "$expected" ||
    fail "printed '$lines', not one line matching '$expected'"
  [ -z "$(ls -A "$windows_folder" | grep -v -e cmd_noise.txt -e noise_arr.txt)" ] ||
    fail "files were written: $(ls "$windows_folder")"
  [ ! -s "$windows_folder/noise_arr.txt" ] || fail "values were written"
  echo "compare_duneforge: $case_name: refused with status 1 and its line, no value written"
  exit 0
fi

grep -a '^duneforge' "$work/$case_name.linux-errors" >"$work/$case_name.linux-lines" || true
record "$linux_folder" "$linux_status" "$work/$case_name.linux-lines"
record "$windows_folder" "$windows_status" "$work/$case_name.windows-lines"
if ! diff -u "$linux_folder.result" "$windows_folder.result"; then
  cat "$work/$case_name.windows-errors" >&2
  fail "duneforge.exe did not do what the Linux build does (above: Linux first)"
fi
echo "compare_duneforge: $case_name: same status ($windows_status), line and files as the Linux build"
