#!/usr/bin/env python3
"""The rules the C interface keeps once, in <tunewright/tunewright.h> (TW_RESAMPLERS, TW_ERRORS,
TW_MIDI_REPORT_FIELDS and its numeric defines), read for what is written in other languages.

  tables.py js HEADER OUTPUT           writes the JavaScript package's tables.js (the web build)
  tables.py check HEADER FILE...       fails when a file's generated lines are not the header's
  tables.py update HEADER FILE...      writes them again

A generated stretch of a committed file is the lines after one holding "tables: NAME" and before
the next one holding "tables: end"; NAME is a generator of STRETCHES below.
"""
import json
import re
import sys


def Read(p_Header):
    with open(p_Header, encoding="utf-8") as l_File:
        return l_File.read()


def Rows(p_Text, p_Macro):
    """The argument lists of the X(...) rows of the list macro p_Macro, as strings and words."""
    l_Start = p_Text.index("#define %s(X)" % p_Macro)
    l_Body = []
    for l_Line in p_Text[l_Start:].splitlines()[1:]:
        l_Body.append(l_Line.rstrip().rstrip("\\"))
        if not l_Line.rstrip().endswith("\\"):
            break
    l_Token = re.compile(r'\s*("(?:[^"\\]|\\.)*"|[^,()\s]+)\s*(,|\))')
    l_Rows = []
    for l_Line in l_Body:
        l_At = l_Line.index("X(") + 2
        l_Row = []
        while True:
            l_Match = l_Token.match(l_Line, l_At)
            l_Word = l_Match.group(1)
            l_Row.append(json.loads(l_Word) if l_Word.startswith('"') else l_Word)
            l_At = l_Match.end()
            if l_Match.group(2) == ")":
                break
        l_Rows.append(l_Row)
    return l_Rows


def Defines(p_Text):
    """Every numeric #define TW_... of the header, by name."""
    return {l_Name: float(l_Value) if "." in l_Value else int(l_Value)
            for l_Name, l_Value in re.findall(r"^#define (TW_\w+) (-?[0-9][0-9.]*)\b", p_Text, re.M)}


def Resamplers(p_Text):
    """(number, name, taps, label) for each resampler, in the order of their numbers."""
    l_Defines = Defines(p_Text)
    return [(l_Defines[l_Number], l_Name, int(l_Taps), l_Label)
            for l_Number, l_Name, l_Taps, l_Label in Rows(p_Text, "TW_RESAMPLERS")]


def Errors(p_Text):
    """(name, number, sentence) for each result code."""
    l_Defines = Defines(p_Text)
    return [(l_Name, l_Defines[l_Name], l_Sentence) for l_Name, l_Sentence in Rows(p_Text, "TW_ERRORS")]


def MidiReportFields(p_Text):
    """(field, kind) for each field of tw_midi_report, in order."""
    return [(l_Field, l_Kind) for l_Field, l_Kind, _ in Rows(p_Text, "TW_MIDI_REPORT_FIELDS")]


def Choice(p_Words):
    """"a, b or c"."""
    return p_Words[0] if len(p_Words) == 1 else ", ".join(p_Words[:-1]) + " or " + p_Words[-1]


def Camel(p_Name):
    l_First, *l_Rest = p_Name.split("_")
    return l_First + "".join(l_Word.capitalize() for l_Word in l_Rest)


def JavaScript(p_Text):
    """tables.js: the JavaScript package's copy of the header's tables, written at build time."""
    l_Defines = Defines(p_Text)
    l_Fields = MidiReportFields(p_Text)
    l_Limits = ["MIN_TEMPO_FACTOR", "MAX_TEMPO_FACTOR", "MAX_PITCH_SHIFT", "MAX_TRACK_GAIN", "MAX_QUANTIZE",
                "TRACK_COUNT", "TRACK_DRUMS", "WAV_HEADER_BYTES"]
    l_Lines = ["// Written by tools/tables/tables.py from tunewright.h at build time: do not edit.",
               "export const INTERPOLATIONS = %s;" % json.dumps([l_Row[1] for l_Row in Resamplers(p_Text)]),
               "export const ERRORS = %s;" % json.dumps({l_Name: l_Number for l_Name, l_Number, _ in Errors(p_Text)}),
               "// The fields of tw_midi_report, 32 bits each, in order, and those that are flags.",
               "export const MIDI_REPORT = %s;" % json.dumps([Camel(l_Field) for l_Field, _ in l_Fields]),
               "export const MIDI_FLAGS = %s;" % json.dumps([Camel(l_Field) for l_Field, l_Kind in l_Fields
                                                             if l_Kind == "FLAG"])]
    l_Lines += ["export const %s = %s;" % (l_Name, json.dumps(l_Defines["TW_" + l_Name])) for l_Name in l_Limits]
    return "\n".join(l_Lines) + "\n"


def DtsInterpolation(p_Text):
    l_Names = [l_Row[1] for l_Row in Resamplers(p_Text)]
    return ["/** The decoder's resamplers by name, or by number: a name's index in `interpolations` (0-%d). */"
            % (len(l_Names) - 1),
            "export type Interpolation = %s | number;" % " | ".join("'%s'" % l_Name for l_Name in l_Names)]


def ManResamplers(p_Text):
    return Choice(["**%s**" % l_Row[1] for l_Row in Resamplers(p_Text)])


STRETCHES = {"interpolation-type": DtsInterpolation}
# The words a manual page source holds in braces, replaced by mangen.py.
MAN_WORDS = {"resamplers": ManResamplers}


def Regenerated(p_Text, p_Lines):
    """p_Lines (a file's lines) with each generated stretch written again from the header."""
    l_Out, l_Skipping = [], False
    for l_Line in p_Lines:
        l_Match = re.search(r"tables: ([\w-]+)", l_Line)
        if l_Skipping and not (l_Match and l_Match.group(1) == "end"):
            continue
        l_Out.append(l_Line)
        l_Skipping = False
        if l_Match and l_Match.group(1) != "end":
            l_Out += [l_New + "\n" for l_New in STRETCHES[l_Match.group(1)](p_Text)]
            l_Skipping = True
    return l_Out


def main(p_Args):
    if len(p_Args) < 3 or p_Args[0] not in ("js", "check", "update"):
        sys.exit(__doc__)
    l_Text = Read(p_Args[1])
    if p_Args[0] == "js":
        with open(p_Args[2], "w", encoding="utf-8") as l_File:
            l_File.write(JavaScript(l_Text))
        return 0
    l_Stale = []
    for l_Path in p_Args[2:]:
        with open(l_Path, encoding="utf-8") as l_File:
            l_Lines = l_File.readlines()
        l_New = Regenerated(l_Text, l_Lines)
        if l_New != l_Lines:
            l_Stale.append(l_Path)
            if p_Args[0] == "update":
                with open(l_Path, "w", encoding="utf-8") as l_File:
                    l_File.writelines(l_New)
    if l_Stale and p_Args[0] == "check":
        sys.stderr.write("tables.py: not as %s has it (run tools/tables/tables.py update): %s\n"
                         % (p_Args[1], " ".join(l_Stale)))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
