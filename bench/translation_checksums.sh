#!/usr/bin/env bash
# Translates generated models of about 20,000 nodes and compares the SHA-256
# of both output files (the date in columns 57-65 of input.dat's first
# record masked) with known values, so that a change in speed work cannot
# change a byte of output unnoticed.  The archive's own SHA-256 is checked
# first: a change in the generator is reported as such, not as a change in
# the translation.
#
# usage: translation_checksums.sh CDBBEM GEN_ARCHIVE WORK_DIR
set -euo pipefail
cdbbem=$1
gen=$2
work=$3

# name, generator options, then the SHA-256 of the archive, input.dat
# (masked) and input.plt.
cases=(
  "layout4|--nodes 20000 --seed 1|a0c58fb3d8e7fd4a0b99e9666819db939a203d7b412084ae563e050bf1e464ef|dfca458d78a7b0e6971c7cd39e7ed28bec3f68385f39fc655da3d23819de6f11|6de38bc75f36fb23b4f39607c6af0bf7e424dd8e8a29e33943ab3240a6e73968"
  "layout1-crlf|--nodes 20000 --seed 2 --layout 1 --elem-layout 8 --crlf --grouped-potentials|6532e6c455f30a4dc9fc9a5dd4202aa1aa3b7ee3f4442cb89d27ab8eb803b09a|b6f21bf72959ca03d1eee4a0d6ceb3dd96a816d97c7d479ba362a05ef0ea3649|ece2427b75bf221aeee3b39fb3681116dd769f4799b717a1582800b8ce650a1b"
  "layout2-19i10|--nodes 20000 --seed 3 --layout 2 --elem-layout 10|00756a28f97004b63e39c0ebf8c3d1161d0a141c4a402f074833240282e80dff|11d7a8e78cba8b42dce7c7f99990e590a1a091ac8f582d3a87e23f3489564370|914520a39446faf27324093e0176dcab5ebc354d8ea12cbe5328385d4d8facd7"
)

sha() { sha256sum | cut -d' ' -f1; }
mask_date() { sed '1s/^\(.\{56\}\).\{9\}/\1DD-MON-YY/' "$1"; }

fail=0
for entry in "${cases[@]}"; do
  IFS='|' read -r name options want_archive want_dat want_plt <<<"$entry"
  dir=$work/$name
  rm -rf "$dir"
  mkdir -p "$dir"
  # shellcheck disable=SC2086
  "$gen" $options -o "$dir/ANSYS_Model.cdb" >/dev/null
  if [[ $(sha <"$dir/ANSYS_Model.cdb") != "$want_archive" ]]; then
    echo "$name: the generator wrote a different archive; the checksums need new values"
    fail=1
    continue
  fi
  status=0
  (cd "$dir" && "$cdbbem" >stdout.txt 2>stderr.txt) || status=$?
  if ((status != 0)); then
    echo "$name: cdbbem ended with status $status"
    head -n 3 "$dir/stderr.txt"
    fail=1
    continue
  fi
  got_dat=$(mask_date "$dir/input.dat" | sha)
  got_plt=$(sha <"$dir/input.plt")
  [[ $got_dat == "$want_dat" ]] || { echo "$name: input.dat differs ($got_dat)"; fail=1; }
  [[ $got_plt == "$want_plt" ]] || { echo "$name: input.plt differs ($got_plt)"; fail=1; }
done
((fail == 0)) && echo "all ${#cases[@]} generated models translate to the known outputs"
exit $fail
