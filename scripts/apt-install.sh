#!/usr/bin/env bash
# Installs those of the named Debian packages that are not installed yet (root, or through sudo):
#   scripts/apt-install.sh [--add-i386] PACKAGE...
# --add-i386 first adds Debian's i386 architecture where packages are missing and it is not there.
set -euo pipefail
l_AddI386=0
[ "${1:-}" = --add-i386 ] && { l_AddI386=1; shift; }
l_Missing=()
for l_Package in "$@"; do
  dpkg-query -W -f='${Status}' "$l_Package" 2>/dev/null | grep -q "install ok installed" || l_Missing+=("$l_Package")
done
[ ${#l_Missing[@]} -eq 0 ] && exit 0

l_Sudo=""
[ "$(id -u)" -eq 0 ] || l_Sudo="sudo"
echo "Installing: ${l_Missing[*]}"
if [ $l_AddI386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $l_Sudo dpkg --add-architecture i386
fi
$l_Sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $l_Sudo apt-get install -y -q --no-install-recommends "${l_Missing[@]}"
