#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs, 1 when it cannot, or when the 32-bit Wine that
# runs the Windows ones could not be installed here (build/windows/no-wine32 says why, from
# scripts/install-windows-deps.sh). Found out by running one, as
# nothing else tells for sure (the kernel's IA-32 emulation may be built in and switched off): a
# program of three instructions that exits with status 0, assembled and linked with binutils.
# Run from the repository's root; the program is made under build/, which is never mounted noexec.
set -uo pipefail
if [ -f build/windows/no-wine32 ]; then
  cat build/windows/no-wine32 >&2
  exit 1
fi
mkdir -p build
l_Dir="$(mktemp -d build/runs-i686.XXXXXX)"
trap 'rm -rf "$l_Dir"' EXIT
printf '.globl _start\n_start:\n\tmovl $1, %%eax\n\txorl %%ebx, %%ebx\n\tint $0x80\n' >"$l_Dir/exit.s"
as --32 -o "$l_Dir/exit.o" "$l_Dir/exit.s" && ld -m elf_i386 -o "$l_Dir/exit" "$l_Dir/exit.o" &&
  "$l_Dir/exit" 2>/dev/null || exit 1
