#!/usr/bin/env python3
"""How far two renders of one song are apart: their 16-bit samples compared one by one.

    compare-renders.py A.wav B.wav

Prints the number of samples, how many differ and by how much at most; exits 1 when any differ
(or the lengths do). Both files must be the renderer's own WAV (a 44-byte header, then 16-bit
samples).
"""
import array
import sys


def Samples(p_Path):
    with open(p_Path, "rb") as l_File:
        l_Bytes = l_File.read()
    l_Samples = array.array("h")
    l_Samples.frombytes(l_Bytes[44 : 44 + (len(l_Bytes) - 44) // 2 * 2])
    if sys.byteorder != "little":
        l_Samples.byteswap()
    return l_Samples


def main():
    l_First, l_Second = Samples(sys.argv[1]), Samples(sys.argv[2])
    l_Differing = 0
    l_Largest = 0
    for l_A, l_B in zip(l_First, l_Second):
        if l_A != l_B:
            l_Differing += 1
            l_Largest = max(l_Largest, abs(l_A - l_B))
    print(
        f"{len(l_First)} and {len(l_Second)} samples, {l_Differing} differ, by up to {l_Largest}"
    )
    return 1 if l_Differing or len(l_First) != len(l_Second) else 0


if __name__ == "__main__":
    sys.exit(main())
