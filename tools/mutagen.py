#!/usr/bin/env python3
"""Mutants made by rule over the sources, and a runner for them.

Every comparison is moved to its neighbour, `&&` and `||` swapped, a `!` dropped, `true` and
`false` swapped, an integer literal moved by one or set to 0, a call statement deleted, a
returned value replaced by its type's default and a string literal emptied. The rules work on
tokens, so comments, strings and preprocessor lines are never mutated by mistake, and code that
no build compiles on this platform (Windows or macOS branches) is skipped and counted.

  mutagen.py list [--sample N --seed S --since REV] [--write FILE]
  mutagen.py coverage --build DIR            which tests run each source line (a --coverage build)
  mutagen.py run --build DIR [--coverage-build DIR] [--sample N --seed S --since REV]
                 [--mutants FILE --only ID,ID] [--results FILE [--resume]]
  mutagen.py restore                         puts back files a killed run left mutated

A mutant is killed when some test fails with it applied. The runner builds only what the tests
covering the mutated line need, runs the quick ones first and stops at the first failure. A test
that never ran the line cannot kill its mutant, so the rest of the suite is run only for a line
the coverage does not name (a declaration, say), whose tests are not known. --write gives the single-line mutants in the
format of ../shared/mutation/mutate.py; --mutants runs such a file (its `tests` name test
programs, which here stand for all their ctest entries).
"""
import argparse
import hashlib
import importlib.util
import json
import os
import random
import re
import signal
import shutil
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BACKUP = ".mutagen-orig"
COVERAGE_FILE = "mutagen-coverage.json"
QUICK_SECONDS = 3

# What this platform's compiler defines; any other macro in a condition counts as unknown,
# and unknown branches are all mutated.
PLATFORM_MACROS = {
    "Q_OS_LINUX": True, "Q_OS_UNIX": True, "__linux__": True, "__unix__": True,
    "Q_OS_WIN": False, "Q_OS_WIN32": False, "Q_OS_WIN64": False, "_WIN32": False, "WIN32": False,
    "Q_OS_MACOS": False, "Q_OS_MAC": False, "Q_OS_DARWIN": False, "__APPLE__": False,
    "Q_OS_FREEBSD": False, "Q_OS_ANDROID": False, "Q_OS_IOS": False, "_MSC_VER": False,
}
OPERATORS = sorted("""<=> <<= >>= ->* ... :: -> ++ -- << >> <= >= == != && || += -= *= /= %= &= |= ^=
    .* ## { } [ ] ( ) ; : , . ? ~ ! + - * / % ^ & | = < > #""".split(), key=len, reverse=True)
NUMBER = re.compile(r"(0[xX][0-9a-fA-F']+|0[bB][01']+|\d[\d']*(\.[\d']*)?([eE][+-]?\d+)?|"
                    r"\.\d+([eE][+-]?\d+)?)([a-zA-Z_]\w*)?")
IDENT = re.compile(r"[A-Za-z_]\w*")
STRING_PREFIXES = {"u8", "u", "U", "L"}
COMPARISONS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "catch", "decltype", "alignof",
             "static_assert", "delete", "throw", "new", "case", "co_return", "co_await", "typeid",
             "noexcept", "alignas", "requires", "operator", "template", "typename", "static_cast",
             "const_cast", "reinterpret_cast", "dynamic_cast", "qobject_cast"}
CONTROL = {"if", "while", "for"}
DEFAULT_VALUES = {("false",), ("0",), ("nullptr",), ("{", "}"), ("std", "::", "nullopt")}


class Token:
    __slots__ = ("kind", "text", "start", "end", "line", "active")

    def __init__(self, kind, text, start, end, line, active):
        self.kind, self.text, self.start, self.end = kind, text, start, end
        self.line, self.active = line, active


