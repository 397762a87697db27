#!/usr/bin/env bash
# Fails when a source file includes a header of a room listed after its own
# (platform < textrec < model < archive, mesh < writers < run), or when the
# platform or textrec rooms name one of the program's files.
set -euo pipefail
cd "$(dirname "$0")/../src"

rank() {
  case $1 in
    platform) echo 0 ;; textrec) echo 1 ;; model) echo 2 ;;
    archive | mesh) echo 3 ;; writers) echo 4 ;; run) echo 5 ;; *) echo -1 ;;
  esac
}

status=0
for dir in */; do
  room=${dir%/}
  own=$(rank "$room")
  [ "$own" -ge 0 ] || { echo "src/$room: not a known room"; status=1; continue; }
  while IFS=: read -r file line target; do
    to=$(rank "$target")
    if [ "$target" != "$room" ] && [ "$to" -ge "$own" ]; then
      echo "src/$file:$line includes a header of $target/, a room after $room/"
      status=1
    fi
  done < <(grep -rnoE '^#include "[a-z_]+/' "$room" | sed -E 's|#include "([a-z_]+)/|\1|')
done

names='ANSYS_Model|\.cdb\b|input\.(dat|plt|vtu)'
if grep -rnE "$names" platform textrec; then
  echo "platform/ and textrec/ must not name the program's files"
  status=1
fi
[ $status -eq 0 ] && echo "rooms: includes run one way"
exit $status
