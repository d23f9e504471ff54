#!/usr/bin/env python3
"""Turns a folder of problem packages in the common open format into a contest
folder that the contest server serves.

    import_packages.py PACKAGES CONTEST [--time-limit S] [--memory-limit MIB]

PACKAGES holds one package per folder (or is one package itself): problem.yaml,
data/sample and data/secret with .in/.ans pairs, optionally nested in groups,
optionally output_validators/ and submissions/<expected verdict>/. CONTEST must
not exist or be empty. Each package becomes a task, in the order of the package
folders' names; a package that cannot be judged here (interactive, multi-pass,
...) or is malformed is named with the reason and left out, and the others are
still imported.

Exit status: 0 when every package was imported; 1 when the contest was written
without one or more packages that were refused or malformed; 2 for a bad
command line, or when no package could be imported (then nothing is written).
"""

import argparse
import math
import re
import shutil
import sys
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional

sys.path.insert(0, str(Path(__file__).resolve().parent))

import contest  # noqa: E402
import small_yaml  # noqa: E402

# Used when a package states no time limit (neither limits.time_limit nor a
# .timelimit file), or no memory limit; the import notes it.
DEFAULT_TIME_LIMIT = 2.0
DEFAULT_MEMORY_LIMIT = 2048  # MiB, the format's typical system default

# The agent's compiler for a submission's extension.
COMPILERS = {
    ".c": "gcc",
    ".cpp": "g++", ".cc": "g++", ".cxx": "g++", ".c++": "g++",
    ".py": "python3", ".py3": "python3",
    ".pas": "fpc",
    ".java": "java",
    ".kt": "kotlin",
    ".rs": "rust",
    ".go": "go",
    ".js": "javascript",
    ".cs": "csharp",
    ".sh": "shell",
}

# Submission folders and the verdict a submission in them gets here. The
# agent stops at the first failing test, and a program that is too slow on
# one test may answer wrong on an earlier one, which its folder allows.
VERDICTS = {
    "accepted": "accepted",
    "wrong_answer": "wrong-answer",
    "time_limit_exceeded": "time-out|wrong-answer",
    "run_time_error": "run-time-error",
}

# Problem kinds the agent cannot judge: it runs a program once per test on
# fixed input and judges what it wrote.
REFUSED_KINDS = {
    "interactive": "interactive problems need a validator talking to the program while "
                   "it runs",
    "multi-pass": "multi-pass problems run the program several times, each pass "
                  "fed by the validator",
    "submit-answer": "submit-answer problems take answers, not programs",
}

_VALIDATOR_SOURCES = (".cpp", ".cc", ".cxx")
_FLOAT_FLAGS = ("float_tolerance", "float_absolute_tolerance", "float_relative_tolerance")


class PackageError(Exception):
    """A malformed package; the text names the file."""


class Refused(Exception):
    """A well-formed package of a kind the agent cannot judge."""


@dataclass
class Test:
    input: Path
    answer: Path
    name: str  # below the package, without the extension: data/secret/g1/01


@dataclass
class Submission:
    source: Path
    folder: str  # the verdict folder: accepted, wrong_answer, ...
    compiler: str
    verdict: str  # the verdict words of submissions.txt


@dataclass
class Task:
    package: Path
    name: str
    time_limit: int  # whole seconds
    space_limit: int  # MiB
    checker: str  # a standard checker's word, or the validator's file name
    tolerances: dict = field(default_factory=dict)  # task.ini key: value
    validator: Optional[bytes] = None
    tests: list = field(default_factory=list)
    submissions: list = field(default_factory=list)
    skipped: list = field(default_factory=list)  # (path below the package, reason)
    notes: list = field(default_factory=list)


