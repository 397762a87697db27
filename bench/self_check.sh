#!/usr/bin/env bash
# Self-check of gen_archive: small archives in all node and element layouts
# and both line ends pass check_archive.sh, output depends only on the seed,
# oversized or malformed requests are refused, and the example model in
# examples/ is what `gen_archive --example` writes.
#
# usage: self_check.sh GEN_ARCHIVE WORK_DIR EXAMPLE_ARCHIVE
set -uo pipefail

gen=${1:?usage: self_check.sh GEN_ARCHIVE WORK_DIR EXAMPLE_ARCHIVE}
work=${2:?missing WORK_DIR}
example=${3:?missing EXAMPLE_ARCHIVE}
check=$(cd "$(dirname "$0")" && pwd)/check_archive.sh
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work" || exit 1
cd "$work" || exit 1

# Value of field NAME in a check_archive summary line.
field() { local v=${2#* "$1"=}; echo "${v%% *}"; }

# Every node layout, each with another element layout and line end. One
# potential record per node: all apply. Grouped: the first of each group of
# three applies and the two after it are passed over.
cases=("--layout 1 --elem-layout 8 --crlf"
       "--layout 2 --elem-layout 9"
       "--layout 3 --elem-layout 10 --crlf --seed 7"
       "--layout 4 --elem-layout 9 --grouped-potentials"
       "")
for args in "${cases[@]}"; do
  # shellcheck disable=SC2086
  "$gen" --nodes 2000 $args -o layout.cdb >/dev/null || { fail "gen_archive $args"; continue; }
  summary=$(bash "$check" layout.cdb) || { fail "check_archive after gen_archive $args"; continue; }
  echo "$args: $summary"
  case $args in
    *--crlf*) [[ $summary == *line_end=CRLF* ]] || fail "$args: line ends are not CR LF" ;;
    *) [[ $summary == *line_end=LF* ]] || fail "$args: line ends are not LF" ;;
  esac
  records=$(field potentials "$summary"); applied=$(field applied "$summary")
  passed=$(field passed_over "$summary")
  case $args in
    *--grouped-potentials*) want_applied=$((records / 3)) ;;
    *) want_applied=$records ;;
  esac
  ((records > 0 && applied == want_applied && passed == records - applied)) \
    || fail "$args: $records potential records, $applied applied, $passed passed over"
done

# The requested size is approached: 2000 asks for about 2000 boundary nodes.
counts=$("$gen" --nodes 2000 --counts) || fail "gen_archive --counts"
nodes=${counts#boundary_nodes=}; nodes=${nodes%% *}
((nodes > 1800 && nodes < 2200)) || fail "--nodes 2000 gave $nodes boundary nodes"

# Same seed, same bytes; another seed, other coordinates.
for run in "3 a" "3 b" "4 c"; do
  read -r seed name <<<"$run"
  "$gen" --nodes 500 --seed "$seed" -o "$name.cdb" >/dev/null || fail "gen_archive --seed $seed"
done
cmp -s a.cdb b.cdb || fail "two runs with seed 3 differ"
cmp -s a.cdb c.cdb && fail "seeds 3 and 4 give the same archive"

# Requests that break a layout's columns or the options are refused.
expect_refusal() {
  local pattern=$1; shift
  local err
  if err=$("$gen" "$@" 2>&1 >/dev/null); then
    fail "gen_archive $* was accepted"
  elif [[ $err != *"$pattern"* ]]; then
    fail "gen_archive $*: message '$err' lacks '$pattern'"
  fi
}
expect_refusal "below 10000000" --nodes 9000000 --counts
expect_refusal "(19i8)" --nodes 7500000 --elem-layout 8 --counts
expect_refusal "--layout must be" --nodes 100 --layout 5 -o x.cdb
expect_refusal "drop --nodes" --example --nodes 100 -o x.cdb
expect_refusal "no output file" --nodes 100

# The example model: one potential record per node, every one applies, so
# the top face's 6 x 6 quadrilaterals give 72 fully prescribed triangles.
"$gen" --example -o example.cdb >/dev/null || fail "gen_archive --example"
summary=$(bash "$check" example.cdb --all-potentials-applied --prescribed-triangles 72) \
  || fail "check_archive of the example"
echo "example: $summary"
cmp -s example.cdb "$example" || fail "$example differs from gen_archive --example"
"$gen" --example --grouped-potentials -o grouped.cdb >/dev/null \
  || fail "gen_archive --example --grouped-potentials"
summary=$(bash "$check" grouped.cdb --prescribed-triangles 72) \
  || fail "check_archive of the grouped example"
[[ $summary == *" potentials=147 applied=49 passed_over=98 "* ]] \
  || fail "grouped example: $summary"

# The checker's model of which potential records apply, on edited copies of
# the example: a repeat for the same node is passed over, at most two in a
# row, and any other record between them ends the passing over.
expect_check() {
  local want=$1 name=$2 prog=$3 summary
  awk "$prog" example.cdb >"$name.cdb"
  if summary=$(bash "$check" "$name.cdb" 2>"$name.err"); then
    [[ $want == pass ]] || fail "check_archive accepted $name"
    [[ $summary == *" applied=49 passed_over=2 prescribed_triangles=72 "* ]] \
      || fail "$name: $summary"
  elif [[ $want == pass ]]; then
    fail "check_archive refused $name: $(head -n 1 "$name.err")"
  elif ! grep -q "potential record for node 170 is applied a second time" "$name.err"; then
    fail "check_archive refused $name for another reason: $(head -n 1 "$name.err")"
  fi
  echo "$name: ${summary:-refused}"
}
expect_check pass repeat_twice '{ print } /^D,    170,/ { print; print }'
expect_check fail repeat_thrice '{ print } /^D,    170,/ { print; print; print }'
expect_check fail repeat_after_go '{ print } /^D,    170,/ { print "/GO"; print }'
expect_check fail repeat_after_other '/^D,    171,/ { print; print line170; next } { print } /^D,    170,/ { line170 = $0 }'

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
