# Sourced by tools/deps.sh, tools/with-wine and tools/play: the HLSL compiler
# of Wine runs.
#
# Wine 8's own d3dcompiler_47.dll compiles only a small part of HLSL. Wine runs
# use instead one that tools/deps.sh builds at set-up:
#   vkd3d2  a Winelib module (build-vkd3d2.sh): Wine 10's compiler front end over
#           the static vkd3d-shader 2.x of Debian sid's binary packages. Wine 8
#           loads it only from the folder of the program, so each run puts it
#           there (tools/with-wine through tools/hlsl/wine, tools/e2e.py, tools/play).
#   vkd3d1  a PE DLL (build.sh): vkd3d-shader 1.14 bundled in Debian trixie's Wine
#           10.0 source package, put into the prefix's system32. The fallback when
#           the module could not be set up.
# Both are test-environment tools: brivet.exe never links or ships them.
#
#   BRIVET_HLSL unset or "vkd3d": the newest one set up (vkd3d2, else vkd3d1)
#   BRIVET_HLSL=vkd3d2 / vkd3d1:  that one (an error when it is missing)
#   BRIVET_HLSL=wine:             Wine's own, to compare

readonly HLSL_WINE_VERSION=10.0
readonly HLSL_WINE_SUITE=trixie
readonly HLSL_VKD3D_VERSION=1.14
readonly HLSL_VKD3D2_SUITE=sid
readonly HLSL_VKD3D2_PACKAGES=(libvkd3d-dev libvkd3d-headers)
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

# hlsl_module CACHE: path of the vkd3d2 module, in a folder keyed by a digest of its
# recipe and of the host's Wine version (a Winelib module belongs to the Wine it was built
# with); its VERSION file holds the Debian version of the vkd3d packages. It is moved
# there only after it compiled a geometry shader (tools/deps.sh).
hlsl_module() {
  local recipe
  recipe=$(cd "$HLSL_DIR" && sha256sum build-vkd3d2.sh vkd3d2-glue.c probe-gs.c) || return 1
  recipe+=$(dpkg-query -W -f=' wine ${Version}' wine64 2>/dev/null)
  recipe=$(printf '%s\n' "$recipe" | sha256sum)
  printf '%s/d3dcompiler47-vkd3d2-%s/d3dcompiler_47.dll.so\n' "$1" "${recipe:0:12}"
}

# hlsl_choose CACHE WHO: sets HLSL_CHOICE (vkd3d2, vkd3d1 or wine), HLSL_SOURCE (the
# file) and HLSL_NAME (for the log line) from BRIVET_HLSL. Returns 1 with a message
# when the choice is unknown or its file is missing.
hlsl_choose() {
  local cache=$1 who=$2 module version
  module=$(hlsl_module "$cache") || return 1
  HLSL_CHOICE=${BRIVET_HLSL:-vkd3d}
  if [[ $HLSL_CHOICE == vkd3d ]]; then
    HLSL_CHOICE=vkd3d1
    [[ -f $module ]] && HLSL_CHOICE=vkd3d2
  fi
  case "$HLSL_CHOICE" in
    vkd3d2)
      HLSL_SOURCE=$module
      version=$(cat "${module%/*}/VERSION" 2>/dev/null || echo "2.x")
      HLSL_NAME="vkd3d-shader ${version%%[~+-]*} (Winelib d3dcompiler_47 from Debian sid's vkd3d $version and Wine $HLSL_WINE_VERSION's front end, beside each program; BRIVET_HLSL=vkd3d1 for the 1.14 fallback, BRIVET_HLSL=wine for Wine's own)"
      ;;
    vkd3d1)
      HLSL_SOURCE=$(hlsl_dll "$cache") || return 1
      HLSL_NAME="vkd3d-shader $HLSL_VKD3D_VERSION (d3dcompiler_47.dll built from Wine $HLSL_WINE_VERSION's sources"
      if [[ ${BRIVET_HLSL:-vkd3d} == vkd3d ]]; then
        HLSL_NAME+=", the fallback: the vkd3d 2.x module is not set up, see tools/deps.sh's output"
      fi
      HLSL_NAME+="; BRIVET_HLSL=wine for Wine's own)"
      ;;
    wine)
      HLSL_SOURCE=$HLSL_WINE_OWN
      HLSL_NAME="Wine's own d3dcompiler_47.dll (BRIVET_HLSL=wine)"
      ;;
    *)
      echo "$who: BRIVET_HLSL is '$BRIVET_HLSL': use 'vkd3d' (the default: the newest set up), 'vkd3d2', 'vkd3d1' or 'wine'" >&2
      return 1
      ;;
  esac
  if [[ ! -f $HLSL_SOURCE ]]; then
    echo "$who: the HLSL compiler $HLSL_SOURCE is missing: run tools/deps.sh (or set BRIVET_HLSL=wine)" >&2
    return 1
  fi
}

