#!/usr/bin/env bash
# Validates every sample file with the command-line tool and prints the findings.
set -uo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
shopt -s nullglob
samples=(samples/???????.txt)
if [ ${#samples[@]} -eq 0 ]; then
  echo "no sample files in samples/" >&2
  exit 1
fi
"$build_dir/verdalia-cli" check "${samples[@]}"
status=$?
# Findings in the samples are expected (some samples are faulty on purpose); only
# an unusable reference database or a usage error is a failure of the run itself.
if [ $status -ge 3 ]; then
  exit $status
fi
exit 0
