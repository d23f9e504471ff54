"""Judges a contest's submissions on this machine, the way the agent does, so
that a contest's expected verdicts can be checked before any agent runs.

Per test the program runs in a fresh folder holding "input.txt", which is
its standard input too, under the task's time limit; it writes "output.txt",
or else its standard output is judged. A checker decides on both outputs as
they were written (arguments: input, tested output, expected output; exit 0
accepted, 1 wrong answer, 2 output format); without one, their normal forms
(lower case, one space between words, CR LF between lines, nothing trailing)
must be equal. A reference solution produces the expected output from its
own fresh copy of the input.

The compilers are four of those the agent is set up with: gcc, g++, fpc,
python3. A submission in another language is skipped (see
contest.lacks_compiler); the agent judges it through the demo.
"""

import os
import shutil
import signal
import subprocess
import tempfile
from pathlib import Path

import verdicts
from contest import lacks_compiler
from verdicts import Verdict

CHECKER_TIME_LIMIT = 10
COMPILE_TIME_LIMIT = 60
_WHITESPACE = b"\n\r \t"

# name: (source extension, compile command or None, run command)
COMPILERS = {
    "gcc": (".c", ["gcc", "-O2", "-o", "{exe}", "{src}", "-lm"], ["{exe}"]),
    "g++": (".cpp", ["g++", "-O2", "-std=c++17", "-o", "{exe}", "{src}"], ["{exe}"]),
    "fpc": (".pas", ["fpc", "-v0", "-O2", "-FE{dir}", "-o{exe}", "{src}"], ["{exe}"]),
    "python3": (".py", ["python3", "-m", "py_compile", "{src}"], ["python3", "{src}"]),
}


class JudgeError(Exception):
    """The contest itself cannot be judged (a checker that does not compile, ...)."""


def normalize(data: bytes) -> bytes:
    """Lower-cases A to Z, turns each white-space run into one space, or into
    CR LF when it holds a line break, and drops leading and trailing white
    space. Every other byte, a zero byte included, belongs to a word."""
    end = len(data)
    while end and data[end - 1] in _WHITESPACE:
        end -= 1
    i = 0
    while i < end and data[i] in _WHITESPACE:
        i += 1
    out = bytearray()
    while i < end:
        if data[i] in _WHITESPACE:
            line_break = False
            while i < end and data[i] in _WHITESPACE:
                line_break |= data[i] in b"\n\r"
                i += 1
            out += b"\r\n" if line_break else b" "
        while i < end and data[i] not in _WHITESPACE:
            out.append(data[i] + 32 if 65 <= data[i] <= 90 else data[i])
            i += 1
    return bytes(out)


