#!/usr/bin/env bash
# Builds the third-party libraries of the Windows programs with the mingw-w64 cross compiler:
#   scripts/build-windows-deps.sh ARCH     (ARCH: i686 or x86_64)
# prints the prefix they are installed in: build/windows-deps/ARCH-KEY, KEY naming the source
# versions and this script, so a second run with the same versions reuses the prefix.
#
# The sources are Debian's own source packages, the versions the Linux build uses (or, where the
# archive no longer serves that version, the one it serves). apt fetches them against the machine's
# own (signed) package indexes, through a private apt directory, so the machine's apt setup is not
# touched. Where the Debian patch tarball of a version is not served, the .orig tarball is built
# as it is. SDL_image comes from the project's shared third-party folder (../shared beside the
# repository), since the archive does not serve its files.
#
# LGPL libraries (SDL, libsndfile) become DLLs; the permissive ones are linked statically.
set -euo pipefail

l_Arch="${1:?usage: build-windows-deps.sh i686|x86_64}"
case "$l_Arch" in i686 | x86_64) ;; *) echo "build-windows-deps.sh: unknown architecture '$l_Arch'" >&2; exit 2 ;; esac
l_Host="$l_Arch-w64-mingw32"
l_Root="$(cd "$(dirname "$0")/.." && pwd)"
l_Jobs="${TUNEWRIGHT_JOBS:-$(nproc)}"
l_SdlImageTarball="$(cd "$l_Root/.." && pwd)/shared/third-party/SDL_image-1.2-2ffb2e3.tar.gz"
l_SdlImageSha256="dbbf1b3198b578d79abaa36a9354f28fad9e2e6b2c3b2ef9ce0c63e9f7a85669"
if [ ! -f "$l_SdlImageTarball" ]; then
  echo "build-windows-deps.sh: SDL_image's source is missing: $l_SdlImageTarball" >&2
  echo "(the Windows build expects the project's shared/third-party folder beside the repository)" >&2
  exit 1
fi
echo "$l_SdlImageSha256  $l_SdlImageTarball" | sha256sum -c --quiet - >&2

