#!/usr/bin/env bash
# Checks check's SARIF output with the SARIF validator (the SARIF Multitool
# from the npm registry, a self-contained program: it runs offline), against
# the SARIF 2.1.0 schema it ships and its own rules. Any result the validator
# reports at level error or warning is a failure.
#   validate_sarif.sh BRINDLE_CLI
# BRINDLE_SARIF_MULTITOOL overrides where scripts/setup.sh --tests put it.
set -u
cli=$(realpath "${1:?usage: validate_sarif.sh BRINDLE_CLI}")
tool_dir=${XDG_CACHE_HOME:-$HOME/.cache}/brindle/sarif/node_modules/@microsoft/sarif-multitool-linux
multitool=${BRINDLE_SARIF_MULTITOOL:-$tool_dir/Sarif.Multitool}
schema=$(dirname "$multitool")/sarif-2.1.0.json
[ -x "$multitool" ] || { echo "FAIL: $multitool missing (scripts/setup.sh --tests installs it)"; exit 1; }
command -v python3 >/dev/null || { echo "FAIL: python3 missing"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p "site/a folder"
# Findings of every level, with and without a place, and names that need
# escaping in an address.
printf '<!DOCTYPE html>\n<html>\n<head>\n<meta name="keywords" content="k">\n<link rel="canonical" href="/x">\n</head>\n' \
    >"site/a folder/p%1.html"
printf '<!DOCTYPE html>\n<html lang="en">\n<head><title>T</title>\n</head>\n' >site/t.html
failures=0
for args in "-r site" "-r $work/site" "--rules"; do
    # shellcheck disable=SC2086
    "$cli" check --format sarif $args >"$work/out.sarif"
    status=$?
    [ "$status" -le 1 ] || { echo "FAIL: check $args exited $status"; failures=$((failures + 1)); continue; }
    rm -f "$work/report.sarif"
    DOTNET_CLI_TELEMETRY_OPTOUT=1 "$multitool" validate "$work/out.sarif" -j "$schema" \
        -o "$work/report.sarif" -q >"$work/log" 2>&1
    if [ ! -s "$work/report.sarif" ]; then
        echo "FAIL: check $args: the validator wrote no report: $(cat "$work/log")"
        failures=$((failures + 1))
        continue
    fi
    problems=$(python3 - "$work/report.sarif" <<'PY'
import json, sys
log = json.load(open(sys.argv[1]))
for run in log["runs"]:
    rules = {r["id"]: r for r in run["tool"]["driver"].get("rules", [])}
    for result in run.get("results", []):
        level = result.get("level") or rules.get(result["ruleId"], {}).get("defaultConfiguration", {}).get("level", "warning")
        if level in ("error", "warning"):
            print(level, result["ruleId"], json.dumps(result["message"]))
    for invocation in run.get("invocations", []):
        if not invocation.get("executionSuccessful", True):
            print("the validator failed")
PY
)
    if [ -n "$problems" ]; then
        echo "FAIL: check $args:"
        echo "$problems"
        failures=$((failures + 1))
    fi
done
[ "$failures" = 0 ] && echo "PASS: SARIF output valid"
exit $((failures > 0))
