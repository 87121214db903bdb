#!/usr/bin/env bash
# Installs the Debian packages that the Windows builds and their tests need:
#   scripts/install-windows-deps.sh [i686|x86_64]
# with no processor named, those of the Windows stage on this machine: the 32-bit build's, and the
# 64-bit build's where 32-bit programs cannot run (scripts/test-windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
l_Runs32=0
scripts/runs-i686.sh && l_Runs32=1
l_Arches=("$@")
if [ ${#l_Arches[@]} -eq 0 ]; then
  l_Arches=(i686)
  [ $l_Runs32 -eq 1 ] || l_Arches+=(x86_64)
fi

# The cross compiler for each processor, Wine (for the tests) and zip; the native build needs its
# own packages.
l_Packages=(mingw-w64-tools binutils-mingw-w64 wine wine64 zip unzip patch advancecomp)
for l_Arch in "${l_Arches[@]}"; do
  case "$l_Arch" in i686 | x86_64) ;; *) echo "install-windows-deps.sh: unknown processor '$l_Arch'" >&2; exit 2 ;; esac
  l_Packages+=("g++-mingw-w64-${l_Arch//_/-}-posix")
done
# Where 32-bit programs run, the 32-bit package's programs and tests run too, under Debian's 32-bit
# Wine with the 32-bit OpenGL and ALSA libraries the player loads. Where those cannot be installed
# (seen here: a mirror whose i386 index of security updates stayed broken, so that no i386 library
# matched the installed amd64 one), the machine is taken for one that runs no 32-bit programs, and
# says so: the 64-bit build's programs and tests run under wine64 instead, and the Windows stage
# reports that the 32-bit package was only checked. The next test run tries the install again.
if [ $l_Runs32 -eq 1 ] && [[ " ${l_Arches[*]} " == *" i686 "* ]]; then
  scripts/apt-install.sh --add-i386 "${l_Packages[@]}" wine32:i386 libgl1:i386 libglx-mesa0:i386 \
    libgl1-mesa-dri:i386 libasound2:i386 libasound2-plugins:i386 && exit 0
  mkdir -p build/windows
  echo "32-bit Wine could not be installed on $(date -u '+%F %H:%M UTC') (scripts/install-windows-deps.sh's" \
    "output says why): the 32-bit Windows programs do not run here until it is" >build/windows/no-wine32
  echo "install-windows-deps.sh: $(cat build/windows/no-wine32); the 64-bit build runs under wine64 instead" >&2
  [[ " ${l_Packages[*]} " == *" g++-mingw-w64-x86-64-posix "* ]] || l_Packages+=(g++-mingw-w64-x86-64-posix)
  exec scripts/apt-install.sh --updated "${l_Packages[@]}"
fi
exec scripts/apt-install.sh "${l_Packages[@]}"
