#!/usr/bin/env bash
# Quick start: installs what is missing, builds, and validates the bundled samples.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
exec make run