def read_package(folder: Path, time_limit: float = DEFAULT_TIME_LIMIT,
                 memory_limit: int = DEFAULT_MEMORY_LIMIT) -> Task:
    """Reads one package. Raises PackageError or Refused."""
    metadata = _read_metadata(folder)
    _refuse_kinds(folder, metadata)
    task = Task(package=folder, name=_task_name(folder, metadata), time_limit=0,
                space_limit=0, checker="")
    if "scoring" in _words(metadata.get("type")):
        task.notes.append("a scoring problem, judged pass or fail: every test must pass")
    limits = metadata.get("limits") or {}
    if not isinstance(limits, dict):
        raise PackageError(f"{folder / 'problem.yaml'}: limits must be a mapping")
    task.time_limit = _time_limit(folder, limits, time_limit, task.notes)
    task.space_limit = _memory_limit(folder, limits, memory_limit, task.notes)
    task.tests = _read_tests(folder)
    _choose_checker(folder, metadata, task)
    _read_submissions(folder, task)
    return task


def _read_metadata(folder: Path) -> dict:
    path = folder / "problem.yaml"
    if not path.is_file():
        raise PackageError(f"{folder}: no problem.yaml; every problem package has one")
    try:
        metadata = small_yaml.loads(path.read_bytes().decode("utf-8"), str(path))
    except UnicodeDecodeError as error:
        raise PackageError(f"{path}: not UTF-8 text ({error.reason})") from None
    except small_yaml.YAMLError as error:
        raise PackageError(str(error)) from None
    if metadata is None:
        return {}
    if not isinstance(metadata, dict):
        raise PackageError(f"{path}: must be a mapping of keys to values")
    return metadata


def _words(value) -> list:
    """A field that the format writes as a space-separated string or a list."""
    if value is None:
        return []
    if isinstance(value, list):
        return [word for item in value for word in str(item).split()]
    if isinstance(value, dict):
        raise ValueError
    return value.split()


def _refuse_kinds(folder: Path, metadata: dict):
    yaml = folder / "problem.yaml"
    try:
        kinds = _words(metadata.get("type")) + _words(metadata.get("validation"))[1:]
        validation = _words(metadata.get("validation"))[:1]
    except ValueError:
        raise PackageError(f"{yaml}: type and validation are words") from None
    for kind in kinds:
        if kind in REFUSED_KINDS:
            raise Refused(f"{kind}: {REFUSED_KINDS[kind]}")
        if kind not in ("pass-fail", "scoring", "score"):
            raise Refused(f"problem kind {kind!r} is not known here")
    if validation and validation[0] not in ("default", "custom"):
        raise PackageError(f"{yaml}: validation starts with default or custom, "
                           f"got {validation[0]!r}")


def _task_name(folder: Path, metadata: dict) -> str:
    name = metadata.get("name")
    if isinstance(name, dict):  # by language
        name = name.get("en", next(iter(name.values()), None))
    if not isinstance(name, str) or not name.strip():
        name = folder.name
    name = " ".join(name.split()).replace(";", ",")
    # The agent's table shows printable ASCII only, 44 characters wide.
    if not all(" " <= c <= "~" for c in name):
        name = folder.name
    return name[:contest.MAX_NAME]


def _number(path: Path, key: str, text) -> float:
    try:
        value = float(str(text))
    except ValueError:
        value = math.nan
    if not 0 < value < 1e9:
        raise PackageError(f"{path}: {key} must be a positive number, got {text!r}")
    return value


def _time_limit(folder: Path, limits: dict, default: float, notes: list) -> int:
    yaml, timelimit = folder / "problem.yaml", folder / ".timelimit"
    if "time_limit" in limits:
        seconds = _number(yaml, "limits.time_limit", limits["time_limit"])
    elif timelimit.is_file():
        seconds = _number(timelimit, "the time limit", timelimit.read_text().strip())
    else:
        seconds = default
        notes.append(f"no time limit in the package (limits.time_limit or .timelimit): "
                     f"{default:g} s")
    if "time_multiplier" in limits and ("time_limit" in limits or not timelimit.is_file()):
        notes.append("limits.time_multiplier ignored: the time limit is not measured here")
    whole = math.ceil(seconds - 1e-9)
    if whole > contest.MAX_TIME_LIMIT:
        raise PackageError(f"{folder}: time limit {seconds:g} s is over "
                           f"{contest.MAX_TIME_LIMIT} s")
    if whole != seconds:
        notes.append(f"time limit {seconds:g} s rounded up to {whole} s, "
                     f"the agent's whole seconds")
    return whole


