#!/usr/bin/env bash
# Writes the Windows package's third-party notices on standard output:
#   scripts/windows-notices.sh DEPS_PREFIX BUILD_DIR
# every third-party component in the package, with its version and its licence's full text.
set -euo pipefail
l_Deps="$1"
l_Build="$2"
l_Gcc="$(i686-w64-mingw32-gcc-posix -dumpversion)"
l_Mingw="$(dpkg-query -W -f '${Version}' mingw-w64-i686-dev 2>/dev/null || echo unknown)"

cat <<TEXT
Third-party components in the Windows package of tunewright
===========================================================

tunewright's own code, samples, artwork, themes and songs are under the zlib
licence (LICENSE.txt). These parts of the package are not ours:

Built from these sources (Debian's source packages where named so):
TEXT
while read -r l_Line; do echo "  $l_Line"; done <"$l_Deps/share/versions.txt"
cat <<TEXT

  zlib, libpng, FreeType, FTGL and SDL_image (zlib licence; libpng licence;
    FreeType licence; MIT; zlib licence) are linked into the programs.
  SDL 1.2 (GNU LGPL 2.1) is SDL.dll; libsndfile (GNU LGPL 2.1) is
    libsndfile.dll, built without its codec libraries. Both may be replaced
    by any compatible build of the same library.
  The GCC runtime (libstdc++ and libgcc of GCC $l_Gcc, GPL 3 with the GCC
    Runtime Library Exception), linked into each program and DLL, and
    winpthreads (libwinpthread-1.dll, mingw-w64 $l_Mingw, MIT-style licence),
    from Debian's mingw-w64 packages.
  The FreeSans font (gfx/FreeSans.ttf, GNU GPL 3 with the font exception; see
    below).

The licence texts follow.
TEXT
for l_File in "$l_Deps"/share/licenses/*.txt; do
  printf '\n-------------------------------------------------------------------------------\n%s\n\n' \
    "$(basename "$l_File" .txt)"
  cat "$l_File"
done
printf '\n-------------------------------------------------------------------------------\nmingw-w64 (start-up code in every program, and winpthreads)\n\n'
cat /usr/share/doc/mingw-w64-common/copyright
printf '\n-------------------------------------------------------------------------------\nFreeSans\n\n'
cat "$(dirname "$0")/../packaging/FreeSans-NOTICE.txt"
