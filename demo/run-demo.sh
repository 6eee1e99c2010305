#!/usr/bin/env bash
# The README's main job: create the demo device once and show it.
set -euo pipefail
BUILD="${1:?usage: run-demo.sh BUILD_DIR}"
echo "demo device: not available yet"
