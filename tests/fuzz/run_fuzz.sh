#!/bin/sh
# Builds the profile/CP932 fuzz target with clang and libFuzzer and runs it
# briefly over the seed corpus. Exits 77 (skipped) when clang, libFuzzer or
# Qt's pkg-config data are missing.
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
if ! qt_flags=$(pkg-config --cflags --libs Qt6Core 2>/dev/null); then
    echo "SKIP: no pkg-config data for Qt6Core"
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

# The platform sources the entry point needs: the profile file and the codec.
codec=$(ls "$src"/platform/posix/Cp932.cpp "$src"/platform/Cp932.cpp 2>/dev/null | head -n 1)
if [ -z "$codec" ]; then
    echo "no code page 932 codec source found" >&2
    exit 1
fi

# shellcheck disable=SC2086 # qt_flags is a list of words
if ! "$cxx" -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -DQT_NO_CAST_FROM_ASCII -I"$src" \
    "$src/tests/fuzz/fuzz_profile.cpp" "$src/platform/ProfileFile.cpp" "$codec" \
    $qt_flags -o "$work/fuzz_profile"; then
    echo "the fuzz target does not build" >&2
    exit 1
fi

# New inputs go to a scratch corpus; the seeds in the source tree stay as they are.
mkdir -p "$work/corpus" || exit 1
ASAN_OPTIONS=detect_leaks=0 "$work/fuzz_profile" -max_total_time="$seconds" -max_len=4096 \
    -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" \
    "$work/corpus" "$src/tests/fuzz/corpus"