# hlsl_copy FILE FOLDER: FOLDER/d3dcompiler_47.dll becomes a copy of FILE.
hlsl_copy() {
  if ! cmp -s "$1" "$2/d3dcompiler_47.dll"; then
    cp "$1" "$2/d3dcompiler_47.dll.tmp" && mv -f "$2/d3dcompiler_47.dll.tmp" "$2/d3dcompiler_47.dll"
  fi
}

# hlsl_use CACHE SYSTEM32 WHO: for a Wine prefix held by this run. SYSTEM32 gets the
# vkd3d1 DLL or Wine's own; for vkd3d2 BRIVET_HLSL_MODULE names the module, which
# tools/hlsl/wine puts beside each program started. Exports BRIVET_HLSL_COMPILER (the
# choice), WINEDLLOVERRIDES (keeping what is set) and VKD3D_SHADER_DEBUG, and prints one
# line naming the compiler, as WHO.
hlsl_use() {
  local cache=$1 system32=$2 who=$3
  hlsl_choose "$cache" "$who" || return 1
  unset BRIVET_HLSL_MODULE
  case "$HLSL_CHOICE" in
    vkd3d2)
      hlsl_copy "$HLSL_WINE_OWN" "$system32" || return 1
      export BRIVET_HLSL_MODULE=$HLSL_SOURCE
      ;;
    vkd3d1)
      hlsl_copy "$HLSL_SOURCE" "$system32" || return 1
      export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dcompiler_47=n"
      ;;
    wine)
      hlsl_copy "$HLSL_WINE_OWN" "$system32" || return 1
      export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dcompiler_47=b"
      ;;
  esac
  export BRIVET_HLSL_COMPILER=$HLSL_CHOICE
  export VKD3D_SHADER_DEBUG=none
  echo "$who: HLSL compiler: $HLSL_NAME" >&2
}

# hlsl_use_beside CACHE FOLDER WHO: for a prefix of your own: the chosen compiler goes
# into FOLDER, the program's own folder, which Wine searches first; the prefix stays as
# it is. Exports and prints as hlsl_use.
hlsl_use_beside() {
  local cache=$1 folder=$2 who=$3
  hlsl_choose "$cache" "$who" || return 1
  unset BRIVET_HLSL_MODULE
  hlsl_copy "$HLSL_SOURCE" "$folder" || return 1
  case "$HLSL_CHOICE" in
    vkd3d1) export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dcompiler_47=n" ;;
    wine) export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}d3dcompiler_47=b" ;;
  esac
  export BRIVET_HLSL_COMPILER=$HLSL_CHOICE
  export VKD3D_SHADER_DEBUG=none
  echo "$who: HLSL compiler: $HLSL_NAME" >&2
}

# hlsl_restore FOLDER: puts Wine's own d3dcompiler_47.dll back into FOLDER.
hlsl_restore() {
  hlsl_copy "$HLSL_WINE_OWN" "$1"
}
