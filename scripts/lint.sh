#!/usr/bin/env bash
# Style and static checks, so that neither drifts: clang-format over the
# whole tree, clang-tidy (the checks in .clang-tidy) over src/.
#   scripts/lint.sh [BUILD_DIR]   (a configured build, for compile_commands.json)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_dir=${1:-build}

find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

# The moc files are generated into the build tree and are not checked.
run-clang-tidy -quiet -j "$(nproc)" -p "$build_dir" "^$PWD/src/" >"$build_dir/clang-tidy.log" 2>&1 || {
    grep -E -A3 'error:|warning:' "$build_dir/clang-tidy.log" >&2 || cat "$build_dir/clang-tidy.log" >&2
    echo "lint.sh: clang-tidy found problems (whole log: $build_dir/clang-tidy.log)" >&2
    exit 1
}
echo "lint.sh: clang-format and clang-tidy clean"