class Conditions:
    """The preprocessor's #if stack, as far as this platform's macros decide it."""

    def __init__(self):
        self.stack = []  # [state of this branch (True, False or None), a branch was taken]

    def active(self):
        return all(state is not False for state, _ in self.stack)

    @staticmethod
    def evaluate(expression):
        expression = re.sub(r"//.*|/\*.*?\*/", "", expression)
        text = re.sub(r"defined\s*\(\s*(\w+)\s*\)|defined\s+(\w+)",
                      lambda m: "@" + (m.group(1) or m.group(2)), expression)
        names = set(re.findall(r"@?[A-Za-z_]\w*", text))
        values = {}
        for name in names:
            known = PLATFORM_MACROS.get(name.lstrip("@"))
            if known is None:
                return None
            values[name] = known
        python = re.sub(r"@?[A-Za-z_]\w*", lambda m: str(values[m.group(0)]), text)
        python = python.replace("&&", " and ").replace("||", " or ")
        python = re.sub(r"!(?!=)", " not ", python)
        try:
            return bool(eval(python, {"__builtins__": {}}))  # only True, False and operators
        except Exception:
            return None

    def directive(self, line):
        match = re.match(r"#\s*(\w+)\s*(.*)", line, re.S)
        if not match:
            return
        name, rest = match.group(1), match.group(2).strip()
        if name in ("if", "ifdef", "ifndef"):
            if name == "if":
                state = self.evaluate(rest)
            else:
                known = PLATFORM_MACROS.get(rest.split()[0] if rest else "")
                state = None if known is None else known == (name == "ifdef")
            self.stack.append([state, state is True])
        elif name in ("elif", "else") and self.stack:
            top = self.stack[-1]
            if top[1]:
                top[0] = False
            else:
                top[0] = True if name == "else" and top[0] is False else (
                    self.evaluate(rest) if name == "elif" else None)
                top[1] = top[0] is True
        elif name == "endif" and self.stack:
            self.stack.pop()


def tokenize(text):
    tokens, i, line, n = [], 0, 1, len(text)
    conditions = Conditions()
    line_start = True

    def add(kind, start, end):
        tokens.append(Token(kind, text[start:end], start, end, line, conditions.active()))

    while i < n:
        c = text[i]
        if c == "\n":
            line, line_start, i = line + 1, True, i + 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if c == "#" and line_start:
            end = i
            while end < n and text[end] != "\n":
                end += 2 if text.startswith("\\\n", end) else 1
            directive = text[i:end]
            conditions.directive(directive.replace("\\\n", " "))
            line += directive.count("\n")
            i = end
            continue
        line_start = False
        if text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        ident = IDENT.match(text, i)
        if ident:
            word, end = ident.group(0), ident.end()
            if end < n and text[end] == '"' and word.endswith("R") and word[:-1] in STRING_PREFIXES | {""}:
                close_paren = text.index("(", end)
                delimiter = text[end + 1:close_paren]
                close = text.index(")" + delimiter + '"', close_paren) + len(delimiter) + 2
                close = suffix_end(text, close)
                start_line = line
                add("str", i, close)
                tokens[-1].line = start_line
                line += text.count("\n", i, close)
                i = close
                continue
            if end < n and text[end] in "\"'" and word in STRING_PREFIXES:
                i = quoted(text, i, end, tokens, line, conditions)
                continue
            add("id", i, end)
            i = end
            continue
        if c.isdigit() or (c == "." and i + 1 < n and text[i + 1].isdigit()):
            number = NUMBER.match(text, i)
            add("num", i, number.end())
            i = number.end()
            continue
        if c in "\"'":
            i = quoted(text, i, i, tokens, line, conditions)
            continue
        for op in OPERATORS:
            if text.startswith(op, i):
                add("op", i, i + len(op))
                i += len(op)
                break
        else:
            i += 1
    return tokens


def suffix_end(text, at):
    ident = IDENT.match(text, at)
    return ident.end() if ident else at


def quoted(text, start, quote_at, tokens, line, conditions):
    quote, i = text[quote_at], quote_at + 1
    while text[i] != quote:
        i += 2 if text[i] == "\\" else 1
    end = suffix_end(text, i + 1)
    tokens.append(Token("str" if quote == '"' else "chr", text[start:end], start, end, line,
                        conditions.active()))
    return end


def matching(tokens):
    """For each bracket, the index of its partner."""
    pairs, stack = {}, []
    for index, token in enumerate(tokens):
        if token.kind != "op":
            continue
        if token.text in "([{":
            stack.append(index)
        elif token.text in ")]}" and stack:
            opened = stack.pop()
            pairs[opened], pairs[index] = index, opened
    return pairs


TYPE_TOKENS = {"::", ",", "*", "&", "const"}


def template_close(tokens, at):
    """Index of the `>` closing a template argument list opened at `at`, or None."""
    depth = 0
    for index in range(at, min(len(tokens), at + 40)):
        token = tokens[index]
        if token.text == "<":
            depth += 1
        elif token.text in (">", ">>"):
            depth -= len(token.text)
            if depth <= 0:
                return index
        elif not (token.kind in ("id", "num") or token.text in TYPE_TOKENS or token.text in "()"):
            return None
    return None


