#!/usr/bin/env python3
"""Mutation score of the Linux product code, for a developer before a change lands.

Samples small faults (mutants) in the sources, and for each one rebuilds the dev
preset and runs its suite: a mutant the suite fails on is caught, one it passes
is a gap in the tests, unless it is listed as equivalent in
tools/mutation_equivalent.txt. Every file is written back as it was, whatever
ends the run.

  tools/mutation_score.py [--count N] [--seed S] [--list] [FILE or FOLDER ...]
"""

import argparse
import os
import random
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
EQUIVALENT = ROOT / "tools" / "mutation_equivalent.txt"
LOGS = ROOT / "build" / "dev" / "mutation"
NOT_PRODUCT = re.compile(r"(_test\.cc|_testing\.h|_bench\.cc|_windows\.cc|_windows\.h)$")
GENERATED = {"src/debug_text/unicode_tables.cc"}
SKIPPED_LINE = re.compile(r"(//|/\*|\*|#|static_assert\b)")
SIGNALS = (signal.SIGINT, signal.SIGTERM, signal.SIGHUP)

# Operator name, family (sampling spreads over families), pattern, replacement.
# Comparisons only with a blank on each side: that keeps clear of <<, >>, ->,
# template brackets and includes, which clang-format writes without one.
OPERATORS = [
    ("eq-to-ne", "equality", re.compile(r" == "), " != "),
    ("ne-to-eq", "equality", re.compile(r" != "), " == "),
    ("lt-to-le", "relational", re.compile(r" < "), " <= "),
    ("le-to-lt", "relational", re.compile(r" <= "), " < "),
    ("gt-to-ge", "relational", re.compile(r" > "), " >= "),
    ("ge-to-gt", "relational", re.compile(r" >= "), " > "),
    ("and-to-or", "logical", re.compile(r" && (?![{;=])"), " || "),  # not a ref-qualifier
    ("or-to-and", "logical", re.compile(r" \|\| "), " && "),
    ("plus1-to-minus1", "plus-minus-1", re.compile(r"(?<= )\+ 1(?=[uUlLzZ]*(?![\w.']))"), "- 1"),
    ("minus1-to-plus1", "plus-minus-1", re.compile(r"(?<= )- 1(?=[uUlLzZ]*(?![\w.']))"), "+ 1"),
    ("true-to-false", "return-bool", re.compile(r"(?<!\w)return true;"), "return false;"),
    ("false-to-true", "return-bool", re.compile(r"(?<!\w)return false;"), "return true;"),
]
# A decimal literal, with its suffix; not part of a name, a hex or float
# literal, or a number with digit separators.
INTEGER = re.compile(r"(?<![\w.'])([1-9]\d*|0)([uUlLzZ]*)(?![\w.'])")
# A statement that is one call: a callee without blanks (a blank would make it
# a declaration or an assignment), then arguments, on one line.
CALL = re.compile(r"[A-Za-z_:][\w:.<>\[\]*-]*\(.*\);")
NOT_CALLS = {"return", "co_return", "throw", "delete", "if", "while", "for", "switch", "case",
             "using", "typedef", "goto", "do", "else", "sizeof", "static_assert"}


class Mutant:
    def __init__(self, path, line, op, family, before, after):
        self.path, self.line, self.op, self.family = path, line, op, family
        self.before, self.after = before, after
        self.key = ""  # path|operator|stripped original line|occurrence index

    def describe(self):
        after = self.after.strip() or "(line removed)"
        return f"{self.path}:{self.line} {self.op}: {self.before.strip()}  =>  {after}"


def code_only(line):
    """The line with string and char literals blanked out with '_' and a
    trailing comment with blanks: the same length, so that columns still match."""
    out = list(line)
    i = 0
    while i < len(line):
        c = line[i]
        if line.startswith("//", i):
            out[i:] = " " * (len(line) - i)
            break
        if c == "'" and i > 0 and re.search(r"(?<![\w'])\d[\w']*$", line[:i]):
            i += 1  # a digit separator, as in 1'000
            continue
        if c in "\"'":
            end = i + 1
            while end < len(line) and line[end] != c:
                end += 2 if line[end] == "\\" else 1
            out[i:end + 1] = "_" * (min(end + 1, len(line)) - i)
            i = end + 1
            continue
        i += 1
    return "".join(out)