# A private apt directory with a source entry for every binary entry of the machine's own lists.
l_Apt="$l_Root/build/windows-deps/apt"
mkdir -p "$l_Apt/etc/sources.list.d" "$l_Apt/lists/partial" "$l_Apt/cache/archives/partial" "$l_Root/build/windows-deps/src"
: >"$l_Apt/etc/sources.list"
for l_List in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [ -f "$l_List" ] && sed -n 's/^deb \(.*\)$/deb-src \1/p' "$l_List" >>"$l_Apt/etc/sources.list"
done
for l_Sources in /etc/apt/sources.list.d/*.sources; do
  [ -f "$l_Sources" ] && sed 's/^Types:.*\bdeb\b.*$/Types: deb-src/' "$l_Sources" >"$l_Apt/etc/sources.list.d/$(basename "$l_Sources")"
done
l_AptOptions=(-o "Dir::Etc::SourceList=$l_Apt/etc/sources.list" -o "Dir::Etc::SourceParts=$l_Apt/etc/sources.list.d"
  -o "Dir::State::Lists=$l_Apt/lists" -o "Dir::Cache=$l_Apt/cache" -o "APT::Sandbox::User=root")
# The indexes are refreshed once a day at most.
if [ -z "$(find "$l_Apt/lists" -maxdepth 1 -name '*Sources*' -mmin -1440 2>/dev/null | head -1)" ]; then
  apt-get -q "${l_AptOptions[@]}" update >&2
fi

# The source version of a library: that of the Linux build's package if served, else the newest served.
SourceVersion()
{
  local p_Source="$1" p_Binary="$2" l_Installed l_Served
  l_Installed="$(dpkg-query -W -f '${source:Version}' "$p_Binary" 2>/dev/null || true)"
  l_Served="$(apt-cache "${l_AptOptions[@]}" showsrc "$p_Source" | sed -n 's/^Version: //p' | sort -V)"
  if [ -n "$l_Installed" ] && grep -qxF "$l_Installed" <<<"$l_Served"; then
    echo "$l_Installed"
  else
    tail -1 <<<"$l_Served"
  fi
}

declare -A l_Versions
l_Libraries=(zlib:zlib1g-dev libpng1.6:libpng-dev libsdl1.2:libsdl1.2-dev freetype:libfreetype-dev
  ftgl:libftgl-dev libsndfile:libsndfile1-dev)
# Raise l_Recipe when a change to this script changes what it builds.
l_Recipe=2
l_Key="recipe=$l_Recipe gcc=$("$l_Host-gcc-posix" -dumpversion)"
[ "$l_Arch" = x86_64 ] && l_Key+=" gtest=$(dpkg-query -W -f '${Version}' libgtest-dev)"
for l_Pair in "${l_Libraries[@]}"; do
  l_Source="${l_Pair%%:*}"
  l_Versions[$l_Source]="$(SourceVersion "$l_Source" "${l_Pair#*:}")"
  [ -n "${l_Versions[$l_Source]}" ] || { echo "build-windows-deps.sh: no source of $l_Source is served" >&2; exit 1; }
  l_Key+=" $l_Source=${l_Versions[$l_Source]}"
done
l_Key+=" sdl-image=$l_SdlImageSha256"
l_Prefix="$l_Root/build/windows-deps/$l_Arch-$(echo "$l_Key" | sha256sum | cut -c1-12)"
if [ -f "$l_Prefix/.complete" ]; then
  echo "$l_Prefix"
  exit 0
fi

# Fetches a source package (apt checks it against the signed index) and unpacks it into $2 with
# Debian's patches applied, or the bare .orig tarball where the patch tarball is not served.
l_Downloads="$l_Root/build/windows-deps/src"
Unpack()
{
  local p_Source="$1" p_Into="$2" l_Version="${l_Versions[$1]}" l_Upstream l_Orig l_Debian
  l_Upstream="${l_Version#*:}"
  l_Upstream="${l_Upstream%-*}"
  (cd "$l_Downloads" && apt-get -q "${l_AptOptions[@]}" source --download-only "$p_Source=$l_Version" >&2) ||
    echo "($p_Source: not every file of $l_Version is served; building its .orig tarball)" >&2
  l_Orig="$(ls "$l_Downloads/${p_Source}_${l_Upstream}".orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -1 || true)"
  [ -n "$l_Orig" ] || { echo "build-windows-deps.sh: the source of $p_Source $l_Version could not be fetched" >&2; exit 1; }
  rm -rf "$p_Into" && mkdir -p "$p_Into"
  tar -xf "$l_Orig" -C "$p_Into" --strip-components=1
  # Further upstream tarballs (.orig-NAME) unpack into the folder NAME, as dpkg-source does.
  local l_Component l_Name
  for l_Component in "$l_Downloads/${p_Source}_${l_Upstream}".orig-*.tar.*; do
    case "$l_Component" in *.asc | *"*"*) continue ;; esac
    l_Name="${l_Component##*.orig-}"
    l_Name="${l_Name%%.tar.*}"
    mkdir -p "$p_Into/$l_Name"
    tar -xf "$l_Component" -C "$p_Into/$l_Name" --strip-components=1
  done
  l_Debian="$l_Downloads/${p_Source}_${l_Version#*:}.debian.tar.xz"
  if [ -f "$l_Debian" ]; then
    tar -xf "$l_Debian" -C "$p_Into"
    if [ -f "$p_Into/debian/patches/series" ]; then
      local l_Patch
      for l_Patch in $(sed -e 's/#.*//' "$p_Into/debian/patches/series"); do
        patch -s -p1 --batch -d "$p_Into" -i "$p_Into/debian/patches/$l_Patch" >&2
      done
    fi
  fi
  echo "$p_Source $l_Version ($( [ -f "$l_Debian" ] && echo "with Debian's patches" || echo ".orig tarball"))" >>"$l_Prefix/share/versions.txt"
}

