"""The function-length checker (tools/funclen): what it counts as a function and as its lines, in
each language of the tree, and its verdict."""
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "funclen"))
import funclen  # noqa: E402

CHECKER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "funclen", "funclen.py")


def Body(p_Lines, p_Statement="x += 1;"):
    return "\n".join(["    " + p_Statement] * p_Lines)


def Lengths(p_Suffix, p_Text):
    """{name: [length, ...]} of the functions in p_Text read as a file ending in p_Suffix."""
    with tempfile.NamedTemporaryFile("w", suffix=p_Suffix, delete=False) as l_File:
        l_File.write(p_Text)
    try:
        l_Lengths = {}
        for l_Function in funclen.FunctionsOf(l_File.name):
            l_Lengths.setdefault(l_Function.name, []).append(l_Function.Length())
        return l_Lengths
    finally:
        os.unlink(l_File.name)


class CFunctions(unittest.TestCase):
    def test_body_lines_are_counted_between_the_braces(self):
        l_Text = "int Add(int p_A)\n{\n" + Body(7) + "\n}\nvoid Short() { return; }\n"
        self.assertEqual(Lengths(".cpp", l_Text), {"Add": [7], "Short": [0]})

    def test_members_constructors_and_lambdas_count_each_on_their_own(self):
        l_Text = (
            "namespace N {\nclass C : public B\n{\npublic:\n"
            "    C(int p_A) : a(p_A), b{2}\n    {\n" + Body(3) + "\n    }\n"
            "    int Get() const override\n    {\n" + Body(2) + "\n    }\n    int a, b;\n};\n}\n"
            'extern "C" {\nvoid Run()\n{\n    auto l_F = [&](int p_X) {\n' + Body(4) + "\n    };\n}\n}\n"
        )
        self.assertEqual(Lengths(".cpp", l_Text), {"C": [3], "Get": [2], "Run": [6], "lambda": [4]})

    def test_control_blocks_are_part_of_their_function(self):
        l_Text = (
            "void F()\n{\n    if (a) {\n" + Body(2) + "\n    } else if (b) {\n" + Body(2) + "\n    }\n"
            "    for (int i = 0; i < 3; ++i) {\n" + Body(1) + "\n    }\n    try {\n    } catch (...) {\n    }\n}\n"
        )
        self.assertEqual(Lengths(".cpp", l_Text), {"F": [13]})

    def test_braces_in_comments_strings_characters_and_directives_are_not_blocks(self):
        l_Text = (
            'const char* S = "{ {";\n// void G() {\n/* { */\nchar c = \'{\';\n'
            '#define OPEN(x) {x,\nconst char* R = R"({)";\nvoid F()\n{\n    g("}}", \'}\');\n}\n'
        )
        self.assertEqual(Lengths(".cpp", l_Text), {"F": [1]})

    def test_data_tables_are_left_out_of_the_length_and_statements_are_not(self):
        l_Rows = "\n".join("        {%d, %d}," % (l_I, l_I) for l_I in range(30))
        l_Text = "void F()\n{\n    const Row l_Rows[] = {\n" + l_Rows + "\n    };\n" + Body(3) + "\n}\n"
        self.assertEqual(Lengths(".cpp", l_Text), {"F": [4]})
        # A braced block holding statements (a lambda's, a struct's) is no table.
        l_Text = "void G()\n{\n    auto l_F = [] {\n" + Body(30) + "\n    };\n}\n"
        self.assertEqual(Lengths(".cpp", l_Text)["G"], [32])


