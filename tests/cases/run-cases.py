#!/usr/bin/env python3
"""Runs the case corpus: each case is a folder of input files, a `case` file and the exact
outputs expected of it.

    run-cases.py --bin BUILD_DIR [--bless [--failed] [--status]] GROUP_OR_CASE...
    run-cases.py --program "wine DIR/verdalia-cli.exe" [--tools BUILD_DIR] [--skip LIST] ...

--program runs the corpus through another build of the command line (the Windows one under
wine, say): the cases' runs find it as verdalia-cli, with the Base folder beside the program
its last word names, and the other programs of --tools (verdalia-gen) after it. --skip names
a file of the cases that cannot hold there, one a line as "GROUP/CASE: why"; they are not
run, and are listed with their reason.

A case folder holds:
  case         "aim:" one line saying what the case is for; "run:" shell lines run in a
               copy of the folder (verdalia-cli is on the PATH); "status:" the exit status
               of the last one (echo the others' where they matter); "files:" inputs
               taken from the source tree (samples/...); "base:" the SQL source, in the
               source tree, that the case's databases start from instead of the shipped
               database's (a snapshot kept beside fixtures made from it).
  expected/    the outputs, byte for byte: every error list the run leaves (an error list
               not found here must not be written), "stderr" (empty when absent) and
               "stdout" (compared only when present).
  NAME.db.sql  statements run after the shipped database's source; the result is NAME.db
               in the case's copy. reference.sql does the same for ref.db, and a group
               folder may hold one for all its cases, run before the case's own.
  anything else  copied as it is.
Every file of the copy is dated a minute back before the run, as a file handed in has lain a
while: the program reads such a file where it lies, and one written in the last seconds into
memory, so a run line that writes or copies a file of its own meets the other way.
--bless writes what the build does into expected/ and shows, as a diff, every expected file it
changes (lists decoded from Windows-1252). It never records a run that crashed (a signal, a
sanitizer report, an uncaught exception), and it leaves a case whose exit status would change
alone unless --status says so. --failed blesses only the cases that fail.
"""
import argparse
import difflib
import os
import re
import shlex
import shutil
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SHIPPED_SQL = os.path.join(ROOT, "data", "Base", "verdalia7.sql")
NOT_COPIED = {"case", "expected", "reference.sql"}  # ref.db is built below
LISTS = re.compile(r".*\.err\.(fisico|logico)$")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def build_db(path, scripts):
    con = sqlite3.connect(path)
    for script in scripts:
        with open(script, encoding="utf-8") as f:
            con.executescript(f.read())
    con.commit()
    con.close()


def parse_case(path):
    fields = {"aim": [], "run": [], "status": [], "files": [], "base": []}
    for line in open(path, encoding="utf-8").read().splitlines():
        key, sep, value = line.partition(":")
        if sep and key in fields:
            fields[key].append(value.strip())
        elif line.strip():
            raise ValueError(f"{path}: unknown line {line!r}")
    if len(fields["aim"]) != 1 or not fields["run"] or len(fields["status"]) != 1:
        raise ValueError(f"{path}: needs one aim, one status and at least one run line")
    if len(fields["base"]) > 1:
        raise ValueError(f"{path}: at most one base line")
    return fields


def first_difference(expected, actual):
    want, got = expected.split(b"\n"), actual.split(b"\n")
    for n in range(max(len(want), len(got))):
        w = want[n] if n < len(want) else None
        g = got[n] if n < len(got) else None
        if w != g:
            show = lambda row: "(no row)" if row is None else repr(row.decode("cp1252", "replace"))
            return f"row {n + 1}: expected {show(w)}\n{' ' * 12}got {show(g)}"
    return "same rows"


