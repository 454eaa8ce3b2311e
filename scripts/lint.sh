#!/usr/bin/env bash
# Style and static checks, so that neither drifts: clang-format over the
# whole tree, clang-tidy (the checks in .clang-tidy) over src/.
#   scripts/lint.sh [BUILD_DIR]   (a configured build, for compile_commands.json)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build_dir=$(cd "${1:-build}" && pwd)

find src tests bench \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

# clang-tidy spends most of its time on Qt's headers, which it parses anew
# for each file it is given. So the files of each target are checked as one
# translation unit that includes them all (src/ is written so that this
# compiles: no two files of a target define the same name in an unnamed
# namespace), and their flags are the target's own.
python3 - "$build_dir" "$PWD/src/" <<'PY'
import json, os, shlex, sys
build, src = sys.argv[1], sys.argv[2]
groups = {}
for entry in json.load(open(os.path.join(build, 'compile_commands.json'))):
    source = entry['file']
    if not source.startswith(src):
        continue
    args = entry.get('arguments') or shlex.split(entry['command'])
    flags, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg in ('-o', '-c'):
            skip = True
        elif arg != source:
            flags.append(arg)
    key = (entry['directory'], tuple(flags))
    groups.setdefault(key, []).append(source)
out = os.path.join(build, 'lint')
os.makedirs(out, exist_ok=True)
database = []
for n, ((directory, flags), sources) in enumerate(sorted(groups.items(), key=lambda g: g[1][0])):
    unit = os.path.join(out, f'unit{n}.cpp')
    with open(unit, 'w') as f:
        f.writelines(f'#include "{s}" // NOLINT(bugprone-suspicious-include)\n' for s in sorted(sources))
    database.append({'directory': directory, 'file': unit, 'arguments': list(flags) + ['-c', unit]})
with open(os.path.join(out, 'compile_commands.json'), 'w') as f:
    json.dump(database, f, indent=1)
PY

run-clang-tidy -quiet -j "$(nproc)" -p "$build_dir/lint" >"$build_dir/clang-tidy.log" 2>&1 || {
    grep -E -A3 'error:|warning:' "$build_dir/clang-tidy.log" >&2 || cat "$build_dir/clang-tidy.log" >&2
    echo "lint.sh: clang-tidy found problems (whole log: $build_dir/clang-tidy.log)" >&2
    exit 1
}
echo "lint.sh: clang-format and clang-tidy clean"
