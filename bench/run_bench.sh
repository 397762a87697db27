#!/usr/bin/env bash
# End-to-end benchmark of cdbbem on generated archives.
#
# For each size, gen_archive writes ANSYS_Model.cdb into a scratch directory;
# then, round by round (after one untimed warm-up round, so the archive is in
# the page cache), each contender runs once: an older cdbbem when --old names
# one, cdbbem with one thread, cdbbem with N threads, and the I/O floor
# (reading the archive once plus writing as many bytes as cdbbem wrote).
# Printed per size: archive and output sizes, the median wall time of each,
# the ratios to the floor and to the older binary, archive records per second
# and cdbbem's peak RSS (N threads).  A second table gives, per size, the
# median times of `cdbbem --check` and `cdbbem --vtk` (N threads, run in the
# same rounds) beside the plain run's, and the peak RSS of each.
#
# usage: run_bench.sh [--cdbbem PATH] [--old PATH] [--threads N] [--gen PATH]
#                     [--sizes N,N,...] [--quick] [--reps R] [--seed S]
#                     [--gen-args "ARGS"] [--dir DIR] [--keep] [--no-build]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cdbbem=""
old=""
threads=$(nproc 2>/dev/null || echo 2)
((threads > 8)) && threads=8
gen=""
sizes="100000,1000000"
reps=7
seed=1
gen_args=""
scratch=""
keep=0
build=1

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit "${1:-0}"
}

while (($#)); do
  case $1 in
    --cdbbem) cdbbem=${2:?}; shift ;;
    --old) old=${2:?}; shift ;;
    --threads) threads=${2:?}; shift ;;
    --gen) gen=${2:?}; shift ;;
    --sizes) sizes=${2:?}; shift ;;
    --quick) sizes="10000,100000" ;;
    --reps) reps=${2:?}; shift ;;
    --seed) seed=${2:?}; shift ;;
    --gen-args) gen_args=${2?}; shift ;;
    --dir) scratch=${2:?}; shift ;;
    --keep) keep=1 ;;
    --no-build) build=0 ;;
    -h|--help) usage 0 ;;
    *) echo "run_bench: unknown option $1" >&2; usage 2 ;;
  esac
  shift
done
[[ $reps =~ ^[1-9][0-9]*$ ]] || { echo "run_bench: --reps needs a positive count" >&2; exit 2; }

# An executable named NAME under build/release, if any.
find_built() {
  [[ -d $root/build/release ]] || return 0
  find "$root/build/release" -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1 || true
}

if [[ -z $cdbbem ]]; then cdbbem=$(find_built cdbbem); fi
if [[ -z $gen ]]; then gen=$(find_built gen_archive); fi
if [[ -z $cdbbem || -z $gen ]]; then
  if ((build == 0)); then
    echo "run_bench: cdbbem or gen_archive not found under build/release; build them" \
         "(cmake --preset release && cmake --build --preset release -j2) or pass" \
         "--cdbbem / --gen" >&2
    exit 1
  fi
  echo "Building the release preset..." >&2
  (cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release -j2 >/dev/null)
  [[ -n $cdbbem ]] || cdbbem=$(find_built cdbbem)
  [[ -n $gen ]] || gen=$(find_built gen_archive)
fi
for exe in "$cdbbem" "$gen"; do
  [[ -n $exe && -x $exe ]] || { echo "run_bench: missing executable '${exe}'" >&2; exit 1; }
done
cdbbem=$(cd "$(dirname "$cdbbem")" && pwd)/$(basename "$cdbbem")
if [[ -n $old ]]; then
  [[ -x $old ]] || { echo "run_bench: missing executable '$old'" >&2; exit 1; }
  old=$(cd "$(dirname "$old")" && pwd)/$(basename "$old")
fi
gen=$(cd "$(dirname "$gen")" && pwd)/$(basename "$gen")

if [[ -z $scratch ]]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/cdbbem-bench.XXXXXX")
  ((keep)) || trap 'rm -rf "$scratch"' EXIT
else
  mkdir -p "$scratch"
fi

have_time=0
if [[ -x /usr/bin/time ]]; then
  have_time=1
else
  echo "note: /usr/bin/time is missing; peak RSS is read from /proc while cdbbem runs" \
       "(sampled every 10 ms, so it may miss a short peak)" >&2
fi

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", b - a }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
file_bytes() { stat -c %s "$1"; }

# Runs cdbbem (or the program in $program) once in the current directory with the
# given options; fails loudly if it did not finish (a check may end with 3:
# defects found).
run_cdbbem() {
  local status=0
  "${program:-$cdbbem}" "$@" >stdout.txt 2>stderr.txt || status=$?
  if [[ " $* " == *" --check "* ]]; then
    ((status == 0 || status == 3)) && [[ -s stdout.txt ]] && return 0
  elif ((status == 0)) && [[ -s input.dat ]]; then
    return 0
  fi
  echo "run_bench: ${program:-cdbbem} $* failed in $PWD (exit status $status):" >&2
  head -n 5 stderr.txt >&2
  exit 1
}

# Peak resident set of one cdbbem run with the given options, in KiB.
peak_rss_kib() {
  if ((have_time)); then
    CDBBEM_THREADS=$threads /usr/bin/time -v -o rss.txt "$cdbbem" "$@" >stdout.txt 2>stderr.txt ||
      true
    awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' rss.txt
  else
    CDBBEM_THREADS=$threads "$cdbbem" "$@" >stdout.txt 2>stderr.txt &
    local pid=$! peak=0 hwm
    while kill -0 "$pid" 2>/dev/null; do
      hwm=$(awk '/^VmHWM:/ { print $2 }' "/proc/$pid/status" 2>/dev/null || true)
      [[ -n $hwm ]] && ((hwm > peak)) && peak=$hwm
      sleep 0.01
    done
    wait "$pid" || true
    echo "$peak"
  fi
}