class Source:
    def __init__(self, path, text):
        self.path, self.text = path, text
        self.tokens = tokenize(text)
        self.pairs = matching(self.tokens)
        self.template_brackets = set()
        for index, token in enumerate(self.tokens):
            if token.text == "<" and index and (self.tokens[index - 1].kind == "id" or
                                                self.tokens[index - 1].text == "template"):
                close = template_close(self.tokens, index)
                if close is not None:
                    self.template_brackets.update((index, close))
        self.enclosing = self.enclosing_brackets()

    def enclosing_brackets(self):
        result, stack = [], []
        for token in self.tokens:
            if token.text in ")]}" and stack:
                stack.pop()
            result.append(stack[-1] if stack else None)
            if token.text in "([{":
                stack.append(len(result) - 1)
        return result

    def mutant(self, first, last, new, rule):
        start, end = self.tokens[first].start, self.tokens[last].end
        token = self.tokens[first]
        return {"file": self.path, "line": token.line, "start": start, "end": end,
                "old": self.text[start:end], "new": new, "rule": rule, "active": token.active}

    def mutants(self):
        found = []
        for index, token in enumerate(self.tokens):
            for made in self.rules_at(index, token):
                found.append(made)
        return found

    def rules_at(self, index, token):
        previous = self.tokens[index - 1].text if index else ""
        if token.kind == "op" and token.text in COMPARISONS and previous != "operator" and \
                index not in self.template_brackets:
            yield self.mutant(index, index, COMPARISONS[token.text], "comparison")
        if token.text in ("&&", "||") and self.text[token.end:token.end + 1].isspace():
            yield self.mutant(index, index, "||" if token.text == "&&" else "&&", "logic")
        if token.text == "!":
            yield self.mutant(index, index, "", "negation-dropped")
        if token.text in ("true", "false"):
            yield self.mutant(index, index, "false" if token.text == "true" else "true", "boolean")
        if token.kind == "num":
            yield from self.literal_mutants(index, token)
        if token.kind == "str" and previous not in ("extern", "operator"):
            emptied = emptied_string(token.text)
            if emptied != token.text:
                yield self.mutant(index, index, emptied, "string-emptied")
        if token.text == "return":
            made = self.return_mutant(index)
            if made:
                yield made
        if token.kind == "id" and self.starts_statement(index):
            last = self.call_statement_end(index)
            if last is not None:
                yield self.mutant(index, last, ";", "call-deleted")

    def literal_mutants(self, index, token):
        match = NUMBER.fullmatch(token.text)
        if match is None or match.group(2) is not None or match.group(3) or \
                (match.group(1).lower().startswith("0x") is False and "e" in match.group(1).lower()):
            return
        suffix = match.group(5) or ""
        if suffix and not re.fullmatch(r"[uUlL]+", suffix):
            return
        digits = match.group(1).replace("'", "")
        value = int(digits, 0) if not re.fullmatch(r"0\d+", digits) else int(digits, 8)
        for new in (value + 1, 0 if value else None):
            if new is not None:
                yield self.mutant(index, index, str(new) + suffix, "literal")

    def return_mutant(self, index):
        end = index + 1
        while end < len(self.tokens) and self.tokens[end].text != ";":
            end = self.pairs.get(end, end) + 1
        value = tuple(t.text for t in self.tokens[index + 1:end])
        if not value or value in DEFAULT_VALUES or end >= len(self.tokens) or \
                self.in_untyped_lambda(index):
            return None
        return self.mutant(index + 1, end - 1, "{}", "return-default")

    def in_untyped_lambda(self, index):
        """Whether the innermost function body around `index` is a lambda without `-> Type`."""
        at = self.enclosing[index]
        while at is not None and self.tokens[at].text != "{":
            at = self.enclosing[at]
        if at is None or at == 0:
            return False
        before = self.tokens[at - 1].text
        if before == "mutable":
            before, at = self.tokens[at - 2].text, at - 1
        if before == "]":
            return True
        if before == ")":
            opened = self.pairs.get(at - 1)
            return opened is not None and opened > 0 and self.tokens[opened - 1].text == "]"
        return False

    def starts_statement(self, index):
        if not index:
            return False
        opened = self.enclosing[index]
        if opened is None or self.tokens[opened].text != "{":
            return False
        previous = self.tokens[index - 1]
        if previous.text in (";", "{", "}", "else"):
            return True
        if previous.text == ")":
            opened = self.pairs.get(index - 1)
            return opened is not None and opened > 0 and self.tokens[opened - 1].text in CONTROL
        return False

    def call_statement_end(self, index):
        """Index of the `;` ending a statement that is only a call, or None."""
        tokens, at = self.tokens, index
        if tokens[at].text in ("emit", "Q_EMIT"):
            at += 1
        first = tokens[at].text if at < len(tokens) else ""
        if first in NOT_CALLS or re.fullmatch(r"[A-Z][A-Z0-9_]+", first):
            return None
        called, named = False, False
        while at < len(tokens):
            token = tokens[at]
            if token.kind == "id" and not named and not called:
                named = True
                at += 1
                if at < len(tokens) and tokens[at].text == "<":
                    close = template_close(tokens, at)
                    if close is None:
                        return None
                    at = close + 1
            elif token.text in ("::", ".", "->"):
                called, named = False, False
                at += 1
            elif token.text == "[" and at in self.pairs and (named or called):
                at = self.pairs[at] + 1
            elif token.text == "(" and at in self.pairs and (named or called):
                at, called, named = self.pairs[at] + 1, True, False
            elif token.text == ";" and called:
                return at
            else:
                return None
        return None


