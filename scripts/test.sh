#!/usr/bin/env bash
# Installs what is missing, builds with every warning an error, and runs
# every test twice: once in the normal build and once built with
# AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails the
# run. clang-format and clang-tidy (scripts/lint.sh) run beside the normal
# build's tests, which mostly wait on windows and child processes.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
export QT_QPA_PLATFORM=offscreen

scripts/setup.sh --tests build
# lint.sh runs in a process group of its own, so that a failing ctest ends
# it with its clang-tidy children rather than leaving them running.
set -m
nice -n 10 scripts/lint.sh build &
lint=$!
set +m
trap 'kill -- -"$lint" 2>/dev/null || true' EXIT
(cd build && ctest --output-on-failure -j "$(nproc)")
wait "$lint"
trap - EXIT

scripts/setup.sh --tests --sanitize build-asan
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
(cd build-asan && ctest --output-on-failure -j "$(nproc)")