def _memory_limit(folder: Path, limits: dict, default: int, notes: list) -> int:
    if "memory" not in limits:
        notes.append(f"no memory limit in the package: {default} MiB")
        return default
    mib = _number(folder / "problem.yaml", "limits.memory", limits["memory"])
    if mib != int(mib):
        raise PackageError(f"{folder / 'problem.yaml'}: limits.memory is whole MiB, "
                           f"got {limits['memory']!r}")
    return int(mib)


def _validator_flags(folder: Path, metadata: dict, tests: list) -> list:
    """The output validator's flags: problem.yaml's validator_flags, then those
    of the settings file nearest to each test's group that gives any. Every
    test must get the same, since a task has one checker."""
    groups = {}

    def group_flags(group: Path):
        if group not in groups:
            flags = None
            for name in ("testdata.yaml", "test_group.yaml"):
                values = _read_yaml(group / name) if (group / name).is_file() else None
                if isinstance(values, dict) and values.get("output_validator_flags") is not None:
                    flags = values["output_validator_flags"]
                    flags = flags.get("flags", "") if isinstance(flags, dict) else flags
            if flags is None and group != folder / "data":
                flags = group_flags(group.parent)
            groups[group] = flags
        return groups[group]

    try:
        base = _words(metadata.get("validator_flags"))
        by_test = {test.name: tuple(base + _words(group_flags(test.input.parent)))
                   for test in tests}
    except ValueError:
        raise PackageError(f"{folder}: validator flags are words") from None
    different = {}
    for name, flags in by_test.items():
        different.setdefault(flags, name)
    if len(different) > 1:
        raise Refused("tests judged with different validator flags ("
                      + "; ".join(f"{name}: {' '.join(flags) or 'none'!r}"
                                  for flags, name in different.items())
                      + "): a task here has one checker")
    return list(next(iter(different), ()))


def _read_yaml(path: Path):
    try:
        return small_yaml.loads(path.read_bytes().decode("utf-8"), str(path))
    except UnicodeDecodeError as error:
        raise PackageError(f"{path}: not UTF-8 text ({error.reason})") from None
    except small_yaml.YAMLError as error:
        raise PackageError(str(error)) from None


def _choose_checker(folder: Path, metadata: dict, task: Task):
    flags = _validator_flags(folder, metadata, task.tests)
    validation = _words(metadata.get("validation"))[:1]
    programs = _validator_programs(folder)
    if validation == ["custom"] or (not validation and programs):
        if flags:
            raise Refused(f"validator flags {' '.join(flags)!r}: the validator adapter "
                          f"passes none to a custom validator")
        if not programs:
            raise PackageError(f"{folder}: validation is custom, but output_validators/ "
                               f"holds no validator")
        if len(programs) > 1:
            raise Refused("several output validators ("
                          + ", ".join(p.name for p in programs)
                          + "): a task here has one checker")
        task.checker, task.validator = _validator_source(folder, programs[0], task.notes)
        return
    if programs:
        task.notes.append("output validators ignored: validation is default")
    _default_checker(folder, flags, task)


def _validator_programs(folder: Path) -> list:
    # output_validators/ holds programs (a file or a folder each); in the
    # newer layout output_validator/ is the one program itself.
    programs = []
    many = folder / "output_validators"
    if many.is_dir():
        programs += sorted(p for p in many.iterdir() if not p.name.startswith("."))
    one = folder / "output_validator"
    if one.is_dir() and any(not p.name.startswith(".") for p in one.iterdir()):
        programs.append(one)
    return programs


