#!/bin/sh
# Builds the description fuzzer with clang (libFuzzer, ASan, UBSan): "brivet.xml" read
# and parsed from a memory archive, its sections, clips and node count. Makes its seeds
# (descriptions the harness writes; the audio tests' clips for the archive) and runs it.
# Not part of the CMake builds.
#   tests/fuzz/fuzz-description.sh                      short bounded run (5000 inputs)
#   tests/fuzz/fuzz-description.sh -max_total_time=600 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-description) holds the binary, seeds and
# corpus; BRIVET_HOST_PREFIX (default ~/.cache/brivet/mingw/host) the patched stb_vorbis.h.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-description}
host=${BRIVET_HOST_PREFIX:-$HOME/.cache/brivet/mingw/host}
cc=${CC_FUZZ:-clang-14}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts" "$work/obj"

engine="$root/engine"
includes="-I$engine -I$root -I$root/tests/support -isystem $host/include/stb -isystem $HOME/.cache/brivet/include"
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
for file in StbVorbis DrMp3; do
	$cc -g -O1 $includes $sanitize -c "$engine/Audio/$file.c" -o "$work/obj/$file.o"
done
$cxx -std=c++20 -g -O1 $includes -DBRIVET_HOST=1 \
	-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	-o "$work/description-fuzz" "$root/tests/fuzz/DescriptionFuzz.cpp" "$engine/DemoDescription.cpp" \
	"$engine/Audio/Renderer.cpp" "$engine/Base/String.cpp" "$engine/Base/Array.cpp" "$engine/Utility/Log.cpp" "$engine/Utility/Assert.cpp" \
	"$engine/Utility/XML/Document.cpp" "$engine/Utility/XML/Node.cpp" "$engine/Utility/XML/ChildIterator.cpp" \
	"$engine/Utility/Archive/VQZ.cpp" "$engine/Utility/Archive/VQZFormat.cpp" "$engine/Utility/FileSystem/MemoryFile.cpp" \
	"$root/tests/support/MemoryArchive.cpp" "$work/obj/StbVorbis.o" "$work/obj/DrMp3.o" -lpugixml -lz

sh "$root/tests/Audio/make-fixtures.sh" "$work/clips"
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/description-fuzz" -runs=0 \
	-artifact_prefix="$work/artifacts/" "$work/seeds" > "$work/seeds.log" 2>&1 ||
	{ echo "fuzz-description: a seed fails: $work/seeds.log" >&2; exit 1; }

short_runs=5000
. "$root/tests/fuzz/short-run.sh"
# The log's Error lines for damaged input are expected; keep the output short.
BRIVET_FUZZ_CLIPS="$work/clips" exec "$work/description-fuzz" -max_len=4096 -rss_limit_mb=2048 \
	-malloc_limit_mb=256 -timeout=30 -artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" \
	"$corpus" "$work/seeds"
