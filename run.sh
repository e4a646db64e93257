#!/usr/bin/env bash
# Installs what is missing, builds the Linux program (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"

tools/install-deps.sh run
cmake --preset linux-release
cmake --build --preset linux-release -j"$(nproc)"
exec build/linux-release/app/qt/flagwash