def _validator_source(folder: Path, program: Path, notes: list):
    """The validator as one C++ source: a single file, or a folder holding one
    source whose own headers (#include "x.h" beside it) are written into it."""
    where = program.relative_to(folder)
    if program.is_file():
        files, sources = [program], [program] if program.suffix in _VALIDATOR_SOURCES else []
    else:
        files = sorted(p for p in program.rglob("*") if p.is_file()
                       and not p.name.startswith("."))
        sources = [p for p in files if p.suffix in _VALIDATOR_SOURCES]
        if any(p.name in ("build", "run") for p in files):
            raise Refused(f"output validator {where} is built by its own build/run "
                          f"scripts; only a C++ source can be compiled here")
    if len(sources) != 1:
        found = ", ".join(str(p.relative_to(folder)) for p in files) or "nothing"
        raise Refused(f"output validator {where}: one C++ source (.cpp, .cc, .cxx) can be "
                      f"compiled here, found {found}")
    inlined = []
    text = _inline_headers(sources[0], sources[0].parent, set(), inlined)
    if inlined:
        notes.append(f"validator headers written into its source: {', '.join(inlined)}")
    name = sources[0].stem + ".cpp"
    return name, text


def _inline_headers(path: Path, folder: Path, seen: set, inlined: list) -> bytes:
    out = []
    for line in path.read_bytes().split(b"\n"):
        match = re.match(rb'\s*#\s*include\s*"([^"]+)"', line)
        header = (path.parent / match.group(1).decode()).resolve() if match else None
        if header and header.is_file() and header.is_relative_to(folder.resolve()):
            if header not in seen:
                seen.add(header)
                inlined.append(header.name)
                out.append(_inline_headers(header, folder, seen, inlined))
            continue
        if not re.match(rb"\s*#\s*pragma\s+once\b", line):  # each header is written once
            out.append(line)
    return b"\n".join(out)


def _default_checker(folder: Path, flags: list, task: Task):
    """The standard checker that compares as the default output validator
    does with these flags."""
    case_sensitive = space_sensitive = False
    tolerances = {}
    words = iter(flags)
    for flag in words:
        if flag == "case_sensitive":
            case_sensitive = True
        elif flag == "space_change_sensitive":
            space_sensitive = True
        elif flag in _FLOAT_FLAGS:
            value = next(words, None)
            try:
                bound = float(value)
            except (TypeError, ValueError):
                bound = math.nan
            if not 0 <= bound < 1:
                raise PackageError(f"{folder}: validator flag {flag} needs a tolerance "
                                   f"from 0 to 1, got {value!r}")
            if flag != "float_relative_tolerance":
                tolerances["absolute-tolerance"] = bound
            if flag != "float_absolute_tolerance":
                tolerances["relative-tolerance"] = bound
        else:
            raise Refused(f"validator flag {flag!r} is not one the default "
                          f"output validator knows")
    if tolerances:
        # The format applies only the bounds it names: a relative tolerance
        # alone accepts no absolute error.
        task.checker = "floats"
        task.tolerances = {key: tolerances.get(key, 0.0)
                           for key in contest.TOLERANCE_KEYS}
        if space_sensitive:
            task.notes.append("space_change_sensitive not applied with a float tolerance")
        if not case_sensitive:
            task.notes.append("words that are not numbers are compared with their case")
    elif space_sensitive and case_sensitive:
        task.checker = "lines"
    elif case_sensitive:
        task.checker = "tokens"
    else:
        task.checker = "tokens-nocase"
        if space_sensitive:
            task.notes.append("space_change_sensitive not applied: no standard checker "
                              "compares white space exactly but ignores case")


