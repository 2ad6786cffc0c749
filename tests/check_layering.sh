#!/usr/bin/env bash
# Checks that every library folder includes only the folders it may use, so that the direction of
# dependencies between subsystems stays as documented in the README, and that a folder's
# _internal.h headers are included only by that folder and its own tests (tests/<folder>/).
set -u
cd "$(dirname "$0")/.."

declare -A allowed=(
  [camera]="camera"
  [detect]="camera detect"
  [pose]="camera detect pose"
  [sim]="camera detect sim"
  [gl]="camera gl"
  [model]="model"
  [video]="camera sim video"
  [app]="app camera detect pose sim video gl model"
  [tools]="camera detect pose sim gl model video tools"
  [examples]=""  # the installed package only, included as <folder/file.h>
)

# Lines "file:included path" of every quoted include under the given folders.
includes() {
  grep -rHn --include='*.h' --include='*.cpp' --exclude-dir='build*' '#include "' "$@" 2>/dev/null |
    sed -E 's/^([^:]+):[0-9]+:.*#include "([^"]+)".*/\1:\2/'
}

status=0
for folder in "${!allowed[@]}"; do
  [ -d "$folder" ] || continue
  while IFS=: read -r file target; do
    ok=0
    for a in ${allowed[$folder]}; do
      if [[ "$target" == "$a" || "$target" == "$a"/* ]]; then ok=1; break; fi
    done
    # The tools read the viewer's marker table (ardetect names what it finds as the viewer would);
    # that reader has a library of its own, and nothing else of app/ is theirs to use.
    [[ "$folder" == tools && "$target" == app/marker_table.h ]] && ok=1
    # Headers of the same folder included without a folder prefix are fine.
    [[ "$target" != */* ]] && ok=1
    if [ $ok -eq 0 ]; then
      echo "layering: $file includes \"$target\", which $folder/ may not use"
      status=1
    fi
  done < <(includes "$folder")
done

while IFS=: read -r file target; do
  owner=${target%%/*}
  dir=${file%%/*}
  [ "$dir" = tests ] && { rest=${file#tests/}; dir=${rest%%/*}; }
  if [ "$dir" != "$owner" ]; then
    echo "layering: $file includes \"$target\", an internal header of $owner/"
    status=1
  fi
done < <(includes . | grep -E ':[a-z_]+/[a-z_]+_internal\.h$' | sed 's#^\./##')

[ $status -eq 0 ] && echo "layering: every include follows the dependency rules"
exit $status
