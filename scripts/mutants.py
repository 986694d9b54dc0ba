#!/usr/bin/env python3
"""A small mutation harness: how many planted faults do the native tests catch?

  scripts/mutants.py list                   writes scripts/mutants.tsv from the sources
  scripts/mutants.py run REV RESULTS.tsv    scores the tests of commit REV against that list

`list` scans the C++ sources that the linux preset builds (every folder of src/
except the API declarations in src/sdk/ and the Windows-only files) and picks,
with a fixed seed, a sample of one-line mutants: flipped comparisons and
logical operators, constants off by one, swapped operands, dropped statements.
Each mutant is a record (id, file, line, original line, replacement line), so
that runs at different commits score the same mutants.

`run` copies commit REV into build/mutants/tree/ (the working checkout is
left alone), builds it with the linux preset and then, for each mutant not yet in
RESULTS.tsv: applies it, rebuilds incrementally, runs the test programs that
the change reached (each stops at its first failing test, with a timeout),
records killed, survived or did-not-compile, and restores the line. The
results file is appended to after every mutant, so a stopped run resumes where
it left off. The browser tests are not run.
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
LIST = os.path.join(ROOT, "scripts", "mutants.tsv")
SEED = 11
SAMPLE = 90
MIN_PER_FOLDER = 6

# Test programs that load the built plug-in or run the built command at run time,
# besides what they link.
LOADS_PLUGIN = {"stipplex_effect_tests", "stipplex_cli_tests", "stipplex_studio_tests"}
RUNS_COMMAND = {"stipplex_cli_tests"}

REL = [(" < ", " <= "), (" <= ", " < "), (" > ", " >= "), (" >= ", " > "),
       (" == ", " != "), (" != ", " == "), (" && ", " || "), (" || ", " && ")]
SWAP_CALLS = [("std::min(", "std::max("), ("std::max(", "std::min(")]
SWAP_BINARY = re.compile(r"\b([A-Za-z_]\w*) ([-/]) ([A-Za-z_]\w*)\b(?!\s*[(\[.])")
ARITH = [(" + ", " - "), (" - ", " + ")]
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.'])")
STRING = re.compile(r'"(?:[^"\\]|\\.)*"|\'(?:[^\'\\]|\\.)*\'')
STATEMENT = re.compile(r"^\s+(?!return\b|break\b|continue\b|case\b|default\b|const\b|auto\b|static\b|using\b"
                       r"|throw\b|delete\b|goto\b)[\w:.\->\[\]*()]+(\s*[-+*/|&^]?=\s*.+|\(.*\));\s*$")


def sources():
    """The .cpp files the linux preset compiles, below src/ but outside src/sdk/."""
    out = []
    for folder, _, files in os.walk(os.path.join(ROOT, "src")):
        rel = os.path.relpath(folder, ROOT)
        # The API declarations, the Windows dialog and the layout checks (which are
        # compile-time assertions) are not for this harness.
        if rel.startswith(os.path.join("src", "sdk")) or rel.startswith(os.path.join("src", "dialog")):
            continue
        for name in files:
            if name.endswith(".cpp") and "_win32" not in name and name != "SdkLayout.cpp":
                out.append(os.path.join(rel, name))
    return sorted(out)


def masked(line):
    """The line with string and character literals blanked, so that they are never mutated."""
    return STRING.sub(lambda m: "_" * len(m.group(0)), line)


def candidates(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        lines = f.read().split("\n")
    out = []
    depth_comment = False
    prev = ""
    for number, line in enumerate(lines, 1):
        stripped = line.strip()
        if depth_comment:
            if "*/" in stripped:
                depth_comment = False
            continue
        if stripped.startswith("/*"):
            depth_comment = "*/" not in stripped
            continue
        if not stripped or stripped.startswith(("//", "#")) or "static_assert" in stripped:
            continue
        code = masked(line)
        comment_at = code.find("//")
        limit = comment_at if comment_at >= 0 else len(line)

        def add(start, old, new, kind):
            out.append((kind, number, line, line[:start] + new + line[start + len(old):]))

        for old, new in REL:
            for m in re.finditer(re.escape(old), code[:limit]):
                add(m.start(), old, new, "rel")
        for old, new in SWAP_CALLS:
            for m in re.finditer(re.escape(old), code[:limit]):
                add(m.start(), old, new, "swap")
        for m in SWAP_BINARY.finditer(code[:limit]):
            a, op, b = m.group(1), m.group(2), m.group(3)
            if a != b:
                add(m.start(), m.group(0), f"{b} {op} {a}", "swap")
        for old, new in ARITH if '"' not in line else []:
            for m in re.finditer(re.escape(old), code[:limit]):
                add(m.start(), old, new, "arith")
        if not re.match(r"\s*(case\b|enum\b|template\b)", code) and "[" not in code[:limit]:
            for m in NUMBER.finditer(code[:limit]):
                value = m.group(1)
                if len(value) > 1 and value.startswith("0"):
                    continue
                add(m.start(), value, str(int(value) + 1), "const")
        if STATEMENT.match(code) and prev.rstrip().endswith((";", "{", "}")):
            indent = line[:len(line) - len(line.lstrip())]
            out.append(("drop", number, line, indent + ";"))
        prev = line if stripped and not stripped.startswith("//") else prev
    return out


def make_list():
    by_folder = {}
    for path in sources():
        folder = path.split(os.sep)[1] if path.count(os.sep) > 1 else "src"
        for kind, number, original, replacement in candidates(path):
            by_folder.setdefault(folder, []).append((path, number, kind, original, replacement))
    total = sum(len(v) for v in by_folder.values())
    rng = random.Random(SEED)
    chosen = []
    for folder in sorted(by_folder):
        pool = by_folder[folder]
        want = max(MIN_PER_FOLDER, round(SAMPLE * len(pool) / total))
        chosen += rng.sample(pool, min(want, len(pool)))
    chosen.sort(key=lambda m: (m[0], m[1], m[4]))
    with open(LIST, "w", encoding="utf-8") as f:
        f.write("# id\tfile\tline\tkind\toriginal\treplacement (scripts/mutants.py list)\n")
        for i, (path, number, kind, original, replacement) in enumerate(chosen, 1):
            f.write(f"m{i:03d}\t{path}\t{number}\t{kind}\t{escape(original)}\t{escape(replacement)}\n")
    print(f"{len(chosen)} mutants from {total} candidates in {len(by_folder)} folders -> {LIST}")


def escape(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t")


def unescape(text):
    return re.sub(r"\\(.)", lambda m: "\t" if m.group(1) == "t" else m.group(1), text)


def read_list():
    mutants = []
    with open(LIST, encoding="utf-8") as f:
        for row in f:
            if row.startswith("#"):
                continue
            mid, path, number, kind, original, replacement = row.rstrip("\n").split("\t")
            mutants.append((mid, path, int(number), kind, unescape(original), unescape(replacement)))
    return mutants


def sh(cmd, cwd, timeout=None, env=None):
    return subprocess.run(cmd, cwd=cwd, timeout=timeout, env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, errors="replace")


class Tree:
    """A copy of the sources of one commit with its own linux build, in build/mutants/tree.

    Moving the copy to another commit rewrites only the files that differ, so
    the next build recompiles only what changed; ccache leaves the build folder
    out of its hash, so objects are shared with other checkouts as well."""

    def __init__(self, rev):
        commit = sh(["git", "rev-parse", rev], ROOT).stdout.strip()
        if not commit:
            sys.exit(f"no commit {rev}")
        self.dir = os.path.join(ROOT, "build", "mutants", "tree")
        self.build = os.path.join(self.dir, "build", "linux")
        self.env = dict(os.environ, CCACHE_BASEDIR=os.path.dirname(ROOT), CCACHE_NOHASHDIR="1",
                        CMAKE_CXX_COMPILER_LAUNCHER="ccache", CMAKE_C_COMPILER_LAUNCHER="ccache")
        self.sync(commit)
        if not os.path.exists(os.path.join(self.build, "build.ninja")):
            out = sh(["cmake", "--preset", "linux"], self.dir, env=self.env)
            if out.returncode:
                sys.exit(out.stdout)

    def sync(self, commit):
        staging = self.dir + ".new"
        shutil.rmtree(staging, ignore_errors=True)
        os.makedirs(staging)
        archive = subprocess.Popen(["git", "archive", commit], cwd=ROOT, stdout=subprocess.PIPE)
        subprocess.run(["tar", "-x", "-C", staging], stdin=archive.stdout, check=True)
        archive.wait()
        wanted = set()
        for folder, _, files in os.walk(staging):
            for name in files:
                rel = os.path.relpath(os.path.join(folder, name), staging)
                wanted.add(rel)
                target = os.path.join(self.dir, rel)
                with open(os.path.join(folder, name), "rb") as f:
                    data = f.read()
                if os.path.exists(target):
                    with open(target, "rb") as f:
                        if f.read() == data:
                            continue
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as f:
                    f.write(data)
                shutil.copymode(os.path.join(folder, name), target)
        for folder, dirs, files in os.walk(self.dir):
            if os.path.relpath(folder, self.dir) == ".":
                dirs[:] = [d for d in dirs if d != "build"]
            for name in files:
                rel = os.path.relpath(os.path.join(folder, name), self.dir)
                if rel not in wanted:
                    os.remove(os.path.join(folder, name))
        shutil.rmtree(staging)

    def compile(self):
        out = sh(["cmake", "--build", "--preset", "linux", "-j2"], self.dir, env=self.env)
        return out.returncode == 0, out.stdout

    def programs(self):
        tests = os.path.join(self.build, "tests")
        return sorted(n for n in os.listdir(tests)
                      if n.startswith("stipplex_") and n.endswith("_tests") and os.access(os.path.join(tests, n), os.X_OK))

    def stamps(self):
        paths = {n: os.path.join(self.build, "tests", n) for n in self.programs()}
        paths["plugin"] = os.path.join(self.build, "libstipplex.so")
        # The program moved from src/cli/ to src/app/; older commits have it in the first.
        paths["command"] = next((p for p in (os.path.join(self.build, "src", d, "stipplex") for d in ("app", "cli"))
                                 if os.path.exists(p)), "")
        return {k: os.stat(p).st_mtime_ns if os.path.exists(p) else 0 for k, p in paths.items()}

    def run(self, program, timeout):
        env = dict(self.env, STIPPLEX_TEST_TMP=os.path.join(self.build, "test-tmp"))
        os.makedirs(env["STIPPLEX_TEST_TMP"], exist_ok=True)
        try:
            out = sh([os.path.join(self.build, "tests", program), "--gtest_fail_fast", "--gtest_brief=1"],
                     os.path.join(self.build, "tests"), timeout=timeout, env=env)
        except subprocess.TimeoutExpired:
            return False, "timeout"
        if out.returncode == 0:
            return True, ""
        failed = re.findall(r"\[  FAILED  \] (\S+)", out.stdout)
        return False, failed[0] if failed else f"exit {out.returncode}"


def run(rev, results):
    tree = Tree(rev)
    ok, log = tree.compile()
    if not ok:
        sys.exit("the unmutated tree does not build:\n" + log[-3000:])
    done = set()
    if os.path.exists(results):
        with open(results, encoding="utf-8") as f:
            done = {row.split("\t")[0] for row in f if not row.startswith("#")}
    else:
        with open(results, "w", encoding="utf-8") as f:
            f.write("# id\tresult\tby\tseconds\n")
    baseline = {}
    for program in tree.programs():
        start = time.time()
        passed, why = tree.run(program, 900)
        if not passed:
            sys.exit(f"{program} fails without a mutant: {why}")
        baseline[program] = time.time() - start
    print("baseline seconds: " + ", ".join(f"{p} {t:.1f}" for p, t in baseline.items()), flush=True)
    # In a fixed shuffled order, so that a run stopped early has still
    # sampled every folder.
    mutants = read_list()
    random.Random(SEED).shuffle(mutants)
    for mid, path, number, kind, original, replacement in mutants:
        if mid in done:
            continue
        start = time.time()
        file = os.path.join(tree.dir, path)
        with open(file, encoding="utf-8") as f:
            text = f.read()
        lines = text.split("\n")
        # A line that moved since the list was made is found by its text (the
        # nearest exact copy to where it was); one that changed is missing.
        places = [i + 1 for i, line in enumerate(lines) if line == original]
        if not places:
            record(results, mid, "missing", "", start)
            continue
        number = min(places, key=lambda n: abs(n - number))
        before = tree.stamps()
        lines[number - 1] = replacement
        try:
            with open(file, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            ok, _ = tree.compile()
            if not ok:
                record(results, mid, "did-not-compile", "", start)
                continue
            after = tree.stamps()
            changed = {k for k in after if after[k] != before[k]}
            folder = path.split(os.sep)[1]
            reached = [p for p in tree.programs()
                       if p in changed or ("plugin" in changed and p in LOADS_PLUGIN)
                       or ("command" in changed and p in RUNS_COMMAND)]
            # The program named after the mutated folder first, then the quickest.
            reached.sort(key=lambda p: (folder.lower() not in p, baseline.get(p, 0)))
            result, by = "survived", ""
            for program in reached:
                passed, why = tree.run(program, 60 + 6 * baseline.get(program, 60))
                if not passed:
                    result, by = "killed", f"{program}:{why}"
                    break
            record(results, mid, result, by, start)
        finally:
            with open(file, "w", encoding="utf-8") as f:
                f.write(text)
    summary(results)


def record(results, mid, result, by, start):
    seconds = time.time() - start
    with open(results, "a", encoding="utf-8") as f:
        f.write(f"{mid}\t{result}\t{by}\t{seconds:.0f}\n")
    print(f"{mid} {result} {by} ({seconds:.0f} s)", flush=True)


def read_results(results):
    with open(results, encoding="utf-8") as f:
        return {row.split("\t")[0]: row.split("\t")[1] for row in f if not row.startswith("#")}


def summary(results, only=None):
    counts = {}
    for mid, result in read_results(results).items():
        if only is None or mid in only:
            counts[result] = counts.get(result, 0) + 1
    scored = counts.get("killed", 0) + counts.get("survived", 0)
    print(f"killed {counts.get('killed', 0)} of {scored} built mutants; " +
          ", ".join(f"{k} {v}" for k, v in sorted(counts.items())))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    sub.add_parser("list")
    r = sub.add_parser("run")
    r.add_argument("rev")
    r.add_argument("results")
    s = sub.add_parser("summary")
    s.add_argument("results")
    c = sub.add_parser("compare", help="both results over the mutants that both runs scored")
    c.add_argument("before")
    c.add_argument("after")
    args = parser.parse_args()
    if args.command == "list":
        make_list()
    elif args.command == "run":
        run(args.rev, os.path.abspath(args.results))
    elif args.command == "compare":
        before, after = read_results(args.before), read_results(args.after)
        both = set(before) & set(after)
        for name, results in (("before", args.before), ("after", args.after)):
            print(name + ": ", end="")
            summary(results, both)
        for mid in sorted(both):
            if before[mid] != after[mid]:
                print(f"{mid}: {before[mid]} before, {after[mid]} after")
    else:
        summary(args.results)


if __name__ == "__main__":
    main()
