#!/usr/bin/env bash
# Cross-builds zlib, libpng, libjpeg-turbo (libjpeg 6b API) and libtiff as static mingw-w64
# libraries from Debian's source packages, so the Windows DLLs can link them in.
#
#   tools/setup-mingw-libs.sh           build whatever is missing or out of date (run as root)
#   tools/setup-mingw-libs.sh --check   also link a small test program against all four and,
#                                       where wine64 is installed, run the x64 one
#
# Each library is rebuilt only when its Debian source version, its build options or a library
# it depends on changed. Environment: QM_MINGW_ROOT (default /opt/quillmere/mingw),
# QM_SRC_CACHE (default /opt/quillmere/src), QM_JOBS (default 2).
set -euo pipefail

REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
readonly REPO
readonly ROOT=${QM_MINGW_ROOT:-/opt/quillmere/mingw}
readonly SRC_CACHE=${QM_SRC_CACHE:-/opt/quillmere/src}
readonly JOBS=${QM_JOBS:-2}
readonly TRIPLES=(x86_64-w64-mingw32 i686-w64-mingw32)
readonly SRC_LIST=/etc/apt/sources.list.d/quillmere-src.sources
readonly START=$SECONDS
# Bump when a change to this script must rebuild every library.
readonly RECIPE=2

CHECK=0
for arg in "$@"; do
  case $arg in
    --check) CHECK=1 ;;
    -h|--help) sed -n '2,12p' "$0"; exit 0 ;;
    *) echo "unknown argument: $arg" >&2; exit 2 ;;
  esac
done

log() { echo "setup-mingw-libs: $*" >&2; }
die() { log "error: $*"; exit 1; }

[[ $(id -u) -eq 0 ]] || die "run as root (installs packages and writes $ROOT)"

