#!/usr/bin/env bash
# Builds the core, the command line and the tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/, and runs the tests there: a read past a buffer, a
# use after free, a leak or an undefined operation fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B build-asan \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTRAMELA_WERROR=ON \
    -DTRAMELA_GUI=OFF \
    -DTRAMELA_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build build-asan -j2
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure
