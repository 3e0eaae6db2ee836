#!/usr/bin/env bash
# Runs `make package` in two clones of the source at different paths, under different clocks,
# time zones, locales and umasks, and checks that the two packages are the same bytes. The
# clones are the last commit, and its time stamp, with the working tree's changes laid over it.
# Usage: same-package.sh SOURCE_DIR SCRATCH_DIR
set -euo pipefail
source=$1 scratch=$2
rm -rf "$scratch"
mkdir -p "$scratch"
unset SOURCE_DATE_EPOCH BUILD_DIR MAKEFLAGS MFLAGS MAKELEVEL

clone() {
    git clone --quiet --shared --no-checkout "$source" "$1"
    git -C "$1" checkout --quiet --detach "$(git -C "$source" rev-parse HEAD)"
    (cd "$source" && git ls-files -z --modified --others --exclude-standard |
        while IFS= read -r -d '' file; do
            [ ! -e "$file" ] || cp --parents -P -t "$1" -- "$file"
        done)
}

# build NAME CLOCK ZONE LOCALE UMASK: `make package` in a clone at NAME, under faketime's CLOCK.
build() {
    local folder=$scratch/$1 clock=$2 zone=$3 locale=$4 mask=$5
    clone "$folder"
    if ! (cd "$folder" && umask "$mask" &&
          TZ=$zone LC_ALL=$locale faketime -f "$clock" make package) >"$folder.log" 2>&1; then
        cat "$folder.log"
        exit 1
    fi
}
build first '@2001-02-03 04:05:06' UTC C 022
build in/a/deeper/second '+400d' Pacific/Kiritimati C.UTF-8 002

first=$(echo "$scratch"/first/quillmere_*.deb) second=$(echo "$scratch"/in/a/deeper/second/quillmere_*.deb)
sha256sum "$first" "$second"
if ! cmp -s "$first" "$second"; then
    echo "The two packages differ. Their members, then their files:"
    diff <(ar tv "$first") <(ar tv "$second") || true
    diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") || true
    for deb in "$first" "$second"; do
        mkdir "$deb.tree" && dpkg-deb -R "$deb" "$deb.tree"
    done
    diff -r "$first.tree" "$second.tree" || true
    exit 1
fi