WORK=$(mktemp -d /tmp/qm-mingw-libs.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"

mkdir -p "$ROOT" "$SRC_CACHE"
# Two developers running setup at once would interleave installs into the same prefix.
exec 9>"$ROOT/.setup.lock"
flock 9

export DEBIAN_FRONTEND=noninteractive
APT_UPDATED=0
apt_update() {
  if [[ $APT_UPDATED -eq 0 ]]; then
    log "apt-get update"
    apt-get update -qq
    APT_UPDATED=1
  fi
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

ensure_packages() {
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [[ ${#missing[@]} -eq 0 ]] && return 0
  log "installing ${missing[*]}"
  if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null; then
    apt_update
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# dpkg-dev unpacks and patches the source packages; nasm assembles libjpeg-turbo's SIMD code.
ensure_packages dpkg-dev nasm cmake ninja-build \
  gcc-mingw-w64-x86-64-win32 g++-mingw-w64-x86-64-win32 \
  gcc-mingw-w64-i686-win32 g++-mingw-w64-i686-win32

# --- Debian source packages ------------------------------------------------------------

source_version() {
  # Highest version of a source package that the configured deb-src lines offer.
  local best="" v
  while read -r v; do
    if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done < <(apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p')
  echo "$best"
}

write_src_list() {
  log "enabling Debian source packages in $SRC_LIST"
  cat >"$SRC_LIST" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  APT_UPDATED=0  # the new source index still has to be fetched
}

if [[ -z $(source_version zlib) ]]; then
  if ! grep -RqsE '^[[:space:]]*(deb-src[[:space:]]|Types:.*deb-src)' \
        /etc/apt/sources.list /etc/apt/sources.list.d/; then
    write_src_list
  fi
  apt_update
  if [[ -z $(source_version zlib) && ! -f $SRC_LIST ]]; then
    write_src_list
    apt_update
  fi
  [[ -n $(source_version zlib) ]] || die "apt-get source is not possible: no deb-src index for zlib"
fi

declare -A VERSION SRCDIR
for pkg in zlib libpng1.6 libjpeg-turbo tiff; do
  VERSION[$pkg]=$(source_version "$pkg")
  [[ -n ${VERSION[$pkg]} ]] || die "no source package $pkg"
done

fetch_source() {
  local pkg=$1 ver=${VERSION[$1]}
  local dir=$SRC_CACHE/${pkg}_${ver#*:}
  if [[ ! -f $dir/.unpacked ]]; then
    log "fetching source $pkg $ver"
    rm -rf "$dir"
    mkdir -p "$dir"
    # Root-owned cache: apt's unprivileged download user could not write into it.
    (cd "$dir" && apt-get -qq -o APT::Sandbox::User=root source "$pkg=$ver" >/dev/null)
    local tree
    tree=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n1)
    [[ -n $tree ]] || die "apt-get source $pkg=$ver left no source tree"
    basename "$tree" >"$dir/.unpacked"
  fi
  SRCDIR[$pkg]=$dir/$(cat "$dir/.unpacked")
}

# --- cross builds ------------------------------------------------------------------------

declare -A KEY
BUILT=0
CURRENT=0

toolchain_for() {
  case $1 in
    x86_64-w64-mingw32) echo "$REPO/cmake/toolchains/mingw-x86_64.cmake" ;;
    i686-w64-mingw32) echo "$REPO/cmake/toolchains/mingw-i686.cmake" ;;
    *) die "unknown triple $1" ;;
  esac
}

all_present() {
  local f
  [[ -f $1 ]] || return 1
  while IFS= read -r f; do [[ -e $f ]] || return 1; done <"$1"
}

# Deletes the files a previous build of this library installed, so an upgrade leaves no
# stale headers behind.
remove_previous() {
  local manifest=$1 f
  [[ -f $manifest ]] || return 0
  while IFS= read -r f; do
    [[ -n $f && ( -f $f || -L $f ) ]] && rm -f "$f"
  done <"$manifest"
  rm -f "$manifest"
}

# build_lib <triple> <pkg> <deps...> -- <cmake args...>
build_lib() {
  local triple=$1 pkg=$2; shift 2
  local deps=() args=()
  while [[ $# -gt 0 && $1 != -- ]]; do deps+=("$1"); shift; done
  shift
  args=("$@")
  local prefix=$ROOT/$triple state=$ROOT/$triple/share/quillmere
  local key
  key="${VERSION[$pkg]} $(printf '%s\n' "$RECIPE" "${args[@]}" "$(hook "$pkg" describe)" |
        sha256sum | cut -c1-16)"
  local d
  for d in "${deps[@]}"; do key+=" $d=${KEY[$triple/$d]}"; done
  KEY[$triple/$pkg]=$key
  mkdir -p "$state"
  if [[ -f $state/$pkg.stamp && $(cat "$state/$pkg.stamp") == "$key" ]] &&
     all_present "$state/$pkg.manifest"; then
    CURRENT=$((CURRENT + 1))
    return 0
  fi

  fetch_source "$pkg"
  log "building $pkg ${VERSION[$pkg]} for $triple"
  local t0=$SECONDS src=$WORK/$triple/$pkg-src bld=$WORK/$triple/$pkg-build
  rm -rf "$src" "$bld"
  mkdir -p "$WORK/$triple"
  # A private copy: zlib's CMake renames files in its source tree, the cache stays pristine.
  cp -a "${SRCDIR[$pkg]}" "$src"
  rm -f "$state/$pkg.stamp"
  remove_previous "$state/$pkg.manifest"

  local cmake_common=(-G Ninja -S "$src" -B "$bld" -Wno-dev
    -DCMAKE_TOOLCHAIN_FILE="$(toolchain_for "$triple")"
    -DQM_MINGW_PREFIX="$prefix"
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DBUILD_SHARED_LIBS=OFF)
  local logf=$ROOT/.logs/$triple-$pkg.log
  mkdir -p "$ROOT/.logs"
  local targets
  read -r -a targets <<<"$(hook "$pkg" targets)"
  if ! { cmake "${cmake_common[@]}" "${args[@]}" &&
         cmake --build "$bld" -j "$JOBS" ${targets[@]+--target "${targets[@]}"} &&
         hook "$pkg" install "$prefix" "$bld" "$src"; } >"$logf" 2>&1; then
    tail -n 40 "$logf" >&2
    log "$pkg failed for $triple; full log in $logf"
    return 1
  fi
  cp "$bld/install_manifest.txt" "$state/$pkg.manifest"
  # A relative install directory taken against the working directory once sent files
  # elsewhere: anything outside the prefix is a fault in this script.
  if grep -v "^$prefix/" "$state/$pkg.manifest" >&2; then
    die "$pkg installed the files above outside $prefix"
  fi
  hook "$pkg" post "$prefix" "$bld" "$state/$pkg.manifest"
  echo "$key" >"$state/$pkg.stamp"
  BUILT=$((BUILT + 1))
  log "  $pkg for $triple done in $((SECONDS - t0))s"
}

# Drops installed files matching the patterns (relative to the prefix) and from the manifest.
prune() {
  local prefix=$1 manifest=$2; shift 2
  local pat f keep=()
  while IFS= read -r f; do
    local drop=0
    for pat in "$@"; do
      # shellcheck disable=SC2053
      [[ ${f#"$prefix"/} == $pat ]] && drop=1
    done
    if [[ $drop -eq 1 ]]; then rm -f "$f"; else keep+=("$f"); fi
  done <"$manifest"
  printf '%s\n' "${keep[@]}" >"$manifest"
  find "$prefix" -mindepth 1 -type d -empty -delete
}

hook() {
  local pkg=$1; shift
  "hook_${pkg//[^a-z0-9]/_}" "$@"
}

# Per-library hooks: "describe" prints anything besides the CMake arguments that shapes the
# result (so changing it triggers a rebuild); "targets" the build targets (default: all);
# "install" installs and leaves install_manifest.txt; "post" fixes up the installed files.
hook_default() {
  case $1 in
    describe|targets|post) ;;
    install) cmake --install "$3" ;;
  esac
}
hook_zlib() {
  case $1 in
    describe) echo "static-only libz.a rev1" ;;
    # zlib 1.2.13 always builds a DLL as well, from a .rc file Debian's source lacks.
    targets) echo zlibstatic ;;
    install)
      # Only the archive, named as zlib.pc's -lz expects; no import library for FindZLIB
      # to prefer.
      local prefix=$2 bld=$3 src=$4
      install -D -m644 "$bld/libzlibstatic.a" "$prefix/lib/libz.a"
      install -D -m644 -t "$prefix/include" "$src/zlib.h" "$bld/zconf.h"
      install -D -m644 "$bld/zlib.pc" "$prefix/lib/pkgconfig/zlib.pc"
      printf '%s\n' "$prefix/lib/libz.a" "$prefix/include/zlib.h" "$prefix/include/zconf.h" \
        "$prefix/lib/pkgconfig/zlib.pc" >"$bld/install_manifest.txt"
      ;;
    *) hook_default "$@" ;;
  esac
}
hook_libpng1_6() {
  case $1 in
    describe) echo "rev1" ;;
    post) prune "$2" "$4" 'share/man/*' ;;
    *) hook_default "$@" ;;
  esac
}
hook_libjpeg_turbo() {
  case $1 in
    describe) echo "rev1" ;;
    # Its command-line tools and docs come with the install step; only the library is wanted.
    post) prune "$2" "$4" 'bin/*' 'share/doc/*' 'share/man/*' ;;
    *) hook_default "$@" ;;
  esac
}
hook_tiff() {
  case $1 in
    describe) echo "rev1" ;;
    post)
      local prefix=$2 want
      # libtiff quietly drops a codec whose library it cannot find; insist on both.
      for want in ZIP_SUPPORT JPEG_SUPPORT; do
        grep -q "^#define $want 1" "$prefix/include/tiffconf.h" ||
          die "libtiff for $prefix was configured without $want"
      done
      prune "$prefix" "$4" 'share/doc/*' 'share/man/*'
      ;;
    *) hook_default "$@" ;;
  esac
}

