#!/usr/bin/env bash
# Installs what is missing, builds Ормелит (Release) and starts it.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target ormelit ormelit-cli
exec ./build/ormelit "$@"
