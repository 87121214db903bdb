#!/usr/bin/env python3
"""Finds functions longer than a limit in the product code.

    funclen.py [--limit N] [--all] [--root DIR] [PATH...]

A function's length is the number of lines of its body (between its braces, or after a Python
def line), less the lines of the data tables in it: brace or bracket literals after "=" or
"return" that span lines and hold no statement and no function. C and C++ functions are found by
brace matching, JavaScript ones (functions, methods and arrows with a block) likewise, Python ones
through the ast module. Lambdas and nested functions count on their own and inside the function
that holds them.

Without PATH, the product code under --root (default: the repository holding this tool) is read:
source/, platform/, plugins/, winmain/, python/tunewright, web/src, web/page and tools/. Prints
one line per function over the limit (80; with --all, every function, longest first) and exits 1
when there is one.
"""
import argparse
import ast
import os
import re
import sys

LIMIT = 80
PRODUCT_DIRS = ["source", "platform", "plugins", "winmain", "python/tunewright", "web/src", "web/page", "tools"]
SKIPPED_DIRS = {"node_modules", "tests", "test", "__pycache__"}
C_SUFFIXES = (".c", ".cc", ".cpp", ".h", ".hpp")
JS_SUFFIXES = (".js", ".mjs")

C_CONTROL = {"if", "for", "while", "switch", "catch", "sizeof", "return", "alignof", "decltype", "defined"}
JS_CONTROL = {"if", "for", "while", "switch", "catch", "with", "return", "typeof", "await"}
SCOPE_WORDS = re.compile(r"\b(class|struct|union|enum|namespace|extern)\b")
# What may stand between a C++ function's parameter list and its body.
C_QUALIFIERS = re.compile(r"\)\s*((const|volatile|noexcept|override|final|mutable|&&|&|->\s*[\w:<>,\s*&]+?"
                          r"|noexcept\s*\([^()]*\)|\[\[[^\]]*\]\])\s*)*$")
IDENTIFIER_END = re.compile(r"([A-Za-z_$][\w$]*(?:::~?[A-Za-z_]\w*)*|operator\s*\S+)\s*$")


class Function:
    def __init__(self, p_Path, p_Name, p_Line, p_Open=None):
        self.path = p_Path
        self.name = p_Name
        self.line = p_Line  # where it is declared
        self.open = p_Line if p_Open is None else p_Open  # the line its body starts after
        self.end = self.open  # the line its body ends before
        self.tables = set()  # lines of data tables in the body

    def Length(self):
        return sum(1 for l_Line in range(self.open + 1, self.end) if l_Line not in self.tables)


def Blank(p_Text, p_Start, p_End, p_Out):
    """Writes spaces for p_Text[p_Start:p_End] into p_Out, keeping its line breaks."""
    p_Out.extend("\n" if l_Char == "\n" else " " for l_Char in p_Text[p_Start:p_End])


def CommentEnd(p_Text, p_Index):
    """Where a // or /* comment that starts at p_Index ends (the text's end if it never does), or -1
    where none starts there."""
    if p_Text.startswith("//", p_Index):
        l_End = p_Text.find("\n", p_Index)
        return len(p_Text) if l_End < 0 else l_End
    if p_Text.startswith("/*", p_Index):
        l_End = p_Text.find("*/", p_Index + 2)
        return len(p_Text) if l_End < 0 else l_End + 2
    return -1


def StripC(p_Text):
    """The text with comments, strings and character literals blanked, line breaks kept."""
    l_Out = []
    l_Index = 0
    l_Length = len(p_Text)
    while l_Index < l_Length:
        l_Char = p_Text[l_Index]
        l_Next = p_Text[l_Index + 1] if l_Index + 1 < l_Length else ""
        l_End = CommentEnd(p_Text, l_Index)
        if l_End >= 0:
            pass
        elif l_Char == "R" and l_Next == '"' and not (l_Index > 0 and (p_Text[l_Index - 1].isalnum() or p_Text[l_Index - 1] == "_")):
            l_Open = p_Text.find("(", l_Index)
            l_Delimiter = ")" + p_Text[l_Index + 2 : l_Open] + '"'
            l_End = p_Text.find(l_Delimiter, l_Open)
            l_End = l_Length if l_End < 0 else l_End + len(l_Delimiter)
        elif l_Char in "\"'" and not (l_Char == "'" and l_Index > 0 and p_Text[l_Index - 1].isalnum()):
            l_End = SkipQuoted(p_Text, l_Index)
        elif l_Char == "#" and p_Text[p_Text.rfind("\n", 0, l_Index) + 1 : l_Index].strip() == "":
            l_End = DirectiveEnd(p_Text, l_Index)
        else:
            l_Out.append(l_Char)
            l_Index += 1
            continue
        Blank(p_Text, l_Index, l_End, l_Out)
        l_Index = l_End
    return "".join(l_Out)