build_jpeg() {
  local triple=$1
  local common=(-DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF
    -DWITH_JPEG7=OFF -DWITH_12BIT=OFF -DWITH_JAVA=OFF -DWITH_FUZZ=OFF)
  # Remembers that SIMD failed for this version, so a rerun does not try it again.
  local nosimd=$ROOT/$triple/share/quillmere/libjpeg-turbo.nosimd ver=${VERSION[libjpeg-turbo]}
  if [[ ! -f $nosimd || $(cat "$nosimd") != "$ver" ]]; then
    if build_lib "$triple" libjpeg-turbo -- "${common[@]}" -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
         -DCMAKE_ASM_NASM_COMPILER=nasm; then
      rm -f "$nosimd"
      return 0
    fi
    log "libjpeg-turbo with SIMD failed for $triple; building it without SIMD"
    mkdir -p "$(dirname "$nosimd")"
    echo "$ver" >"$nosimd"
  fi
  build_lib "$triple" libjpeg-turbo -- "${common[@]}" -DWITH_SIMD=OFF
}

for triple in "${TRIPLES[@]}"; do
  build_lib "$triple" zlib --
  build_lib "$triple" libpng1.6 zlib -- -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF -DPNG_BUILD_ZLIB=OFF
  build_jpeg "$triple"
  build_lib "$triple" tiff zlib libjpeg-turbo -- -Dtiff-tools=OFF -Dtiff-tests=OFF \
    -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-deprecated=OFF -Dtiff-opengl=OFF -Dcxx=OFF \
    -Dsphinx=OFF -Dzlib=ON -Djpeg=ON -Djpeg12=OFF -Dpixarlog=ON -Dlibdeflate=OFF -Dlzma=OFF \
    -Dzstd=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF
