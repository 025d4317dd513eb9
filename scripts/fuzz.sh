#!/usr/bin/env bash
# Builds the libFuzzer harnesses of the readers into build-fuzz (clang, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time: scripts/fuzz.sh [seconds] [name...]
# (default 60 s each, every harness). Seeds come from fuzz/seeds/<name>; what a run learns
# stays in build-fuzz/corpus/<name>; a crash leaves its input in build-fuzz/crashes/<name>.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true

# The fuzzer runtime comes with clang's compiler-rt package on Debian 12.
need=()
command -v clang++ >/dev/null || need+=(clang)
[ -n "$(ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a 2>/dev/null)" ] || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

dir=build-fuzz
if [ ! -f "$dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANE_FUZZ=ON \
    -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$dir" -j "$(nproc)" --target torvane_fuzzers

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  names=(description image set_values mapping language settings hex template upload)
fi
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for name in "${names[@]}"; do
  corpus="$dir/corpus/$name"
  crashes="$dir/crashes/$name"
  mkdir -p "$corpus" "$crashes"
  echo "== fuzz_$name for ${seconds} s"
  # A 2 s limit per input catches hangs; 2 GB of memory catches runaway allocations.
  if ! "$dir/bin/fuzz_$name" -max_total_time="$seconds" -timeout=2 -rss_limit_mb=2048 -max_len=65536 \
      -artifact_prefix="$crashes/" -print_final_stats=1 "$corpus" "fuzz/seeds/$name" 2>"$dir/fuzz_$name.log"; then
    failed+=("$name")
    grep -E "ERROR|SUMMARY|Test unit written" "$dir/fuzz_$name.log" | head -n 5 || true
  else
    grep -E "stat::number_of_executed_units|cov:" "$dir/fuzz_$name.log" | tail -n 2 || true
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzers that found something: ${failed[*]} (inputs in $dir/crashes/)" >&2
  exit 1
fi
echo "no findings"