def DirectiveEnd(p_Text, p_Index):
    """The end of the preprocessor directive at p_Index, its continued lines included."""
    l_End = p_Index
    while True:
        l_End = p_Text.find("\n", l_End)
        if l_End < 0:
            return len(p_Text)
        if p_Text[l_End - 1] != "\\":
            return l_End
        l_End += 1


def SkipQuoted(p_Text, p_Index):
    """The index after the quoted literal that starts at p_Index (ends at its line's end at most)."""
    l_Quote = p_Text[p_Index]
    l_Index = p_Index + 1
    while l_Index < len(p_Text):
        l_Char = p_Text[l_Index]
        if l_Char == "\\":
            l_Index += 2
            continue
        if l_Char == l_Quote:
            return l_Index + 1
        if l_Char == "\n" and l_Quote != "`":
            return l_Index
        l_Index += 1
    return l_Index


# The characters and words after which a "/" in JavaScript starts a regular expression.
REGEX_AFTER_CHARS = set("(,=:[!&|?{};+-*%<>~^")
REGEX_AFTER_WORDS = {"return", "typeof", "case", "do", "else", "in", "of", "new", "delete", "void", "throw"}


def StripJs(p_Text):
    """As StripC for JavaScript: also template literals (whose ${} parts are kept) and regular
    expressions."""
    l_Out = []
    l_Index = 0
    l_Length = len(p_Text)
    l_Templates = []  # brace depths at which a ${ of a template literal was opened
    l_Depth = 0
    while l_Index < l_Length:
        l_Char = p_Text[l_Index]
        l_End = CommentEnd(p_Text, l_Index)
        if l_End >= 0:
            pass
        elif l_Char == "/" and StartsRegex(l_Out):
            l_End = SkipRegex(p_Text, l_Index)
        elif l_Char in "\"'":
            l_End = SkipQuoted(p_Text, l_Index)
        elif l_Char == "`" or (l_Char == "}" and l_Templates and l_Templates[-1] == l_Depth):
            if l_Char == "}":
                l_Templates.pop()
            l_End, l_Opens = SkipTemplate(p_Text, l_Index + 1)
            if l_Opens:
                l_Templates.append(l_Depth)
            # Kept as a quote of its own, so that the template reads as one operand.
            l_Out.append("0")
            Blank(p_Text, l_Index + 1, l_End, l_Out)
            l_Index = l_End
            continue
        else:
            l_Depth += {"{": 1, "}": -1}.get(l_Char, 0)
            l_Out.append(l_Char)
            l_Index += 1
            continue
        Blank(p_Text, l_Index, l_End, l_Out)
        l_Index = l_End
    return "".join(l_Out)


def SkipTemplate(p_Text, p_Index):
    """From inside a template literal: the index after its end or after its next "${", and
    whether it was a "${"."""
    l_Index = p_Index
    while l_Index < len(p_Text):
        l_Char = p_Text[l_Index]
        if l_Char == "\\":
            l_Index += 2
        elif l_Char == "`":
            return l_Index + 1, False
        elif l_Char == "$" and p_Text[l_Index + 1 : l_Index + 2] == "{":
            return l_Index + 2, True
        else:
            l_Index += 1
    return l_Index, False