done

# --- optional check --------------------------------------------------------------------

run_check() {
  local dir=$WORK/check
  mkdir -p "$dir"
  cat >"$dir/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.25)
project(qm_mingw_libs_check C)
find_package(PNG REQUIRED)
find_package(JPEG REQUIRED)
find_package(TIFF REQUIRED)
add_executable(app app.c)
target_link_libraries(app PRIVATE PNG::PNG JPEG::JPEG TIFF::TIFF)
target_link_options(app PRIVATE -static -static-libgcc)
# TIFF::TIFF alone must bring the codec libraries the static libtiff calls.
add_executable(tiffonly app.c)
target_compile_definitions(tiffonly PRIVATE TIFF_ONLY)
target_link_libraries(tiffonly PRIVATE TIFF::TIFF)
target_link_options(tiffonly PRIVATE -static -static-libgcc)
EOF
  cat >"$dir/app.c" <<'EOF'
/* Round-trips a small gradient through PNG, JPEG and two TIFF codecs. */
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tiffio.h>
#ifndef TIFF_ONLY
#include <png.h>
#include <jpeglib.h>
#endif

enum { W = 37, H = 23 };
static unsigned char img[W * H * 3];

static void fill(void) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      unsigned char *p = img + (y * W + x) * 3;
      p[0] = (unsigned char)(x * 6); p[1] = (unsigned char)(y * 10); p[2] = 128;
    }
}

static int close_enough(const unsigned char *a, int tol) {
  for (int i = 0; i < W * H * 3; ++i)
    if (abs(a[i] - img[i]) > tol) return 0;
  return 1;
}

#ifndef TIFF_ONLY
struct mem { unsigned char *data; size_t size, pos; };
static void mem_write(png_structp p, png_bytep d, png_size_t n) {
  struct mem *m = png_get_io_ptr(p);
  m->data = realloc(m->data, m->size + n);
  memcpy(m->data + m->size, d, n);
  m->size += n;
}
static void mem_read(png_structp p, png_bytep d, png_size_t n) {
  struct mem *m = png_get_io_ptr(p);
  if (m->pos + n > m->size) png_error(p, "short");
  memcpy(d, m->data + m->pos, n);
  m->pos += n;
}
static void mem_flush(png_structp p) { (void)p; }

static int check_png(void) {
  struct mem m = {0};
  png_structp w = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop wi = png_create_info_struct(w);
  if (setjmp(png_jmpbuf(w))) return 0;
  png_set_write_fn(w, &m, mem_write, mem_flush);
  png_set_IHDR(w, wi, W, H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w, wi);
  for (int y = 0; y < H; ++y) png_write_row(w, img + y * W * 3);
  png_write_end(w, NULL);
  png_destroy_write_struct(&w, &wi);

  unsigned char out[W * H * 3];
  png_structp r = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
  png_infop ri = png_create_info_struct(r);
  if (setjmp(png_jmpbuf(r))) return 0;
  png_set_read_fn(r, &m, mem_read);
  png_read_info(r, ri);
  if (png_get_image_width(r, ri) != W || png_get_image_height(r, ri) != H) return 0;
  for (int y = 0; y < H; ++y) png_read_row(r, out + y * W * 3, NULL);
  png_destroy_read_struct(&r, &ri, NULL);
  free(m.data);
  return close_enough(out, 0);
}

static int check_jpeg(void) {
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr e;
  unsigned char *buf = NULL;
  unsigned long size = 0;
  c.err = jpeg_std_error(&e);
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &buf, &size);
  c.image_width = W; c.image_height = H; c.input_components = 3; c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 98, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < H) {
    JSAMPROW row = img + c.next_scanline * W * 3;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);

  struct jpeg_decompress_struct d;
  unsigned char out[W * H * 3];
  d.err = jpeg_std_error(&e);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, buf, size);
  jpeg_read_header(&d, TRUE);
  jpeg_start_decompress(&d);
  if (d.output_width != W || d.output_height != H || d.output_components != 3) return 0;
  while (d.output_scanline < H) {
    JSAMPROW row = out + d.output_scanline * W * 3;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  free(buf);
  return close_enough(out, 12);
}
#endif

