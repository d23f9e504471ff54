"""Reads a contest folder written by hand.

    CONTEST/
      tasks/
        1-sum/                task 1 (the folder name starts with the number)
          task.ini            name, limits, optional checker, solution, grammar
          tests/01.in         input of test 1
          tests/01.out        expected output of test 1
          check.c             files that task.ini names
      submissions.txt         one submission a line: source task compiler verdict
      submissions/sum.c       the sources it names

task.ini holds "key = value" lines; blank lines and lines starting with "#"
are skipped. Keys: name, time-limit (whole seconds), space-limit (default 64,
passed to the agent unchanged), checker with checker-compiler, solution with
solution-compiler, grammar. The checker may also be one of the standard
checkers by its word (tokens, tokens-nocase, floats, lines: see
checkers/standard_checker.cpp), compiled with g++ unless checker-compiler
says otherwise; with floats, absolute-tolerance and relative-tolerance
replace its bounds of 1e-6. A task with a reference solution ("solution")
may leave out the .out files; any other task needs one per test.

Everything is checked here, before a server listens, so that a mistake in the
folder is a clear message and never a task set that the agent refuses.
"""

import re
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional

import verdicts

TASK_KEYS = (
    "name",
    "time-limit",
    "space-limit",
    "checker",
    "checker-compiler",
    "solution",
    "solution-compiler",
    "grammar",
    "absolute-tolerance",
    "relative-tolerance",
)
TOLERANCE_KEYS = ("absolute-tolerance", "relative-tolerance")
DEFAULT_SPACE_LIMIT = 64
# The agent's task table shows "NN. name" in a 48-column cell.
MAX_NAME = 44
# A task program's compiler name travels in a 10-byte field of the task set.
MAX_PROGRAM_COMPILER = 9
MAX_TASK_NUMBER = 9_999_999
# Verdicts carry the failing test in three digits.
MAX_TEST_NUMBER = 999
# Seconds; the agent works in 32-bit milliseconds.
MAX_TIME_LIMIT = 3600


class ContestError(Exception):
    """A contest folder that cannot be served; the text names the file."""


@dataclass
class Program:
    """A checker or reference solution: its source and the compiler to use."""

    path: Path
    compiler: str
    source: bytes


@dataclass
class Test:
    number: int
    input: bytes
    output: Optional[bytes]


@dataclass
class Task:
    number: int
    name: str
    time_limit: int  # seconds
    space_limit: int
    folder: Path
    tests: list = field(default_factory=list)  # of Test, ascending numbers
    checker: Optional[Program] = None
    solution: Optional[Program] = None
    grammar: Optional[bytes] = None


@dataclass
class Submission:
    number: int  # position in the list, from 1
    name: str  # path below submissions/, as the list gives it
    source: bytes
    task: int
    compiler: str
    expected: verdicts.Expected


def lacks_compiler(sub: Submission, compilers) -> bool:
    """Whether judges that offer only `compilers` skip `sub`: its compiler is
    not among them, and it does not expect the error of an unknown compiler
    (such a submission is there to get that error)."""
    return sub.compiler not in compilers and sub.expected.result != verdicts.ERROR


@dataclass
class Contest:
    folder: Path
    tasks: list  # of Task, ascending numbers 1 to N
    submissions: list  # of Submission, in list order

    def task(self, number: int) -> Optional[Task]:
        return next((t for t in self.tasks if t.number == number), None)


def read_contest(folder) -> Contest:
    """Reads and checks the whole contest folder. Raises ContestError."""
    folder = Path(folder)
    if not folder.is_dir():
        raise ContestError(f"{folder}: no such contest folder")
    tasks = _read_tasks(folder / "tasks")
    submissions = _read_submissions(folder)
    return Contest(folder, tasks, submissions)


def _read_tasks(tasks_folder: Path) -> list:
    if not tasks_folder.is_dir():
        raise ContestError(f"{tasks_folder}: missing; it holds one folder per task")
    tasks = []
    for entry in sorted(tasks_folder.iterdir()):
        if entry.name.startswith("."):
            continue
        match = re.fullmatch(r"(\d+)(-.*)?", entry.name)
        if not entry.is_dir() or not match:
            raise ContestError(f"{entry}: a task folder's name is its number, "
                               f"optionally followed by '-' and a word (1, 1-sum)")
        tasks.append(_read_task(int(match.group(1)), entry))
    tasks.sort(key=lambda t: t.number)
    numbers = [t.number for t in tasks]
    if not tasks:
        raise ContestError(f"{tasks_folder}: no task")
    if numbers != list(range(1, len(tasks) + 1)):
        # The agent's task table counts tasks 1 to N; a gap or a repeat would
        # leave a row without a task or two folders for one row.
        raise ContestError(f"{tasks_folder}: task numbers must run 1 to {len(tasks)}, "
                           f"found {', '.join(map(str, numbers))}")
    return tasks


