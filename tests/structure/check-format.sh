#!/usr/bin/env bash
# The C++ sources are as clang-format 14 (Debian 12's) and .clang-format have them: it would change
# nothing. Usage: check-format.sh SOURCE_DIR. Exit 77 (skipped) without clang-format 14, except in CI.
set -euo pipefail
cd "$1"
missing() {
    echo "$1" >&2
    if [ "${KELVORA_CI:-}" = 1 ]; then
        exit 1
    fi
    exit 77
}
format=$(command -v clang-format-14 || command -v clang-format || true)
[ -n "$format" ] || missing "clang-format is not installed (Debian package clang-format)"
# Other versions format some constructs differently.
version=$("$format" --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
[ "$version" = 14 ] || missing "$format is version $version; the sources are kept as clang-format 14 has them"
mapfile -d '' files < <(find app src tests bench -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
"$format" --dry-run -Werror "${files[@]}"
echo "${#files[@]} sources as clang-format $version has them"
