#!/usr/bin/env bash
# Runs cdbbem on one golden case in a fresh directory and compares, byte for
# byte, both output files (the run's date in columns 57-65 of input.dat's
# first record masked), standard output, the first line of standard error
# (the run directory written as <DIR>) and the exit status.
#
# Usage: run_case.sh [--wine WINE] EXE CASE_DIR [ARGUMENT...]
# The arguments after CASE_DIR are given to EXE.
# With --wine, EXE is a Windows program run under WINE: it names the run
# directory /tmp/x as Z:\tmp\x and joins the file name with a backslash.
set -u
wine=()
if [ "${1:-}" = "--wine" ]; then
  wine=("$2")
  shift 2
fi
exe=$1
case_dir=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$case_dir/ANSYS_Model.cdb" "$work/"
(cd "$work" && "${wine[@]}" "$exe" "$@" >stdout.txt 2>stderr.txt; echo $? >status.txt)
if [ ${#wine[@]} -gt 0 ]; then
  dir_text="Z:${work//\//\\}\\"
else
  dir_text="$work/"
fi
fail=0
mask_date() { sed '1s/^\(.\{56\}\).\{9\}/\1DD-MON-YY/' "$1"; }
check() {
  if ! cmp -s "$1" "$2"; then
    echo "$3 differs:"
    diff <(cat -A "$2") <(cat -A "$1") | head -20
    fail=1
  fi
}
check "$work/status.txt" "$case_dir/status.txt" "exit status"
check "$work/stdout.txt" "$case_dir/stdout.txt" "standard output"
head -n 1 "$work/stderr.txt" | DIR_TEXT="$dir_text" awk '{
  d = ENVIRON["DIR_TEXT"]
  while ((i = index($0, d)) > 0) $0 = substr($0, 1, i - 1) "<DIR>/" substr($0, i + length(d))
  print
}' >"$work/stderr-first-line.txt"
check "$work/stderr-first-line.txt" "$case_dir/stderr-first-line.txt" "standard error"
check <(mask_date "$work/input.dat") <(mask_date "$case_dir/input.dat") "input.dat"
check "$work/input.plt" "$case_dir/input.plt" "input.plt"
exit $fail
