#!/usr/bin/env bash
# build-vkd3d2.sh WINE_SOURCE VKD3D_ROOT OUTPUT: builds d3dcompiler_47 as a Winelib
# module (an ELF shared object that Wine 8 loads as a builtin DLL) from Wine's
# compiler front end and a static vkd3d-shader of version 1.15 or later.
#
#   WINE_SOURCE  Wine 10's sources: dlls/d3dcompiler_43, dlls/d3dcompiler_47's
#                .spec and include/wine/{list,rbtree}.h are used
#   VKD3D_ROOT   where Debian's libvkd3d-dev and libvkd3d-headers are unpacked
#                (usr/lib/x86_64-linux-gnu/libvkd3d-shader.a, usr/include/vkd3d)
#   OUTPUT       the module; Wine loads it when it lies beside the program as
#                d3dcompiler_47.dll
#
# Objects go into OUTPUT.build, removed at the end; OUTPUT is written last.
set -Eeuo pipefail

if (($# != 3)); then
  echo "usage: build-vkd3d2.sh WINE_SOURCE VKD3D_ROOT OUTPUT" >&2
  exit 2
fi
SOURCE=$(realpath "$1")
ROOT=$(realpath "$2")
OUTPUT=$(realpath -m "$3")
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly SOURCE ROOT OUTPUT HERE

readonly CC=winegcc-stable
readonly FRONT="$SOURCE/dlls/d3dcompiler_43"
readonly SPEC="$SOURCE/dlls/d3dcompiler_47/d3dcompiler_47.spec"
readonly ARCHIVE="$ROOT/usr/lib/x86_64-linux-gnu/libvkd3d-shader.a"
readonly HEADERS="$ROOT/usr/include/vkd3d"
WORK="$OUTPUT.build"
readonly WORK

for file in "$FRONT/compiler.c" "$SPEC" "$SOURCE/include/wine/list.h" "$ARCHIVE" "$HEADERS/vkd3d_shader.h"; do
  [[ -f $file ]] || { echo "build-vkd3d2.sh: $file is missing" >&2; exit 1; }
done

rm -rf "$WORK"
mkdir -p "$WORK/include/wine"
# Wine's header-only list and tree; Wine 8's wine/debug.h and Windows headers come with winegcc.
cp "$SOURCE/include/wine/list.h" "$SOURCE/include/wine/rbtree.h" "$WORK/include/wine/"

# The archive's scanners use the standard streams by PC32 relocations: renamed to
# hidden variables of the glue (vkd3d2-glue.c).
objcopy --redefine-sym stdin=brivet_vkd3d_stdin --redefine-sym stdout=brivet_vkd3d_stdout \
  --redefine-sym stderr=brivet_vkd3d_stderr "$ARCHIVE" "$WORK/libvkd3d-shader.a"

flags=(
  -m64 -O2 -fPIC -w -D__WINESRC__ -DD3D_COMPILER_VERSION=47 -DID3D11Linker=IUnknown -Dstricmp=strcasecmp
  -I"$WORK/include" -I"$FRONT" -I"$HEADERS"
)
pids=()
for file in "$FRONT"/{compiler,reflection,blob,utils}.c "$HERE/vkd3d2-glue.c"; do
  "$CC" "${flags[@]}" -c "$file" -o "$WORK/${file##*/}.o" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid"
done

# winegcc names its output NAME.so.
"$CC" -m64 -shared -o "$WORK/d3dcompiler_47.dll" "$SPEC" "$WORK"/*.o "$WORK/libvkd3d-shader.a" -lm \
  -Wl,--exclude-libs,ALL -Wl,--no-undefined -Wl,--wrap=vkd3d_shader_compile

# The module must run on this host's glibc.
host_glibc=$(ldd --version | awk 'NR == 1 { print $NF }')
newest=$(objdump -T "$WORK/d3dcompiler_47.dll.so" | grep -o 'GLIBC_[0-9.]*' | sed 's/GLIBC_//' | sort -V | tail -n 1)
if [[ $(printf '%s\n%s\n' "$newest" "$host_glibc" | sort -V | tail -n 1) != "$host_glibc" ]]; then
  echo "build-vkd3d2.sh: the module needs glibc $newest, the host has $host_glibc" >&2
  exit 1
fi

mv "$WORK/d3dcompiler_47.dll.so" "$OUTPUT.tmp"
mv "$OUTPUT.tmp" "$OUTPUT"
rm -rf "$WORK"
