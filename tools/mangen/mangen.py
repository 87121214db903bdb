#!/usr/bin/env python3
"""Turns a manual page written in a small Markdown-like text into man(7) roff.

The source's first line is "NAME(SECTION) -- summary". Then:
  "## TITLE"          a section heading
  "- TERM"            a tagged paragraph: TERM, then the indented lines below it
  a blank line        a new paragraph
  **bold**, *italic*  inline faces
  {resamplers}        a list the C header keeps (tools/tables/tables.py MAN_WORDS)
Usage: mangen.py SOURCE OUTPUT VERSION HEADER
"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tables"))
import tables  # noqa: E402


def Escape(p_Text):
    l_Text = p_Text.replace("\\", "\\e").replace("-", "\\-")
    l_Text = re.sub(r"\*\*(.+?)\*\*", r"\\fB\1\\fR", l_Text)
    l_Text = re.sub(r"\*(.+?)\*", r"\\fI\1\\fR", l_Text)
    # A line starting with a period or an apostrophe would be read as a request.
    return "\\&" + l_Text if l_Text[:1] in (".", "'") else l_Text


def Convert(p_Lines, p_Version):
    l_Header = re.fullmatch(r"([\w.-]+)\((\d)\) -- (.+)", p_Lines[0].rstrip("\n"))
    if l_Header is None:
        raise ValueError("the first line must be 'NAME(SECTION) -- summary'")
    l_Name, l_Section, l_Summary = l_Header.groups()
    l_Out = ['.TH "%s" "%s" "" "tunewright %s" "User Commands"' % (l_Name.upper(), l_Section, p_Version),
             ".SH NAME", "%s \\- %s" % (Escape(l_Name), Escape(l_Summary))]
    l_NeedParagraph = False
    for l_Number, l_Raw in enumerate(p_Lines[1:], start=2):
        l_Line = l_Raw.rstrip()
        if not l_Line:
            l_NeedParagraph = True
        elif l_Line.startswith("## "):
            l_Out.append(".SH " + Escape(l_Line[3:]))
            l_NeedParagraph = False
        elif l_Line.startswith("- "):
            l_Out += [".TP", Escape(l_Line[2:])]
            l_NeedParagraph = False
        elif l_Line.startswith("#"):
            raise ValueError("line %d: only '## ' headings are known" % l_Number)
        else:
            if l_NeedParagraph and l_Out[-1] not in (".TP",) and not l_Out[-1].startswith(".SH"):
                l_Out.append(".PP")
            l_Out.append(Escape(l_Line.strip()))
            l_NeedParagraph = False
    return "\n".join(l_Out) + "\n"


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: mangen.py SOURCE OUTPUT VERSION HEADER")
    with open(sys.argv[1], encoding="utf-8") as l_File:
        l_Source = l_File.read()
    l_Header = tables.Read(sys.argv[4])
    for l_Word, l_Make in tables.MAN_WORDS.items():
        l_Source = l_Source.replace("{%s}" % l_Word, l_Make(l_Header))
    l_Lines = l_Source.splitlines(keepends=True)
    try:
        l_Roff = Convert(l_Lines, sys.argv[3])
    except ValueError as l_Error:
        sys.exit("mangen.py: %s: %s" % (sys.argv[1], l_Error))
    with open(sys.argv[2], "w", encoding="utf-8") as l_File:
        l_File.write(l_Roff)


if __name__ == "__main__":
    main()
