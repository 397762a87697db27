#!/usr/bin/env bash
# Skin of solid models: cdbbem --any beside VTK's surface filter on one mesh.
#
# For each size, gen_solids writes a block of ten-node tets or eight-node
# bricks (potentials on its top, fluxes on its bottom) as ANSYS_Model.cdb
# and as solids.vtu into DIR/<shape><size>. Then R rounds, each of both in
# turn: vtk_surface.py reads solids.vtu and runs vtkDataSetSurfaceFilter
# (each step timed inside Python), and cdbbem --any translates the archive
# (wall time and peak RSS from /usr/bin/time). Printed per size: elements,
# nodes, the medians of VTK's read and filter, VTK's skin cells (checked
# against the generator's count: VTK cuts each six-node face into four
# triangles, so for tets it is cdbbem's triangle count, for bricks the
# number of faces), VTK's peak RSS, the median of cdbbem's whole run, its
# ratio to VTK's filter alone, cdbbem's seconds per million elements, its
# peak RSS and that peak over the memory budget of 160 bytes per solid plus
# 48 per node. A run that ends in a report (110 "no boundary" while --any
# takes no skins) shows the report number in place of its time and its peak
# RSS until then in parentheses, and the report's first line is printed
# below the table.
#
# Before each size the free space of DIR is checked against what the files
# may take; a size that does not fit is passed over with a line saying so.
# The archives and .vtu files are deleted after each size unless --keep.
#
# usage: solid_bench.sh [--cdbbem PATH] [--gen PATH] [--python PATH]
#                       [--tets N,N,...] [--bricks N,N,...] [--reps R]
#                       [--threads N] [--keep] [--no-build] DIR
#   defaults: --tets 100000,1000000,4000000 --bricks 1000000 --reps 1;
#   an empty list (--bricks "") runs none of that shape
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
cdbbem=""
gen=""
python=/usr/bin/python3
tets="100000,1000000,4000000"
bricks="1000000"
reps=1
keep=0
build=1
dir=""

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
  exit "${1:-0}"
}

while (($#)); do
  case $1 in
    --cdbbem) cdbbem=${2:?}; shift ;;
    --gen) gen=${2:?}; shift ;;
    --python) python=${2:?}; shift ;;
    --tets) tets=${2?}; shift ;;
    --bricks) bricks=${2?}; shift ;;
    --reps) reps=${2:?}; shift ;;
    --threads) export CDBBEM_THREADS=${2:?}; shift ;;
    --keep) keep=1 ;;
    --no-build) build=0 ;;
    -h|--help) usage 0 ;;
    -*) echo "solid_bench: unknown option $1" >&2; usage 2 ;;
    *) [[ -z $dir ]] || { echo "solid_bench: a second DIR: $1" >&2; exit 2; }; dir=$1 ;;
  esac
  shift
done
[[ -n $dir ]] || { echo "solid_bench: give the directory for the generated models" >&2; usage 2; }
[[ $reps =~ ^[1-9][0-9]*$ ]] || { echo "solid_bench: --reps needs a positive count" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "solid_bench: /usr/bin/time is needed (apt-get install time)" >&2; exit 1; }
if ! "$python" -c "import vtkmodules.vtkFiltersGeometry" 2>/dev/null; then
  echo "solid_bench: $python cannot import VTK; install Debian's python3-vtk9" \
       "(apt-get install -y python3-vtk9) or pass --python" >&2
  exit 1
fi

# An executable named NAME under build/release, if any.
find_built() {
  [[ -d $root/build/release ]] || return 0
  find "$root/build/release" -type f -name "$1" -perm -u+x 2>/dev/null | head -n 1 || true
}

[[ -n $cdbbem ]] || cdbbem=$(find_built cdbbem)
[[ -n $gen ]] || gen=$(find_built gen_solids)
if [[ -z $cdbbem || -z $gen ]]; then
  if ((build == 0)); then
    echo "solid_bench: cdbbem or gen_solids not found under build/release; build them" \
         "(cmake --preset release && cmake --build --preset release -j2) or pass" \
         "--cdbbem / --gen" >&2
    exit 1
  fi
  echo "Building the release preset..." >&2
  (cd "$root" && cmake --preset release >/dev/null &&
     cmake --build --preset release -j2 --target cdbbem gen_solids >/dev/null)
  [[ -n $cdbbem ]] || cdbbem=$(find_built cdbbem)
  [[ -n $gen ]] || gen=$(find_built gen_solids)
fi
for exe in "$cdbbem" "$gen"; do
  [[ -n $exe && -x $exe ]] || { echo "solid_bench: missing executable '${exe}'" >&2; exit 1; }
done
cdbbem=$(cd "$(dirname "$cdbbem")" && pwd)/$(basename "$cdbbem")
gen=$(cd "$(dirname "$gen")" && pwd)/$(basename "$gen")
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

