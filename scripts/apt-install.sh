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
# A mirror being synced serves an index or a package that does not match the release file for a
# few minutes ("File has unexpected size"); apt then fails the whole command. Each step is tried
# again after a pause, five times in all, before the install is given up.
retried() {  # retried COMMAND...
  local l_Try
  for l_Try in 1 2 3 4; do
    "$@" && return 0
    echo "apt-install.sh: '$*' failed (try $l_Try of 5); trying again in $((l_Try * 20)) s" >&2
    sleep $((l_Try * 20))
  done
  "$@"
}
retried $l_Sudo apt-get update -q
retried $l_Sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${l_Missing[@]}"
