#!/usr/bin/env bash
# Builds the libFuzzer targets (linux-fuzz preset: clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each one over its seed corpus and then for a short
# while. FUZZ_SECONDS sets the time per target (default 15).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-15}"
cmake --preset linux-fuzz -DKX_FUZZ_SMOKE_SECONDS="$seconds" >/dev/null
cmake --build build/linux-fuzz --target kx_fuzzers
ctest --preset linux-fuzz
