#!/usr/bin/env bash
# Opens the window on the bundled samples when there is a display to show it on; otherwise
# validates every sample file with the command-line tool and prints the findings.
set -uo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
shopt -s nullglob
samples=(samples/???????.txt)
if [ ${#samples[@]} -eq 0 ]; then
  echo "no sample files in samples/" >&2
  exit 1
fi

if [ -z "${CI:-}" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build_dir/verdalia" ]; then
  exec "$build_dir/verdalia" "$PWD/samples"
fi

"$build_dir/verdalia-cli" check "${samples[@]}"
status=$?
# Findings in the samples are expected (some samples are faulty on purpose); only
# an unusable reference database or a usage error is a failure of the run itself.
if [ $status -ge 3 ]; then
  exit $status
fi
exit 0