def emptied_string(text):
    raw = re.match(r'(u8|u|U|L)?R"([^(]*)\(', text)
    if raw:
        delimiter = raw.group(2)
        close = text.rindex(")" + delimiter + '"')
        return text[:raw.end()] + text[close:]
    first, last = text.index('"'), text.rindex('"')
    return text[:first + 1] + text[last:]


def source_files():
    found = []
    for folder, _, names in os.walk(os.path.join(ROOT, "src")):
        for name in names:
            if name.endswith((".cpp", ".h")):
                found.append(os.path.relpath(os.path.join(folder, name), ROOT))
    return sorted(found)


def all_mutants():
    mutants = []
    for path in source_files():
        with open(os.path.join(ROOT, path), encoding="utf-8") as handle:
            mutants.extend(Source(path, handle.read()).mutants())
    for number, mutant in enumerate(mutants):
        mutant["id"] = "G%05d" % number
    return mutants


def changed_lines(revision):
    """(file, line) of every line added or changed in src/ since `revision`."""
    diff = subprocess.run(["git", "-C", ROOT, "diff", "-M", "-U0", revision, "--", "src"],
                          check=True, capture_output=True, text=True).stdout
    changed, path = set(), None
    for line in diff.splitlines():
        if line.startswith("+++ "):
            path = line[6:] if line.startswith("+++ b/") else None
        hunk = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
        if hunk and path:
            first, count = int(hunk.group(1)), int(hunk.group(2) or "1")
            changed.update((path, first + k) for k in range(count))
    return changed


def sample(mutants, size, seed, revision):
    chooser = random.Random(seed)
    if not size or size >= len(mutants):
        return mutants
    if not revision:
        return sorted(chooser.sample(mutants, size), key=lambda m: m["id"])
    changed = changed_lines(revision)
    recent = [m for m in mutants if (m["file"], m["line"]) in changed]
    older = [m for m in mutants if (m["file"], m["line"]) not in changed]
    take = min(size // 2, len(recent))
    picked = chooser.sample(recent, take) + chooser.sample(older, min(size - take, len(older)))
    for mutant in picked[:take]:
        mutant["recent"] = True
    return sorted(picked, key=lambda m: m["id"])


def describe(mutant):
    old = " ".join(mutant["old"].split())
    old = old if len(old) <= 40 else old[:37] + "..."
    return "%s %s '%s' -> '%s'" % (mutant["id"], mutant["rule"], old, mutant["new"])


def write_for_mutate(mutants, path):
    """The single-line mutants in mutate.py's format; returns how many did not fit on a line."""
    left_out = 0
    with open(path, "w", encoding="utf-8") as out:
        out.write("# Made by tools/mutagen.py; every test runs for each.\n")
        for mutant in mutants:
            with open(os.path.join(ROOT, mutant["file"]), encoding="utf-8") as handle:
                text = handle.read()
            line_start = text.rfind("\n", 0, mutant["start"]) + 1
            line_end = text.find("\n", mutant["end"])
            line_end = len(text) if line_end < 0 else line_end
            old_line = text[line_start:line_end]
            if "\n" in old_line:
                left_out += 1
                continue
            new_line = text[line_start:mutant["start"]] + mutant["new"] + text[mutant["end"]:line_end]
            out.write("\n[%s]\nfile = %s\nline = %d\nold = %s\nnew = %s\nkind = %s\n" % (
                mutant["id"], mutant["file"], mutant["line"], old_line, new_line, mutant["rule"]))
    return left_out


# --- running ------------------------------------------------------------------------------------

class Interrupted(Exception):
    pass


STOPPING = threading.Event()
RUNNING = set()  # the process groups of every worker's build or test


def stop(*_):
    raise Interrupted()


def end_all_processes():
    STOPPING.set()
    for group in list(RUNNING):
        try:
            os.killpg(group, signal.SIGKILL)
        except ProcessLookupError:
            pass


def run(command, timeout=None, cwd=None):
    """Runs `command` in a process group of its own, all of which a timeout or a stop ends."""
    if STOPPING.is_set():
        raise Interrupted()
    started = time.monotonic()
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               errors="replace", start_new_session=True, cwd=cwd)
    RUNNING.add(process.pid)
    try:
        out, _ = process.communicate(timeout=timeout)
        if STOPPING.is_set():
            raise Interrupted()
        return process.returncode, out, time.monotonic() - started
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        out, _ = process.communicate()
        return 124, out, time.monotonic() - started
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise
    finally:
        RUNNING.discard(process.pid)