def _read_tests(folder: Path) -> list:
    data = folder / "data"
    if not data.is_dir():
        raise PackageError(f"{folder}: no data/ folder with the tests")
    if not (data / "secret").is_dir():
        raise PackageError(f"{data}: no secret/ group")
    tests = []
    for group in ("sample", "secret"):
        if (data / group).is_dir():
            _read_group(folder, data / group, tests)
    if not tests:
        raise PackageError(f"{data}: no test (.in with its .ans)")
    if len(tests) > contest.MAX_TEST_NUMBER:
        raise PackageError(f"{data}: {len(tests)} tests; a task here has at most "
                           f"{contest.MAX_TEST_NUMBER}")
    return tests


def _read_group(package: Path, group: Path, tests: list):
    """Adds the group's tests: test cases and subgroups together in
    lexicographic order of their base names, as the format runs them."""
    inputs, answers, entries = {}, {}, []
    for entry in group.iterdir():
        if entry.name.startswith("."):
            continue
        if entry.is_dir():
            entries.append((entry.name, 1, entry))
        elif entry.suffix == ".in":
            inputs[entry.stem] = entry
            entries.append((entry.stem, 0, entry))
        elif entry.suffix == ".ans":
            answers[entry.stem] = entry
    for stem, path in answers.items():
        if stem not in inputs:
            raise PackageError(f"{path}: no {stem}.in beside it")
    for name, is_group, path in sorted(entries):
        if is_group:
            _read_group(package, path, tests)
            continue
        if name not in answers:
            raise PackageError(f"{path}: no {name}.ans beside it")
        tests.append(Test(path, answers[name], str((group / name).relative_to(package))))


def _read_submissions(folder: Path, task: Task):
    submissions = folder / "submissions"
    if not submissions.is_dir():
        task.notes.append("no submissions/")
        return
    for verdict_folder in sorted(submissions.iterdir()):
        if verdict_folder.name.startswith(".") or not verdict_folder.is_dir():
            continue
        verdict = VERDICTS.get(verdict_folder.name)
        for entry in sorted(verdict_folder.iterdir()):
            if entry.name.startswith("."):
                continue
            where = str(entry.relative_to(folder))
            compiler = COMPILERS.get(entry.suffix.lower())
            if verdict is None:
                task.skipped.append((where, f"no verdict here for {verdict_folder.name}/"))
            elif entry.is_dir():
                task.skipped.append((where, "a submission of several files"))
            elif re.search(r"\s", entry.name):
                task.skipped.append((where, "white space in its name"))
            elif compiler is None:
                task.skipped.append((where, f"no compiler for {entry.suffix or 'no extension'}"))
            elif compiler == "python3" and re.match(rb"#!.*python2", entry.read_bytes()):
                task.skipped.append((where, "Python 2"))
            else:
                task.submissions.append(Submission(entry, verdict_folder.name, compiler,
                                                   verdict))


def _slug(name: str) -> str:
    return re.sub(r"[^A-Za-z0-9_.-]+", "-", name).strip("-") or "task"


def write_contest(tasks: list, target: Path):
    """Writes the tasks as a contest folder; tests.map in each task folder
    gives each test's number and the package test it comes from."""
    listing = ["# Imported from problem packages: source task compiler expected-verdict"]
    slugs = set()
    for number, task in enumerate(tasks, 1):
        slug = _slug(task.package.name)
        if slug in slugs:  # two names that differ only in what a slug drops
            slug = f"{slug}-{number}"
        slugs.add(slug)
        folder = target / "tasks" / f"{number}-{slug}"
        (folder / "tests").mkdir(parents=True)
        ini = [f"# Imported from the problem package {task.package.name}",
               f"name = {task.name}",
               f"time-limit = {task.time_limit}",
               f"space-limit = {task.space_limit}",
               f"checker = {task.checker}"]
        ini += [f"{key} = {value!r}" for key, value in task.tolerances.items()]
        if task.validator is not None:
            (folder / task.checker).write_bytes(task.validator)
            ini.append("checker-compiler = validator")
        (folder / "task.ini").write_text("\n".join(ini) + "\n")
        mapping = ["# test number, and the package's test it is (data/... without .in/.ans)"]
        for test_number, test in enumerate(task.tests, 1):
            shutil.copyfile(test.input, folder / "tests" / f"{test_number:03}.in")
            shutil.copyfile(test.answer, folder / "tests" / f"{test_number:03}.out")
            mapping.append(f"{test_number:03} {test.name}")
        (folder / "tests.map").write_text("\n".join(mapping) + "\n")
        for sub in task.submissions:
            name = f"{slug}/{sub.folder}/{sub.source.name}"
            (target / "submissions" / name).parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(sub.source, target / "submissions" / name)
            listing.append(f"{name} {number} {sub.compiler} {sub.verdict}")
    (target / "submissions.txt").write_text("\n".join(listing) + "\n")


