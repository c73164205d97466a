#!/usr/bin/env bash
# Fuzzes the settings reader and the render of what it reads, for a bounded time.
#
#   scripts/fuzz.sh [seconds]     (default 60)
#
# Builds fuzz_settings with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz, runs it on a copy of the seed corpus (fuzz/corpus/settings stays as it
# is) and exits non-zero on any finding: a crash, a sanitizer report, a leak, an input
# that runs longer than 10 s or memory above 2 GiB. The input behind a finding is kept
# in fuzz-corpus-work/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [seconds]   (a whole number above 0, default 60)" >&2
    exit 2
fi

build=build-fuzz
# A build folder configured with another compiler cannot be switched to clang.
if [[ -f "$build/CMakeCache.txt" ]] && ! grep -q '^CMAKE_CXX_COMPILER:[A-Z]*=.*clang++' "$build/CMakeCache.txt"; then
    rm -rf "$build"
fi
CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMIVEX_SANITIZE=address,undefined -DLUMIVEX_FUZZ=ON \
    -DLUMIVEX_BUILD_APP=OFF -DLUMIVEX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target fuzz_settings

work=fuzz-corpus-work
rm -rf "$work"
mkdir -p "$work/settings" "$work/artifacts"
cp fuzz/corpus/settings/* "$work/settings/"

export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
"$build/bin/fuzz_settings" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/settings" 2>&1 | tee "$work/fuzz.log" || status=$?

if [[ $status -ne 0 ]] || compgen -G "$work/artifacts/*" >/dev/null; then
    echo "fuzz_settings found a fault (exit $status); inputs in $work/artifacts:" >&2
    ls -l "$work/artifacts" >&2
    exit 1
fi
runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/fuzz.log" | grep -o '[0-9]*$' || true)
echo "fuzz_settings: no findings in ${seconds} s, ${runs:-?} inputs run"
