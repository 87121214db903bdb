#!/usr/bin/env bash
# Builds the third-party libraries of the Windows programs with the mingw-w64 cross compiler:
#   scripts/build-windows-deps.sh ARCH     (ARCH: i686 or x86_64)
# prints the prefix they are installed in, CACHE/windows-deps/ARCH-KEY, where CACHE is
# TUNEWRIGHT_CACHE (default ~/.cache/tunewright, outside the clone) and KEY is a digest of every
# input: this script, the pinned sources under third_party/ and the compilers. Another clone on the
# same machine with the same inputs reuses the prefix.
#
# The sources are the tarballs under third_party/ (see its README), each checked against its
# SHA256SUMS before it is unpacked; Debian's patches are applied where a folder holds them. Nothing
# is fetched.
#
# LGPL libraries (SDL, libsndfile) become DLLs; the permissive ones are linked statically.
set -euo pipefail

l_Arch="${1:?usage: build-windows-deps.sh i686|x86_64}"
case "$l_Arch" in i686 | x86_64) ;; *) echo "build-windows-deps.sh: unknown architecture '$l_Arch'" >&2; exit 2 ;; esac
l_Host="$l_Arch-w64-mingw32"
l_Root="$(cd "$(dirname "$0")/.." && pwd)"
l_Jobs="${TUNEWRIGHT_JOBS:-$(nproc)}"
l_ThirdParty="$l_Root/third_party"
l_Cache="${TUNEWRIGHT_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tunewright}/windows-deps"

l_Key="$(
  cat "$0" "$l_ThirdParty"/*/SHA256SUMS "$l_ThirdParty"/*/series "$l_ThirdParty"/*/LICENSE.txt "$l_ThirdParty"/*/README.md
  "$l_Host-gcc-posix" --version | head -1
  dpkg-query -W -f '${Version}\n' "mingw-w64-$(tr _ - <<<"$l_Arch")-dev" 2>/dev/null || true
  [ "$l_Arch" = x86_64 ] && dpkg-query -W -f '${Version}\n' libgtest-dev
  true
)"
l_Prefix="$l_Cache/$l_Arch-$(sha256sum <<<"$l_Key" | cut -c1-16)"
mkdir -p "$l_Cache"
# One build of a prefix at a time: a second clone building at once waits, then reuses it.
exec 9>"$l_Prefix.lock"
flock 9
if [ -f "$l_Prefix/.complete" ]; then
  echo "$l_Prefix"
  exit 0
fi

# Checks a library's pinned files and unpacks it into $2: the upstream tarball, and Debian's
# patches in the order of the folder's series (or Debian's own) where the folder holds them.
Unpack()
{
  local p_Library="$1" p_Into="$2" l_Folder="$l_ThirdParty/$1" l_Upstream l_Debian l_Series l_Patch
  (cd "$l_Folder" && sha256sum --check --quiet --strict SHA256SUMS) >&2 ||
    { echo "build-windows-deps.sh: third_party/$p_Library does not match its SHA256SUMS" >&2; exit 1; }
  l_Upstream="$(ls "$l_Folder"/*.tar.* | grep -v '\.debian\.tar\.' | head -1)"
  rm -rf "$p_Into" && mkdir -p "$p_Into"
  tar -xf "$l_Upstream" -C "$p_Into" --strip-components=1
  l_Debian="$(ls "$l_Folder"/*.debian.tar.* 2>/dev/null | head -1 || true)"
  if [ -n "$l_Debian" ]; then
    tar -xf "$l_Debian" -C "$p_Into"
    l_Series="$p_Into/debian/patches/series"
    [ -f "$l_Folder/series" ] && l_Series="$l_Folder/series"
    for l_Patch in $(sed -e 's/#.*//' "$l_Series"); do
      patch -s -p1 --batch -d "$p_Into" -i "$p_Into/debian/patches/$l_Patch" >&2
    done
  fi
  # The notices name each licence text after the library (the first word of its README's title).
  cp "$l_Folder/LICENSE.txt" "$l_Prefix/share/licenses/$(sed -n '1s/^# \([^ ]*\).*/\1/p' "$l_Folder/README.md").txt"
  echo "$(sed -n '1s/^# //p' "$l_Folder/README.md")$([ -n "$l_Debian" ] && echo ", with Debian's patches")" \
    >>"$l_Prefix/share/versions.txt"
}

l_Work="$l_Prefix.work"
rm -rf "$l_Prefix" "$l_Work"
mkdir -p "$l_Prefix/share/licenses" "$l_Work"
export PATH="$l_Prefix/bin:$PATH"
export PKG_CONFIG_LIBDIR="$l_Prefix/lib/pkgconfig"
export PKG_CONFIG_PATH=""
l_Configure=(--host="$l_Host" --prefix="$l_Prefix")
export CPPFLAGS="-I$l_Prefix/include"
export LDFLAGS="-L$l_Prefix/lib"
# Each function and datum in a section of its own, so that a program linking a static library
# keeps only what it calls. Optimised for size: none of them runs in the mixer's inner loops (the
# player draws a few frames a second with FreeType and FTGL, and libsndfile writes what is mixed),
# and the package has a size limit.
export CFLAGS="-Os -ffunction-sections -fdata-sections" CXXFLAGS="-Os -ffunction-sections -fdata-sections"
export CC="$l_Host-gcc-posix" CXX="$l_Host-g++-posix" AR="$l_Host-ar" RANLIB="$l_Host-ranlib"

echo "== zlib" >&2
Unpack zlib "$l_Work/zlib"
(cd "$l_Work/zlib" && CHOST="$l_Host" ./configure --static --prefix="$l_Prefix" >&2 && make -j"$l_Jobs" libz.a >&2 &&
  make install >&2)

