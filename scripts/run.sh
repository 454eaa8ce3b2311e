#!/usr/bin/env bash
# Installs what is missing, builds, and starts Brindle.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/setup.sh build
exec build/src/app/brindle "$@"