def mutants_in(path, text):
    """Every mutant of one file, in the file's order."""
    found = []
    last_end = ";"  # the last character of the last code line, to tell a statement's start
    in_skipped = False
    for number, line in enumerate(text.split("\n"), 1):
        stripped = line.strip()
        if in_skipped or SKIPPED_LINE.match(stripped):
            # A static_assert, or a macro, may go on over the next lines.
            assertion = stripped.startswith("static_assert") or in_skipped
            in_skipped = (assertion and not stripped.endswith(";")) or stripped.endswith("\\")
            continue
        code = code_only(line)
        if not code.strip():
            continue

        def add(op, family, start, end, new):
            found.append(Mutant(path, number, op, family, line, line[:start] + new + line[end:]))

        for op, family, pattern, new in OPERATORS:
            for m in pattern.finditer(code):
                add(op, family, m.start(), m.end(), new)
        for m in INTEGER.finditer(code):
            value = int(m.group(1))
            add("const-plus1", "constant", m.start(), m.end(1), str(value + 1))
            if value > 0:
                add("const-minus1", "constant", m.start(), m.end(1), str(value - 1))
        call = code.strip()
        callee = call.split("(", 1)[0]
        name = re.split(r"::|\.|->", callee)[-1]
        if (last_end in ";{}:" and CALL.fullmatch(call) and call.count(";") == 1
                and call.count("(") == call.count(")")
                and re.split(r"\W", callee.lstrip(":"))[0] not in NOT_CALLS
                and not re.match(r"[A-Z][a-z]", name)):  # Name(...); declares a constructor
            found.append(Mutant(path, number, "drop-call", "drop-call", line, ""))
        last_end = code.rstrip()[-1]
    return found


def product_files(args):
    """The files to mutate, relative to the root: those given (files or folders),
    or else the sources under src/; never tests, Windows code or generated tables."""
    roots = [Path(a).resolve() for a in args] or [ROOT / "src"]
    files = set()
    for given, root in zip(args or ["src"], roots):
        if not root.exists() or not root.is_relative_to(ROOT):
            sys.exit(f"mutation_score: not a file or folder of this tree: {given}")
        found = [root] if root.is_file() else [*root.rglob("*.cc"), *root.rglob("*.h")]
        for path in found:
            relative = path.relative_to(ROOT).as_posix()
            if not NOT_PRODUCT.search(relative) and relative not in GENERATED:
                files.add(relative)
    return sorted(files)


def sample(files, count, seed):
    """COUNT mutants drawn with SEED: a family of operators at random, then a file
    that has one, then a site in it; the same seed and tree give the same ones."""
    every, seen, occurrences = [], set(), {}
    for path in files:
        for m in mutants_in(path, (ROOT / path).read_text(encoding="utf-8")):
            if (path, m.line, m.after) in seen:
                continue
            seen.add((path, m.line, m.after))
            key = f"{path}|{m.op}|{m.before.strip()}"
            m.key = f"{key}|{occurrences.get(key, 0)}"
            occurrences[key] = occurrences.get(key, 0) + 1
            every.append(m)
    pool = {}
    for m in every:
        pool.setdefault(m.family, {}).setdefault(m.path, []).append(m)
    rng = random.Random(seed)
    chosen = []
    while pool and len(chosen) < count:
        family = rng.choice(sorted(pool))
        by_file = pool[family]
        path = rng.choice(sorted(by_file))
        chosen.append(by_file[path].pop(rng.randrange(len(by_file[path]))))
        if not by_file[path]:
            del by_file[path]
        if not by_file:
            del pool[family]
    # In file order: mutants of one file in a row recompile it once each, not twice.
    return sorted(chosen, key=lambda m: (m.path, m.line, m.op)), len(every)


def equivalent_keys():
    """The keys in tools/mutation_equivalent.txt: 'key  # reason' a line, and
    lines of comment that start with '#'."""
    if not EQUIVALENT.exists():
        return set()
    keys = set()
    for line in EQUIVALENT.read_text(encoding="utf-8").splitlines():
        m = re.match(r"([^#].*\|\d+)\s*(#.*)?$", line.strip())
        if m:
            keys.add(m.group(1))
    return keys