def StartsRegex(p_Before):
    l_Index = len(p_Before) - 1
    while l_Index >= 0 and p_Before[l_Index].isspace():
        l_Index -= 1
    if l_Index < 0 or p_Before[l_Index] in REGEX_AFTER_CHARS:
        return True
    l_Word = re.search(r"[A-Za-z_$]+$", "".join(p_Before[max(0, l_Index - 10) : l_Index + 1]))
    return l_Word is not None and l_Word.group(0) in REGEX_AFTER_WORDS


def SkipRegex(p_Text, p_Index):
    l_Index = p_Index + 1
    l_InClass = False
    while l_Index < len(p_Text) and p_Text[l_Index] != "\n":
        l_Char = p_Text[l_Index]
        if l_Char == "\\":
            l_Index += 2
            continue
        if l_Char == "[":
            l_InClass = True
        elif l_Char == "]":
            l_InClass = False
        elif l_Char == "/" and not l_InClass:
            return l_Index + 1
        l_Index += 1
    return l_Index


def MatchingOpen(p_Head, p_Close):
    """The index of the "(" that the ")" at p_Close closes, or -1."""
    l_Depth = 0
    for l_Index in range(p_Close, -1, -1):
        if p_Head[l_Index] == ")":
            l_Depth += 1
        elif p_Head[l_Index] == "(":
            l_Depth -= 1
            if l_Depth == 0:
                return l_Index
    return -1


def NameBefore(p_Head, p_Open):
    """The identifier just before a parameter list, "lambda" after a capture list, or None."""
    l_Before = p_Head[:p_Open].rstrip()
    if l_Before.endswith("]"):
        return "lambda"
    l_Match = IDENTIFIER_END.search(l_Before)
    return l_Match.group(1).replace(" ", "") if l_Match else None


def CFunctionName(p_Head):
    """The name of the function whose body opens after p_Head, or None when it is no function."""
    l_Head = p_Head.strip()
    if re.search(r"(^|[^\w\]])\[[^\[\]]*\]\s*(mutable\s*)?$", l_Head):
        return "lambda"  # without a parameter list
    l_Match = C_QUALIFIERS.search(l_Head)
    if l_Match is None:
        # A constructor's member initialisers: "Name(...) : a(1), b{2}".
        l_Init = re.search(r"\)\s*(noexcept\s*)?:(?!:)", l_Head)
        if l_Init is None or not re.search(r"[)}]\s*$", l_Head):
            return None
        l_Close = l_Init.start()
    else:
        l_Close = l_Match.start()
    l_Open = MatchingOpen(l_Head, l_Close)
    if l_Open < 0:
        return None
    l_Name = NameBefore(l_Head, l_Open)
    return None if l_Name is None or l_Name in C_CONTROL else l_Name


def JsFunctionName(p_Head):
    l_Head = p_Head.strip()
    if l_Head.endswith("=>"):
        l_Before = l_Head[:-2].rstrip()
        if l_Before.endswith(")"):
            l_Open = MatchingOpen(l_Before, len(l_Before) - 1)
            l_Before = l_Before[:l_Open].rstrip() if l_Open >= 0 else l_Before
        else:
            l_Before = re.sub(r"[A-Za-z_$][\w$]*$", "", l_Before).rstrip()
        l_Before = re.sub(r"\basync$", "", l_Before).rstrip()
        l_Named = re.search(r"([A-Za-z_$][\w$.]*)\s*[:=]$", l_Before)
        return l_Named.group(1) if l_Named else "arrow"
    if not l_Head.endswith(")"):
        return None
    l_Open = MatchingOpen(l_Head, len(l_Head) - 1)
    if l_Open < 0:
        return None
    l_Before = l_Head[:l_Open].rstrip()
    l_Match = re.search(r"([A-Za-z_$][\w$]*)\s*\*?\s*$", l_Before)
    if l_Match is None:
        return None
    l_Name = l_Match.group(1)
    if l_Name in JS_CONTROL:
        return None
    if l_Name == "function":
        l_Named = re.search(r"([A-Za-z_$][\w$.]*)\s*[:=]\s*(async\s+)?function\s*\*?$", l_Before)
        return l_Named.group(1) if l_Named else "function"
    l_Rest = l_Before[: l_Match.start()].rstrip()
    # A call's argument list before a block is no function ("foo(a) {" does not occur); a method is
    # preceded by the end of the previous member, a keyword or the start of the class body.
    if l_Rest and not re.search(r"([;{},]|\b(function\s*\*?|async|get|set|static)|^)$", l_Rest):
        return None
    return l_Name


