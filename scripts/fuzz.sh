#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds: scripts/fuzz.sh SECONDS
#
# The targets are built (or brought up to date) in build-asan/, the folder and configuration of
# scripts/sanitize.sh. Each runs on a copy of its seed corpus (fuzz/corpus/<target>/) in a
# temporary folder, so the committed corpus never grows, with the input length of its line in
# build-asan/fuzz_targets.txt. The script prints per target the inputs executed and whether it
# crashed; it fails when one did, keeping the input that crashed it and the fuzzer's output in
# build-asan/fuzz-crashes/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ne 1 ] || ! [[ "$1" =~ ^[1-9][0-9]*$ ]]; then
    echo "uso: scripts/fuzz.sh SECONDI" >&2
    exit 2
fi
seconds=$1
build=build-asan
list=$build/fuzz_targets.txt

# A configured folder has its targets brought up to date; otherwise it is configured and built.
if [ -f "$list" ]; then
    targets=()
    while read -r -u 3 name _; do
        targets+=("fuzz_$name")
    done 3<"$list"
    cmake --build "$build" -j2 --target "${targets[@]}"
else
    scripts/sanitize.sh --build-only
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tramela-fuzz-run.XXXXXX")
trap 'rm -rf "$work"' EXIT
# The targets make their scratch folders in the run's folder.
export TMPDIR="$work"
export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
printf '%-20s %12s  %s\n' target esecuzioni esito
while read -r -u 3 name max_len; do
    corpus="$work/corpus/$name"
    mkdir -p "$corpus"
    cp fuzz/corpus/"$name"/* "$corpus"/
    crashes="$build/fuzz-crashes/$name"
    rm -rf "$crashes"
    mkdir -p "$work/artifacts/$name"
    log="$work/$name.log"
    status=0
    "$build/fuzz/fuzz_$name" "$corpus" \
        -max_total_time="$seconds" -max_len="$max_len" -timeout=25 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/$name/" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ -z "$runs" ]; then
        runs=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$log" | tail -n 1)
    fi
    if [ "$status" -eq 0 ]; then
        printf '%-20s %12s  %s\n' "$name" "${runs:-0}" "nessun crash"
        continue
    fi
    failed=1
    mkdir -p "$crashes"
    cp "$log" "$crashes/output.log"
    found=""
    for input in "$work/artifacts/$name"/*; do
        [ -e "$input" ] || continue
        cp "$input" "$crashes/"
        found="$crashes/$(basename "$input")"
    done
    printf '%-20s %12s  %s\n' "$name" "${runs:-?}" "CRASH (stato $status): ${found:-nessun input salvato} (output: $crashes/output.log)"
done 3<"$list"
exit "$failed"
