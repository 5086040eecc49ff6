#!/usr/bin/env bash
# Installs the Debian packages the build needs, builds the MinGW-w64
# dependency prefix (GoogleTest, pugixml, minizip, Assimp, stb, dr_libs), the
# host's Assimp and patched stb_vorbis, and the HLSL compiler of Wine runs
# (tools/hlsl). Assimp comes from Debian sid's source package; it and
# stb_vorbis get the patches of tools/patches (each says why at its top).
#
#   prefix:  ${BRIVET_CACHE:-~/.cache/brivet}/mingw-<key>, symlinked from
#            ~/.cache/brivet/mingw (read by cmake/mingw-w64.cmake)
#   host:    <prefix>/host (Assimp, include/stb/stb_vorbis.h; read by CMakeLists.txt)
#            and ~/.cache/brivet/include/dr_mp3.h
#   HLSL:    ${BRIVET_CACHE:-~/.cache/brivet}/d3dcompiler47-<key>/d3dcompiler_47.dll
#            (vkd3d-shader 1.14) and d3dcompiler47-vkd3d2-<key>/d3dcompiler_47.dll.so
#            (vkd3d 2.x from sid's binary packages, when they can be had; used by
#            tools/with-wine and tools/play)
#
# Idempotent and silent when everything is in place. Runs as root.
set -Eeuo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly REPO
readonly HOME_CACHE="$HOME/.cache/brivet"
readonly CACHE="${BRIVET_CACHE:-$HOME_CACHE}"
readonly LOGS="$CACHE/logs"
readonly SRC="$CACHE/src"
readonly BUILD="$CACHE/build"
readonly APT_DIR="$CACHE/apt"
JOBS=$(nproc)
readonly JOBS

# Bump when the build recipe changes: a new key means a fresh prefix.
readonly RECIPE=4
readonly V_PUGIXML=1.13
readonly V_ASSIMP=6.0.5
readonly ASSIMP_SUITE=sid
readonly V_MINIZIP=1.1
readonly V_SDL2_MIXER=2.6.2

readonly MINGW_ROOT=/usr/x86_64-w64-mingw32
readonly MINGW_CC=x86_64-w64-mingw32-gcc-posix
readonly MINGW_AR=x86_64-w64-mingw32-ar
readonly MINGW_ZLIB="$MINGW_ROOT/lib/libz.a"

# shellcheck source=hlsl/hlsl.sh
source "$REPO/tools/hlsl/hlsl.sh"

readonly PACKAGES=(
  mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth libgl1-mesa-dri
  pulseaudio pulseaudio-utils xdotool x11-utils imagemagick libz-mingw-w64-dev zlib1g-dev
  libstb-dev libpugixml-dev rapidjson-dev libminizip-dev googletest libgtest-dev dpkg-dev
  xz-utils libutfcpp-dev vorbis-tools lame sox fonts-dejavu-core fonts-urw-base35 ninja-build
  cmake clang libclang-rt-14-dev python3 assimp-testmodels assimp-utils bison flex patch libbenchmark-dev
  wine64-tools libwine-dev binutils
)

say() { printf 'deps: %s\n' "$*"; }

on_error() {
  printf 'deps: failed at line %s: %s\n' "$1" "$2" >&2
  exit 1
}
trap 'on_error "$LINENO" "$BASH_COMMAND"' ERR

declare -A RUNNING=() STAMP_OF=()

# start_step NAME MESSAGE STAMP COMMAND...: runs COMMAND in the background with
# its output in $LOGS/NAME.log; STAMP (or "-" for none) is touched on success.
start_step() {
  local name=$1 message=$2 stamp=$3
  shift 3
  say "$message"
  (trap - ERR; set -e; "$@") >"$LOGS/$name.log" 2>&1 </dev/null &
  RUNNING[$name]=$!
  STAMP_OF[$name]=$stamp
}