# Reads the archive once and writes as many bytes as cdbbem wrote.
io_floor_once() {
  local dat=$1 plt=$2
  cat ANSYS_Model.cdb >/dev/null
  head -c "$dat" /dev/zero >floor.dat
  head -c "$plt" /dev/zero >floor.plt
}

rows=()
check_rows=()
IFS=, read -r -a size_list <<<"$sizes"
for n in "${size_list[@]}"; do
  dir=$scratch/n$n
  mkdir -p "$dir"
  cd "$dir"
  echo "== $n nodes: generating" >&2
  # shellcheck disable=SC2086
  "$gen" --nodes "$n" --seed "$seed" $gen_args -o ANSYS_Model.cdb >counts.txt
  archive_bytes=$(file_bytes ANSYS_Model.cdb)
  records=$(wc -l <ANSYS_Model.cdb)

  echo "== $n nodes: $reps rounds (+1 warm-up)" >&2
  run_cdbbem
  out_dat=$(file_bytes input.dat)
  out_plt=$(file_bytes input.plt)
  t_old=() t_one=() t_many=() t_check=() t_vtk=() floors=()
  for ((r = -1; r < reps; r++)); do
    if [[ -n $old ]]; then
      t0=$(now); program=$old run_cdbbem; t1=$(now)
      ((r >= 0)) && t_old+=("$(elapsed "$t0" "$t1")")
    fi
    t0=$(now); CDBBEM_THREADS=1 run_cdbbem; t1=$(now)
    ((r >= 0)) && t_one+=("$(elapsed "$t0" "$t1")")
    t0=$(now); CDBBEM_THREADS=$threads run_cdbbem; t1=$(now)
    ((r >= 0)) && t_many+=("$(elapsed "$t0" "$t1")")
    t0=$(now); CDBBEM_THREADS=$threads run_cdbbem --check; t1=$(now)
    ((r >= 0)) && t_check+=("$(elapsed "$t0" "$t1")")
    t0=$(now); CDBBEM_THREADS=$threads run_cdbbem --vtk; t1=$(now)
    ((r >= 0)) && t_vtk+=("$(elapsed "$t0" "$t1")")
    t0=$(now); io_floor_once "$out_dat" "$out_plt"; t1=$(now)
    ((r >= 0)) && floors+=("$(elapsed "$t0" "$t1")")
  done
  rm -f floor.dat floor.plt
  rss=$(peak_rss_kib)
  check_rss=$(peak_rss_kib --check)
  vtk_rss=$(peak_rss_kib --vtk)

  t1m=$(median "${t_one[@]}")
  tnm=$(median "${t_many[@]}")
  tc=$(median "${t_check[@]}")
  tv=$(median "${t_vtk[@]}")
  check_rows+=("$(awk -v n="$n" -v t="$tnm" -v tc="$tc" -v tv="$tv" -v r="$rss" -v rc="$check_rss" \
                     -v rv="$vtk_rss" 'BEGIN {
    printf "%9d %10.3f %10.3f %7.2f %10.3f %7.2f %10.1f %10.1f %10.1f",
           n, t, tc, tc / t, tv, tv / t, r / 1024, rc / 1024, rv / 1024
  }')")
  f=$(median "${floors[@]}")
  to=0
  [[ -n $old ]] && to=$(median "${t_old[@]}")
  rows+=("$(awk -v n="$n" -v ab="$archive_bytes" -v ob="$((out_dat + out_plt))" -v to="$to" \
               -v t1="$t1m" -v tn="$tnm" -v f="$f" -v rec="$records" -v rss="$rss" 'BEGIN {
    printf "%9d %8.1f %8.1f %8.3f %8.3f %8.3f %8.3f %7.2f %7.2f %7.2f %11.0f %8.1f",
           n, ab / 1e6, ob / 1e6, to, t1, tn, f, (f > 0 ? t1 / f : 0), (f > 0 ? tn / f : 0),
           (to > 0 ? tn / to : 0), rec / tn, rss / 1024
  }')")
  [[ -n $old ]] && echo "   old (s): ${t_old[*]}" >&2
  echo "   1 thread (s): ${t_one[*]}" >&2
  echo "   $threads threads (s): ${t_many[*]}" >&2
  echo "   --check (s): ${t_check[*]}" >&2
  echo "   --vtk (s): ${t_vtk[*]}" >&2
  echo "   floor (s): ${floors[*]}" >&2
  cd "$scratch"
  ((keep)) || rm -f "$dir"/input.dat "$dir"/input.plt "$dir"/input.vtu "$dir"/ANSYS_Model.cdb
done

echo
echo "cdbbem: $cdbbem; older: ${old:-none}; N = $threads threads"
echo "medians of $reps alternated rounds; floor = cat archive >/dev/null + write outputs' bytes"
printf '%9s %8s %8s %8s %8s %8s %8s %7s %7s %7s %11s %8s\n' \
  "nodes" "arch MB" "out MB" "old s" "1 thr s" "N thr s" "floor s" "1/floor" "N/floor" \
  "N/old" "records/s" "RSS MiB"
printf '%s\n' "${rows[@]}"
echo
echo "checking and viewing ($threads threads): medians of the same rounds"
printf '%9s %10s %10s %7s %10s %7s %10s %10s %10s\n' \
  "nodes" "plain s" "check s" "x plain" "vtk s" "x plain" "RSS MiB" "check MiB" "vtk MiB"
printf '%s\n' "${check_rows[@]}"
((keep)) && echo "scratch directory kept: $scratch"
exit 0