def ctest_entries(build):
    """Each ctest entry and the ninja target of its program, None for a script."""
    code, out, _ = run(["ctest", "--test-dir", build, "--show-only=json-v1"])
    if code != 0:
        sys.exit("cannot list the tests of %s:\n%s" % (build, out[-2000:]))
    entries = {}
    for test in json.loads(out[out.index("{"):])["tests"]:
        program = test.get("command", [""])[0]
        built = os.path.dirname(os.path.abspath(program)) == os.path.abspath(build)
        entries[test["name"]] = os.path.basename(program) if built else None
    return entries


def cost_data(build):
    """How long each entry took when ctest last ran it in `build`."""
    durations = {}
    path = os.path.join(build, "Testing", "Temporary", "CTestCostData.txt")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as handle:
            for line in handle:
                words = line.split()
                if len(words) == 3:
                    durations[words[0]] = float(words[2])
    return durations


def fingerprint():
    digest = hashlib.sha1()
    for folder in ("src", "tests"):
        for base, _, names in sorted(os.walk(os.path.join(ROOT, folder))):
            for name in sorted(names):
                with open(os.path.join(base, name), "rb") as handle:
                    digest.update(name.encode() + handle.read())
    return digest.hexdigest()


def coverage_map(build):
    """Runs each ctest entry alone in a --coverage build and notes the src lines it ran."""
    path = os.path.join(build, COVERAGE_FILE)
    if os.path.exists(path):
        with open(path, encoding="utf-8") as handle:
            known = json.load(handle)
        if known.get("fingerprint") == fingerprint():
            return known
    code, out, _ = run(["ninja", "-C", build])
    if code != 0:
        sys.exit("the coverage build failed:\n" + out[-3000:])
    lines, durations, executable = {}, {}, {}
    for entry in ctest_entries(build).keys():
        for base, _, names in os.walk(build):
            for name in names:
                if name.endswith(".gcda"):
                    os.remove(os.path.join(base, name))
        code, _, seconds = run(["ctest", "--test-dir", build, "-R", "^%s$" % re.escape(entry)])
        durations[entry] = round(seconds, 1)
        report = os.path.join(build, "mutagen-gcovr.json")
        # A program that many processes ran at once can leave a branch count gcov prints as -1;
        # the lines' counts are still right. An error in one of gcovr's threads would hang it.
        if os.path.exists(report):
            os.remove(report)
        code, out, _ = run(["gcovr", "-r", ROOT, "--object-directory", build, "-f",
                            os.path.join(ROOT, "src"), "-j", "2", "--gcov-ignore-parse-errors",
                            "--json", "-o", report], timeout=600)
        if code != 0 or not os.path.exists(report):
            sys.exit("gcovr found no coverage for %s:\n%s" % (entry, out[-2000:]))
        with open(report, encoding="utf-8") as handle:
            for record in json.load(handle)["files"]:
                ran = lines.setdefault(record["file"], {})
                code_lines = executable.setdefault(record["file"], set())
                for line in record["lines"]:
                    code_lines.add(line["line_number"])
                    if line["count"]:
                        ran.setdefault(str(line["line_number"]), []).append(entry)
        print("coverage: %-70s %5.1fs%s" % (entry, seconds, "" if code == 0 else " (FAILED)"),
              flush=True)
    known = {"fingerprint": fingerprint(), "durations": durations, "lines": lines,
             "executable": {path: sorted(found) for path, found in executable.items()}}
    with open(path, "w", encoding="utf-8") as handle:
        json.dump(known, handle)
    return known


def never_run(known, mutant):
    """Whether the mutated line is code that some test program holds and that no test came near:
    no test can kill such a mutant. gcov does not count every line of a statement that ran, so
    the lines just above must not have run either; a line it does not know (a declaration) is
    never taken for unrun."""
    if not known or "executable" not in known:
        return False
    return (mutant["line"] in known["executable"].get(mutant["file"], []) and
            not covering(known, mutant)[0])