echo "== libpng" >&2
Unpack libpng "$l_Work/libpng"
(cd "$l_Work/libpng" && ./configure "${l_Configure[@]}" --disable-shared --enable-static >&2 &&
  make -j"$l_Jobs" >&2 && make install >&2)

# The DLLs carry the parts of GCC's runtime they use (the compiler driver passes that on through
# libtool), so that no DLL of that runtime ships.
echo "== SDL 1.2" >&2
Unpack sdl "$l_Work/sdl"
(cd "$l_Work/sdl" && CC="$CC -static-libgcc" ./configure "${l_Configure[@]}" --disable-static --enable-shared --disable-stdio-redirect \
  --disable-directx --disable-cdrom --disable-joystick >&2 && make -j"$l_Jobs" >&2 && make install >&2)

echo "== SDL_image 1.2" >&2
Unpack sdl-image "$l_Work/sdl-image"
(cd "$l_Work/sdl-image" && ./configure "${l_Configure[@]}" --with-sdl-prefix="$l_Prefix" --disable-shared --enable-static \
  LIBPNG_CFLAGS="-I$l_Prefix/include" LIBPNG_LIBS="-L$l_Prefix/lib -lpng16 -lz" \
  --disable-jpg --disable-tif --disable-webp --enable-png --disable-png-shared \
  --disable-bmp --disable-gif --disable-lbm --disable-pcx --disable-pnm --disable-tga --disable-xcf --disable-xpm \
  --disable-xv >&2 && make -j"$l_Jobs" libSDL_image.la >&2 &&
  make install-libLTLIBRARIES install-libSDL_imageincludeHEADERS >&2)

echo "== FreeType" >&2
Unpack freetype "$l_Work/freetype"
# Only the modules the player's one font (TrueType, unhinted) needs, and the glyph functions FTGL
# calls: a third of the library's code.
printf '%s\n' "FONT_MODULES += truetype" "FONT_MODULES += sfnt" "HINTING_MODULES += autofit" \
  "RASTER_MODULES += smooth" "AUX_MODULES += gzip" "AUX_MODULES += psnames" "BASE_EXTENSIONS += ftbbox.c" \
  "BASE_EXTENSIONS += ftbitmap.c" "BASE_EXTENSIONS += ftglyph.c" >"$l_Work/freetype/modules.cfg"
# FreeType reads gzip-compressed fonts through the zlib already in the package: its own copy of
# zlib's code would define the same names twice in a program that links both.
(cd "$l_Work/freetype" && ./configure "${l_Configure[@]}" --disable-shared --enable-static --with-zlib=yes \
  --without-bzip2 --without-png --without-harfbuzz --without-brotli >&2 && make -j"$l_Jobs" >&2 && make install >&2)

# FTGL's build system looks for a desktop OpenGL it cannot find here; its sources are plain C++ that
# need only FreeType and the system's opengl32/glu32, so they are compiled directly.
echo "== FTGL" >&2
Unpack ftgl "$l_Work/ftgl"
(
  cd "$l_Work/ftgl/src"
  # What FTGL takes from configure: its version, the name of the current function, the GL headers.
  printf '#define PACKAGE_VERSION "%s"\n#define __FUNC__ __func__\n#define HAVE_GL_GL_H 1\n#define HAVE_GL_GLU_H 1\n' \
    "$(sed -n 's/^# FTGL \([0-9.]*\).*/\1/p' "$l_ThirdParty/ftgl/README.md")" >config.h
  for l_File in $(find . -name '*.cpp'); do
    "$CXX" $CXXFLAGS -DFTGL_LIBRARY_STATIC -I. -I"$l_Prefix/include/freetype2" -c "$l_File" -o "${l_File%.cpp}.o"
  done
  rm -f "$l_Prefix/lib/libftgl.a"
  "$AR" rcs "$l_Prefix/lib/libftgl.a" $(find . -name '*.o')
  mkdir -p "$l_Prefix/include/FTGL"
  cp FTGL/*.h "$l_Prefix/include/FTGL/"
) >&2

echo "== libsndfile" >&2
Unpack libsndfile "$l_Work/libsndfile"
cmake -S "$l_Work/libsndfile" -B "$l_Work/libsndfile/build" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$l_Arch" \
  -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_RC_COMPILER="$l_Host-windres" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$l_Prefix" -DBUILD_SHARED_LIBS=ON -DCMAKE_SHARED_LINKER_FLAGS=-static-libgcc \
  -DENABLE_EXTERNAL_LIBS=OFF -DENABLE_MPEG=OFF -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF \
  -DENABLE_CPACK=OFF -DENABLE_PACKAGE_CONFIG=OFF -DINSTALL_PKGCONFIG_MODULE=ON >&2
cmake --build "$l_Work/libsndfile/build" -j"$l_Jobs" >&2
cmake --install "$l_Work/libsndfile/build" >&2

# GoogleTest for the Windows test build, from the sources Debian's libgtest-dev ships.
if [ "$l_Arch" = x86_64 ]; then
  echo "== GoogleTest" >&2
  cmake -S /usr/src/googletest -B "$l_Work/gtest" -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR="$l_Arch" \
    -DCMAKE_C_COMPILER="$CC" -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$l_Prefix" -DBUILD_GMOCK=OFF -DBUILD_SHARED_LIBS=OFF >&2
  cmake --build "$l_Work/gtest" -j"$l_Jobs" >&2
  cmake --install "$l_Work/gtest" >&2
  echo "GoogleTest $(dpkg-query -W -f '${Version}' libgtest-dev) (Debian's libgtest-dev sources; tests only)" \
    >>"$l_Prefix/share/versions.txt"
fi

rm -rf "$l_Work"
touch "$l_Prefix/.complete"
echo "$l_Prefix"
