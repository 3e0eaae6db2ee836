#!/usr/bin/env bash
# Builds the globe library and its driver for another processor, runs the driver under qemu-user
# and compares its output with the native driver's; given a processor without SSE2 too, checks
# that the driver refuses it in one line.
# Usage: same-bytes.sh PROCESSOR EMULATOR NATIVE_DRIVER BUILD_DIR [CPU_WITHOUT_SSE2]
set -euo pipefail
processor=$1 emulator=$2 native=$3 build=$4 oldCpu=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$build"
# Linked statically, the driver runs under qemu-user without the target's shared libraries.
if ! { cmake --fresh -S "$here" -B "$build" -DCMAKE_SYSTEM_NAME=Linux \
           -DCMAKE_SYSTEM_PROCESSOR="$processor" -DCMAKE_CXX_COMPILER="$processor-linux-gnu-g++" \
           -DCMAKE_EXE_LINKER_FLAGS=-static &&
       cmake --build "$build" -j 2; } >"$build/build.log" 2>&1; then
    cat "$build/build.log"
    exit 1
fi

expected=$("$native")
actual=$("$emulator" "$build/globe_bytes")
if [ "$actual" != "$expected" ]; then
    echo "The $processor build computes other bytes than the native one (< native, > $processor):"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
echo "$processor under $emulator prints the native bytes:"
echo "$actual"

if [ -n "$oldCpu" ]; then
    refusal=$("$emulator" -cpu "$oldCpu" "$build/globe_bytes" 2>&1 || echo "(status $?)")
    if [ "$refusal" != $'This processor has no SSE2, which the globe needs on 32-bit x86.\n(status 1)' ]; then
        echo "On a $oldCpu the driver said: $refusal"
        exit 1
    fi
fi
