#!/usr/bin/env bash
# Quick start: installs what is missing, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
exec make test