def covering(known, mutant):
    """The entries that ran the mutated lines, or those of the nearest line above that ran, and
    whether they ran the mutated lines themselves."""
    ran = known["lines"].get(mutant["file"], {}) if known else {}
    last = mutant["line"] + mutant["old"].count("\n")
    found = set()
    for line in range(mutant["line"], last + 1):
        found.update(ran.get(str(line), []))
    direct = bool(found)
    for line in range(mutant["line"] - 1, max(0, mutant["line"] - 6), -1):
        if found:
            break
        found.update(ran.get(str(line), []))
    return sorted(found), direct


def restore_all(root=ROOT):
    restored = []
    for base, _, names in os.walk(os.path.join(root, "src")):
        for name in names:
            if name.endswith(BACKUP):
                backup = os.path.join(base, name)
                os.replace(backup, backup[:-len(BACKUP)])
                os.utime(backup[:-len(BACKUP)], None)
                restored.append(backup[:-len(BACKUP)])
    return restored


def test_phase(build, entries, programs, timeout):
    """Builds what the entries need and runs them until the first failure: (outcome, detail)."""
    targets = sorted({programs[e] for e in entries})
    code, out, _ = run(["ninja", "-C", build, "-j2"] + ([] if None in targets else targets))
    if code != 0:
        return "build-error", out[-600:]
    pattern = "^(%s)$" % "|".join(re.escape(e) for e in entries)
    code, out, _ = run(["ctest", "--test-dir", build, "--stop-on-failure", "-j2", "-R", pattern],
                       timeout=timeout)
    if code == 124:
        return "killed", "timed out"
    if code == 0:
        return "survived", ""
    failed = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
    return "killed", ", ".join(failed) or out[-300:]


def batches(first, everything, durations, direct):
    """The quick tests that ran the line, the slow ones two at a time, then the rest in the same
    way. A test that never ran the mutated line cannot tell it from the original, so when the
    coverage names the line itself, the rest is left out; only a line it does not name meets the
    whole suite."""
    rest = [] if direct and first else [e for e in everything if e not in first]
    found = []
    for group in (first, rest):
        group = sorted(group, key=lambda e: durations.get(e, 60))
        quick = [e for e in group if durations.get(e, 60) <= QUICK_SECONDS]
        slow = group[len(quick):]
        # ctest starts the longest entries first; in pairs, shortest first, a mutant that a short
        # scenario kills is not held up by the long ones.
        found += [quick] + [slow[i:i + 2] for i in range(0, len(slow), 2)]
    return [batch for batch in found if batch]


def apply_and_test(mutant, worker, known, durations):
    build, programs = worker["build"], worker["programs"]
    path = os.path.join(worker["root"], mutant["file"])
    with open(path, encoding="utf-8", newline="") as handle:
        original = handle.read()
    if original[mutant["start"]:mutant["end"]] != mutant["old"]:
        return "not-applied", "the source has changed"
    os.replace(path, path + BACKUP)
    try:
        with open(path, "w", encoding="utf-8", newline="") as handle:
            handle.write(original[:mutant["start"]] + mutant["new"] + original[mutant["end"]:])
        if never_run(known, mutant):
            return "survived", "no test runs this line"
        found, direct = covering(known, mutant)
        first = [e for e in found if e in programs]
        outcome, detail = "survived", ""
        for batch in batches(first, list(programs), durations, direct):
            budget = 90 + 2 * sum(durations.get(e, 60) for e in batch)
            outcome, detail = test_phase(build, batch, programs, budget)
            if outcome != "survived":
                break
        return outcome, detail
    finally:
        os.replace(path + BACKUP, path)
        # A fresh time stamp makes ninja compile the restored file again (a ccache hit).
        os.utime(path, None)


def from_mutate_file(path, only):
    """Mutants of a mutate.py file, located by its own rules, as offsets in today's sources."""
    loader_info = importlib.util.spec_from_file_location(
        "mutate", os.path.join(ROOT, "..", "shared", "mutation", "mutate.py"))
    mutate = importlib.util.module_from_spec(loader_info)
    loader_info.loader.exec_module(mutate)
    mutants = []
    for listed in mutate.parse_mutants(path):
        if only and listed["id"] not in only:
            continue
        with open(os.path.join(ROOT, listed["file"]), encoding="utf-8") as handle:
            text = handle.read()
        lines = text.split("\n")
        at, _ = mutate.locate(lines, listed)
        if at is None:
            print("%s not applied: not found" % listed["id"])
            continue
        start = sum(len(line) + 1 for line in lines[:at]) + lines[at].index(listed["old"])
        mutants.append({"id": listed["id"], "file": listed["file"], "line": at + 1, "start": start,
                        "end": start + len(listed["old"]), "old": listed["old"],
                        "new": listed["new"], "rule": listed.get("kind", ""), "active": True})
    return mutants


