#!/usr/bin/env bash
# Builds every fuzz target (every target named fuzz_*) with clang and libFuzzer into build/fuzz
# and runs each for FUZZ_SECONDS seconds (default 30) on a copy of its seed corpus in a
# temporary folder, so nothing is written into the repository. Exits non-zero when a target
# crashes (or fails to build), printing the path of the input that crashed it.
#
#   FUZZ_SECONDS=300 fuzz/run_fuzzers.sh          all targets
#   fuzz/run_fuzzers.sh fuzz_model                only the named targets
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=build/fuzz
SECONDS_EACH=${FUZZ_SECONDS:-30}
JOBS=$(nproc)

echo "== configure $BUILD (clang, libFuzzer)"
CC=clang CXX=clang++ cmake -S . -B "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAR_FUZZ=ON -DAR_BUILD_TESTS=ON -DAR_BUILD_BENCH=OFF >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  # Makefiles list targets as "... name", Ninja as "name: phony".
  mapfile -t targets < <(cmake --build "$BUILD" --target help |
    sed -nE 's/^(\.\.\. )?(fuzz_[A-Za-z0-9_]+)(:.*)?$/\2/p' | sort -u)
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "run_fuzzers: no fuzz_* targets found" >&2
  exit 1
fi
echo "== build ${targets[*]}"
cmake --build "$BUILD" -j "$JOBS" --target "${targets[@]}"

# The seed corpus of a target: the CORPUS folder of its ar_add_fuzzer(...) call, relative to
# the CMakeLists.txt that holds the call. Empty when the call names none.
corpus_of() {
  local target=$1 file
  while IFS= read -r file; do
    local dir corpus
    dir=$(dirname "$file")
    corpus=$(tr '\n' ' ' <"$file" |
      grep -oE "ar_add_fuzzer\(\s*$target\s[^)]*\)" |
      sed -nE 's/.*CORPUS\s+"?([^" )]+)"?.*/\1/p' | head -n 1)
    if [ -n "$corpus" ]; then
      echo "$dir/$corpus"
      return
    fi
  done < <(find fuzz -name CMakeLists.txt | sort)
}

WORK=$(mktemp -d "${TMPDIR:-/tmp}/ar-fuzz-XXXXXX")
ARTIFACTS=$(mktemp -d "${TMPDIR:-/tmp}/ar-fuzz-crashes-XXXXXX")  # kept: crash inputs live here
trap 'rm -rf "$WORK"' EXIT

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/scripts/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=()
for target in "${targets[@]}"; do
  binary=$(find "$BUILD" -type f -perm -u+x -name "$target" | head -n 1)
  if [ -z "$binary" ]; then
    echo "run_fuzzers: $target was not built" >&2
    failed+=("$target")
    continue
  fi
  corpus="$WORK/$target"
  mkdir -p "$corpus" "$ARTIFACTS/$target"
  seeds=$(corpus_of "$target")
  if [ -n "$seeds" ] && [ -d "$seeds" ]; then
    cp -r "$seeds/." "$corpus/"
  else
    echo "run_fuzzers: $target has no seed corpus; starting from nothing"
  fi
  echo "== fuzz $target for $SECONDS_EACH s (seeds: ${seeds:-none}, $(find "$corpus" -type f | wc -l) files)"
  # The target's standard output and error are closed (-close_fd_mask=3): the parsers' messages
  # about damaged input would flood the log; libFuzzer reports on a copy of standard error.
  if "$binary" "$corpus" -max_total_time="$SECONDS_EACH" -rss_limit_mb=2048 -timeout=25 -close_fd_mask=3 \
      -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$target/" 2>"$WORK/$target.log"; then
    grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+.*DONE)" "$WORK/$target.log" || true
  else
    tail -n 40 "$WORK/$target.log" >&2
    for input in "$ARTIFACTS/$target"/*; do
      [ -e "$input" ] && echo "run_fuzzers: $target crashed; input: $input" >&2
    done
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "run_fuzzers: failed: ${failed[*]} (crash inputs under $ARTIFACTS)" >&2
  exit 1
fi
rm -rf "$ARTIFACTS"
echo "== all ${#targets[@]} fuzz targets ran $SECONDS_EACH s each without a crash"