def _read_key_values(path: Path) -> dict:
    if not path.is_file():
        raise ContestError(f"{path}: missing")
    values = {}
    for line_number, line in enumerate(_read_text(path).splitlines(), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        key, equals, value = line.partition("=")
        key, value = key.strip(), value.strip()
        where = f"{path}:{line_number}"
        if not equals:
            raise ContestError(f"{where}: expected 'key = value'")
        if key not in TASK_KEYS:
            raise ContestError(f"{where}: unknown key {key!r}; keys: {', '.join(TASK_KEYS)}")
        if key in values:
            raise ContestError(f"{where}: {key} given twice")
        values[key] = value
    return values


def _read_text(path: Path) -> str:
    try:
        return path.read_bytes().decode("utf-8")
    except UnicodeDecodeError as error:
        raise ContestError(f"{path}: not UTF-8 text ({error.reason})") from None


def _whole_number(path: Path, key: str, text: str, low: int, high: int) -> int:
    if not text.isascii() or not text.isdigit() or not low <= int(text) <= high:
        raise ContestError(f"{path}: {key} must be a whole number from {low} to {high}, "
                           f"got {text!r}")
    return int(text)


def _check_name(path: Path, name: str) -> str:
    # The name travels in a ';'-separated header list and is drawn on the
    # agent's screen, which shows printable ASCII only.
    if not name:
        raise ContestError(f"{path}: name missing")
    if not all(" " <= c <= "~" for c in name) or ";" in name:
        raise ContestError(f"{path}: name {name!r} must be printable ASCII without ';'")
    if len(name) > MAX_NAME:
        raise ContestError(f"{path}: name {name!r} is longer than {MAX_NAME} characters, "
                           f"the width of the agent's task table")
    return name


# The standard checkers the agent ships, by the word a task.ini names them
# with: one source, made one of four by a line in front of it, and compiled
# by the agent's C++ compiler unless checker-compiler names another.
STANDARD_CHECKERS = {"tokens": 1, "tokens-nocase": 2, "floats": 3, "lines": 4}
STANDARD_CHECKER_SOURCE = Path(__file__).resolve().parents[2] / "checkers" / "standard_checker.cpp"


def _standard_checker(ini: Path, word: str, compiler: Optional[str], values: dict) -> Program:
    source = f"#define CHECK_MODE {STANDARD_CHECKERS[word]}\n".encode()
    for key in TOLERANCE_KEYS:
        if key in values:
            bound = _tolerance(ini, key, values[key])
            source += f"#define CHECK_{key.upper().replace('-', '_')} {bound!r}\n".encode()
    source += STANDARD_CHECKER_SOURCE.read_bytes()
    return Program(STANDARD_CHECKER_SOURCE, compiler or "g++", source)


def _tolerance(ini: Path, key: str, text: str) -> float:
    try:
        bound = float(text)
    except ValueError:
        bound = -1.0
    # Also refuses nan and inf, which would make a C++ literal of no meaning.
    if not 0 <= bound < 1e300:
        raise ContestError(f"{ini}: {key} must be a number, 0 or more, got {text!r}")
    return bound


def _read_program(task_folder: Path, values: dict, kind: str) -> Optional[Program]:
    ini = task_folder / "task.ini"
    source_name, compiler = values.get(kind), values.get(f"{kind}-compiler")
    if source_name is None and compiler is None:
        return None
    if kind == "checker" and source_name in STANDARD_CHECKERS:
        return _standard_checker(ini, source_name, compiler, values)
    if not source_name or not compiler:
        raise ContestError(f"{ini}: {kind} and {kind}-compiler go together")
    if (len(compiler) > MAX_PROGRAM_COMPILER or not compiler.isascii()
            or not compiler.isprintable() or " " in compiler):
        raise ContestError(f"{ini}: {kind}-compiler {compiler!r} must be one word of at most "
                           f"{MAX_PROGRAM_COMPILER} characters")
    path = _inside(task_folder, source_name, ini)
    return Program(path, compiler, path.read_bytes())


def _inside(folder: Path, name: str, where: Path) -> Path:
    path = (folder / name).resolve()
    if not path.is_relative_to(folder.resolve()):
        raise ContestError(f"{where}: {name!r} lies outside {folder}")
    if not path.is_file():
        raise ContestError(f"{where}: {name!r}: no such file in {folder}")
    return path


def _read_task(number: int, folder: Path) -> Task:
    ini = folder / "task.ini"
    if not 1 <= number <= MAX_TASK_NUMBER:
        raise ContestError(f"{folder}: task number out of range")
    values = _read_key_values(ini)
    for key in ("name", "time-limit"):
        if key not in values:
            raise ContestError(f"{ini}: {key} missing")
    for key in TOLERANCE_KEYS:
        if key in values and values.get("checker") != "floats":
            raise ContestError(f"{ini}: {key} goes only with checker = floats")
    task = Task(
        number=number,
        name=_check_name(ini, values["name"]),
        time_limit=_whole_number(ini, "time-limit", values["time-limit"], 1, MAX_TIME_LIMIT),
        space_limit=_whole_number(ini, "space-limit",
                                  values.get("space-limit", str(DEFAULT_SPACE_LIMIT)),
                                  0, 2**31 - 1),
        folder=folder,
        checker=_read_program(folder, values, "checker"),
        solution=_read_program(folder, values, "solution"),
    )
    if "grammar" in values:
        task.grammar = _inside(folder, values["grammar"], ini).read_bytes()
    task.tests = _read_tests(folder / "tests", needs_outputs=task.solution is None)
    return task


def _read_tests(tests_folder: Path, needs_outputs: bool) -> list:
    if not tests_folder.is_dir():
        raise ContestError(f"{tests_folder}: missing; it holds the tests as 01.in, 01.out, ...")
    inputs, outputs = {}, {}
    for entry in sorted(tests_folder.iterdir()):
        if entry.name.startswith("."):
            continue
        match = re.fullmatch(r"(\d+)\.(in|out)", entry.name)
        if not entry.is_file() or not match:
            raise ContestError(f"{entry}: a test file is named NUMBER.in or NUMBER.out")
        number = int(match.group(1))
        if not 1 <= number <= MAX_TEST_NUMBER:
            raise ContestError(f"{entry}: test numbers run from 1 to {MAX_TEST_NUMBER}")
        files = inputs if match.group(2) == "in" else outputs
        if number in files:
            raise ContestError(f"{entry}: test {number} given twice")
        files[number] = entry
    if not inputs:
        # A task without tests would accept everything that compiles.
        raise ContestError(f"{tests_folder}: no test")
    for number, path in outputs.items():
        if number not in inputs:
            raise ContestError(f"{path}: no input for test {number}")
    tests = []
    for number in sorted(inputs):
        if number not in outputs and needs_outputs:
            raise ContestError(f"{inputs[number]}: no expected output; a task without a "
                               f"reference solution needs one per test")
        output = outputs[number].read_bytes() if number in outputs else None
        tests.append(Test(number, inputs[number].read_bytes(), output))
    return tests


def _read_submissions(folder: Path) -> list:
    """Each line: source (below submissions/), task number, compiler, expected
    verdict words. Blank lines and '#' lines are skipped."""
    listing = folder / "submissions.txt"
    if not listing.is_file():
        return []
    sources = folder / "submissions"
    submissions = []
    for line_number, line in enumerate(_read_text(listing).splitlines(), 1):
        words = line.split()
        if not words or words[0].startswith("#"):
            continue
        where = f"{listing}:{line_number}"
        if len(words) < 4:
            raise ContestError(f"{where}: expected 'source task compiler verdict'")
        name, task, compiler = words[:3]
        if not re.fullmatch(r"-?\d+", task) or abs(int(task)) > MAX_TASK_NUMBER:
            raise ContestError(f"{where}: task {task!r} is not a task number")
        if not compiler.isascii() or not compiler.isprintable():
            raise ContestError(f"{where}: compiler {compiler!r} must be printable ASCII")
        try:
            expected = verdicts.parse_expected(words[3:])
        except ValueError as error:
            raise ContestError(f"{where}: {error}") from None
        path = _inside(sources, name, Path(where))
        submissions.append(Submission(len(submissions) + 1, name, path.read_bytes(),
                                      int(task), compiler, expected))
    return submissions
