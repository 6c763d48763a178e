#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs each one.
#   scripts/fuzz.sh [seconds per target]       default 60
#   scripts/fuzz.sh --runs N                   N executions per target instead of a time
# KESTRANE_FUZZ_ONLY="a b" runs only those formats.
# Each target starts from fuzz/corpus/<format> and fuzz/regressions/<format>; new corpus entries
# stay in build-fuzz/corpus, findings land in build-fuzz/findings/<format>/. A finding worth
# keeping goes into fuzz/regressions/<format>/, where the regression test runs it in every build.
# Prints executions and findings per target; exits non-zero when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time="${1:-60}")
if [ "${1:-}" = "--runs" ]; then
  limit=(-runs="${2:?--runs needs a number}")
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# Paths inside the tree reach the cache relative to it, so a clone in another folder (CI's)
# reuses what any earlier build compiled.
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRANE_FUZZ=ON -DKESTRANE_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build build-fuzz --target fuzz_all -j "$(nproc)"

formats=${KESTRANE_FUZZ_ONLY:-$(sed -n 's/^set(KESTRANE_FUZZ_FORMATS \(.*\))$/\1/p' fuzz/CMakeLists.txt)}
status=0
printf '%-14s %12s %9s\n' format executions findings
for f in $formats; do
  corpus=build-fuzz/corpus/$f findings=build-fuzz/findings/$f
  mkdir -p "$corpus" "$findings"
  seeds=()
  for d in fuzz/corpus/$f fuzz/regressions/$f; do [ -d "$d" ] && seeds+=("$d"); done
  log=build-fuzz/findings/$f.log
  set +e
  ASAN_OPTIONS=detect_leaks=1 "build-fuzz/fuzz/fuzz_$f" "${limit[@]}" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "${seeds[@]}" >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  found=$(find "$findings" -type f | wc -l)
  printf '%-14s %12s %9s\n' "$f" "${execs:-?}" "$found"
  if [ "$rc" -ne 0 ] || [ "$found" -ne 0 ]; then
    status=1
    grep -m3 -E 'ERROR|SUMMARY|^[a-z_0-9]+: ' "$log" | sed 's/^/    /' || true
  fi
done
exit $status
