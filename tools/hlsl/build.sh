#!/usr/bin/env bash
# build.sh WINE_SOURCE OUTPUT [JOBS]: builds a stand-alone d3dcompiler_47.dll
# (x86-64, MinGW-w64) from an unpacked Wine source package: vkd3d-shader and
# vkd3d-common from its bundled vkd3d, and Wine's d3dcompiler front end, with
# the glue and patches of this folder. No Wine build system is involved.
#
# The sources are copied into OUTPUT.build, patched there (the unpacked
# package stays as it is) and compiled; OUTPUT is written last.
set -Eeuo pipefail

if (($# < 2)); then
  echo "usage: build.sh WINE_SOURCE OUTPUT [JOBS]" >&2
  exit 2
fi
SOURCE=$(realpath "$1")
OUTPUT=$(realpath -m "$2")
JOBS=${3:-$(nproc)}
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly SOURCE OUTPUT JOBS HERE

readonly CC=x86_64-w64-mingw32-gcc-posix
WORK="$OUTPUT.build"
readonly WORK

rm -rf "$WORK"
mkdir -p "$WORK/dlls" "$WORK/include/wine" "$WORK/obj"

# Only what is compiled is copied: vkd3d (without its Direct3D 12 library),
# the four compiler front-end files and Wine's header-only list and tree.
mkdir -p "$WORK/libs/vkd3d/libs"
cp -r "$SOURCE/libs/vkd3d/include" "$SOURCE/libs/vkd3d/config.h" "$WORK/libs/vkd3d/"
cp -r "$SOURCE/libs/vkd3d/libs/vkd3d-common" "$SOURCE/libs/vkd3d/libs/vkd3d-shader" "$WORK/libs/vkd3d/libs/"
cp -r "$SOURCE/dlls/d3dcompiler_43" "$WORK/dlls/"
cp "$SOURCE/include/wine/list.h" "$SOURCE/include/wine/rbtree.h" "$WORK/include/wine/"

for patch in "$HERE"/patches/*.patch; do
  patch -s -d "$WORK" -p1 <"$patch"
done

readonly SHADER="$WORK/libs/vkd3d/libs/vkd3d-shader"
readonly COMMON="$WORK/libs/vkd3d/libs/vkd3d-common"
readonly FRONT="$WORK/dlls/d3dcompiler_43"

# Order matters: our wine/debug.h before anything of Wine's.
common_flags=(
  -O2 -g0 -std=gnu11 -Werror=implicit-function-declaration -Werror=int-conversion -Werror=incompatible-pointer-types -fno-strict-aliasing
  -DNONAMELESSUNION= -DWINE_NO_NAMELESS_EXTENSION -DVKD3D_NO_VULKAN_H -DCONST_VTABLE
  -DID3D11Linker=IUnknown -DD3D_COMPILER_VERSION=47
  -I"$HERE/include" -I"$WORK/include"
  -I"$WORK/libs/vkd3d/include" -I"$WORK/libs/vkd3d/include/private" -I"$WORK/libs/vkd3d" -I"$SHADER"
)

# A ninja file: the grammars first, then every object in parallel.
{
  echo "cflags = ${common_flags[*]}"
  echo "rule bison"
  echo "  command = bison --defines=\$header -o \$out \$in"
  echo "rule flex"
  echo "  command = flex -o \$out \$in"
  echo "rule vkd3d"
  echo "  command = $CC \$cflags -DLIBVKD3D_SHADER_SOURCE -c \$in -o \$out"
  echo "rule front"
  echo "  command = $CC \$cflags -I$FRONT -c \$in -o \$out"
  echo "rule link"
  echo "  command = $CC -shared -static -s -o \$out $HERE/d3dcompiler_47.def \$in -lole32 -luuid"
  grammar=()
  for name in hlsl preproc; do
    echo "build $SHADER/$name.tab.c | $SHADER/$name.tab.h: bison $SHADER/$name.y"
    echo "  header = $SHADER/$name.tab.h"
    echo "build $SHADER/$name.yy.c: flex $SHADER/$name.l"
    grammar+=("$SHADER/$name.tab.c" "$SHADER/$name.yy.c")
  done
  objects=()
  for file in "$COMMON"/{debug,error,memory,utf8}.c "$SHADER"/*.c "${grammar[@]}"; do
    objects+=("$WORK/obj/vkd3d-${file##*/}.o")
    echo "build ${objects[-1]}: vkd3d $file || ${grammar[*]}"
  done
  for file in "$FRONT"/{compiler,reflection,blob,utils}.c "$HERE/glue.c"; do
    objects+=("$WORK/obj/front-${file##*/}.o")
    echo "build ${objects[-1]}: front $file"
  done
  echo "build $OUTPUT.tmp: link ${objects[*]}"
} >"$WORK/build.ninja"

ninja -C "$WORK" -j "$JOBS" --quiet
mv "$OUTPUT.tmp" "$OUTPUT"
rm -rf "$WORK"
