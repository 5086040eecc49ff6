#!/bin/sh
# Builds the scene import fuzzer with clang (libFuzzer, ASan, UBSan): first Assimp itself,
# instrumented, from the patched source tools/deps.sh unpacked (kept in BRIVET_FUZZ_DIR
# and built again only when that source changes), then the harness over the import and
# the scene records. Makes its seeds (small scenes the harness writes, small test models
# of assimp-testmodels) and runs it. Not part of the CMake builds.
#   tests/fuzz/fuzz-scene.sh                      short bounded run (2000 inputs)
#   tests/fuzz/fuzz-scene.sh -max_total_time=600 ...   any libFuzzer options
# BRIVET_FUZZ_DIR (default /tmp/brivet-fuzz-scene) holds the builds, seeds and corpus;
# BRIVET_ASSIMP_SOURCE (default: the source of the prefix ~/.cache/brivet/mingw links to)
# the Assimp source.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
work=${BRIVET_FUZZ_DIR:-/tmp/brivet-fuzz-scene}
cc=${CC_FUZZ:-clang-14}
cxx=${CXX_FUZZ:-clang++-14}
mkdir -p "$work/seeds" "$work/corpus" "$work/artifacts"

if [ -z "${BRIVET_ASSIMP_SOURCE:-}" ]; then
	prefix=$(readlink -f "$HOME/.cache/brivet/mingw")
	BRIVET_ASSIMP_SOURCE=$(dirname "$prefix")/src/assimp-6.0.5-${prefix##*-}
fi
[ -e "$BRIVET_ASSIMP_SOURCE/.brivet-unpacked" ] || {
	echo "fuzz-scene: no Assimp source at $BRIVET_ASSIMP_SOURCE: run tools/deps.sh" >&2
	exit 1
}

# Assimp with the importers of the builds, and the Collada and Assbin exporters for the
# harness's own seeds. Without UBSan's pointer-overflow check: Debian's RapidJSON 1.1.0
# (glTF) adds an offset to its stack's null pointer on the first push; ASan still checks
# every access.
# The glTF 1.0 importer is left out as in the builds (tools/deps.sh says why).
sanitize="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize=pointer-overflow -fno-sanitize-recover=undefined"
defines="-DASSIMP_BUILD_NO_GLTF1_IMPORTER"
assimp="$work/assimp"
if [ "$(cat "$assimp/.source" 2>/dev/null || true)" != "$BRIVET_ASSIMP_SOURCE $defines" ]; then
	rm -rf "$assimp"
	cmake -S "$BRIVET_ASSIMP_SOURCE" -B "$assimp/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
		-DCMAKE_C_FLAGS="$sanitize" -DCMAKE_CXX_FLAGS="$sanitize $defines -I/usr/include/utf8cpp" \
		-DCMAKE_INSTALL_PREFIX="$assimp" -DBUILD_SHARED_LIBS=OFF \
		-DASSIMP_BUILD_ALL_IMPORTERS_BY_DEFAULT=OFF -DASSIMP_BUILD_OBJ_IMPORTER=ON \
		-DASSIMP_BUILD_COLLADA_IMPORTER=ON -DASSIMP_BUILD_FBX_IMPORTER=ON -DASSIMP_BUILD_ASSBIN_IMPORTER=ON \
		-DASSIMP_BUILD_GLTF_IMPORTER=ON -DASSIMP_BUILD_IQM_IMPORTER=ON \
		-DASSIMP_BUILD_ALL_EXPORTERS_BY_DEFAULT=OFF -DASSIMP_BUILD_COLLADA_EXPORTER=ON \
		-DASSIMP_BUILD_ASSBIN_EXPORTER=ON -DASSIMP_BUILD_ZLIB=OFF -DASSIMP_BUILD_ASSIMP_TOOLS=OFF \
		-DASSIMP_BUILD_TESTS=OFF -DASSIMP_BUILD_SAMPLES=OFF -DASSIMP_BUILD_DOCS=OFF \
		-DASSIMP_WARNINGS_AS_ERRORS=OFF -DASSIMP_INJECT_DEBUG_POSTFIX=OFF -DASSIMP_IGNORE_GIT_HASH=ON \
		-DRapidJSON_DIR=/usr/share/cmake/RapidJSON > "$work/assimp-build.log" 2>&1
	cmake --build "$assimp/build" -j "$(nproc)" >> "$work/assimp-build.log" 2>&1
	cmake --install "$assimp/build" >> "$work/assimp-build.log" 2>&1
	rm -rf "$assimp/build"
	printf '%s\n' "$BRIVET_ASSIMP_SOURCE $defines" > "$assimp/.source"
fi

engine="$root/engine"
resources="$root/repository/Resources"
$cxx -std=c++20 -g -O1 -I"$engine" -I"$root" -I"$root/tests/support" -isystem "$assimp/include" -DBRIVET_HOST=1 \
	-fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
	-o "$work/scene-fuzz" "$root/tests/fuzz/SceneFuzz.cpp" "$resources/SceneData.cpp" "$resources/AssimpIO.cpp" \
	"$resources/SceneFileCheck.cpp" "$engine/Rendering/D3DX10Math.cpp" "$engine/Rendering/MathRoutines.cpp" "$engine/Base/String.cpp" "$engine/Base/Array.cpp" "$engine/Utility/Log.cpp" "$engine/Utility/Assert.cpp" \
	"$root/tests/support/MemoryArchive.cpp" "$root/tests/support/SceneFileBuilder.cpp" \
	"$engine/Utility/Archive/VQZ.cpp" "$engine/Utility/Archive/VQZFormat.cpp" "$engine/Utility/FileSystem/MemoryFile.cpp" \
	"$assimp/lib/libassimp.a" -lpugixml -lminizip -lz

# Seeds: the harness's own small scenes and small test models (extension byte in front:
# dae 0, fbx 1, glb 3, gltf 4).
models=/usr/share/assimp/models
seed() { # extension-byte model
	{ printf "\\$(printf '%03o' "$1")"; cat "$models/$2"; } > "$work/seeds/$(echo "$2" | tr / -)"
}
seed 0 Collada/cube_triangulate.dae
seed 0 Collada/box_nested_animation.dae
seed 0 Collada/lights.dae
seed 0 Collada/cameras.dae
seed 1 FBX/box.fbx
seed 3 glTF2/BoxTextured-glTF-Binary/BoxTextured.glb
seed 4 glTF2/BoxTextured-glTF-Embedded/BoxTextured.gltf
seed 4 glTF2/simple_skin/simple_skin.gltf
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/scene-fuzz" -runs=0 \
	-artifact_prefix="$work/artifacts/" "$work/seeds" > "$work/seeds.log" 2>&1 ||
	{ echo "fuzz-scene: a seed fails: $work/seeds.log" >&2; exit 1; }

# Without leak detection: Assimp's importers leak what they built on many error paths
# (the Collada hierarchy, glTF2 accessors), and the player ends on a failed import; ASan
# still checks every access.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
short_runs=2000
. "$root/tests/fuzz/short-run.sh"
# The importers' lines for damaged input are expected; keep the output short.
exec "$work/scene-fuzz" -max_len=32768 -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=30 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