class Block:
    def __init__(self, p_Kind, p_Line, p_Function=None, p_Table=False):
        self.kind = p_Kind  # "function", "scope", "control", "brace" (initialiser, object) or "bracket"
        self.line = p_Line
        self.function = p_Function
        self.table = p_Table  # a literal that may be a data table
        self.parens = 0
        self.statements = False  # a ";" or a function inside (a table holds neither)


# What a literal that may be a data table follows: an assignment, a return, an argument list, an
# array or a property.
TABLE_AFTER = re.compile(r"(=|\breturn|[(,\[:?])\s*$")
# What a block of statements other than a function's body follows: a condition, a keyword, or the
# end of a statement (a plain block).
CONTROL_AFTER = re.compile(r"(\)|\b(else|do|try|finally)|[;{}]|^)\s*$")


def Scan(p_Path, p_Text, p_Namer):
    """Every function of a C, C++ or JavaScript text whose comments and strings were blanked."""
    l_Functions = []
    l_Stack = [Block("scope", 1)]
    l_Line = 1
    l_HeadStart = 0  # where the text before the next block starts (a declaration, a condition)
    for l_Index, l_Char in enumerate(p_Text):
        if l_Char == "\n":
            l_Line += 1
            continue
        l_Top = l_Stack[-1]
        if l_Char == "(":
            l_Top.parens += 1
        elif l_Char == ")":
            l_Top.parens -= 1
        elif l_Char == ";":
            l_Top.statements = True
            if l_Top.parens <= 0:
                l_HeadStart = l_Index + 1
        elif l_Char in "{[":
            l_Head = p_Text[l_HeadStart:l_Index]
            l_Block = OpenBlock(p_Path, l_Char, l_Head, l_Line, p_Namer)
            if l_Block.function is not None:
                l_Functions.append(l_Block.function)
                for l_Outer in l_Stack:
                    l_Outer.statements = True
            if l_Block.kind in ("function", "scope", "control"):
                l_HeadStart = l_Index + 1
            l_Stack.append(l_Block)
        elif l_Char in "}]" and len(l_Stack) > 1:
            l_Block = l_Stack.pop()
            if l_Block.function is not None:
                l_Block.function.end = l_Line
            if l_Block.kind in ("function", "scope", "control"):
                l_HeadStart = l_Index + 1
            if l_Block.table and not l_Block.statements and l_Line > l_Block.line:
                MarkTable(l_Stack, l_Block.line, l_Line)
            elif l_Block.statements:
                l_Stack[-1].statements = True
    return l_Functions


def OpenBlock(p_Path, p_Char, p_Head, p_Line, p_Namer):
    """The block that p_Char ("{" or "[") opens after p_Head."""
    if p_Char == "[":
        return Block("bracket", p_Line, p_Table=TABLE_AFTER.search(p_Head) is not None)
    l_Name = p_Namer(p_Head)
    if l_Name is not None:
        l_Start = len(p_Head) - len(p_Head.lstrip())
        l_Declared = p_Line - p_Head.count("\n", l_Start)
        return Block("function", p_Line, Function(p_Path, l_Name, l_Declared, p_Line))
    if SCOPE_WORDS.search(p_Head) and not re.search(r"=\s*$", p_Head):
        return Block("scope", p_Line)
    if CONTROL_AFTER.search(p_Head):
        return Block("control", p_Line)
    return Block("brace", p_Line, p_Table=TABLE_AFTER.search(p_Head) is not None)


def MarkTable(p_Stack, p_First, p_Last):
    """Leaves the lines of a data table out of every function that holds it."""
    for l_Block in p_Stack:
        if l_Block.function is not None:
            l_Block.function.tables.update(range(p_First + 1, p_Last + 1))