static int check_tiff(const char *path, uint16_t compression, int tol) {
  TIFF *t = TIFFOpen(path, "w");
  if (!t) return 0;
  TIFFSetField(t, TIFFTAG_IMAGEWIDTH, W);
  TIFFSetField(t, TIFFTAG_IMAGELENGTH, H);
  TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
  if (!TIFFSetField(t, TIFFTAG_COMPRESSION, compression)) return 0;
  for (int y = 0; y < H; ++y)
    if (TIFFWriteScanline(t, img + y * W * 3, y, 0) < 0) return 0;
  TIFFClose(t);

  unsigned char out[W * H * 3];
  t = TIFFOpen(path, "r");
  if (!t) return 0;
  uint32_t w = 0, h = 0;
  uint16_t comp = 0;
  TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetField(t, TIFFTAG_COMPRESSION, &comp);
  if (w != W || h != H || comp != compression) return 0;
  for (int y = 0; y < H; ++y)
    if (TIFFReadScanline(t, out + y * W * 3, y, 0) < 0) return 0;
  TIFFClose(t);
  remove(path);
  return close_enough(out, tol);
}

int main(void) {
  fill();
#ifdef TIFF_ONLY
  return check_tiff("qm-check-zip.tif", COMPRESSION_ADOBE_DEFLATE, 0) &&
         check_tiff("qm-check-jpeg.tif", COMPRESSION_JPEG, 12) ? 0 : 1;
#else
  int ok_png = check_png(), ok_jpeg = check_jpeg();
  int ok_zip = check_tiff("qm-check-zip.tif", COMPRESSION_ADOBE_DEFLATE, 0);
  int ok_jtif = check_tiff("qm-check-jpeg.tif", COMPRESSION_JPEG, 12);
  printf("png %s, jpeg %s, tiff/deflate %s, tiff/jpeg %s (libpng %s, %.*s)\n",
         ok_png ? "ok" : "FAILED", ok_jpeg ? "ok" : "FAILED", ok_zip ? "ok" : "FAILED",
         ok_jtif ? "ok" : "FAILED", png_libpng_ver, (int)strcspn(TIFFGetVersion(), "\n"),
         TIFFGetVersion());
  return ok_png && ok_jpeg && ok_zip && ok_jtif ? 0 : 1;
#endif
}
EOF
  local triple result=""
  for triple in "${TRIPLES[@]}"; do
    local bld=$dir/build-$triple
    if ! { cmake -G Ninja -S "$dir" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$(toolchain_for "$triple")" \
             -DQM_MINGW_PREFIX="$ROOT/$triple" -DCMAKE_BUILD_TYPE=Release &&
           cmake --build "$bld"; } >"$dir/$triple.log" 2>&1; then
      tail -n 40 "$dir/$triple.log" >&2
      die "check program failed to build for $triple"
    fi
    if x86_64-w64-mingw32-objdump -p "$bld/app.exe" "$bld/tiffonly.exe" |
         grep -iE 'DLL Name: (lib(png|jpeg|tiff|z|gcc|stdc|winpthread)|zlib)' >&2; then
      die "check program for $triple needs the DLLs above"
    fi
    result+=" $triple:linked"
  done
  local wine64=/usr/lib/wine/wine64
  [[ -x $wine64 ]] || wine64=$(dpkg -L wine64 2>/dev/null | grep -m1 -E '/wine64$' || true)
  if [[ -n $wine64 && -x $wine64 ]]; then
    local out exe
    for exe in app tiffonly; do
      out=$(cd "$dir" && WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' DISPLAY='' \
            "$wine64" "$dir/build-x86_64-w64-mingw32/$exe.exe" 2>/dev/null | tr -d '\r') ||
        die "check program $exe failed under wine: $out"
    done
    log "wine x64: $(cd "$dir" && WINEDEBUG=-all "$wine64" build-x86_64-w64-mingw32/app.exe 2>/dev/null | tr -d '\r')"
    result+=" x64-ran-under-wine"
  else
    log "wine64 not installed: the x64 check program was linked but not run"
  fi
  CHECK_RESULT="check:$result"
}

CHECK_RESULT=""
if [[ $CHECK -eq 1 ]]; then run_check; fi

echo "setup-mingw-libs: ${TRIPLES[*]} in $ROOT: zlib ${VERSION[zlib]}, libpng1.6 ${VERSION[libpng1.6]}, libjpeg-turbo ${VERSION[libjpeg-turbo]}, tiff ${VERSION[tiff]}; built $BUILT, up to date $CURRENT, $((SECONDS - START))s${CHECK_RESULT:+; $CHECK_RESULT}"
