#!/usr/bin/env bash
# Compiles a file that includes the relief's rule: plainly, which must succeed, and with each
# kind of fast-math, which must stop at the rule's own refusal; with the compiler for 32-bit
# x86, checks that it refuses the x87 unit's excess precision.
# Usage: fast-math-refused.sh COMPILER SOURCE_DIR GLM_INCLUDE_DIR I686_COMPILER
set -uo pipefail
compiler=$1 sources=$2 glm=$3 i686=$4
status=0

compile() {  # compile COMPILER FLAGS...: prints what the compiler says
    echo '#include "globe/relief_rule.h"' |
        "$1" -std=c++17 -fsyntax-only -I"$sources" -I"$glm" "${@:2}" -x c++ - 2>&1
}

builds() {  # builds COMPILER FLAGS...
    local said
    said=$(compile "$@") ||
        { printf 'Built with %s it fails:\n%s\n' "$*" "$said" && status=1 && false; }
}
# A plain build that failed would make the refusals below prove nothing.
builds "$compiler" || exit 1
refuses() {  # refuses MESSAGE COMPILER FLAGS...
    local said
    if said=$(compile "${@:2}"); then
        echo "Built with ${*:3}, which must fail."
        status=1
    elif ! grep -q "$1" <<<"$said"; then
        printf 'Built with %s, the compiler stopped for another reason:\n%s\n' "${*:3}" "$said"
        status=1
    fi
}
for flags in -ffast-math -Ofast "-fassociative-math -fno-signed-zeros -fno-trapping-math" \
    -freciprocal-math -ffinite-math-only -fno-signed-zeros; do
    # shellcheck disable=SC2086 # each entry is a set of flags
    refuses "cannot be built with fast-math" "$compiler" $flags
done
refuses "without excess precision" "$i686" -mfpmath=387
builds "$i686" -msse2 -mfpmath=sse
exit $status