def ScanPython(p_Path, p_Text):
    l_Functions = []
    l_Tree = ast.parse(p_Text, p_Path)

    def Visit(p_Node, p_Prefix):
        for l_Child in ast.iter_child_nodes(p_Node):
            if isinstance(l_Child, (ast.FunctionDef, ast.AsyncFunctionDef)):
                l_Function = Function(p_Path, p_Prefix + l_Child.name, l_Child.lineno)
                l_Function.end = l_Child.end_lineno + 1
                for l_Table in ast.walk(l_Child):
                    if IsPythonTable(l_Table) and l_Table.end_lineno > l_Table.lineno:
                        l_Function.tables.update(range(l_Table.lineno + 1, l_Table.end_lineno + 1))
                l_Functions.append(l_Function)
                Visit(l_Child, p_Prefix + l_Child.name + ".")
            elif isinstance(l_Child, ast.ClassDef):
                Visit(l_Child, p_Prefix + l_Child.name + ".")
            else:
                Visit(l_Child, p_Prefix)

    Visit(l_Tree, "")
    return l_Functions


def IsPythonTable(p_Node):
    """A list, tuple, set or dict literal of constants and such literals."""
    if isinstance(p_Node, ast.Constant):
        return True
    if isinstance(p_Node, ast.UnaryOp):
        return IsPythonTable(p_Node.operand)
    if isinstance(p_Node, (ast.List, ast.Tuple, ast.Set)):
        return all(IsPythonTable(l_Item) for l_Item in p_Node.elts)
    if isinstance(p_Node, ast.Dict):
        return all(l_Key is not None and IsPythonTable(l_Key) for l_Key in p_Node.keys) and all(
            IsPythonTable(l_Value) for l_Value in p_Node.values
        )
    return False


def FunctionsOf(p_Path):
    with open(p_Path, encoding="utf-8") as l_File:
        l_Text = l_File.read()
    if p_Path.endswith(".py"):
        return ScanPython(p_Path, l_Text)
    if p_Path.endswith(JS_SUFFIXES):
        return Scan(p_Path, StripJs(l_Text), JsFunctionName)
    return Scan(p_Path, StripC(l_Text), CFunctionName)


def ProductFiles(p_Root):
    for l_Dir in PRODUCT_DIRS:
        for l_Folder, l_Subfolders, l_Files in os.walk(os.path.join(p_Root, l_Dir)):
            l_Subfolders[:] = sorted(l_Name for l_Name in l_Subfolders if l_Name not in SKIPPED_DIRS)
            for l_Name in sorted(l_Files):
                if l_Name.endswith(C_SUFFIXES + JS_SUFFIXES + (".py",)):
                    yield os.path.join(l_Folder, l_Name)


def main():
    l_Parser = argparse.ArgumentParser(description="Lists functions longer than a limit.")
    l_Parser.add_argument("paths", nargs="*", help="files to read (default: the product code)")
    l_Parser.add_argument("--limit", type=int, default=LIMIT, help="the most body lines a function may have")
    l_Parser.add_argument("--all", action="store_true", help="list every function, longest first")
    l_Parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                          help="the source tree whose product code is read when no path is given")
    l_Arguments = l_Parser.parse_args()
    l_Paths = l_Arguments.paths or list(ProductFiles(l_Arguments.root))
    l_Functions = []
    for l_Path in l_Paths:
        try:
            l_Functions.extend(FunctionsOf(l_Path))
        except (OSError, UnicodeDecodeError, SyntaxError) as l_Error:
            print(f"funclen.py: cannot read {l_Path}: {l_Error}", file=sys.stderr)
            return 2
    l_Functions.sort(key=lambda p_Function: -p_Function.Length())
    l_Long = [l_Function for l_Function in l_Functions if l_Function.Length() > l_Arguments.limit]
    for l_Function in l_Functions if l_Arguments.all else l_Long:
        l_Path = os.path.relpath(l_Function.path, l_Arguments.root) if not l_Arguments.paths else l_Function.path
        print(f"{l_Path}:{l_Function.line}: {l_Function.name} has {l_Function.Length()} lines")
    if l_Long:
        print(f"{len(l_Long)} function(s) over {l_Arguments.limit} lines", file=sys.stderr)
    return 1 if l_Long else 0


if __name__ == "__main__":
    sys.exit(main())
