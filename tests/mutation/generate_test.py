#!/usr/bin/python3
"""The mutant generator's table: for each line of a small source text, the
mutants each operator must make from it (none on an arid line); ids that do
not move when an unrelated line is added above; a per-line cap and a sample
that pick the same mutants from the same text."""
import contextlib
import importlib.machinery
import importlib.util
import io
import pathlib
import subprocess
import sys

HERE = pathlib.Path(__file__).resolve().parent
loader = importlib.machinery.SourceFileLoader("generate", str(HERE / "generate"))
generate = importlib.util.module_from_spec(importlib.util.spec_from_loader("generate", loader))
loader.exec_module(generate)

# (line of the fixture, operator, the lines it must become); the fixture is
# these lines in order, inside one function.
ROWS = [
    ("    if (size < limit) return 2;", "ROR", {"    if (size <= limit) return 2;"}),
    ("    if (size < limit) return 2;", "NEG", {"    if (!(size < limit)) return 2;"}),
    ("    if (size < limit) return 2;", "CRP", {"    if (size < limit) return 0;", "    if (size < limit) return 1;",
                                              "    if (size < limit) return 3;"}),
    ("    ok = a == b && c != d;", "ROR", {"    ok = a != b && c != d;", "    ok = a == b && c == d;"}),
    ("    ok = a == b && c != d;", "LCR", {"    ok = a == b || c != d;"}),
    ("    while (x >= 1) --x;", "ROR", {"    while (x > 1) --x;"}),
    ("    while (x >= 1) --x;", "CRP", {"    while (x >= 0) --x;", "    while (x >= 2) --x;"}),
    ("    if (!opened.ok()) return Error(Step::Flush, opened.error().code());", "RVR",
     {"    if (!opened.ok()) return platform::Ok();"}),
    ("    return Ok();", "RVR", {"    return platform::Error(platform::Step::Write, 5);"}),
    ("    return true;", "RVR", {"    return false;"}),
    ("    case Outcome::Same: return kExitNothingToDo;", "RVR", {"    case Outcome::Same: return 0;"}),
    ("    file.Flush();", "SDL", {"    ;"}),
    ("    const Status closed =", "SDL", set()),
    ("        Close(file);", "SDL", set()),  # the rest of the statement above
    ("    const auto held = Open(folder, name);", "SWP", {"    const auto held = Open(name, folder);"}),
    ("    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;", "MSK",
     {"    const DWORD share = FILE_SHARE_WRITE | FILE_SHARE_DELETE;",
      "    const DWORD share = FILE_SHARE_READ | FILE_SHARE_DELETE;",
      "    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;"}),
    ("    const DWORD mask = 0x10;", "CRP", {"    const DWORD mask = 0x0;", "    const DWORD mask = 0x1;",
                                           "    const DWORD mask = 0x11;"}),
    # Text in literals and comments is not code.
    ('    Write(u"a < b && 1", size);  // x == 0', "ROR", set()),
    ('    Write(u"a < b && 1", size);  // x == 0', "CRP", set()),
    ("    std::vector<int> sizes;", "ROR", set()),
    # Arid lines: nothing at all.
    ("    // if (a == 1) return false;", None, set()),
    ("#define LIMIT (a < 2)", None, set()),
    ("    static_assert(sizeof(int) == 4);", None, set()),
    ("    assert(size != 0);", None, set()),
    ("    OutputDebugStringW(size == 0 ? L\"none\" : L\"some\");", None, set()),
    ("    }", None, set()),
]


def fixture(extra_above=""):
    lines = [ "#include <vector>", extra_above, "int Probe(int size, int limit) {"]
    lines += list(dict.fromkeys(row[0] for row in ROWS)) + ["}", ""]
    return "\n".join(lines)


def main():
    failures = []
    made = generate.mutants_of("app/probe.cpp", fixture())
    for line, operator, expected in ROWS:
        got = {m.after for m in made if m.before == line and operator in (None, m.operator)}
        if got != expected:
            failures.append(f"{operator or 'any'} on {line.strip()!r}: got {sorted(got)}, expected {sorted(expected)}")
    if any(m.function != "Probe" for m in made):
        failures.append(f"functions named {sorted({m.function for m in made})}, expected Probe")

    moved = generate.mutants_of("app/probe.cpp", fixture("int Unrelated() { return 7 < 8; }"))
    ids = {(m.before, m.after): m.id for m in made}
    moved_ids = {(m.before, m.after): m.id for m in moved if m.function == "Probe"}
    if ids != moved_ids:
        failures.append("ids changed when an unrelated line was added above")
    if len({m.id for m in made}) != len(made):
        failures.append("two mutants share an id")

    capped = generate.mutants_of("app/probe.cpp", fixture(), per_line=2)
    per_line = {}
    for m in capped:
        per_line[m.line] = per_line.get(m.line, 0) + 1
    if max(per_line.values()) > 2 or capped != generate.mutants_of("app/probe.cpp", fixture(), per_line=2):
        failures.append("the per-line cap keeps more than two, or not the same two each time")
    if [m.id for m in generate.sample(made, 5)] != [m.id for m in generate.sample(list(reversed(made)), 5)]:
        failures.append("the sample depends on the order the mutants were made in")
    if {m.id for m in generate.sample(made, 5)} != {m.id for m in generate.sample(
            [m for m in moved if m.function == "Probe"], 5)}:
        failures.append("the sample moved when an unrelated line was added above")

    # The report: a survivor listed as equivalent is explained and leaves the
    # score; one Wine cannot show is explained only in a *_win32 file, and
    # stays against the score.
    native = generate.mutants_of("app/command_line.cpp", fixture())[:2]
    win32 = generate.mutants_of("app/probe_win32.cpp", fixture())[:2]
    results = [(native[0], "killed", ""), (native[1], "survived", ""), (win32[0], "survived", ""),
               (win32[1], "survived", "")]
    listed = ({native[1].id: "why"}, {win32[0].id: "why", win32[1].id: "why"})
    score, quiet = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(score):
        unexplained = generate.report(results, *listed)
    with contextlib.redirect_stdout(quiet):
        native_unshown = generate.report([(native[1], "survived", "")], {}, {native[1].id: "why"})
    if unexplained != 0 or native_unshown != 1:
        failures.append(f"the report leaves {unexplained} unexplained (expected 0) and explains a native "
                        f"survivor listed as unshown ({native_unshown}, expected 1)")
    if "33%" not in score.getvalue().splitlines()[-1]:
        failures.append("a survivor Wine cannot show does not count against the score: " + score.getvalue())

    # The sample scripts/test judges, picked twice from this tree.
    picks = [subprocess.run([str(HERE / "generate"), "--sample", "12", "--list"], capture_output=True,
                            text=True, check=True).stdout for _ in range(2)]
    if picks[0] != picks[1] or picks[0].count("\n") < 12:
        failures.append("two picks of the sample from the same tree differ, or are short")

    for failure in failures:
        print("FAILED:", failure)
    print(f"generate_test: {len(ROWS)} rows, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