def configure(build, *flags, root=ROOT):
    if os.path.exists(os.path.join(build, "build.ninja")):
        return
    code, out, _ = run(["cmake", "-S", root, "-B", build, "-G", "Ninja",
                        "-DCMAKE_BUILD_TYPE=Debug"] + list(flags))
    if code != 0:
        sys.exit("cannot configure %s:\n%s" % (build, out[-3000:]))


def key(mutant):
    return (mutant["file"], mutant["start"], mutant["old"], mutant["new"])


def earlier_results(args, mutants):
    """With --resume, the outcomes that the results file holds for these very mutants."""
    if not (args.resume and args.results and os.path.exists(args.results)):
        return []
    wanted = {key(m): m for m in mutants}
    found = {}
    with open(args.results, encoding="utf-8") as handle:
        for line in handle:
            earlier = json.loads(line)
            if key(earlier) in wanted:
                found[key(earlier)] = (wanted[key(earlier)], earlier["outcome"], earlier["seconds"])
    print("%d mutants already run, taken from %s" % (len(found), args.results))
    return list(found.values())


# Each mutant compiles one file again and links every program its tests need: without debug
# information both take a fraction of the time, and lld links faster still.
MUTANT_FLAGS = ("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld", "-DCMAKE_CXX_FLAGS_DEBUG=-O0")


def same_bytes(first, second):
    if not os.path.isfile(second):
        return False
    with open(first, "rb") as a, open(second, "rb") as b:
        return a.read() == b.read()


def worker_tree(number, build):
    """Worker 0 mutates this tree; each other worker a copy of the files git knows of, under the
    build folder, brought up to today's sources for every run. A file that changed is written
    anew, so that its time is later than the worker's objects and ninja builds it again; a time
    kept from the original could be older and leave a stale object in the worker's build."""
    if number == 0:
        return ROOT
    tree = os.path.join(build, "worker-%d" % number)
    listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-co", "--exclude-standard", "-z"],
                            check=True, capture_output=True, text=True).stdout
    wanted = {name for name in listed.split("\0") if os.path.isfile(os.path.join(ROOT, name))}
    for base, _, names in os.walk(os.path.join(tree, "src")):
        for name in names:
            if os.path.relpath(os.path.join(base, name), tree) not in wanted:
                os.remove(os.path.join(base, name))
    for name in wanted:
        if not same_bytes(os.path.join(ROOT, name), os.path.join(tree, name)):
            os.makedirs(os.path.dirname(os.path.join(tree, name)), exist_ok=True)
            shutil.copyfile(os.path.join(ROOT, name), os.path.join(tree, name))
    return tree


def prepare_worker(number, build):
    root = worker_tree(number, build)
    folder = build if number == 0 else os.path.join(root, "build-mutation")
    configure(folder, *MUTANT_FLAGS, root=root)
    code, out, _ = run(["ninja", "-C", folder, "-j2"])
    if code != 0:
        sys.exit("the build failed before any mutant:\n" + out[-3000:])
    return {"number": number, "root": root, "build": folder, "programs": ctest_entries(folder)}


def run_all(args, mutants):
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    for path in restore_all():
        print("restored %s, left mutated by an earlier run" % path)
    known = None
    if args.coverage_build:
        configure(args.coverage_build, "-DCMAKE_CXX_FLAGS=--coverage",
                  "-DCMAKE_EXE_LINKER_FLAGS=--coverage")
        known = coverage_map(args.coverage_build)
    # ccache shares the objects of the workers' copies, whose paths differ only in their root.
    os.environ.setdefault("CCACHE_BASEDIR", os.path.dirname(ROOT))
    workers = [prepare_worker(number, args.build) for number in range(args.workers)]
    durations = dict(cost_data(args.build), **(known["durations"] if known else {}))
    results = earlier_results(args, mutants)
    done = {key(m) for m, _, _ in results}
    waiting = [m for m in mutants if key(m) not in done]
    lock = threading.Lock()
    began_all = time.monotonic()

    def work(worker):
        while True:
            with lock:
                if not waiting or STOPPING.is_set():
                    return
                mutant = waiting.pop(0)
            began = time.monotonic()
            try:
                outcome, detail = apply_and_test(mutant, worker, known, durations)
            except Interrupted:
                return
            seconds = time.monotonic() - began
            with lock:
                results.append((mutant, outcome, seconds))
                print("%s:%d  %-9s %5.1fs  %s%s" % (
                    mutant["file"], mutant["line"], outcome, seconds, describe(mutant),
                    "  [%s]" % detail if detail else ""), flush=True)
                if args.results:
                    with open(args.results, "a", encoding="utf-8") as handle:
                        handle.write(json.dumps(dict(mutant, outcome=outcome, detail=detail,
                                                     seconds=round(seconds, 1))) + "\n")

    threads = [threading.Thread(target=work, args=(w,)) for w in workers]
    for thread in threads:
        thread.start()
    try:
        while any(thread.is_alive() for thread in threads):
            for thread in threads:
                thread.join(0.5)
    except Interrupted:
        end_all_processes()
        for thread in threads:
            thread.join()
        print("interrupted; every file is restored")
    report(results, time.monotonic() - began_all, len(results) - len(done), args.workers)
    return 0


