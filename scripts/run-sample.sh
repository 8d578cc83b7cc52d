#!/usr/bin/env bash
# Sets up the machine, builds, and checks the bundled sample environment with the headless runner.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build
build/app/vostrel-sim --field examples/office.txt --check "$@"
