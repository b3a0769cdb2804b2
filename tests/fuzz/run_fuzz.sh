#!/bin/sh
# Builds the fuzz target with clang and libFuzzer (the project configured with
# VACUOLA_FUZZ in a build folder of its own) and runs it briefly over the seed
# corpus. Exits 77 (skipped) when clang or libFuzzer is missing.
# Usage: run_fuzz.sh <source dir> <work dir> [seconds]
set -u
src=$1
work=$2
seconds=${3:-10}

cxx=""
for candidate in clang++ clang++-19 clang++-18 clang++-17 clang++-16 clang++-15 clang++-14; do
    if command -v "$candidate" >/dev/null 2>&1; then
        cxx=$candidate
        break
    fi
done
if [ -z "$cxx" ]; then
    echo "SKIP: no clang++"
    exit 77
fi

mkdir -p "$work" || exit 1
probe="$work/probe.cpp"
printf '%s\n' '#include <cstddef>' '#include <cstdint>' \
    'extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *, std::size_t) { return 0; }' >"$probe"
if ! "$cxx" -fsanitize=fuzzer "$probe" -o "$work/probe" >/dev/null 2>&1; then
    echo "SKIP: $cxx has no libFuzzer"
    exit 77
fi

launcher=""
if command -v ccache >/dev/null 2>&1; then
    launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086 # launcher is empty or one word
if ! cmake -S "$src" -B "$work/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$cxx" \
    -DVACUOLA_FUZZ=ON $launcher >"$work/configure.log" 2>&1; then
    cat "$work/configure.log" >&2
    echo "the fuzz build does not configure" >&2
    exit 1
fi
if ! cmake --build "$work/build" --target fuzz_profile; then
    echo "the fuzz target does not build" >&2
    exit 1
fi

# New inputs go to a scratch corpus; the seeds in the source tree stay as they are.
mkdir -p "$work/corpus" || exit 1
ASAN_OPTIONS=detect_leaks=0 "$work/build/tests/fuzz/fuzz_profile" -max_total_time="$seconds" -max_len=4096 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/corpus" "$src/tests/fuzz/corpus"