l_Work="$l_Root/build/windows-deps/work-$l_Arch"
rm -rf "$l_Prefix" "$l_Work"
mkdir -p "$l_Prefix/share" "$l_Work"
export PATH="$l_Prefix/bin:$PATH"
export PKG_CONFIG_LIBDIR="$l_Prefix/lib/pkgconfig"
export PKG_CONFIG_PATH=""
l_Configure=(--host="$l_Host" --prefix="$l_Prefix")
export CPPFLAGS="-I$l_Prefix/include"
export LDFLAGS="-L$l_Prefix/lib"
export CC="$l_Host-gcc-posix" CXX="$l_Host-g++-posix" AR="$l_Host-ar" RANLIB="$l_Host-ranlib"

echo "== zlib" >&2
Unpack zlib "$l_Work/zlib"
(cd "$l_Work/zlib" && CHOST="$l_Host" ./configure --static --prefix="$l_Prefix" >&2 && make -j"$l_Jobs" libz.a >&2 &&
  make install >&2)

echo "== libpng" >&2
Unpack libpng1.6 "$l_Work/libpng"
(cd "$l_Work/libpng" && ./configure "${l_Configure[@]}" --disable-shared --enable-static >&2 &&
  make -j"$l_Jobs" >&2 && make install >&2)

echo "== SDL 1.2" >&2
Unpack libsdl1.2 "$l_Work/sdl"
(cd "$l_Work/sdl" && ./configure "${l_Configure[@]}" --disable-static --enable-shared --disable-stdio-redirect \
  --disable-directx --disable-cdrom --disable-joystick >&2 && make -j"$l_Jobs" >&2 && make install >&2)

echo "== SDL_image 1.2" >&2
rm -rf "$l_Work/sdl-image" && mkdir -p "$l_Work/sdl-image"
tar -xzf "$l_SdlImageTarball" -C "$l_Work/sdl-image" --strip-components=1
echo "SDL_image 1.2 branch, commit 2ffb2e3e1eba037897164e3ac6c67570d8bccd79 (shared/third-party)" >>"$l_Prefix/share/versions.txt"
(cd "$l_Work/sdl-image" && ./configure "${l_Configure[@]}" --with-sdl-prefix="$l_Prefix" --disable-shared --enable-static \
  LIBPNG_CFLAGS="-I$l_Prefix/include" LIBPNG_LIBS="-L$l_Prefix/lib -lpng16 -lz" \
  --disable-jpg --disable-tif --disable-webp --enable-png --disable-png-shared \
  --disable-bmp --disable-gif --disable-lbm --disable-pcx --disable-pnm --disable-tga --disable-xcf --disable-xpm \
  --disable-xv >&2 && make -j"$l_Jobs" libSDL_image.la >&2 &&
  make install-libLTLIBRARIES install-libSDL_imageincludeHEADERS >&2)

echo "== FreeType" >&2
Unpack freetype "$l_Work/freetype"
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
    "${l_Versions[ftgl]%%-*}" >config.h
  for l_File in $(find . -name '*.cpp'); do
    "$CXX" -O2 -DFTGL_LIBRARY_STATIC -I. -I"$l_Prefix/include/freetype2" -c "$l_File" -o "${l_File%.cpp}.o"
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
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$l_Prefix" -DBUILD_SHARED_LIBS=ON \
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

# The licence texts that the package's notices file quotes.
mkdir -p "$l_Prefix/share/licenses"
cp "$l_Work/zlib/README" "$l_Prefix/share/licenses/zlib.txt"
cp "$l_Work/libpng/LICENSE" "$l_Prefix/share/licenses/libpng.txt"
cp "$l_Work/sdl/COPYING" "$l_Prefix/share/licenses/SDL.txt"
cp "$l_Work/sdl-image/COPYING" "$l_Prefix/share/licenses/SDL_image.txt"
cp "$l_Work/freetype/docs/FTL.TXT" "$l_Prefix/share/licenses/FreeType.txt"
cp "$l_Work/ftgl/COPYING" "$l_Prefix/share/licenses/FTGL.txt"
cp "$l_Work/libsndfile/COPYING" "$l_Prefix/share/licenses/libsndfile.txt"
rm -rf "$l_Work"
touch "$l_Prefix/.complete"
echo "$l_Prefix"
