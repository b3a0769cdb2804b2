#!/usr/bin/env bash
# Installs what is missing, builds Vacuola and starts it. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --parallel "$(nproc)" --target vacuola
exec build/vacuola "$@"
