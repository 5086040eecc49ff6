#!/bin/sh
# Builds the scene import fuzzer with clang (libFuzzer, ASan, UBSan): first Assimp itself,
# instrumented, from the patched source tools/deps.sh unpacked (kept in BRIVET_FUZZ_DIR
# and built again only when that source changes), then the harness over the import and
# the scene records. Makes its seeds (small scenes the harness writes, the test models of
# assimp-testmodels that fit an input) and runs it. Not part of the CMake builds.
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

# Seeds: the harness's own small scenes and every model of assimp-testmodels in a format
# the builds import that fits the input size, with the extension byte in front (dae 0,
# fbx 1, glb 3, gltf 4, obj 5, iqm 6); a glTF file with an external buffer and an OBJ file
# with a material library once more with that file beside it (the byte's top bit set).
max_len=65536
rm -rf "$work/seeds" && mkdir -p "$work/seeds"
python3 - "$work/seeds" "$max_len" <<'PY'
import json, os, re, struct, sys

seeds, max_len = sys.argv[1], int(sys.argv[2])
models = "/usr/share/assimp/models"
extensions = {"dae": 0, "fbx": 1, "glb": 3, "gltf": 4, "obj": 5, "iqm": 6}

def side_file(path, data):
    """The first external file the model names (a glTF buffer, an OBJ mtllib), or None."""
    name = None
    if path.lower().endswith(".gltf"):
        try:
            buffers = json.loads(data.decode("utf-8", "replace")).get("buffers", [])
            # glTF 1.0 keeps its buffers in an object by name, 2.0 in a list.
            uris = [b.get("uri", "") for b in (buffers.values() if isinstance(buffers, dict) else buffers)]
            name = next((u for u in uris if u and not u.startswith("data:")), None)
        except (ValueError, AttributeError):
            pass
    elif path.lower().endswith(".obj"):
        m = re.search(rb"^mtllib[ \t]+(\S+)", data, re.M)
        name = m.group(1).decode("latin-1") if m else None
    if name:
        side = os.path.join(os.path.dirname(path), name)
        if os.path.isfile(side):
            return open(side, "rb").read()
    return None

count = 0
for folder, _, files in os.walk(models):
    for file in files:
        extension = extensions.get(file.rsplit(".", 1)[-1].lower())
        path = os.path.join(folder, file)
        if extension is None or os.path.getsize(path) >= max_len:
            continue
        data = open(path, "rb").read()
        name = os.path.relpath(path, models).replace("/", "-")
        open(os.path.join(seeds, name), "wb").write(bytes([extension]) + data)
        count += 1
        side = side_file(path, data)
        if side is not None and 5 + len(data) + len(side) <= max_len:
            open(os.path.join(seeds, name + "+side"), "wb").write(
                bytes([0x80 | extension]) + struct.pack("<I", len(data)) + data + side)
            count += 1
print(f"fuzz-scene: {count} seeds from the test models")
PY
# Without leak detection: Assimp's importers leak what they built on many error paths
# (the Collada hierarchy, glTF2 accessors), and the player ends on a failed import; ASan
# still checks every access.
export ASAN_OPTIONS="detect_leaks=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
BRIVET_FUZZ_SEEDS="$work/seeds" "$work/scene-fuzz" -runs=0 \
	-artifact_prefix="$work/artifacts/" "$work/seeds" > "$work/seeds.log" 2>&1 ||
	{ echo "fuzz-scene: a seed fails: $work/seeds.log" >&2; exit 1; }

short_runs=2000
. "$root/tests/fuzz/short-run.sh"
# The importers' lines for damaged input are expected; keep the output short.
exec "$work/scene-fuzz" -max_len=$max_len -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=30 \
	-artifact_prefix="$work/artifacts/" -print_final_stats=1 "$@" "$corpus" "$work/seeds"
