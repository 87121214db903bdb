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
# A component whose licence file is the bare GNU LGPL 2.1, when an earlier one already gave that
# licence's text, refers to it rather than repeating it (the package's size limit is tight).
l_LgplFrom=""
for l_File in "$l_Deps"/share/licenses/*.txt; do
  l_Name="$(basename "$l_File" .txt)"
  printf '\n-------------------------------------------------------------------------------\n%s\n\n' "$l_Name"
  l_Head="$(grep -m 2 -v '^[[:space:]]*$' "$l_File" | tr -s '[:space:]' ' ')"
  if [ -n "$l_LgplFrom" ] && [ "$l_Head" = " GNU LESSER GENERAL PUBLIC LICENSE Version 2.1, February 1999 " ]; then
    echo "$l_Name is under the GNU Lesser General Public License, version 2.1, whose full text is"
    echo "given above under $l_LgplFrom."
    continue
  fi
  cat "$l_File"
  if [ -z "$l_LgplFrom" ] && grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$l_File" &&
    grep -q 'Version 2.1, February 1999' "$l_File"; then
    l_LgplFrom="$l_Name"
  fi
done
printf '\n-------------------------------------------------------------------------------\nmingw-w64 (start-up code in every program, and winpthreads)\n\n'
cat /usr/share/doc/mingw-w64-common/copyright
printf '\n-------------------------------------------------------------------------------\nFreeSans\n\n'
cat "$(dirname "$0")/../packaging/FreeSans-NOTICE.txt"