def equivalents():
    """(file, line, rule, old, new) of the survivors no test can tell from the original."""
    found = []
    path = os.path.join(ROOT, "tools", "mutants-equivalent.txt")
    with open(path, encoding="utf-8") as handle:
        for line in handle:
            match = re.match(r"(\S+):(\d+) (\S+) '(.*)' -> '(.*)'  #", line)
            if match:
                found.append((match.group(1), int(match.group(2))) + match.groups()[2:])
    return found


def is_equivalent(mutant, listed):
    old = " ".join(mutant["old"].split())
    return any(path == mutant["file"] and abs(line - mutant["line"]) <= 40 and
               rule == mutant["rule"] and was == old and now == mutant["new"]
               for path, line, rule, was, now in listed)


def report(results, wall=0.0, ran=0, workers=1):
    listed = equivalents()
    results = [(m, "equivalent" if o == "survived" and is_equivalent(m, listed) else o, s)
               for m, o, s in results]
    counted = [r for r in results if r[1] in ("killed", "survived")]
    killed = sum(r[1] == "killed" for r in counted)
    recent = [r for r in counted if r[0].get("recent")]
    print("\nscore: %d killed of %d (%s); %d listed as equivalent; %d not built or not applied; "
          "%.1f s per mutant, %.0f s in all (the builds before the first excepted)" % (
              killed, len(counted), "%.1f%%" % (100.0 * killed / len(counted)) if counted else "-",
              sum(r[1] == "equivalent" for r in results),
              sum(r[1] not in ("killed", "survived", "equivalent") for r in results),
              sum(r[2] for r in results) / max(len(results), 1), sum(r[2] for r in results)))
    if workers > 1 and ran:
        print("with %d workers side by side: %.1f s of wall time per mutant" % (workers, wall / ran))
    if recent:
        print("of them from the recent lines: %d killed of %d" % (
            sum(r[1] == "killed" for r in recent), len(recent)))
    for mutant, outcome, _ in results:
        if outcome == "survived":
            print("SURVIVED %s:%d  %s" % (mutant["file"], mutant["line"], describe(mutant)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("command", choices=("list", "coverage", "run", "restore"))
    parser.add_argument("--sample", type=int, default=0, help="how many mutants (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--since", default="", help="draw half the sample from lines changed since")
    parser.add_argument("--write", default="", help="write them in mutate.py's format")
    parser.add_argument("--build", default=os.path.join(ROOT, "build-mutation"))
    parser.add_argument("--coverage-build", default="", help="a build with --coverage (made if missing)")
    parser.add_argument("--mutants", default="", help="run a mutate.py file instead")
    parser.add_argument("--only", default="")
    parser.add_argument("--results", default="", help="append each outcome to this file")
    parser.add_argument("--workers", type=int, default=1,
                        help="mutants tested side by side, each worker in a copy of the tree")
    parser.add_argument("--resume", action="store_true",
                        help="take the outcomes the results file already has for the same mutants")
    args = parser.parse_args()

    if args.command == "restore":
        for path in restore_all():
            print("restored", path)
        return 0
    if args.command == "coverage":
        coverage_map(args.build)
        return 0
    if args.mutants:
        mutants = from_mutate_file(args.mutants, set(filter(None, args.only.split(","))))
    else:
        made = all_mutants()
        mutants = [m for m in made if m["active"]]
        print("%d mutants in %d files; %d skipped in code this platform does not compile" % (
            len(mutants), len(source_files()), len(made) - len(mutants)))
        mutants = sample(mutants, args.sample, args.seed, args.since)
    if args.command == "run":
        return run_all(args, mutants)
    for mutant in mutants:
        print("%s:%d  %s" % (mutant["file"], mutant["line"], describe(mutant)))
    if args.write:
        left_out = write_for_mutate(mutants, args.write)
        print("%d written to %s; %d span lines and were left out" % (
            len(mutants) - left_out, args.write, left_out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