class JsFunctions(unittest.TestCase):
    def test_declarations_methods_and_arrows_count_each_on_their_own(self):
        l_Text = (
            "export function install(p_App) {\n  document.addEventListener('k', (p_Event) => {\n"
            + Body(5, "f();")
            + "\n  });\n}\nclass Editor {\n  constructor(p_A) {\n"
            + Body(2, "g();")
            + "\n  }\n  draw(p_X) {\n    if (p_X) {\n"
            + Body(3, "h();")
            + "\n    }\n  }\n  get size() { return 1; }\n}\nconst run = async (p_A) => {\n"
            + Body(4, "i();")
            + "\n};\n"
        )
        self.assertEqual(
            Lengths(".js", l_Text),
            {"install": [7], "arrow": [5], "constructor": [2], "draw": [5], "size": [0], "run": [4]},
        )

    def test_templates_regular_expressions_and_object_literals_are_not_functions(self):
        l_Text = (
            "function f(p_A) {\n  const l_T = `${p_A ? `{${p_A}` : '}'}}`;\n  const l_R = /[{]}/g;\n"
            "  const l_O = { a: 1, b: { c: 2 } };\n  return l_T.replace(l_R, '{');\n}\n"
        )
        self.assertEqual(Lengths(".js", l_Text), {"f": [4]})

    def test_data_arrays_are_left_out_of_the_length(self):
        l_Rows = "\n".join("    [%d, 'row'], " % l_I for l_I in range(20))
        l_Text = "function f() {\n  const l_Rows = [\n" + l_Rows + "\n  ];\n  return l_Rows;\n}\n"
        self.assertEqual(Lengths(".js", l_Text), {"f": [2]})


class PythonFunctions(unittest.TestCase):
    def test_a_def_counts_the_lines_after_it_and_nested_ones_on_their_own(self):
        l_Text = "class A:\n    def f(self):\n        def g():\n" + Body(4, "        x = 1") + "\n        return g\n"
        self.assertEqual(Lengths(".py", l_Text), {"A.f": [6], "A.f.g": [4]})

    def test_literal_tables_are_left_out_and_computed_lists_are_not(self):
        l_Table = "\n".join("        (%d, 'a')," % l_I for l_I in range(20))
        l_Text = "def f():\n    l_T = [\n" + l_Table + "\n    ]\n    return [\n        g(1),\n        g(2),\n    ]\n"
        self.assertEqual(Lengths(".py", l_Text), {"f": [5]})


class Verdict(unittest.TestCase):
    def Run(self, p_Text, *p_Options):
        with tempfile.TemporaryDirectory() as l_Dir:
            l_Path = os.path.join(l_Dir, "long.cpp")
            with open(l_Path, "w") as l_File:
                l_File.write(p_Text)
            return subprocess.run([sys.executable, CHECKER, *p_Options, l_Path], capture_output=True, text=True)

    def test_a_function_over_the_limit_is_named_and_fails_the_run(self):
        l_Result = self.Run("void Long()\n{\n" + Body(81) + "\n}\nvoid Fine()\n{\n" + Body(80) + "\n}\n")
        self.assertEqual(l_Result.returncode, 1)
        self.assertEqual(l_Result.stdout.splitlines(), [l_Result.stdout.splitlines()[0]])
        self.assertRegex(l_Result.stdout, r"long\.cpp:1: Long has 81 lines")

    def test_functions_within_the_limit_pass_and_the_limit_can_be_set(self):
        l_Text = "void Fine()\n{\n" + Body(80) + "\n}\n"
        self.assertEqual(self.Run(l_Text).returncode, 0)
        self.assertEqual(self.Run(l_Text, "--limit", "79").returncode, 1)

    def test_the_product_code_is_found_under_the_root(self):
        l_Root = os.path.join(os.path.dirname(CHECKER), "..", "..")
        l_Files = [os.path.relpath(l_Path, l_Root) for l_Path in funclen.ProductFiles(l_Root)]
        for l_Expected in ("tools/funclen/funclen.py", "platform/fmodex/src/Outputs.cpp", "web/src/index.js"):
            self.assertIn(l_Expected, l_Files)
        self.assertFalse([l_Path for l_Path in l_Files if "node_modules" in l_Path or "/tests/" in l_Path])


if __name__ == "__main__":
    unittest.main()