def describe(number: int, task: Task) -> list:
    lines = [f"task {number} {task.name!r} from {task.package}: {len(task.tests)} tests, "
             f"checker {task.checker}"
             + "".join(f" {k} {v:g}" for k, v in task.tolerances.items())
             + f", {task.time_limit} s, {task.space_limit} MiB, "
             f"{len(task.submissions)} submissions"]
    lines += [f"  note: {note}" for note in task.notes]
    lines += [f"  skipped {where}: {reason}" for where, reason in task.skipped]
    return lines


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("packages", type=Path,
                        help="a folder of problem packages, or one package")
    parser.add_argument("contest", type=Path, help="the contest folder to write")
    parser.add_argument("--time-limit", type=float, default=DEFAULT_TIME_LIMIT, metavar="S",
                        help="seconds per test for a package that states none "
                             f"(default {DEFAULT_TIME_LIMIT:g})")
    parser.add_argument("--memory-limit", type=int, default=DEFAULT_MEMORY_LIMIT,
                        metavar="MIB", help="MiB for a package that states none "
                                            f"(default {DEFAULT_MEMORY_LIMIT})")
    arguments = parser.parse_args(argv)
    if not arguments.packages.is_dir():
        parser.error(f"{arguments.packages}: no such folder")
    if arguments.contest.exists() and (not arguments.contest.is_dir()
                                       or any(arguments.contest.iterdir())):
        parser.error(f"{arguments.contest}: exists and is not an empty folder")
    if not 0 < arguments.time_limit <= contest.MAX_TIME_LIMIT or arguments.memory_limit <= 0:
        parser.error("--time-limit and --memory-limit must be positive")

    if (arguments.packages / "problem.yaml").is_file():
        folders = [arguments.packages]
    else:
        folders = sorted(p for p in arguments.packages.iterdir()
                         if p.is_dir() and not p.name.startswith("."))
    tasks, failed = [], 0
    for folder in folders:
        try:
            tasks.append(read_package(folder, arguments.time_limit, arguments.memory_limit))
            for line in describe(len(tasks), tasks[-1]):
                print(line)
        except Refused as reason:
            failed += 1
            print(f"refused {folder}: {reason}")
        except (PackageError, OSError, UnicodeDecodeError) as error:
            failed += 1
            print(f"malformed {folder}: {error}")
    if not tasks:
        print(f"import_packages: no package imported from {arguments.packages}; "
              f"nothing written", file=sys.stderr)
        return 2
    arguments.contest.mkdir(parents=True, exist_ok=True)
    write_contest(tasks, arguments.contest)
    try:  # what was written must be a contest the server serves
        contest.read_contest(arguments.contest)
    except contest.ContestError as error:
        print(f"import_packages: the contest written cannot be served: {error}",
              file=sys.stderr)
        return 2
    print(f"{arguments.contest}: {len(tasks)} tasks, "
          f"{sum(len(t.submissions) for t in tasks)} submissions"
          + (f"; {failed} package(s) left out" if failed else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
