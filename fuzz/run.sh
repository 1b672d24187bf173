#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer, UBSan) and runs each one for
# SECONDS seconds (default 5), starting from its seed corpus in fuzz/corpus/<target>/.
# Usage: bash fuzz/run.sh [SECONDS] [TARGET...]
# The build goes to $FUZZ_BUILD_DIR (default build/fuzz); inputs the fuzzer finds go to
# <build>/corpus/<target>/, inputs that break a target to <build>/artifacts/<target>/. Reproduce
# one with: <build>/<target> <file>. Installs nothing: scripts/install-deps.sh --with-tests does.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-5}
shift || true
all=(fuzz_cp932 fuzz_kaomoji_file fuzz_aa_text fuzz_profile_read fuzz_profile_write)
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=("${all[@]}")
fi
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "fuzz/run.sh: SECONDS must be a whole number of at least 1, not '$seconds'" >&2
    exit 2
fi

missing() {
    echo "fuzz/run.sh: $1" >&2
    echo "fuzz/run.sh: install the test tools with: bash scripts/install-deps.sh --with-tests" >&2
    exit 1
}
if ! command -v clang >/dev/null || ! command -v clang++ >/dev/null; then
    missing "clang and clang++ are needed and not found"
fi
# clang alone links no fuzzer: libFuzzer and the sanitizers' run-time come in their own package.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' >"$probe/probe.cpp"
if ! clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/log"; then
    cat "$probe/log" >&2
    missing "clang cannot link a fuzzer with the sanitizers (libFuzzer's run-time, Debian package libclang-rt-14-dev, is missing)"
fi

build=${FUZZ_BUILD_DIR:-build/fuzz}
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target "${targets[@]}"

# Kaomoji files are long enough to hold long lines (lines are never cut) and many short ones.
max_len_for() {
    case $1 in
    fuzz_kaomoji_file) echo 40000 ;;
    *) echo 4096 ;;
    esac
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for target in "${targets[@]}"; do
    name=${target#fuzz_}
    work=$build/corpus/$target
    artifacts=$build/artifacts/$target
    mkdir -p "$work" "$artifacts"
    echo "== $target: ${seconds}s from fuzz/corpus/$name"
    # The first folder takes what the run finds; the seeds are only read.
    if ! "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -max_len="$(max_len_for "$target")" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work" "fuzz/corpus/$name" >"$build/$target.log" 2>&1; then
        failed+=("$target")
        grep -E 'broken:|ERROR:|runtime error|Test unit written' "$build/$target.log" >&2 || tail -n 40 "$build/$target.log" >&2
        echo "== $target FAILED; inputs that break it: $artifacts/ (log: $build/$target.log)" >&2
        continue
    fi
    grep -E '^stat::number_of_executed_units|^Done' "$build/$target.log" || true
done

echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failing targets: ${failed[*]}" >&2
    exit 1
fi
