#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs them.
#   scripts/fuzz.sh TARGET SECONDS   one target for that long
#   scripts/fuzz.sh --all SECONDS    every target (CI's smoke run)
#   scripts/fuzz.sh --list           the targets
# BUILD_DIR (default build-fuzz) is the build folder. Each target starts from
# its seeds (fuzz/corpus/TARGET) and the corpus earlier runs grew
# (BUILD_DIR/corpus/TARGET), with its dictionary (fuzz/dict/TARGET.dict).
# An input that crashes, leaks, hangs or breaks a property is kept in
# BUILD_DIR/artifacts/TARGET/ and fails the run. FUZZ_JOBS targets (default
# 2) run at a time.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

if [ $# -lt 1 ] || { [ "$1" != --list ] && [ $# -ne 2 ]; }; then
  sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
fi

bash scripts/install-deps.sh >/dev/null
build="${BUILD_DIR:-build-fuzz}"
case "$build" in /*) ;; *) build="$root/$build" ;; esac
# A build folder configured with another compiler starts afresh.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang++-16' "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
CC=clang-16 CXX=clang++-16 cmake -S fuzz -B "$build" -G Ninja >/dev/null
mapfile -t targets < "$build/targets.txt"

if [ "$1" = --list ]; then
  printf '%s\n' "${targets[@]}"
  exit 0
fi

seconds="$2"
if [ "$1" = --all ]; then
  chosen=("${targets[@]}")
else
  chosen=("$1")
  if ! printf '%s\n' "${targets[@]}" | grep -qx "$1"; then
    echo "fuzz: no target $1 (scripts/fuzz.sh --list)" >&2
    exit 2
  fi
fi
names=()
for t in "${chosen[@]}"; do names+=("${t}_fuzz"); done
cmake --build "$build" --parallel "$(nproc 2>/dev/null || echo 2)" --target "${names[@]}"

# Symbolised reports when the symboliser is not on the path under its plain name.
export ASAN_SYMBOLIZER_PATH="${ASAN_SYMBOLIZER_PATH:-/usr/lib/llvm-16/bin/llvm-symbolizer}"
export UBSAN_OPTIONS="print_stacktrace=1:${UBSAN_OPTIONS:-}"

# Runs one target; its exit status is kept beside its log.
fuzz_one() {
  local t="$1" corpus="$build/corpus/$1" artifacts="$build/artifacts/$1" log="$build/logs/$1.log"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$artifacts/")
  [ -f "fuzz/dict/$t.dict" ] && args+=(-dict="$root/fuzz/dict/$t.dict")
  local dirs=("$corpus")
  [ -d "fuzz/corpus/$t" ] && dirs+=("$root/fuzz/corpus/$t")
  # The scratch folders of the target's process go in a folder of this run.
  local scratch status=0
  scratch="$(mktemp -d)"
  TMPDIR="$scratch" "$build/${t}_fuzz" "${args[@]}" "${dirs[@]}" >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  echo "$status" >"$build/logs/$t.status"
  local runs edges
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)" || true
  edges="$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)" || true
  if [ "$status" -eq 0 ]; then
    echo "fuzz: $t ran ${seconds}s, ${runs:-?} inputs, ${edges:-?} edges covered, nothing found"
  else
    echo "fuzz: $t FAILED (exit $status) after ${runs:-?} inputs; input kept in $artifacts" >&2
  fi
}

# Targets run FUZZ_JOBS at a time (default 2), each on one core.
jobs_max="${FUZZ_JOBS:-2}"
for t in "${chosen[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs_max" ]; do wait -n || true; done
  rm -f "$build/logs/$t.status"  # a run that ends without one failed
  fuzz_one "$t" &
done
wait

failed=()
for t in "${chosen[@]}"; do
  if [ "$(cat "$build/logs/$t.status" 2>/dev/null || echo 1)" != 0 ]; then
    echo "fuzz: $t:" >&2
    grep -E 'ERROR|SUMMARY|property does not hold|runtime error|#[0-9]+ 0x' "$build/logs/$t.log" |
      head -30 >&2 || true
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: ${#chosen[@]} targets ran, nothing found"
