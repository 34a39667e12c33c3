#!/usr/bin/env python3
"""Checks which mutants tools/mutation_score.py finds in a few lines of C++:
python3 tools/mutation_score_test.py"""

import sys
import unittest
from pathlib import Path

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import mutation_score  # noqa: E402

# Lines of C++ (after "{", so that a call may start a statement) and every
# mutant expected in them: (operator, the line after).
CASES = [
    ("if (a < b) f(x);", [("lt-to-le", "if (a <= b) f(x);")]),
    ("if (a >= b && c != d) return;",
     [("ne-to-eq", "if (a >= b && c == d) return;"), ("ge-to-gt", "if (a > b && c != d) return;"),
      ("and-to-or", "if (a >= b || c != d) return;")]),
    # Templates, shifts, arrows, rvalue and ref-qualifiers are no comparisons or logic.
    ("std::vector<int> v = w->x >> y << z;", []),
    ("template <typename T> T&& pass(T&& t) && {", []),
    # Nothing in literals or comments; digit separators end no char literal.
    ('s = "a < b + 1" + \'<\';  // x == 2', []),
    ("n = 1'000 == m;", [("eq-to-ne", "n = 1'000 != m;")]),
    ("k = 0x1F + int32_t{0} - 2.5;", [("const-plus1", "k = 0x1F + int32_t{1} - 2.5;")]),
    ("i = j + 1;", [("plus1-to-minus1", "i = j - 1;"), ("const-plus1", "i = j + 2;"),
                    ("const-minus1", "i = j + 0;")]),
    ("return size - 1u;",
     [("minus1-to-plus1", "return size + 1u;"), ("const-plus1", "return size - 2u;"),
      ("const-minus1", "return size - 0u;")]),
    ("if (x) return true;", [("true-to-false", "if (x) return false;")]),
    # Statements that are one call, and lines that are not.
    ("out.write(piece.substr(0, n));",
     [("const-plus1", "out.write(piece.substr(1, n));"), ("drop-call", "")]),
    ("std::string text(arg);", []),
    ("Reader(std::string_view text);", []),
    ("return finish(x);", []),
    ("f(a); g(b);", []),
    ("#include <vector>", []),
    ("// a < b", []),
    ("static_assert(sizeof(int) == 4);", []),
]


class MutantsIn(unittest.TestCase):
    def test_lines(self):
        for line, expected in CASES:
            with self.subTest(line=line):
                found = mutation_score.mutants_in("x.cc", "{\n" + line + "\n")
                self.assertEqual([(m.op, m.after) for m in found], expected)

    def test_continued_lines(self):
        text = ("static_assert(kSize ==\n"
                "              4);\n"
                "total = sum +\n"
                "        count(x);\n"
                "if (done)\n"
                "  flush(out);\n"
                "flush(out);\n")
        self.assertEqual([(m.line, m.op) for m in mutation_score.mutants_in("x.cc", text)],
                         [(7, "drop-call")])

    def test_sample_is_reproducible_and_keyed(self):
        files = mutation_score.product_files([str(mutation_score.ROOT / "src")])
        self.assertFalse([f for f in files if f.endswith(("_test.cc", "_windows.cc"))
                          or f == "src/debug_text/unicode_tables.cc"])
        first, total = mutation_score.sample(files, 20, 7)
        again, _ = mutation_score.sample(files, 20, 7)
        self.assertEqual([m.key for m in first], [m.key for m in again])
        self.assertEqual(len({m.key for m in first}), 20)
        self.assertNotEqual([m.key for m in first],
                            [m.key for m in mutation_score.sample(files, 20, 8)[0]])
        self.assertGreater(total, 20)


if __name__ == "__main__":
    unittest.main()
