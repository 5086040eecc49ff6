# Sourced by tools/deps.sh, tools/with-wine and tools/play: the HLSL compiler
# of Wine runs.
#
# Wine 8's own d3dcompiler_47.dll compiles only a small part of HLSL. Wine runs
# use instead a d3dcompiler_47.dll built at set-up (tools/deps.sh, through
# build.sh here) from the Wine source package of Debian trixie: its bundled
# vkd3d-shader and Wine's compiler front end. It is a test-environment tool:
# brivet.exe never links or ships it.
#
#   BRIVET_HLSL=wine   run with Wine's own compiler instead, to compare
#                      (unset or "vkd3d": the built one).

readonly HLSL_WINE_VERSION=10.0
readonly HLSL_WINE_SUITE=trixie
readonly HLSL_VKD3D_VERSION=1.14
readonly HLSL_WINE_OWN=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/d3dcompiler_47.dll
HLSL_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
readonly HLSL_DIR

# hlsl_dll CACHE: path of the built DLL. The folder name carries the source
# versions and a digest of the recipe, so a changed recipe builds anew.
hlsl_dll() {
  local recipe
  recipe=$(cd "$HLSL_DIR" && sha256sum build.sh glue.c d3dcompiler_47.def include/wine/debug.h patches/*.patch) ||
    return 1
  recipe=$(printf '%s\n' "$recipe" | sha256sum)
  printf '%s/d3dcompiler47-wine%s-vkd3d%s-%s/d3dcompiler_47.dll\n' "$1" "$HLSL_WINE_VERSION" \
    "$HLSL_VKD3D_VERSION" "${recipe:0:12}"
}

# hlsl_use CACHE FOLDER WHO: puts the chosen d3dcompiler_47.dll into FOLDER,
# exports WINEDLLOVERRIDES (keeping what is set) and VKD3D_SHADER_DEBUG, and
# prints one line naming the compiler, as WHO. Returns 1 with a message when
# the choice is unknown or the DLL is missing.
hlsl_use() {
  local cache=$1 folder=$2 who=$3 source order name
  case "${BRIVET_HLSL:-vkd3d}" in
    vkd3d)
      source=$(hlsl_dll "$cache") || return 1
      order=n
      name="vkd3d-shader $HLSL_VKD3D_VERSION (d3dcompiler_47.dll built from Wine $HLSL_WINE_VERSION's sources; BRIVET_HLSL=wine for Wine's own)"
      ;;
    wine)
      source=$HLSL_WINE_OWN
      order=b
      name="Wine's own d3dcompiler_47.dll (BRIVET_HLSL=wine)"
      ;;
    *)
      echo "$who: BRIVET_HLSL is '$BRIVET_HLSL': use 'vkd3d' (the default) or 'wine'" >&2
      return 1
      ;;
  esac
  if [[ ! -f $source ]]; then
    echo "$who: the HLSL compiler $source is missing: run tools/deps.sh (or set BRIVET_HLSL=wine)" >&2
    return 1
  fi
  if ! cmp -s "$source" "$folder/d3dcompiler_47.dll"; then
    cp "$source" "$folder/d3dcompiler_47.dll.tmp" && mv -f "$folder/d3dcompiler_47.dll.tmp" "$folder/d3dcompiler_47.dll" ||
      return 1
  fi
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dcompiler_47=$order"
  export VKD3D_SHADER_DEBUG=none
  echo "$who: HLSL compiler: $name" >&2
}

# hlsl_restore FOLDER: puts Wine's own d3dcompiler_47.dll back into FOLDER.
hlsl_restore() {
  if ! cmp -s "$HLSL_WINE_OWN" "$1/d3dcompiler_47.dll"; then
    cp "$HLSL_WINE_OWN" "$1/d3dcompiler_47.dll.tmp" && mv -f "$1/d3dcompiler_47.dll.tmp" "$1/d3dcompiler_47.dll"
  fi
}
