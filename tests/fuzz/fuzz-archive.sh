#!/bin/sh
# Builds the VQZ archive fuzzer with clang (libFuzzer, ASan, UBSan), makes a seed corpus
# with the packer and runs the fuzzer. Not part of the CMake builds.
#   tests/fuzz/fuzz-archive.sh                 short bounded run (20000 inputs)
#   tests/fuzz/fuzz-archive.sh -max_total_time=300 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-archive) holds the binaries, seeds and corpus.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-archive}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"

engine="$root/engine"
sources="$engine/Utility/Archive/VQZ.cpp $engine/Utility/Archive/VQZFormat.cpp
	$engine/Utility/FileSystem/MemoryFile.cpp $engine/Base/String.cpp $engine/Base/Array.cpp
	$engine/Utility/Log.cpp $engine/Utility/Assert.cpp"
flags="-std=c++20 -g -O1 -I$engine -I$root -DBRIVET_HOST=1"

# The fuzzer, and the packer for the seeds (same sources, no instrumentation).
$cxx $flags -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	-o "$work/archive-fuzz" "$root/tests/fuzz/ArchiveFuzz.cpp" $sources -lz
$cxx $flags -O2 -o "$work/vqz" "$root/tools/vqz/main.cpp" $sources -lz

# Seeds: archives made by the packer (mode byte 0 in front) and the sound directory
# of the harness's own sample archive (mode byte 1).
tree="$work/tree"
rm -rf "$tree"
mkdir -p "$tree/small/shaders" "$tree/empty" "$tree/mixed/a/b"
printf '<brivet><properties name="seed"/></brivet>' > "$tree/small/brivet.xml"
printf 'float4 ps_main() : SV_Target { return 1; }' > "$tree/small/shaders/layer.hlsl"
: > "$tree/mixed/empty.txt"
head -c 3000 /dev/zero > "$tree/mixed/a/zeros.bin"
printf 'x' > "$tree/mixed/a/b/one.txt"
for name in small empty mixed; do
	"$work/vqz" pack "$tree/$name" "$work/$name.vqz"
	{ printf '\000'; cat "$work/$name.vqz"; } > "$work/seeds/$name"
done
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/archive-fuzz" -runs=0 "$work/seeds" > /dev/null 2>&1

short_runs=20000
. "$root/tests/fuzz/short-run.sh"
# The log's Error lines for damaged input are expected; keep the output short.
exec "$work/archive-fuzz" -max_len=8192 -rss_limit_mb=2048 -malloc_limit_mb=256 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
