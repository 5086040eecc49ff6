#!/bin/sh
# Builds the DDS header and layout fuzzer with clang (libFuzzer, ASan, UBSan), writes its
# seed files and runs it. Not part of the CMake builds.
#   tests/fuzz/fuzz-dds.sh                     short bounded run (200000 inputs)
#   tests/fuzz/fuzz-dds.sh -max_total_time=600 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-dds) holds the binary, seeds and corpus.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-dds}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"

$cxx -std=c++20 -g -O1 -I"$root" -I"$root/tests/support" \
	-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	-o "$work/dds-fuzz" "$root/tests/fuzz/DdsFuzz.cpp" "$root/repository/Resources/ImageLayout.cpp" \
	"$root/tests/support/DdsBuilder.cpp"
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/dds-fuzz" -runs=0 "$work/seeds" > /dev/null 2>&1

short_runs=200000
. "$root/tests/fuzz/short-run.sh"
exec "$work/dds-fuzz" -max_len=4096 -rss_limit_mb=2048 -malloc_limit_mb=256 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
