#!/usr/bin/env bash
# Checks that every library folder includes only the folders it may use, so that the direction of
# dependencies between subsystems stays as documented in the README.
set -u
cd "$(dirname "$0")/.."

declare -A allowed=(
  [camera]="camera detect/detected_marker.h"
  [detect]="camera detect"
  [sim]="camera sim"
  [gl]="camera gl"
  [model]="model"
  [video]="camera sim video"
  [app]="app camera detect sim video gl model"
  [tools]="camera detect sim gl model video tools"
)

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${line#*:}")
    ok=0
    for a in ${allowed[$folder]}; do
      if [[ "$target" == "$a" || "$target" == "$a"/* ]]; then ok=1; break; fi
    done
    # Headers of the same folder included without a folder prefix are fine.
    [[ "$target" != */* ]] && ok=1
    if [ $ok -eq 0 ]; then
      echo "layering: $file includes \"$target\", which $folder/ may not use"
      status=1
    fi
  done < <(grep -rHn --include='*.h' --include='*.cpp' '#include "' "$folder" | sed -E 's/^([^:]+):[0-9]+:/\1:/')
done
[ $status -eq 0 ] && echo "layering: every include follows the dependency rules"
exit $status
