#!/usr/bin/env bash
# Runs a checker and fails when it fails or says anything at all: a warning
# counts as a failure.   check_quiet.sh COMMAND [ARG]...
set -uo pipefail
out=$("$@" 2>&1)
status=$?
if [ "$status" != 0 ] || [ -n "$out" ]; then
    printf '%s\n' "$*" "exit status $status" "$out" >&2
    exit 1
fi
echo "clean: $*"