# Value of field NAME in a line of name=value fields.
field() { local v=" $2"; v=${v#* "$1"=}; echo "${v%% *}"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rows=()
reports=()
skipped=()
mismatches=()

# Generates, times and adds a row for one shape (tets or bricks) and size.
run_case() {
  local shape=$1 n=$2 case_dir=$dir/$1$2
  local counts need avail
  counts=$("$gen" "--$shape" --elements "$n" --counts)
  need=$(( $(field bytes_at_most "$counts") + $(field skin_triangles "$counts") * 400 + (64 << 20) ))
  avail=$(df -P -B1 "$dir" | awk 'NR == 2 { print $4 }')
  if ((avail < need)); then
    skipped+=("$shape $n: needs about $((need >> 20)) MiB in $dir, $((avail >> 20)) MiB free")
    return
  fi
  mkdir -p "$case_dir"
  cd "$case_dir"
  echo "== $shape $n: generating" >&2
  counts=$("$gen" "--$shape" --elements "$n" --conditions -o ANSYS_Model.cdb --vtu solids.vtu)
  echo "   $counts" >&2
  # The new files on disk before the rounds, so that their write-back does
  # not take a processor from them.
  sync
  local elements nodes expected
  elements=$(field elements "$counts")
  nodes=$(field nodes "$counts")
  if [[ $shape == tets ]]; then expected=$(field skin_triangles "$counts"); else expected=$(field skin_faces "$counts"); fi

  # VTK and cdbbem in turn, round by round, so that a change of the
  # machine's speed during the set falls on both alike.
  local reads=() filters=() vtk_line="" r
  local walls=() peak=0 status=0 kib t0 t1
  for ((r = 0; r < reps; r++)); do
    echo "== $shape $n: VTK, round $((r + 1)) of $reps" >&2
    vtk_line=$("$python" "$here/vtk_surface.py" solids.vtu)
    echo "   $vtk_line" >&2
    reads+=("$(field read_s "$vtk_line")")
    filters+=("$(field filter_s "$vtk_line")")

    echo "== $shape $n: cdbbem --any, round $((r + 1)) of $reps" >&2
    status=0
    t0=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o rss.txt "$cdbbem" --any . >stdout.txt 2>stderr.txt || status=$?
    t1=$EPOCHREALTIME
    walls+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')")
    kib=$(tail -n 1 rss.txt)
    ((kib > peak)) && peak=$kib
    echo "   exit status $status, ${walls[-1]} s, $kib KiB" >&2
  done
  local skin_cells vtk_mib
  skin_cells=$(field skin_cells "$vtk_line")
  vtk_mib=$(field peak_mib "$vtk_line")
  ((skin_cells == expected)) ||
    mismatches+=("$shape $n: VTK's skin has $skin_cells cells, the generator expects $expected")
  if ((status != 0)); then
    reports+=("$shape $n: cdbbem --any ended with exit status $status: $(head -n 1 stderr.txt)")
  fi

  rows+=("$(awk -v shape="$shape" -v e="$elements" -v nodes="$nodes" -v rd="$(median "${reads[@]}")" \
               -v fl="$(median "${filters[@]}")" -v sc="$skin_cells" -v vm="$vtk_mib" \
               -v t="$(median "${walls[@]}")" -v st="$status" -v kib="$peak" 'BEGIN {
    budget = 160 * e + 48 * nodes
    if (st == 0) {
      run = sprintf("%8.3f %7.2f %7.3f %8.1f %7.2f", t, t / fl, t / (e / 1e6), kib / 1024,
                    kib * 1024 / budget)
    } else {
      run = sprintf("%8s %7s %7s %8s %7s", "(" st ")", "-", "-", sprintf("(%.1f)", kib / 1024), "-")
    }
    printf "%-6s %9d %9d %8.3f %8.3f %9d %8.1f %s", shape, e, nodes, rd, fl, sc, vm, run
  }')")
  cd "$dir"
  ((keep)) || rm -f "$case_dir"/ANSYS_Model.cdb "$case_dir"/solids.vtu "$case_dir"/input.dat \
                   "$case_dir"/input.plt
}

IFS=, read -r -a tet_sizes <<<"$tets"
IFS=, read -r -a brick_sizes <<<"$bricks"
for n in "${tet_sizes[@]}"; do run_case tets "$n"; done
for n in "${brick_sizes[@]}"; do run_case bricks "$n"; done

echo
echo "cdbbem: $cdbbem (CDBBEM_THREADS=${CDBBEM_THREADS:-unset}); VTK $("$python" -c \
  'from vtkmodules.vtkCommonCore import vtkVersion; print(vtkVersion.GetVTKVersion())')"
echo "medians of $reps round(s); times are wall seconds; budget = 160 B per solid + 48 B per node"
echo "(N): cdbbem ended with report N, its peak RSS until then in parentheses"
printf '%-6s %9s %9s %8s %8s %9s %8s %8s %7s %7s %8s %7s\n' \
  "shape" "elements" "nodes" "VTK rd s" "VTK fl s" "VTK skin" "VTK MiB" "any s" "/filter" \
  "s/M el" "peak MiB" "/budget"
((${#rows[@]} == 0)) || printf '%s\n' "${rows[@]}"
for line in "${reports[@]}" "${mismatches[@]}" "${skipped[@]}"; do echo "$line"; done
((keep)) && echo "models kept under $dir"
((${#mismatches[@]} == 0))
