#!/bin/sh
# Builds the font fuzzer with clang (libFuzzer, ASan, UBSan), writes its seed files (small
# built fonts, DejaVu Sans of fonts-dejavu-core and Nimbus Sans of fonts-urw-base35, whose
# outlines are PostScript ones) and runs it. Not part of the CMake
# builds.
#   tests/fuzz/fuzz-font.sh                     short bounded run (3000 inputs)
#   tests/fuzz/fuzz-font.sh -max_total_time=3600 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-font) holds the binary, seeds and corpus.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-font}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"

engine="$root/engine"
$cxx -std=c++20 -g -O1 -I"$engine" -I"$root" -I"$root/tests/support" -isystem /usr/include/stb -DBRIVET_HOST=1 \
	-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	-o "$work/font-fuzz" "$root/tests/fuzz/FontFuzz.cpp" "$root/repository/Resources/FontAtlas.cpp" \
	"$root/repository/Resources/FontCffCheck.cpp" "$root/tests/support/FontBuilder.cpp" "$engine/Utility/Log.cpp" "$engine/Base/Array.cpp"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$work/seeds/dejavu-sans"
cp /usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf "$work/seeds/nimbus-sans-cff"
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/font-fuzz" -runs=0 "$work/seeds" > /dev/null 2>&1

short_runs=3000
. "$root/tests/fuzz/short-run.sh"
exec "$work/font-fuzz" -max_len=800000 -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=30 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
