#!/usr/bin/env bash
# Runs every command block of README.md (fenced as ```sh), in order, in a scratch folder holding
# copies of Data/ and docs/ and the build folder as build/release, the way a new user follows the
# README after its two commands; then checks what the walk through the tools should have made.
# Also checks that every program the README names under build/release/ exists.
#
#   tests/check_readme.sh [BUILD_DIR]      (default build/release)
set -u
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=$(cd "${1:-build/release}" && pwd)
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/ar-readme-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
cp -r Data docs "$SCRATCH/"
mkdir -p "$SCRATCH/build"
ln -s "$BUILD" "$SCRATCH/build/release"

status=0
fail() {
  echo "readme: $*"
  status=1
}

# Programs named anywhere in the README (placeholders such as <subsystem> left out).
while read -r path; do
  [ -x "$BUILD/${path#build/release/}" ] || fail "README names $path, which the build does not have"
done < <(grep -oE 'build/release/(tools|app)/[A-Za-z0-9_./-]+[A-Za-z0-9_]' README.md | sort -u)

# The command blocks, one file each.
awk -v dir="$SCRATCH" '
  /^```sh$/ { n++; file = sprintf("%s/block%02d.sh", dir, n); inside = 1; next }
  /^```$/ && inside { inside = 0; close(file); next }
  inside { print > file }
' README.md
blocks=("$SCRATCH"/block*.sh)
[ -e "${blocks[0]}" ] || fail "no command blocks found"
for block in "${blocks[@]}"; do
  [ -e "$block" ] || continue
  if ! (cd "$SCRATCH" && bash -euo pipefail "$block") >"${block%.sh}.log" 2>&1; then
    fail "this block of README.md failed:"
    sed 's/^/    /' "$block"
    echo "  its output:"
    tail -n 20 "${block%.sh}.log" | sed 's/^/    /'
  fi
done

# What the walk made.
cat "$SCRATCH"/block*.log >"$SCRATCH/all.log" 2>/dev/null
grep -qE '^0,0,[0-9]+,slash,' "$SCRATCH/all.log" || fail "ardetect did not name the new marker slash"
[ -s "$SCRATCH/detected/frame000000.png" ] || fail "ardetect --draw wrote no picture"
grep -q 'no two patterns are confusable' "$SCRATCH/all.log" || fail "armkpatt check found confusable patterns"
grep -q 'SIZE = 640, 480' "$SCRATCH/all.log" || fail "arcamera print showed no camera"

[ $status -eq 0 ] && echo "readme: all ${#blocks[@]} command blocks ran and did what the README says"
exit $status