def run(command, log, timeout):
    """Runs COMMAND in a session of its own, output to LOG; returns its status,
    or None past TIMEOUT seconds. Whatever ends the wait ends all its processes."""
    with open(log, "w") as out:
        process = subprocess.Popen(command, cwd=ROOT, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        finally:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()


BUILD = ["cmake", "--build", "--preset", "dev", "-j2"]
# In a network namespace of its own: the end-to-end tests' port 12345 is then
# free whatever else runs on this machine.
TESTS = ["unshare", "-n", "sh", "-c",
         "ip link set lo up && exec ctest --preset dev --stop-on-failure -j2"]


def build_and_test(timeout):
    """'caught', 'survived' or 'not compiled', and what told."""
    status = run(BUILD, LOGS / "build.log", timeout)
    if status != 0:
        log = (LOGS / "build.log").read_text(errors="replace")
        if "Error running test executable" in log:
            return "caught", "a test program failed while listing its tests"
        return "not compiled", "build timed out" if status is None else ""
    status = run(TESTS, LOGS / "test.log", timeout)
    if status is None:
        return "caught", f"timed out after {timeout} s"
    if status == 0:
        return "survived", ""
    # The first of the tests that failed, not of those that did not run.
    failed = re.search(r"tests FAILED:\s*^\s*\d+ - (\S+)",
                       (LOGS / "test.log").read_text(errors="replace"), re.M)
    return "caught", f"by {failed.group(1)}" if failed else f"ctest exit {status}"


def write_back(path, text):
    """Writes TEXT to PATH with the signals held back till it is written; this
    also makes the file newer than its object, so the next build recompiles it."""
    signal.pthread_sigmask(signal.SIG_BLOCK, SIGNALS)
    try:
        path.write_bytes(text)
    finally:
        signal.pthread_sigmask(signal.SIG_UNBLOCK, SIGNALS)


def interrupted(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")  # so that every finally runs


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("paths", nargs="*", help="files or folders (default: src)")
    parser.add_argument("--count", type=int, default=50, help="mutants to sample (50)")
    parser.add_argument("--seed", type=int, default=1, help="sampling seed (1)")
    parser.add_argument("--timeout", type=int, default=600,
                        help="seconds for one mutant's build, then its tests (600)")
    parser.add_argument("--list", action="store_true", help="print the mutants and their keys only")
    args = parser.parse_args()

    files = product_files(args.paths)
    mutants, total = sample(files, args.count, args.seed)
    equivalent = equivalent_keys()
    print(f"{len(mutants)} of {total} mutants in {len(files)} files, seed {args.seed}")
    if args.list:
        for m in mutants:
            print(f"{m.describe()}\n    {m.key}{'  # equivalent' if m.key in equivalent else ''}")
        return 0

    dirty = subprocess.run(["git", "status", "--porcelain", "--", *files], cwd=ROOT,
                           capture_output=True, text=True, check=True).stdout
    if dirty:
        sys.exit("mutation_score: commit or stash these first, so that git checkout can always "
                 "mend them:\n" + dirty)
    pristine = {path: (ROOT / path).read_bytes() for path in files}
    for number in SIGNALS:
        if signal.getsignal(number) != signal.SIG_IGN:  # nohup's stays ignored
            signal.signal(number, interrupted)
    if not (ROOT / "build" / "dev" / "CMakeCache.txt").exists():
        subprocess.run(["cmake", "--preset", "dev"], cwd=ROOT, check=True,
                       stdout=subprocess.DEVNULL)
    LOGS.mkdir(parents=True, exist_ok=True)
    start = time.monotonic()
    # A suite that fails already would catch every mutant.
    outcome, why = build_and_test(args.timeout)
    if outcome != "survived":
        sys.exit(f"mutation_score: the unmutated tree does not pass ({outcome} {why}); "
                 f"see {LOGS.relative_to(ROOT)}")
    print(f"unmutated build and suite: {time.monotonic() - start:.0f} s")

    counts = {}
    try:
        for index, m in enumerate(mutants, 1):
            began = time.monotonic()
            if m.key in equivalent:
                outcome, why = "equivalent", ""
            else:
                lines = pristine[m.path].decode("utf-8").split("\n")
                lines[m.line - 1] = m.after
                try:
                    (ROOT / m.path).write_text("\n".join(lines), encoding="utf-8")
                    outcome, why = build_and_test(args.timeout)
                finally:
                    write_back(ROOT / m.path, pristine[m.path])
            counts[outcome] = counts.get(outcome, 0) + 1
            print(f"[{index}/{len(mutants)}] {outcome:12} {m.describe()}  "
                  f"({time.monotonic() - began:.0f} s{', ' + why if why else ''})", flush=True)
    finally:
        for path, text in pristine.items():
            if (ROOT / path).read_bytes() != text:
                write_back(ROOT / path, text)

    caught, survived = counts.get("caught", 0), counts.get("survived", 0)
    score = f"{100 * caught / (caught + survived):.1f}%" if caught + survived else "n/a"
    print(f"score: {score} = caught {caught} / (caught {caught} + survived {survived}); "
          f"not compiled {counts.get('not compiled', 0)}, "
          f"equivalent {counts.get('equivalent', 0)}; {time.monotonic() - start:.0f} s in all")
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutation_score: interrupted; every file is as it was")
