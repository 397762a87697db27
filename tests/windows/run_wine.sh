#!/usr/bin/env bash
# Runs the Windows build of cdbbem under Wine: every golden case byte for
# byte, the example of --any against its expected outputs, the bad-archive
# table, the options, the file-system cases (missing archive, archive or
# output a directory, a full disk, non-ASCII directory names, a drive root)
# and the record-engine tests built for Windows.
#
# Usage: run_wine.sh BUILD_DIR [BAD_ARCHIVES]
# BUILD_DIR is a build of the "windows" preset; BAD_ARCHIVES the table that
# tests/run/export_bad_archives writes (a program of a Linux build), made
# and run when given.  WINE names the Wine loader
# (default /usr/lib/wine/wine64); without WINEPREFIX a fresh prefix is made
# in a temporary directory and removed at the end.
set -u
# Wine takes Unix file names and arguments in the locale's character set.
export LC_ALL=C.UTF-8
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "$1" && pwd)
export_bad_archives=${2:-}
exe=$build/src/cdbbem.exe
textrec_tests=$build/tests/textrec/textrec_tests.exe
wine=${WINE:-/usr/lib/wine/wine64}
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")

export WINEDEBUG=-all
scratch=$(mktemp -d)
own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=$scratch/prefix
  export WINEPREFIX=$own_prefix
fi
cleanup() {
  if [ -n "$own_prefix" ]; then
    "$(dirname "$wine")/wineserver" -k 2>/dev/null
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  start=$(date +%s)
  "$wine" wineboot --init >/dev/null 2>&1
  echo "Wine prefix $WINEPREFIX made in $(($(date +%s) - start)) s"
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() {
  failed=$((failed + 1))
  echo "FAIL: $*"
}

# The name a Windows program under Wine gives a Unix path: the prefix's
# drive_c is C:, everything else is on Z:, with backslashes.
win_path() {
  local p=$1
  case $p in
  "$WINEPREFIX/drive_c") echo 'C:\' ;;
  "$WINEPREFIX/drive_c/"*)
    p=${p#"$WINEPREFIX/drive_c"}
    echo "C:${p//\//\\}"
    ;;
  *) echo "Z:${p//\//\\}" ;;
  esac
}

# run_in DIR ARGS...: runs the program in DIR; leaves DIR/.status, .out, .err
# beside the files (names the program never touches).
run_in() {
  local dir=$1
  shift
  (cd "$dir" && "$wine" "$exe" "$@" >.out 2>.err </dev/null
    echo $? >.status)
}

# expect_run NAME DIR STATUS FIRST_ERR_LINE: checks the last run in DIR.
expect_run() {
  local name=$1 dir=$2 status=$3 line=$4 got
  got=$(cat "$dir/.status")
  if [ "$got" != "$status" ]; then
    fail "$name: exit status $got, expected $status; stderr: $(head -c 300 "$dir/.err")"
    return 1
  fi
  got=$(head -n 1 "$dir/.err")
  if [ "$got" != "$line" ]; then
    fail "$name: first line of standard error"$'\n'"  got:      $got"$'\n'"  expected: $line"
    return 1
  fi
  return 0
}

expect_absent() {
  local name=$1 f
  shift
  for f in "$@"; do
    if [ -e "$f" ]; then
      fail "$name: $(basename "$f") exists"
      return 1
    fi
  done
  return 0
}

expect_content() {
  local name=$1 file=$2 content=$3
  if [ "$(cat "$file")" != "$content" ]; then
    fail "$name: $(basename "$file") was changed"
    return 1
  fi
  return 0
}

new_dir() {
  local d
  d=$(mktemp -d "$scratch/run.XXXXXX")
  echo "$d"
}

# What the output files hold before a run (the bad-archive table's text).
stale_model="input.dat of an earlier run, longer than a record"
stale_plot="input.plt of an earlier run, longer than a record"