# finish_step NAME: waits for a started step. On failure it lets the other
# running steps end (keeping what they built), names the step and its log, and exits.
finish_step() {
  local name=$1 rc=0
  wait "${RUNNING[$name]}" || rc=$?
  unset "RUNNING[$name]"
  if ((rc != 0)); then
    local other other_rc
    for other in "${!RUNNING[@]}"; do
      other_rc=0
      wait "${RUNNING[$other]}" || other_rc=$?
      if ((other_rc == 0)) && [[ ${STAMP_OF[$other]} != - ]]; then
        touch "${STAMP_OF[$other]}"
      fi
    done
    printf 'deps: %s failed (exit %d); log: %s\n' "$name" "$rc" "$LOGS/$name.log" >&2
    exit 1
  fi
  if [[ ${STAMP_OF[$name]} != - ]]; then
    touch "${STAMP_OF[$name]}"
  fi
}

# step NAME MESSAGE STAMP COMMAND...: runs COMMAND in the foreground.
step() {
  start_step "$@"
  finish_step "$1"
}

# ---------------------------------------------------------------------------
# Debian packages

# Prints the packages of PACKAGES that are not installed.
missing_packages() {
  local -A state=()
  local pkg status
  while read -r pkg status; do
    state[$pkg]=$status
  done < <(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' "${PACKAGES[@]}" 2>/dev/null || true)
  for pkg in "${PACKAGES[@]}"; do
    if [[ ${state[$pkg]:-} != ?i ]]; then
      printf '%s\n' "$pkg"
    fi
  done
}

install_packages() {
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
}

# ---------------------------------------------------------------------------
# Debian source packages through a private apt configuration

# Writes deb-src entries for the deb entries of the machine's deb822 list.
write_private_sources() {
  local system=/etc/apt/sources.list.d/debian.sources out=$1
  if [[ -r $system ]]; then
    awk '
      BEGIN { RS = ""; FS = "\n" }
      {
        types = ""; enabled = 1; body = ""; keep = 0
        for (i = 1; i <= NF; i++) {
          line = $i
          if (line ~ /^#/) continue
          if (line ~ /^[ \t]/) { if (keep) body = body line "\n"; continue }
          key = tolower(line); sub(/:.*/, "", key)
          value = line; sub(/^[^:]*:[ \t]*/, "", value)
          keep = 0
          if (key == "types") types = value
          else if (key == "enabled" && tolower(value) == "no") enabled = 0
          else if (key == "uris" || key == "suites" || key == "components" || key == "signed-by") {
            body = body line "\n"; keep = 1
          }
        }
        if (enabled && (" " types " ") ~ /[ \t]deb[ \t]/) printf "Types: deb-src\n%s\n", body
      }' "$system" >"$out"
  fi
  if [[ ! -s $out ]]; then
    cat >"$out" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
}

# debian_mirror DIR: the machine's own Debian mirror (its first non-security deb entry),
# read through a scratch file in DIR.
debian_mirror() {
  local scratch=$1/mirror.sources mirror
  write_private_sources "$scratch"
  mirror=$(awk '
    BEGIN { RS = ""; FS = "\n" }
    {
      uri = ""; suites = ""
      for (i = 1; i <= NF; i++) {
        key = tolower($i); sub(/:.*/, "", key)
        value = $i; sub(/^[^:]*:[ \t]*/, "", value)
        if (key == "uris") { split(value, words, /[ \t]+/); uri = words[1] }
        else if (key == "suites") suites = value
      }
      if (uri != "" && suites !~ /-security/) { print uri; exit }
    }' "$scratch")
  rm -f "$scratch"
  printf '%s\n' "${mirror:-http://deb.debian.org/debian}"
}

# write_suite_sources OUT SUITE [TYPE]: one entry of TYPE (deb-src unless given),
# SUITE's main component on the machine's own Debian mirror.
write_suite_sources() {
  local out=$1 suite=$2 type=${3:-deb-src} mirror
  mirror=$(debian_mirror "$(dirname "$out")")
  cat >"$out" <<EOF
Types: $type
URIs: $mirror
Suites: $suite
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

# private_apt DIR ARGS...: apt-get with the sources, lists and cache in DIR.
private_apt() {
  local dir=$1
  shift
  apt-get \
    -o Dir::Etc::SourceList="$dir/sources/private.sources" \
    -o Dir::Etc::SourceParts="$dir/sources.d" \
    -o Dir::State::Lists="$dir/lists" \
    -o Dir::Cache="$dir/cache" \
    -o APT::Sandbox::User=root \
    "$@"
}

# new_private_apt DIR: an empty private apt configuration in DIR.
new_private_apt() {
  rm -rf "$1"
  mkdir -p "$1/sources" "$1/sources.d" "$1/lists/partial" "$1/cache/archives/partial"
}

# download_source DIR PACKAGE UPSTREAM_VERSION FOLDER: downloads PACKAGE's source
# through the private apt configuration in DIR into FOLDER (emptied first) and
# prints the .dsc path; fails when the upstream version (without Debian's repack
# suffixes such as ~ds0, +dfsg, ~repack) is another.
download_source() {
  local dir=$1 pkg=$2 want=$3 folder=$4 dscs version
  rm -rf "$folder"
  mkdir -p "$folder"
  (cd "$folder" && private_apt "$dir" -q source --download-only "$pkg") >&2 || return 1
  dscs=("$folder/${pkg}"_*.dsc)
  [[ -f ${dscs[0]} ]] || return 1
  version=${dscs[0]##*/"${pkg}"_}
  version=${version%.dsc}
  version=${version#*:}
  version=${version%-*}
  version=${version%%[~+]*}
  if [[ $version != "$want" ]]; then
    echo "source package $pkg is $version, expected $want" >&2
    return 1
  fi
  printf '%s\n' "${dscs[0]}"
}

# fetch_sources PACKAGE=UPSTREAM_VERSION...: downloads and unpacks each into $SRC/PACKAGE.
fetch_sources() {
  new_private_apt "$APT_DIR"
  write_private_sources "$APT_DIR/sources/private.sources"
  cat "$APT_DIR/sources/private.sources"
  private_apt "$APT_DIR" -q update

  local spec pkg want dsc
  for spec in "$@"; do
    pkg=${spec%%=*}
    want=${spec#*=}
    dsc=$(download_source "$APT_DIR" "$pkg" "$want" "$SRC/download/$pkg")
    rm -rf "${SRC:?}/$pkg.tmp"
    dpkg-source -x "$dsc" "$SRC/$pkg.tmp"
    rm -rf "${SRC:?}/${pkg:?}"
    mv "$SRC/$pkg.tmp" "$SRC/$pkg"
    touch "$SRC/$pkg/.brivet-unpacked"
  done
}

# fetch_assimp_source FOLDER: downloads Assimp from $ASSIMP_SUITE, unpacks it
# into FOLDER (Debian's patches applied) and applies tools/patches/assimp.
fetch_assimp_source() {
  local folder=$1 apt="$CACHE/apt-$ASSIMP_SUITE" dsc patch
  new_private_apt "$apt"
  write_suite_sources "$apt/sources/private.sources" "$ASSIMP_SUITE"
  cat "$apt/sources/private.sources"
  private_apt "$apt" -q update
  dsc=$(download_source "$apt" assimp "$V_ASSIMP" "$SRC/download/assimp-$V_ASSIMP")
  rm -rf "$folder.tmp"
  dpkg-source -x "$dsc" "$folder.tmp"
  # Debian links the system libdraco (none for MinGW, and not needed here).
  patch -d "$folder.tmp" -p1 -R <"$folder.tmp/debian/patches/use-system-libdraco.patch"
  for patch in "$REPO"/tools/patches/assimp/*.patch; do
    patch -d "$folder.tmp" -p1 <"$patch"
  done
  rm -rf "$SRC/download/assimp-$V_ASSIMP"
  rm -rf "$folder"
  mv "$folder.tmp" "$folder"
  touch "$folder/.brivet-unpacked"
}

# recipe_digest: a digest of the dependency patches, part of the prefix key.
recipe_digest() {
  (cd "$REPO/tools/patches" && sha256sum stb/*.patch assimp/*.patch) | sha256sum | cut -c1-12
}

# ---------------------------------------------------------------------------
# The HLSL compiler of Wine runs (tools/hlsl)

# build_hlsl DLL: fetches the Wine source package, unpacks it (Debian's
# patches applied), builds DLL from it and removes the unpacked tree.
build_hlsl() {
  local dll=$1 apt="$CACHE/apt-$HLSL_WINE_SUITE" tree="$BUILD/wine-source" dsc
  new_private_apt "$apt"
  write_suite_sources "$apt/sources/private.sources" "$HLSL_WINE_SUITE"
  cat "$apt/sources/private.sources"
  private_apt "$apt" -q update
  dsc=$(download_source "$apt" wine "$HLSL_WINE_VERSION" "$SRC/download/wine")
  rm -rf "$tree"
  dpkg-source -x "$dsc" "$tree"
  mkdir -p "$(dirname "$dll")"
  "$REPO/tools/hlsl/build.sh" "$tree" "$dll" "$JOBS"
  # dpkg-source leaves the upstream tarball beside the tree as well.
  rm -rf "$tree" "$SRC/download/wine" "$BUILD"/wine_*.orig.tar.*
}

# ---------------------------------------------------------------------------
# The vkd3d 2.x compiler module of Wine runs (tools/hlsl/build-vkd3d2.sh)

# build_hlsl_vkd3d2 MODULE: downloads sid's vkd3d binary packages (whatever 2.x version
# it has) and the Wine source package, builds the module, checks that it compiles a
# geometry shader under Wine, and only then moves it with a VERSION file into MODULE's
# folder.
build_hlsl_vkd3d2() {
  local module=$1 folder=${1%/*} work="$BUILD/vkd3d2" apt="$CACHE/apt-$HLSL_VKD3D2_SUITE"
  local version dsc orig wine_apt="$CACHE/apt-$HLSL_WINE_SUITE"
  local quick=(-o Acquire::Retries=1 -o Acquire::http::Timeout=30)
  rm -rf "$work"
  mkdir -p "$work/debs" "$work/root" "$work/wine" "$work/probe"

  new_private_apt "$apt"
  write_suite_sources "$apt/sources/private.sources" "$HLSL_VKD3D2_SUITE" deb
  cat "$apt/sources/private.sources"
  private_apt "$apt" "${quick[@]}" -q update
  (cd "$work/debs" && private_apt "$apt" "${quick[@]}" -q download "${HLSL_VKD3D2_PACKAGES[@]}")
  version=$(dpkg-deb -f "$work/debs"/libvkd3d-dev_*.deb Version)
  if [[ $version != 2.* ]]; then
    echo "$HLSL_VKD3D2_SUITE has vkd3d $version, not 2.x"
    return 1
  fi
  local deb
  for deb in "$work/debs"/*.deb; do
    dpkg-deb -x "$deb" "$work/root"
  done

  # Wine's compiler front end from the orig tarball (Debian's patches leave these files as they are).
  new_private_apt "$wine_apt"
  write_suite_sources "$wine_apt/sources/private.sources" "$HLSL_WINE_SUITE"
  private_apt "$wine_apt" -q update
  dsc=$(download_source "$wine_apt" wine "$HLSL_WINE_VERSION" "$SRC/download/wine")
  orig=$(ls "${dsc%/*}"/wine_*.orig.tar.*)
  tar -xf "$orig" -C "$work/wine" --strip-components=1 --wildcards \
    'wine-*/dlls/d3dcompiler_43/*' 'wine-*/dlls/d3dcompiler_47/d3dcompiler_47.spec' \
    'wine-*/include/wine/list.h' 'wine-*/include/wine/rbtree.h'
  rm -rf "$SRC/download/wine"

  "$REPO/tools/hlsl/build-vkd3d2.sh" "$work/wine" "$work/root" "$work/d3dcompiler_47.dll.so"

  # The probe runs beside the module, with Wine's own compiler in the prefix.
  "$MINGW_CC" -O1 -static "$REPO/tools/hlsl/probe-gs.c" -o "$work/probe/probe-gs.exe" -ld3dcompiler_47
  cp "$work/d3dcompiler_47.dll.so" "$work/probe/d3dcompiler_47.dll"
  (cd "$work/probe" && env -u BRIVET_WINE_ENV -u BRIVET_HLSL_MODULE BRIVET_HLSL=wine \
    "$REPO/tools/with-wine" wine probe-gs.exe) | tee "$work/probe.log"
  grep -q '^probe: ok' "$work/probe.log"

  rm -rf "$folder.tmp"
  mkdir -p "$folder.tmp"
  mv "$work/d3dcompiler_47.dll.so" "$folder.tmp/${module##*/}"
  echo "$version" >"$folder.tmp/VERSION"
  rm -rf "$folder"
  mv "$folder.tmp" "$folder"
  rm -rf "$work"
}

# setup_hlsl_vkd3d2: builds the module when its folder is missing. A failure is one line:
# Wine runs then keep the vkd3d-shader 1.14 DLL.
setup_hlsl_vkd3d2() {
  local module rc=0 pid log="$LOGS/hlsl-vkd3d2.log" started=$SECONDS
  module=$(hlsl_module "$(realpath -m "$CACHE")")
  [[ -e $module ]] && return 0
  (trap - ERR; set -e; build_hlsl_vkd3d2 "$module") >"$log" 2>&1 </dev/null &
  pid=$!
  wait "$pid" || rc=$?
  if ((rc == 0)); then
    say "set up the HLSL compiler of Wine runs: vkd3d $(cat "${module%/*}/VERSION") from Debian $HLSL_VKD3D2_SUITE ($((SECONDS - started)) s)"
  else
    say "no vkd3d 2.x HLSL compiler from Debian $HLSL_VKD3D2_SUITE ($(tr -d '\r' <"$log" | grep -v '^[[:space:]]*$' | tail -n 1 | cut -c1-160)); Wine runs keep vkd3d-shader $HLSL_VKD3D_VERSION (log: $log)"
  fi
}

# ---------------------------------------------------------------------------
# MinGW-w64 builds

cross_cmake() {
  local name=$1 source=$2
  shift 2
  rm -rf "${BUILD:?}/$name"
  cmake -S "$source" -B "$BUILD/$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$REPO/cmake/mingw-w64.cmake" \
    -DBRIVET_MINGW_PREFIX="$PREFIX" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@"
  cmake --build "$BUILD/$name" -j "$JOBS"
  cmake --install "$BUILD/$name"
  rm -rf "${BUILD:?}/$name"
}

build_gtest() {
  cross_cmake googletest /usr/src/googletest \
    -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF
}

build_pugixml() {
  cross_cmake pugixml "$SRC/pugixml" -DPUGIXML_BUILD_TESTS=OFF
}

build_minizip() {
  local out="$BUILD/minizip" file pid pids=()
  rm -rf "$out"
  mkdir -p "$out" "$PREFIX/include/minizip" "$PREFIX/lib"
  for file in ioapi mztools unzip zip iowin32; do
    "$MINGW_CC" -O2 -c "$SRC/minizip/$file.c" -o "$out/$file.o" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do
    wait "$pid"
  done
  "$MINGW_AR" rcs "$PREFIX/lib/libminizip.a" "$out"/*.o
  for file in crypt ioapi mztools unzip zip iowin32; do
    install -m 644 "$SRC/minizip/$file.h" "$PREFIX/include/minizip/"
  done
  rm -rf "$out"
}

# Left out of both builds: the glTF 1.0 importer. glTF 2.0 superseded the format in 2017
# and the exporters in use write 2.0 (read by its own importer); the 1.0 reader took its
# accessors' ranges and a binary file's body from the file unchecked (reads past its
# buffers, face indices out of range). A glTF 1.0 file finds no importer and fails to load.
readonly ASSIMP_DEFINES="-DASSIMP_BUILD_NO_GLTF1_IMPORTER"

# The Assimp options of both builds: static, import only, the scene importers.
# Debian's source takes RapidJSON from the system (header-only; for MinGW its
# headers are copied into the prefix).
ASSIMP_OPTIONS=(
  -DBUILD_SHARED_LIBS=OFF
  -DASSIMP_BUILD_ALL_IMPORTERS_BY_DEFAULT=OFF
  -DASSIMP_BUILD_OBJ_IMPORTER=ON -DASSIMP_BUILD_COLLADA_IMPORTER=ON -DASSIMP_BUILD_FBX_IMPORTER=ON
  -DASSIMP_BUILD_ASSBIN_IMPORTER=ON -DASSIMP_BUILD_GLTF_IMPORTER=ON -DASSIMP_BUILD_IQM_IMPORTER=ON
  -DASSIMP_BUILD_ZLIB=OFF
  -DASSIMP_NO_EXPORT=ON
  -DASSIMP_BUILD_ASSIMP_TOOLS=OFF
  -DASSIMP_BUILD_SAMPLES=OFF
  -DASSIMP_BUILD_TESTS=OFF
  -DASSIMP_BUILD_DOCS=OFF
  -DASSIMP_WARNINGS_AS_ERRORS=OFF
  -DASSIMP_INJECT_DEBUG_POSTFIX=OFF
  -DASSIMP_IGNORE_GIT_HASH=ON
  -DASSIMP_INSTALL_PDB=OFF
  -DRapidJSON_DIR=/usr/share/cmake/RapidJSON
)

# Links the prefix's pugixml 1.13 (the program's own) and minizip.
build_assimp() {
  cross_cmake assimp "$ASSIMP_SOURCE" \
    -DCMAKE_CXX_FLAGS="-isystem $PREFIX/include -I/usr/include/utf8cpp $ASSIMP_DEFINES" \
    -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
    -DUNZIP_FOUND=ON \
    -DUNZIP_VERSION=$V_MINIZIP \
    -DUNZIP_INCLUDE_DIRS="$PREFIX/include/minizip" \
    -DUNZIP_LINK_LIBRARIES="$PREFIX/lib/libminizip.a;$MINGW_ZLIB" \
    -DZLIB_INCLUDE_DIR="$MINGW_ROOT/include" \
    -DZLIB_LIBRARY_REL="$MINGW_ZLIB" \
    -DZLIB_LIBRARY_DBG="$MINGW_ZLIB" \
    "${ASSIMP_OPTIONS[@]}"
  # The link interface must name the static zlib only (no zlib1.dll).
  if grep -rn 'libz\.dll\.a\|zlib1' "$PREFIX"/lib/cmake/assimp-*/; then
    echo "assimp's exported link interface refers to the zlib DLL" >&2
    exit 1
  fi
}

# The host's Assimp (the same source and importers; Debian's pugixml, minizip
# and zlib) in $PREFIX/host. The tests write scenes with its Collada and Assbin
# exporters.
build_host_assimp() {
  local out="$BUILD/assimp-host"
  rm -rf "$out"
  cmake -S "$ASSIMP_SOURCE" -B "$out" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX/host" \
    -DCMAKE_CXX_FLAGS="-I/usr/include/utf8cpp $ASSIMP_DEFINES" \
    "${ASSIMP_OPTIONS[@]}" \
    -DASSIMP_NO_EXPORT=OFF \
    -DASSIMP_BUILD_ALL_EXPORTERS_BY_DEFAULT=OFF \
    -DASSIMP_BUILD_COLLADA_EXPORTER=ON \
    -DASSIMP_BUILD_ASSBIN_EXPORTER=ON
  cmake --build "$out" -j "$JOBS"
  cmake --install "$out"
  rm -rf "$out"
}

# stb and dr_libs headers, stb_vorbis.h patched (tools/patches/stb), for both
# builds; RapidJSON's headers for the MinGW Assimp build.
copy_headers() {
  mkdir -p "$PREFIX/include/stb" "$PREFIX/host/include/stb"
  cp /usr/include/stb/*.h "$PREFIX/include/stb/"
  patch -d "$PREFIX/include/stb" -p1 <"$REPO/tools/patches/stb/stb_vorbis.patch"
  cp "$PREFIX/include/stb/stb_vorbis.h" "$PREFIX/host/include/stb/"
  cp -r /usr/include/rapidjson "$PREFIX/include/"
  cp "$SRC/libsdl2-mixer/src/codecs/dr_libs/"dr_*.h "$PREFIX/include/"
}

install_host_headers() {
  mkdir -p "$HOME_CACHE/include"
  cp "$PREFIX/include/"dr_*.h "$HOME_CACHE/include/"
}

link_prefix() {
  ln -sfn "$PREFIX" "$HOME_CACHE/mingw.tmp"
  mv -T "$HOME_CACHE/mingw.tmp" "$HOME_CACHE/mingw"
}

# ---------------------------------------------------------------------------

main() {
  mkdir -p "$CACHE" "$LOGS" "$HOME_CACHE"
  exec 9>"$CACHE/.deps.lock"
  flock 9

  local missing
  mapfile -t missing < <(missing_packages)
  if ((${#missing[@]})); then
    step packages "installing ${missing[*]}" - install_packages "${missing[@]}"
  fi

  local v_gtest
  v_gtest=$(dpkg-query -W -f='${Version}' googletest)
  v_gtest=${v_gtest%-*}
  local key="r$RECIPE-assimp$V_ASSIMP-pugixml$V_PUGIXML-minizip$V_MINIZIP-gtest$v_gtest-$(recipe_digest)"
  PREFIX="$(realpath -m "$CACHE")/mingw-$key"
  readonly PREFIX
  local stamps="$PREFIX/.brivet"

  if [[ ! -e $stamps/complete ]]; then
    mkdir -p "$stamps"
    # GoogleTest and pugixml build beside the source download and Assimp.
    if [[ ! -e $stamps/googletest ]]; then
      start_step googletest "building GoogleTest $v_gtest" "$stamps/googletest" build_gtest
    fi

    local fetch=() spec
    for spec in pugixml=$V_PUGIXML minizip=$V_MINIZIP libsdl2-mixer=$V_SDL2_MIXER; do
      [[ -e $SRC/${spec%%=*}/.brivet-unpacked ]] || fetch+=("$spec")
    done
    if ((${#fetch[@]})); then
      step sources "fetching Debian sources: ${fetch[*]%%=*}" - fetch_sources "${fetch[@]}"
    fi
    ASSIMP_SOURCE="$SRC/assimp-$V_ASSIMP-$(recipe_digest)"
    if [[ ! -e $ASSIMP_SOURCE/.brivet-unpacked ]]; then
      step assimp-source "fetching Assimp $V_ASSIMP's source from Debian $ASSIMP_SUITE" - \
        fetch_assimp_source "$ASSIMP_SOURCE"
    fi

    if [[ ! -e $stamps/pugixml ]]; then
      start_step pugixml "building pugixml $V_PUGIXML" "$stamps/pugixml" build_pugixml
    fi
    if [[ ! -e $stamps/headers ]]; then
      step headers "copying stb and dr_libs headers" "$stamps/headers" copy_headers
    fi
    if [[ ! -e $stamps/minizip ]]; then
      step minizip "building minizip $V_MINIZIP" "$stamps/minizip" build_minizip
    fi
    if [[ ! -e $stamps/host-assimp ]]; then
      start_step host-assimp "building Assimp $V_ASSIMP for the host" "$stamps/host-assimp" build_host_assimp
    fi
    # Assimp links the prefix's pugixml.
    if [[ -n ${RUNNING[pugixml]:-} ]]; then
      finish_step pugixml
    fi
    if [[ ! -e $stamps/assimp ]]; then
      step assimp "building Assimp $V_ASSIMP" "$stamps/assimp" build_assimp
    fi
    local name
    for name in "${!RUNNING[@]}"; do
      finish_step "$name"
    done
    touch "$stamps/complete"
  fi

  if [[ $(readlink "$HOME_CACHE/mingw" || true) != "$PREFIX" ]]; then
    step link "linking $HOME_CACHE/mingw -> $PREFIX" - link_prefix
  fi
  if ! cmp -s "$PREFIX/include/dr_mp3.h" "$HOME_CACHE/include/dr_mp3.h"; then
    step host-headers "copying dr_libs headers for the host build" - install_host_headers
  fi

  local dll
  dll=$(hlsl_dll "$(realpath -m "$CACHE")")
  if [[ ! -e $dll ]]; then
    step hlsl "building the HLSL compiler of Wine runs (vkd3d-shader $HLSL_VKD3D_VERSION from Wine $HLSL_WINE_VERSION)" - \
      build_hlsl "$dll"
  fi
  setup_hlsl_vkd3d2
}

main "$@"
