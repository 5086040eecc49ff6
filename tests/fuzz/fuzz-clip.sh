#!/bin/sh
# Builds the clip fuzzer with clang (libFuzzer, ASan, UBSan; the stb_vorbis.h tools/deps.sh
# patched, dr_mp3), makes its seeds (the audio tests' clips and damaged forms of one) and
# runs it. Not part of the CMake builds.
#   tests/fuzz/fuzz-clip.sh                      short bounded run (3000 inputs)
#   tests/fuzz/fuzz-clip.sh -max_total_time=600 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-clip) holds the binary, seeds and corpus;
# BRIVET_HOST_PREFIX (default ~/.cache/brivet/mingw/host) the patched header.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-clip}
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
	-o "$work/clip-fuzz" "$root/tests/fuzz/ClipFuzz.cpp" "$engine/Audio/Renderer.cpp" \
	"$engine/Base/String.cpp" "$engine/Base/Array.cpp" "$engine/Utility/Log.cpp" "$engine/Utility/Assert.cpp" \
	"$engine/Utility/XML/Node.cpp" "$engine/Utility/XML/ChildIterator.cpp" "$root/tests/support/MemoryArchive.cpp" "$root/tests/support/OggBuilder.cpp" \
	"$engine/Utility/Archive/VQZ.cpp" "$engine/Utility/Archive/VQZFormat.cpp" "$engine/Utility/FileSystem/MemoryFile.cpp" \
	"$work/obj/StbVorbis.o" "$work/obj/DrMp3.o" -lpugixml -lz

# Seeds: the audio tests' clips (mode byte 1 in front) and damaged forms of a.ogg.
sh "$root/tests/Audio/make-fixtures.sh" "$work/clips"
for clip in a.ogg b.mp3 c.ogg; do
	{ printf '\001'; cat "$work/clips/$clip"; } > "$work/seeds/$clip"
done
BRIVET_FUZZ_SEEDS="$work/seeds" BRIVET_FUZZ_OGG="$work/clips/a.ogg" "$work/clip-fuzz" -runs=0 \
	-artifact_prefix="$work/artifacts/" "$work/seeds" > "$work/seeds.log" 2>&1 ||
	{ echo "fuzz-clip: a seed fails: $work/seeds.log" >&2; exit 1; }

short_runs=3000
. "$root/tests/fuzz/short-run.sh"
# The log's Error lines for damaged input are expected; keep the output short.
exec "$work/clip-fuzz" -max_len=24000 -rss_limit_mb=2048 -malloc_limit_mb=256 -timeout=30 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
