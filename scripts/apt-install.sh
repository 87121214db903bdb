#!/usr/bin/env bash
# Installs those of the named Debian packages that are not installed yet (root, or through sudo):
#   scripts/apt-install.sh [--add-i386 | --updated] PACKAGE...
# --add-i386 first adds Debian's i386 architecture where packages are missing and it is not there;
# --updated: the package lists were updated (or tried) just before, so they are not again.
set -euo pipefail
l_AddI386=0
l_Update=1
[ "${1:-}" = --add-i386 ] && { l_AddI386=1; shift; }
[ "${1:-}" = --updated ] && { l_Update=0; shift; }
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
# A mirror being synced serves an index or a package that does not match the release file, for a
# few minutes or (seen here) for two hours and more ("File has unexpected size"); apt then fails
# the whole command. A step that failed on a fetch is tried again after a pause; one that failed
# otherwise (a package that cannot be installed) fails at once. An update that still fails leaves
# the indexes it could fetch, and the install goes on from those: an index of security updates
# missing for one architecture costs nothing where the main archive holds the same or newer
# versions, and where it does not, the install says which package it cannot take.
l_Log="$(mktemp)"
trap 'rm -f "$l_Log"' EXIT
retried() {  # retried TRIES COMMAND...
  local l_Tries="$1" l_Try
  shift
  for ((l_Try = 1; ; l_Try++)); do
    "$@" 2>&1 | tee "$l_Log" && return 0
    ((l_Try < l_Tries)) && grep -qE 'Failed to fetch|unexpected size|Hash Sum mismatch|Temporary failure|Could not connect' "$l_Log" || return 1
    echo "apt-install.sh: '$*' failed to fetch (try $l_Try of $l_Tries); trying again in $((l_Try * 20)) s" >&2
    sleep $((l_Try * 20))
  done
}
[ $l_Update -eq 0 ] || retried 3 $l_Sudo apt-get update -q ||
  echo "apt-install.sh: apt-get update failed; installing from the package indexes it could fetch" >&2
retried 5 $l_Sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${l_Missing[@]}"
