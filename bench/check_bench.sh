#!/usr/bin/env bash
# Times `brindle-cli check` over a site of N pages against `cp -r` of the same
# tree, in the same run, alternating them so that all meet the same cache
# and load: once with every page by name, once with the folder and
# --recursive, as a CI job runs it. The site is the benchmark corpus's 205 pages repeated to N files
# (../shared/bench/make-corpus.sh builds them).
#   check_bench.sh BRINDLE_CLI [ROUNDS] [N...]
set -euo pipefail
cli=$(realpath "${1:?usage: check_bench.sh BRINDLE_CLI [ROUNDS] [N...]}")
rounds=${2:-3}
shift $(($# < 2 ? $# : 2))
sizes=("$@")
[ "${#sizes[@]}" -gt 0 ] || sizes=(1000 10000)
corpus=${BENCH_CORPUS:-$HOME/.cache/brindle-bench/corpus}/pages
[ -d "$corpus" ] || { echo "no corpus at $corpus (run ../shared/bench/make-corpus.sh)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t sources < <(find "$corpus" -name '*.html' | sort)

now() { date +%s.%N; }
best() { sort -g | head -1; }

printf '%8s %10s %10s %7s %12s %10s %7s\n' pages 'cp -r s' 'check s' ratio 'pages/s' '-r s' ratio
for n in "${sizes[@]}"; do
    site=$work/site-$n
    mkdir -p "$site"
    for ((i = 0; i < n; i++)); do
        src=${sources[$((i % ${#sources[@]}))]}
        dir=$site/d$((i / 500))
        mkdir -p "$dir"
        cp "$src" "$dir/$i-${src##*/}"
    done
    # Every page by name, as a shell glob or find would give them.
    mapfile -t pages < <(find "$site" -name '*.html' | sort)
    sync
    copy_times=() check_times=() walk_times=()
    for ((r = 0; r < rounds; r++)); do
        rm -rf "$work/copy"
        t0=$(now)
        cp -r "$site" "$work/copy"
        t1=$(now)
        copy_times+=("$(echo "$t1 - $t0" | bc -l)")
        t0=$(now)
        "$cli" check --format json "${pages[@]}" >"$work/out.json" || [ $? = 1 ]
        t1=$(now)
        check_times+=("$(echo "$t1 - $t0" | bc -l)")
        t0=$(now)
        "$cli" check --recursive --format sarif "$site" >"$work/out.sarif" || [ $? = 1 ]
        t1=$(now)
        walk_times+=("$(echo "$t1 - $t0" | bc -l)")
    done
    copy=$(printf '%s\n' "${copy_times[@]}" | best)
    checked=$(printf '%s\n' "${check_times[@]}" | best)
    walked=$(printf '%s\n' "${walk_times[@]}" | best)
    printf '%8d %10.3f %10.3f %7.2f %12.0f %10.3f %7.2f\n' "$n" "$copy" "$checked" \
        "$(echo "$checked / $copy" | bc -l)" "$(echo "$n / $checked" | bc -l)" "$walked" \
        "$(echo "$walked / $copy" | bc -l)"
    rm -rf "$site" "$work/copy"
done
