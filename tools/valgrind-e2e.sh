#!/usr/bin/env bash
# The end-to-end tests under valgrind memcheck, the converter processes they
# start included. Nonzero exit on any memcheck error or test failure. The
# out-of-memory test caps the address space, which valgrind itself needs; it
# runs in the plain and sanitizer builds.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j2 --target brevox_tests brevox
valgrind --quiet --trace-children=yes --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  build/tests/brevox_tests --gtest_filter='EndToEnd*:-EndToEndTest.RunningOutOfMemoryIsAnError'
