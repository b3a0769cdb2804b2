#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through ctest.
#   tools/test.sh              normal build in build/
#   tools/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
# Environment: VACUOLA_NO_DEPS=1 skips the package check (.ci/run has done it),
#              VACUOLA_WERROR=ON builds with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${VACUOLA_NO_DEPS:-}" = 1 ] || tools/deps.sh --test

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [ "${1:-}" = "--sanitize" ]; then
    build=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DVACUOLA_SANITIZE=ON)
fi
[ -z "${VACUOLA_WERROR:-}" ] || flags+=("-DVACUOLA_WERROR=${VACUOLA_WERROR}")
cmake -S . -B "$build" "${flags[@]}"
cmake --build "$build" --parallel "$(nproc)"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"