def run(command, folder: Path, time_limit: float, streams: bool = False):
    """Runs a command in `folder`; with `streams`, its standard input is the
    folder's "input.txt" and its standard output goes to "stdout.txt", else
    it has no standard streams. Returns its exit status, or None when it ran
    out of time. Whatever it started is killed."""
    with open(folder / "input.txt", "rb") if streams else open(os.devnull, "rb") as stdin, \
            open(folder / "stdout.txt", "wb") if streams else open(os.devnull, "wb") as stdout:
        process = subprocess.Popen(command, cwd=folder, stdin=stdin, stdout=stdout,
                                   stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        status = process.wait(timeout=time_limit)
    except subprocess.TimeoutExpired:
        status = None
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait()
    return status


def output_of(folder: Path):
    """What a program wrote in `folder`: its "output.txt" when it wrote one,
    else its standard output when it wrote any; None when it wrote neither."""
    if (folder / "output.txt").is_file():
        return (folder / "output.txt").read_bytes()
    written = (folder / "stdout.txt").read_bytes()
    return written or None


class Program:
    """A compiled program: the command that runs it."""

    def __init__(self, command):
        self.command = command


def compile_source(source: bytes, compiler: str, folder: Path):
    """Compiles into `folder`. Returns the Program, or None on a compile error.
    Raises KeyError for a compiler that is not one of COMPILERS."""
    extension, build, launch = COMPILERS[compiler]
    folder.mkdir(parents=True, exist_ok=True)
    src = folder / f"source{extension}"
    src.write_bytes(source)
    names = {"src": str(src), "exe": str(folder / "program.exe"), "dir": str(folder)}
    if run([part.format(**names) for part in build], folder, COMPILE_TIME_LIMIT) != 0:
        return None
    return Program([part.format(**names) for part in launch])


class LocalJudge:
    def __init__(self, contest, scratch: Path):
        self.contest = contest
        self.scratch = scratch
        self.checkers, self.references = {}, {}
        for task in contest.tasks:
            for kind, program, store in (("checker", task.checker, self.checkers),
                                         ("solution", task.solution, self.references)):
                if program is None:
                    continue
                if program.compiler not in COMPILERS:
                    raise JudgeError(f"task {task.number}: unknown compiler "
                                     f"{program.compiler!r} for the {kind}")
                built = compile_source(program.source, program.compiler,
                                       scratch / f"task{task.number}-{kind}")
                if built is None:
                    raise JudgeError(f"task {task.number}: the {kind} "
                                     f"{program.path.name} does not compile")
                store[task.number] = built

    def judge(self, sub) -> Verdict:
        task = self.contest.task(sub.task)
        if task is None:
            return Verdict(verdicts.ERROR, message="wrong task number")
        if sub.compiler not in COMPILERS:
            return Verdict(verdicts.ERROR, message="wrong compiler line")
        program = compile_source(sub.source, sub.compiler, self.scratch / f"sub{sub.number}")
        if program is None:
            return Verdict(verdicts.COMPILE_ERROR)
        for test in task.tests:
            result = self._run_test(task, test, program)
            if result != verdicts.ACCEPTED:
                if result == verdicts.ERROR:
                    return Verdict(verdicts.ERROR, message="unknown_error")
                return Verdict(result, test.number)
        return Verdict(verdicts.ACCEPTED)

    def _fresh_folder(self, name: str, test) -> Path:
        folder = self.scratch / name
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir()
        (folder / "input.txt").write_bytes(test.input)
        return folder

    def _run_test(self, task, test, program) -> int:
        work = self._fresh_folder("work", test)
        status = run(program.command, work, task.time_limit, streams=True)
        if status is None:
            return verdicts.TIME_OUT
        if status != 0:
            return verdicts.RUN_TIME_ERROR
        tested = output_of(work)
        if tested is None:
            return verdicts.OUTPUT_FORMAT
        if task.number in self.references:
            reference = self._fresh_folder("reference", test)
            status = run(self.references[task.number].command, reference, task.time_limit,
                         streams=True)
            if status is None:
                return verdicts.TIME_OUT
            if status != 0:
                return verdicts.RUN_TIME_ERROR
            expected = output_of(reference)
            if expected is None:
                return verdicts.ERROR
        else:
            expected = test.output
        if task.number not in self.checkers:
            same = normalize(tested) == normalize(expected)
            return verdicts.ACCEPTED if same else verdicts.WRONG_ANSWER
        # A checker judges both outputs as they were written.
        (work / "toutput.raw").write_bytes(tested)
        (work / "output.raw").write_bytes(expected)
        command = self.checkers[task.number].command + [
            str(work / "input.txt"), str(work / "toutput.raw"), str(work / "output.raw")]
        status = run(command, work, CHECKER_TIME_LIMIT)
        return {0: verdicts.ACCEPTED, 1: verdicts.WRONG_ANSWER,
                2: verdicts.OUTPUT_FORMAT}.get(status, verdicts.ERROR)


def judge_contest(contest, progress=None) -> tuple:
    """Judges every submission that one of COMPILERS can compile; returns
    ({submission number: (Verdict, "local")}, the numbers of those skipped).
    Raises JudgeError when a task's own programs cannot be built."""
    results, skipped = {}, set()
    with tempfile.TemporaryDirectory(prefix="contest-check-") as scratch:
        judge = LocalJudge(contest, Path(scratch))
        for sub in contest.submissions:
            if lacks_compiler(sub, COMPILERS):
                skipped.add(sub.number)
                continue
            verdict = judge.judge(sub)
            results[sub.number] = (verdict, "local")
            if progress:
                progress(sub, verdict)
    return results, skipped