def run_shell(script, work, env, timeout=120):
    """Runs a case's lines in a session of their own: a case that hangs is ended with every
    process it started, so that none is left running."""
    process = subprocess.Popen(["/bin/sh", "-c", script], cwd=work, env=env, start_new_session=True,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        stdout, stderr = process.communicate(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        raise
    return subprocess.CompletedProcess(process.args, process.returncode, stdout, stderr)


def program_folder(command, into):
    """A folder holding a verdalia-cli that runs `command` with the arguments it is given, and
    the Base folder that lies beside the program `command` names last."""
    program = shlex.split(command)[-1]
    base = os.path.join(os.path.dirname(os.path.abspath(program)), "Base")
    if os.path.isdir(base):
        os.symlink(base, os.path.join(into, "Base"))
    script = os.path.join(into, "verdalia-cli")
    with open(script, "w", encoding="utf-8") as f:
        # The environment the runner was started with (wine's prefix, say): a case's run sets
        # HOME to its own folder.
        kept = "".join(f"export {key}={shlex.quote(os.environ[key])}\n"
                       for key in ("WINEPREFIX", "WINEDEBUG", "WINESERVER", "WINEARCH")
                       if key in os.environ)
        f.write(f"#!/bin/sh\n{kept}exec {command} \"$@\"\n")
    os.chmod(script, 0o755)
    return into


def read_skip_list(path):
    """The cases that cannot hold under --program, each with its reason."""
    skipped = {}
    for number, line in enumerate(open(path, encoding="utf-8").read().splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        case, sep, why = line.partition(":")
        if not sep or not why.strip():
            raise SystemExit(f"run-cases: {path}:{number}: expected \"GROUP/CASE: why\"")
        skipped[case.strip()] = why.strip()
    return skipped


def age_files(work):
    """Dates every file of the case a minute back, as a file handed in has lain a while: the
    program reads a file written in the last seconds into memory, and an older one where it
    lies, which is what an operator's files meet. Files a case's run writes stay new."""
    then = time.time() - 60
    for dirpath, _, names in os.walk(work):
        for name in names:
            path = os.path.join(dirpath, name)
            if os.path.isfile(path) and not os.path.islink(path):
                os.utime(path, (then, then))


def run_case(case_dir, bin_dir, tools_dir=None):
    """Runs one case: its setup, what the run wrote and the process."""
    setup = parse_case(os.path.join(case_dir, "case"))
    base = os.path.join(ROOT, setup["base"][0]) if setup["base"] else SHIPPED_SQL
    with tempfile.TemporaryDirectory(prefix="verdalia-case-") as work:
        for name in os.listdir(case_dir):
            source = os.path.join(case_dir, name)
            if name in NOT_COPIED:
                continue
            if name.endswith(".db.sql"):
                build_db(os.path.join(work, name[:-4]), [base, source])
            elif os.path.isdir(source):
                shutil.copytree(source, os.path.join(work, name))
            else:
                shutil.copy(source, work)
        for listed in setup["files"]:
            for name in listed.split():
                shutil.copy(os.path.join(ROOT, name), work)
        deltas = [os.path.join(d, "reference.sql") for d in (os.path.dirname(case_dir), case_dir)]
        deltas = [d for d in deltas if os.path.exists(d)]
        if deltas:
            build_db(os.path.join(work, "ref.db"), [base] + deltas)
        age_files(work)

        path = [bin_dir] + ([tools_dir] if tools_dir else []) + [os.environ["PATH"]]
        env = dict(os.environ, LC_ALL="C", HOME=work, PATH=os.pathsep.join(path))
        run = run_shell("\n".join(setup["run"]), work, env)
        actual = {"stderr": run.stderr, "stdout": run.stdout}
        for dirpath, _, names in os.walk(work):
            for name in names:
                if LISTS.match(name):
                    path = os.path.join(dirpath, name)
                    actual[os.path.relpath(path, work)] = read(path)
    return setup, actual, run


def expected_files(case_dir):
    expected_dir = os.path.join(case_dir, "expected")
    expected = {}
    if os.path.isdir(expected_dir):
        for dirpath, _, names in os.walk(expected_dir):
            for name in names:
                path = os.path.join(dirpath, name)
                expected[os.path.relpath(path, expected_dir)] = read(path)
    return expected


def compare(setup, actual, run, expected):
    """The problems of a run against its expected outputs; empty when it passes."""
    problems = []
    if str(run.returncode) != setup["status"][0]:
        problems.append(f"exit status {run.returncode}, expected {setup['status'][0]}")
    expected = dict(expected)
    expected.setdefault("stderr", b"")
    actual = {k: v for k, v in actual.items() if k != "stdout" or "stdout" in expected}
    for name in sorted(set(expected) | set(actual)):
        if name not in actual:
            problems.append(f"{name}: not written")
        elif name not in expected:
            problems.append(f"{name}: written, but none expected\n    "
                            + first_difference(b"", actual[name]))
        elif expected[name] != actual[name]:
            problems.append(f"{name}: {first_difference(expected[name], actual[name])}")
    return problems


# What a run that crashed leaves on standard error: nothing of it is ever blessed.
CRASH = re.compile(rb"AddressSanitizer|UndefinedBehaviorSanitizer|LeakSanitizer|runtime error:"
                   rb"|terminate called|Segmentation fault|Aborted|core dumped")


def decoded(name, content):
    encoding = "cp1252" if LISTS.match(name) else "utf-8"
    return content.decode(encoding, "replace").splitlines(keepends=True)


def bless_case(case_dir, setup, actual, run, allow_status, show):
    """Writes what the run did as the case's expected outputs; the reason when it will not."""
    if run.returncode < 0 or CRASH.search(run.stderr):
        return [f"not blessed: the run crashed (status {run.returncode})\n    "
                + first_difference(b"", run.stderr)]
    if str(run.returncode) != setup["status"][0] and not allow_status:
        return [f"not blessed: the exit status would change from {setup['status'][0]} to "
                f"{run.returncode} (--status allows it)"]
    expected_dir = os.path.join(case_dir, "expected")
    before = expected_files(case_dir)
    after = {k: v for k, v in actual.items() if v or k not in ("stderr", "stdout")}
    if "stdout" not in before:
        after.pop("stdout", None)
    elif "stdout" not in after:
        after["stdout"] = b""
    for name in sorted(set(before) | set(after)):
        old, new = before.get(name), after.get(name)
        if old != new:
            diff = difflib.unified_diff(decoded(name, old or b""), decoded(name, new or b""),
                                        f"a/expected/{name}" if old is not None else "/dev/null",
                                        f"b/expected/{name}" if new is not None else "/dev/null")
            show("".join(line if line.endswith("\n") else line + "\n" for line in diff))
    shutil.rmtree(expected_dir, ignore_errors=True)
    os.makedirs(expected_dir)
    for name, content in after.items():
        path = os.path.join(expected_dir, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)
    case_file = os.path.join(case_dir, "case")
    text = open(case_file, encoding="utf-8").read()
    text = re.sub(r"(?m)^status:.*$", f"status: {run.returncode}", text)
    with open(case_file, "w", encoding="utf-8") as f:
        f.write(text)
    return []


def case_dirs(path):
    if os.path.exists(os.path.join(path, "case")):
        return [path]
    found = []
    for dirpath, dirnames, names in os.walk(path):
        dirnames.sort()
        if "case" in names:
            found.append(dirpath)
            dirnames.clear()
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--bin", help="the build folder holding verdalia-cli")
    parser.add_argument("--program", help="the command to run as verdalia-cli instead")
    parser.add_argument("--tools", help="with --program: a build folder holding the other programs")
    parser.add_argument("--skip", help="with --program: the cases that cannot hold there")
    parser.add_argument("--bless", action="store_true", help="write what the build does as expected")
    parser.add_argument("--failed", action="store_true", help="with --bless: only the failing cases")
    parser.add_argument("--status", action="store_true", help="with --bless: the exit status may change")
    parser.add_argument("paths", nargs="+")
    args = parser.parse_args()
    if (args.failed or args.status) and not args.bless:
        parser.error("--failed and --status go with --bless")
    if bool(args.bin) == bool(args.program):
        parser.error("one of --bin and --program is needed")
    if args.program and args.bless:
        parser.error("--bless records what the build in --bin does")
    if (args.skip or args.tools) and not args.program:
        parser.error("--skip and --tools go with --program")
    skipped = read_skip_list(args.skip) if args.skip else {}
    program_dir = tempfile.TemporaryDirectory(prefix="verdalia-program-") if args.program else None
    bin_dir = program_folder(args.program, program_dir.name) if args.program else os.path.abspath(args.bin)
    cases = [c for p in args.paths for c in case_dirs(os.path.abspath(p))]
    if not cases:
        sys.exit("run-cases: no case found")
    failed = 0
    blessed = 0
    skips = 0
    for case in cases:
        name = os.path.relpath(case, os.path.join(ROOT, "tests", "cases"))
        if name in skipped:
            skips += 1
            print(f"SKIP {name}: {skipped[name]}", flush=True)
            continue
        try:
            setup, actual, run = run_case(case, bin_dir, args.tools and os.path.abspath(args.tools))
            problems = compare(setup, actual, run, expected_files(case))
            if args.bless and (problems or not args.failed):
                problems = bless_case(case, setup, actual, run, args.status,
                                      lambda text: print(text, end="", flush=True))
                blessed += 0 if problems else 1
        except (ValueError, OSError, sqlite3.Error, subprocess.TimeoutExpired) as error:
            problems = [str(error)]
        if problems:
            failed += 1
            print(f"FAIL {name}\n  " + "\n  ".join(problems), flush=True)
    print(f"{len(cases) - failed - skips} of {len(cases)} cases pass"
          + (f" ({blessed} blessed)" if args.bless else "")
          + (f", {skips} skipped" if skips else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
