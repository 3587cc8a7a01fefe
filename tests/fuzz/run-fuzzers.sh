#!/usr/bin/env bash
# Runs libFuzzer harnesses one after the other (the machine's cores are shared), each for
# SECONDS on a working copy of its seed corpus, and fails on the first finding: a crash, a
# hang, a leak, a sanitizer report or an input beyond the memory limit. The input that
# caused it is left in BUILD_DIR/fuzz-run/artifacts.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS HARNESS...
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 BUILD_DIR SECONDS HARNESS..." >&2
  exit 64
fi
build_dir=$1
seconds=$2
shift 2
source_dir=$(cd "$(dirname "$0")" && pwd)
work="$build_dir/fuzz-run"
mkdir -p "$work/artifacts"

status=0
summary=()
for name in "$@"; do
  # The working corpus grows from run to run in the build folder; the seeds in the source
  # tree are only ever read.
  corpus="$work/corpus/$name"
  mkdir -p "$corpus"
  if [ -d "$source_dir/corpus/$name" ]; then
    cp -n "$source_dir/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  fi
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$work/artifacts/$name-")
  case $name in
    fuzz_physical_logical | fuzz_definitions)
      options+=(-max_len=16384 -dict="$source_dir/verdalia.dict") ;;
    fuzz_numbers)
      options+=(-max_len=256) ;;
    fuzz_access)
      # A few bytes choose the damage; each input writes and loads an Access file.
      options+=(-max_len=128) ;;
  esac
  log="$work/$name.log"
  echo "fuzz: $name for ${seconds}s (log $log)"
  start=$(date +%s)
  if "$build_dir/fuzz/$name" "${options[@]}" "$corpus" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
    tail -n 80 "$log" >&2
  fi
  elapsed=$(($(date +%s) - start))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  files=$(find "$corpus" -type f | wc -l)
  summary+=("$name: $result, ${execs:-?} executions in ${elapsed}s (${rate:-?}/s), corpus $files inputs")
  if [ $status -ne 0 ]; then
    break
  fi
done
printf 'fuzz: %s\n' "${summary[@]}"
exit $status
