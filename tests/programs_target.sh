#!/usr/bin/env bash
# The programs-only build (scripts/build.sh --programs) makes the programs and the manuals and
# nothing of the tests, benchmarks or format checks. Usage: programs_target.sh NINJA BUILD-DIR
set -euo pipefail
ninja=$1
dir=$2
commands=$("$ninja" -C "$dir" -t commands programs)
for wanted in kestrane tolvek glimra dornex kestrane-demo kestrane-record kestrane-macro kestrane-log manual/make_manual; do
  grep -q -- "-o $wanted " <<<"$commands" || { echo "programs does not build $wanted"; exit 1; }
done
if grep -E -- "-o (tests|bench|fuzz)/" <<<"$commands" | head -5 | grep .; then
  echo "programs builds the above, which no program needs"
  exit 1
fi