echo "== golden cases"
for case_dir in "$root"/tests/golden/*/; do
  [ -f "$case_dir/ANSYS_Model.cdb" ] || continue
  if report=$(bash "$root/tests/golden/run_case.sh" --wine "$wine" "$exe" "$case_dir"); then
    pass
  else
    fail "golden $(basename "$case_dir")"$'\n'"$report"
  fi
done

echo "== --any"
# The example archive in the pre-processor's numbering, read with --any:
# notes, completion line and both files as tests/golden-any/example holds
# them (the title's date aside).
expected=$root/tests/golden-any/example
d=$(new_dir)
cp "$root/examples/any/ANSYS_Model.cdb" "$d/"
run_in "$d" --any
if expect_run "--any example" "$d" 0 "" && cmp -s "$d/.out" "$expected/stdout.txt" &&
  cmp -s "$d/input.plt" "$expected/input.plt" &&
  cmp -s <(tail -n +2 "$d/input.dat") <(tail -n +2 "$expected/input.dat"); then
  pass
else
  fail "--any example: outputs differ from $expected"
fi

if [ -n "$export_bad_archives" ]; then
  echo "== bad archives"
  "$export_bad_archives" "$scratch/bad" >/dev/null
  for case_dir in "$scratch"/bad/*/; do
    name=$(cat "$case_dir/name.txt")
    (cd "$case_dir" && "$wine" "$exe" >.out 2>.err </dev/null
      echo $? >.status)
    # The stop message's line ends in CR LF; the table holds its text.
    expected=$(cat "$case_dir/stderr-first-line.txt")
    expected=${expected//"<DIR>/"/"$(win_path "${case_dir%/}")\\"}
    head -n 1 "$case_dir/.err" | tr -d '\r' >"$case_dir/.first"
    mv "$case_dir/.first" "$case_dir/.err"
    expect_run "bad archive: $name" "$case_dir" "$(cat "$case_dir/status.txt")" "$expected" ||
      continue
    if [ "$(cat "$case_dir/outputs.txt")" = untouched ]; then
      expect_content "bad archive: $name" "$case_dir/input.dat" "$stale_model" &&
        expect_content "bad archive: $name" "$case_dir/input.plt" "$stale_plot" && pass
    elif [ "$(head -c 40 "$case_dir/input.dat")" = " A BEM Model for 3-D Potential Analysis," ] &&
      [ "$(head -c 9 "$case_dir/input.plt")" = " TITLE = " ] &&
      [ "$(tail -c 2 "$case_dir/input.dat" | od -An -c | tr -d ' ')" = '\r\n' ] &&
      [ "$(tail -c 2 "$case_dir/input.plt" | od -An -c | tr -d ' ')" = '\r\n' ]; then
      pass
    else
      fail "bad archive: $name: outputs not written whole"
    fi
  done
fi

echo "== options"
d=$(new_dir)
run_in "$d" --version
if expect_run "--version" "$d" 0 "" &&
  cmp -s "$d/.out" <(printf 'cdbbem %s\n' "$version"); then
  pass
else
  fail "--version wrote $(od -c "$d/.out" | head -3)"
fi
run_in "$d" --help
if expect_run "--help" "$d" 0 "" && [ "$(head -c 14 "$d/.out")" = "Usage: cdbbem " ] &&
  ! grep -q $'\r' "$d/.out"; then
  pass
else
  fail "--help wrote $(head -c 200 "$d/.out" | od -c | head -3)"
fi
run_in "$d" -x
expect_run "-x" "$d" 2 "cdbbem: unexpected argument '-x' (see --help)" &&
  pass
run_in "$d" "modèle-é"
expect_run "non-ASCII argument" "$d" 2 \
  "cdbbem: no such file or directory: 'modèle-é'" && pass
expect_absent "options" "$d/input.dat" "$d/input.plt" && pass

echo "== file-system cases"

d=$(new_dir)
run_in "$d"
expect_run "missing archive" "$d" 29 \
  "cdbbem: severe (29): file not found, unit 5, file $(win_path "$d")\\ANSYS_Model.cdb" &&
  expect_absent "missing archive" "$d/input.dat" "$d/input.plt" && pass

d=$(new_dir)
printf '%s' "$stale_model" >"$d/input.dat"
printf '%s' "$stale_plot" >"$d/input.plt"
run_in "$d"
expect_run "missing archive beside earlier outputs" "$d" 29 \
  "cdbbem: severe (29): file not found, unit 5, file $(win_path "$d")\\ANSYS_Model.cdb" &&
  expect_content "missing archive beside earlier outputs" "$d/input.dat" "$stale_model" &&
  expect_content "missing archive beside earlier outputs" "$d/input.plt" "$stale_plot" && pass

d=$(new_dir)
mkdir "$d/ANSYS_Model.cdb"
run_in "$d"
expect_run "archive is a directory" "$d" 30 \
  "cdbbem: severe (30): open failure, unit 5, file $(win_path "$d")\\ANSYS_Model.cdb" &&
  expect_absent "archive is a directory" "$d/input.dat" "$d/input.plt" && pass

d=$(new_dir)
cp "$root/tests/golden/closed-cube-crlf/ANSYS_Model.cdb" "$d/"
mkdir "$d/input.dat"
run_in "$d"
expect_run "model file is a directory" "$d" 30 \
  "cdbbem: severe (30): open failure, unit 6, file $(win_path "$d")\\input.dat" &&
  expect_absent "model file is a directory" "$d/input.plt" && pass

# Wine hands a write to /dev/full the disk-full error of Windows.
d=$(new_dir)
cp "$root/tests/golden/closed-cube-crlf/ANSYS_Model.cdb" "$d/"
ln -s /dev/full "$d/input.dat"
run_in "$d"
if expect_run "model file on a full disk" "$d" 38 \
  "cdbbem: severe (38): error during write, unit 6, file $(win_path "$d")\\input.dat"; then
  if [ "$(tail -c 2 "$d/input.plt" | od -An -c | tr -d ' ')" = '\r\n' ]; then
    pass
  else
    fail "model file on a full disk: input.plt not written whole"
  fi
fi

# A directory with a name outside ASCII: the files are found and written,
# and the report names the directory in UTF-8.
d=$(new_dir)/"modèle 模型"
mkdir "$d"
run_in "$d"
expect_run "missing archive, non-ASCII directory" "$d" 29 \
  "cdbbem: severe (29): file not found, unit 5, file $(win_path "$d")\\ANSYS_Model.cdb" && pass
golden=$root/tests/golden/closed-cube-crlf
cp "$golden/ANSYS_Model.cdb" "$d/"
run_in "$d"
if expect_run "translation in a non-ASCII directory" "$d" 0 "" &&
  cmp -s "$d/.out" "$golden/stdout.txt" && cmp -s "$d/input.plt" "$golden/input.plt" &&
  cmp -s <(tail -n +2 "$d/input.dat") <(tail -n +2 "$golden/input.dat"); then
  pass
else
  fail "translation in a non-ASCII directory: outputs differ from $golden"
fi

# At a drive root the report joins the file name with one backslash.
run_in "$WINEPREFIX/drive_c"
expect_run "missing archive at a drive root" "$WINEPREFIX/drive_c" 29 \
  'cdbbem: severe (29): file not found, unit 5, file C:\ANSYS_Model.cdb' && pass
rm -f "$WINEPREFIX/drive_c"/.status "$WINEPREFIX/drive_c"/.out "$WINEPREFIX/drive_c"/.err

echo "== record-engine tests"
if (cd "$scratch" && "$wine" "$textrec_tests" --gtest_brief=1 >textrec.log 2>&1); then
  pass
  tail -n 3 "$scratch/textrec.log"
else
  fail "record-engine tests"$'\n'"$(tail -n 40 "$scratch/textrec.log")"
fi

echo "== $passed passed, $failed failed"
[ "$failed" -eq 0 ]
