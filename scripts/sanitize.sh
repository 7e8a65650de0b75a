#!/usr/bin/env bash
# Builds the core, the command line, the tests and the fuzz targets with clang's AddressSanitizer
# and UndefinedBehaviorSanitizer in build-asan/, and runs the tests there: a read past a buffer, a
# use after free, a leak or an undefined operation fails the run.
#
# The libraries are compiled once for both uses: with the sanitizers and with the fuzzer's
# coverage instrumentation (-fsanitize=fuzzer-no-link); only the fuzz targets link libFuzzer.
# scripts/fuzz.sh builds and runs the fuzz targets in the same folder.
#
# scripts/sanitize.sh --build-only configures and builds without running the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
if [ "${1:-}" = "--build-only" ]; then
    build_only=1
fi

flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
launcher=()
if [ -n "$(command -v ccache || true)" ]; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B build-asan \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTRAMELA_WERROR=ON \
    -DTRAMELA_GUI=OFF \
    -DTRAMELA_BENCHMARKS=OFF \
    -DTRAMELA_TESTS=ON \
    -DTRAMELA_FUZZ=ON \
    "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
cmake --build build-asan -j2
if [ "$build_only" -eq 1 ]; then
    exit 0
fi
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
# The font libraries of the PDF writer keep their caches until the process ends.
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir build-asan --output-on-failure
