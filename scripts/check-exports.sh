#!/usr/bin/env bash
# Compares what libtunewright.so (nm -D) or libtunewright.dll (its export table) exports with its
# version script: every exported symbol must
# match a pattern the script lists, every function of the C header must be exported, the engine
# handles must be there, and no weak copy of a template or inline function may leak out.
#   check-exports.sh LIBRARY VERSION_SCRIPT C_HEADER
set -euo pipefail
l_Library="$1"
l_Map="$2"
l_Header="$3"
l_Failed=0

# The patterns between "global:" and "local:", one per line, without C++ block syntax or comments.
mapfile -t l_Patterns < <(sed -e 's|/\*.*\*/||' "$l_Map" | sed -n '/global:/,/local:/p' \
  | grep -v -e 'global:' -e 'local:' -e 'extern "C++"' -e '^[[:space:]]*};' \
  | sed -e 's/^[[:space:]]*//' -e 's/;[[:space:]]*$//' | grep -v '^$')
[ ${#l_Patterns[@]} -gt 0 ] || { echo "no patterns read from $l_Map"; exit 1; }

# "TYPE NAME" of every defined dynamic symbol, names demangled. A Windows DLL's export table has
# no symbol types: its entries count as defined functions ("T").
ListExports()
{
  case "$l_Library" in
    *.dll) objdump -p "$l_Library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' \
             | sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/T \1/p' ;;
    *) nm -D --defined-only "$l_Library" | awk '{ print $2, $3 }' ;;
  esac
}
mapfile -t l_Symbols < <(ListExports \
  | while read -r l_Type l_Name; do printf '%s %s\n' "$l_Type" "$(c++filt "$l_Name")"; done)

for l_Entry in "${l_Symbols[@]}"; do
  l_Type="${l_Entry%% *}"
  l_Name="${l_Entry#* }"
  if [[ "$l_Type" == [WVwv] ]]; then
    echo "weak symbol exported: $l_Name"
    l_Failed=1
  fi
  l_Listed=0
  for l_Pattern in "${l_Patterns[@]}"; do
    # shellcheck disable=SC2053  # the pattern is a glob on purpose
    [[ "$l_Name" == $l_Pattern ]] && { l_Listed=1; break; }
  done
  if [ $l_Listed -eq 0 ]; then
    echo "exported but not in the version script: $l_Name"
    l_Failed=1
  fi
done

l_Names="$(printf '%s\n' "${l_Symbols[@]}" | cut -d' ' -f2-)"
for l_Function in $(sed -n 's/^ORG_API[^(]*[^a-z0-9_]\(tw_[a-z0-9_]*\)(.*/\1/p' "$l_Header"); do
  grep -qx "$l_Function" <<<"$l_Names" || { echo "C interface function not exported: $l_Function"; l_Failed=1; }
done
for l_Handle in Org::Device Org::MasterCG; do
  grep -qx "$l_Handle" <<<"$l_Names" || { echo "engine handle not exported: $l_Handle"; l_Failed=1; }
done

[ $l_Failed -eq 0 ] && echo "exports of $(basename "$l_Library") match $(basename "$l_Map") (${#l_Symbols[@]} symbols)"
exit $l_Failed
