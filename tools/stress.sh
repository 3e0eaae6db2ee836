#!/usr/bin/env bash
# Runs the whole test suite ROUNDS times while stress-ng keeps every core busy, then prints
# how often each test failed. A test that fails here now and then fails on a clean machine
# some day too. Each round's output stays in BUILD_DIR/stress/ for reading the failures.
# A third argument, a ctest regular expression, narrows the rounds to the tests it matches.
# Usage: tools/stress.sh BUILD_DIR ROUNDS [TESTS]
set -euo pipefail

[ $# = 2 ] || [ $# = 3 ] || { echo "usage: $0 BUILD_DIR ROUNDS [TESTS]" >&2; exit 1; }
build=$(realpath "$1")
rounds=$2
only=(-R "${3:-.}")
logs=$build/stress
rm -rf "$logs" && mkdir -p "$logs"

stress-ng --cpu "$(nproc)" --quiet &
trap 'kill %1 2>/dev/null; wait' EXIT

declare -A failures
mapfile -t tests < <(ctest --test-dir "$build" "${only[@]}" -N | sed -n 's/^ *Test *#[0-9]*: //p')
for test in "${tests[@]}"; do failures[$test]=0; done

for ((round = 1; round <= rounds; round++)); do
    if ctest --test-dir "$build" "${only[@]}" -j "$(nproc)" --output-on-failure >"$logs/round-$round.log" 2>&1; then
        echo "round $round of $rounds: passed"
    else
        echo "round $round of $rounds: failed (see $logs/round-$round.log)"
        while IFS=: read -r _ test; do
            failures[$test]=$((${failures[$test]:-0} + 1))
        done <"$build/Testing/Temporary/LastTestsFailed.log"
    fi
done

total=0
printf '\nprocessor: %s\n' "$(sed -n 's/^model name\t*: //p;T;q' /proc/cpuinfo)"
printf '%-72s %s\n' "test (under $(nproc) stress-ng workers)" "failed"
for test in "${tests[@]}"; do
    printf '%-72s %d of %d\n' "$test" "${failures[$test]}" "$rounds"
    total=$((total + failures[$test]))
done
printf '%-72s %d\n' "failures in all" "$total"
