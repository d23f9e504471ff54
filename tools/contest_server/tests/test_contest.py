import re
import tempfile
import unittest
from pathlib import Path

import contest
import report
import verdicts

SAMPLE = Path(__file__).resolve().parents[3] / "contests" / "sample"
# Task 1 is judged by expected outputs; task 2 by a checker, with a reference
# solution and a grammar. A submission's source "verdict R [T]" tells the test
# agent which verdict to send.
BASIC = {
    "tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\n",
    "tasks/1-sum/tests/1.in": "1 2\n",
    "tasks/1-sum/tests/1.out": "3\n",
    "tasks/1-sum/tests/2.in": "",
    "tasks/1-sum/tests/2.out": "0\n",
    "tasks/2-pair/task.ini": ("# a comment\nname = Pair\ntime-limit = 2\nspace-limit = 32\n"
                              "checker = check.c\nchecker-compiler = gcc\n"
                              "solution = ref.cpp\nsolution-compiler = g++\ngrammar = g.txt\n"),
    "tasks/2-pair/check.c": "int main(void) { return 0; }\n",
    "tasks/2-pair/ref.cpp": "int main() {}\n",
    "tasks/2-pair/g.txt": "pair := int int\n",
    "tasks/2-pair/tests/01.in": "6\n",
    "submissions.txt": ("# source task compiler verdict\n"
                        "ok.c      1 gcc     accepted\n"
                        "wa.cpp    2 g++     wrong-answer 2\n"
                        "\n"
                        "ce.py     1 python3 compile-error\n"
                        "ok.c      1 clang   error wrong compiler line\n"
                        "ok.c      5 gcc     error wrong task number\n"),
    "submissions/ok.c": "verdict 0\n",
    "submissions/wa.cpp": "verdict 6 2\n",
    "submissions/ce.py": "verdict 1\n",
}


def write_contest(root, changes=None) -> Path:
    """Writes BASIC with `changes` applied under `root`; None removes a file."""
    layout = {**BASIC, **(changes or {})}
    for name, text in layout.items():
        if text is not None:
            (Path(root) / name).parent.mkdir(parents=True, exist_ok=True)
            (Path(root) / name).write_text(text)
    return Path(root)


class ReadContestTest(unittest.TestCase):
    def test_reads_tasks_tests_programs_and_submissions(self):
        with tempfile.TemporaryDirectory() as folder:
            # Tests are numbered by value and sent in ascending order.
            read = contest.read_contest(write_contest(folder, {
                "tasks/1-sum/tests/10.in": "a\n", "tasks/1-sum/tests/10.out": "b\n",
                "tasks/1-sum/tests/003.in": "c\n", "tasks/1-sum/tests/003.out": "d\n"}))
        first, second = read.tasks
        self.assertEqual((first.number, first.name, first.time_limit, first.space_limit),
                         (1, "Sum", 1, contest.DEFAULT_SPACE_LIMIT))
        self.assertEqual([(t.number, t.input, t.output) for t in first.tests],
                         [(1, b"1 2\n", b"3\n"), (2, b"", b"0\n"), (3, b"c\n", b"d\n"),
                          (10, b"a\n", b"b\n")])
        self.assertEqual((second.time_limit, second.space_limit), (2, 32))
        self.assertEqual((second.checker.compiler, second.checker.source),
                         ("gcc", b"int main(void) { return 0; }\n"))
        self.assertEqual((second.solution.compiler, second.grammar), ("g++", b"pair := int int\n"))
        # A task with a reference solution needs no expected outputs.
        self.assertEqual([(t.number, t.output) for t in second.tests], [(1, None)])
        self.assertEqual([(s.number, s.name, s.task, s.compiler) for s in read.submissions],
                         [(1, "ok.c", 1, "gcc"), (2, "wa.cpp", 2, "g++"),
                          (3, "ce.py", 1, "python3"), (4, "ok.c", 1, "clang"),
                          (5, "ok.c", 5, "gcc")])
        self.assertEqual(read.submissions[1].expected, verdicts.Expected(6, test=2))
        self.assertEqual(read.submissions[3].expected,
                         verdicts.Expected(-2, message="wrong compiler line"))

    def test_a_standard_checker_by_its_word(self):
        with tempfile.TemporaryDirectory() as folder:
            read = contest.read_contest(write_contest(folder, {
                "tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\nchecker = floats\n"}))
        checker = read.tasks[0].checker
        self.assertEqual(checker.compiler, "g++")
        self.assertTrue(checker.source.startswith(b"#define CHECK_MODE 3\n// The standard checkers"))
        # Tolerances go in front of the source as the checker's defines.
        with tempfile.TemporaryDirectory() as folder:
            read = contest.read_contest(write_contest(folder, {
                "tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\nchecker = floats\n"
                                        "relative-tolerance = 1e-4\nabsolute-tolerance = 0\n"}))
        self.assertTrue(read.tasks[0].checker.source.startswith(
            b"#define CHECK_MODE 3\n#define CHECK_ABSOLUTE_TOLERANCE 0.0\n"
            b"#define CHECK_RELATIVE_TOLERANCE 0.0001\n//"))

    def test_faults_are_named(self):
        task_4 = {"tasks/4-x/task.ini": "name = X\ntime-limit = 1\n",
                  "tasks/4-x/tests/1.in": "", "tasks/4-x/tests/1.out": ""}
        again_1 = {"tasks/01-again/task.ini": "name = X\ntime-limit = 1\n",
                   "tasks/01-again/tests/1.in": "", "tasks/01-again/tests/1.out": ""}
        sum_ini, pair_ini = "tasks/1-sum/task.ini", "tasks/2-pair/task.ini"
        rows = [  # (changes, fragment of the error, why)
            ({sum_ini: None}, "task.ini: missing", "no task.ini"),
            (task_4, "must run 1 to 3, found 1, 2, 4", "a gap in the task numbers"),
            (again_1, "must run 1 to 3, found 1, 1, 2", "two folders for task 1"),
            ({"tasks/sum/task.ini": "name = X\n"}, "task folder's name", "no number"),
            ({sum_ini: "name = Sum\ntime-limit = 1\ntime = 2\n"},
             "task.ini:3: unknown key 'time'", "typo in a key"),
            ({sum_ini: "time-limit = 1\n"}, "name missing", "no name"),
            ({sum_ini: "name = Sum\ntime-limit = 1.5\n"}, "whole number from 1",
             "time limits are whole seconds"),
            ({sum_ini: "name = A;B\ntime-limit = 1\n"}, "without ';'",
             "';' separates the names list"),
            ({sum_ini: f"name = {'x' * 45}\ntime-limit = 1\n"}, "longer than 44",
             "wider than the agent's table"),
            ({sum_ini: "name = Sum\ntime-limit = 1\nchecker = c.c\n"},
             "checker and checker-compiler go together", "no checker compiler"),
            ({sum_ini: "name = Sum\ntime-limit = 1\nchecker = tokens\nabsolute-tolerance = 1\n"},
             "absolute-tolerance goes only with checker = floats", "a tolerance for tokens"),
            ({sum_ini: "name = Sum\ntime-limit = 1\nchecker = floats\nrelative-tolerance = nan\n"},
             "must be a number, 0 or more", "no C++ literal for nan"),
            ({pair_ini: "name = P\ntime-limit = 1\nsolution = ref.cpp\n"
                        "solution-compiler = compiler10\n"},
             "at most 9 characters", "the task set's compiler field holds 9"),
            ({pair_ini: "name = P\ntime-limit = 1\nsolution = ../1-sum/task.ini\n"
                        "solution-compiler = g++\n"},
             "lies outside", "a program outside the task folder"),
            ({"tasks/1-sum/tests/2.out": None}, "2.in: no expected output",
             "judged by outputs, a test without one"),
            ({"tasks/1-sum/tests/3.out": "x\n"}, "no input for test 3", "an output alone"),
            ({"tasks/1-sum/tests/1.ans": "x\n"}, "NUMBER.in or NUMBER.out", "unknown test file"),
            ({"tasks/1-sum/tests/01.in": "x\n"}, "test 1 given twice", "1.in and 01.in"),
            ({"tasks/1-sum/tests/1000.in": "x\n", "tasks/1-sum/tests/1000.out": "x\n"},
             "from 1 to 999", "verdicts carry three digits"),
            ({"submissions.txt": "ok.c 1 gcc passed\n"}, "unknown verdict 'passed'",
             "unknown verdict"),
            ({"submissions.txt": "gone.c 1 gcc accepted\n"}, "no such file", "missing source"),
            ({"submissions.txt": "../tasks/1-sum/task.ini 1 gcc accepted\n"}, "lies outside",
             "a source outside submissions/"),
        ]
        for changes, fragment, why in rows:
            with self.subTest(why), tempfile.TemporaryDirectory() as folder:
                with self.assertRaisesRegex(contest.ContestError, re.escape(fragment)):
                    contest.read_contest(write_contest(folder, changes))

    def test_the_sample_has_every_verdict_and_an_accepted_source_in_each_language(self):
        sample = contest.read_contest(SAMPLE)
        self.assertEqual([t.number for t in sample.tasks], [1, 2, 3])
        self.assertIsNotNone(sample.task(2).checker)
        self.assertTrue(sample.task(3).solution and
                        all(t.output is None for t in sample.task(3).tests))
        self.assertEqual({s.expected.result for s in sample.submissions}, {0, 1, 2, 4, 5, 6, -2})
        # Every language wrapper shipped (the validator's is no language).
        wrappers = {path.name.removeprefix("probator-")
                    for path in (SAMPLE.parents[1] / "compilers").glob("probator-*")
                    if path.suffix == "" and path.name != "probator-validator"}
        self.assertEqual({s.compiler for s in sample.submissions if s.expected.result == 0},
                         wrappers)


class VerdictTableTest(unittest.TestCase):
    def test_fits_80_columns(self):
        sample = contest.read_contest(SAMPLE)
        long = verdicts.Verdict(-2, 0, "launcher died while judging on a busy machine")
        results = {s.number: (long if s.number % 2 else verdicts.Verdict(6, 999), 12)
                   for s in sample.submissions}
        lines = report.verdict_table(sample.submissions, results)
        self.assertEqual(len(lines), len(sample.submissions) + 1)
        self.assertLessEqual(max(map(len, lines)), 80, "\n".join(lines))
        self.assertIn("wrong answer 999", "\n".join(lines))


class ExpectedVerdictTest(unittest.TestCase):
    def test_parse(self):
        E = verdicts.Expected
        rows = [("accepted", E(0)), ("wrong-answer 3", E(6, test=3)),
                ("security-error 999", E(3, test=999)), ("rejected", E(-1)),
                ("error wrong compiler line", E(-2, message="wrong compiler line")),
                ("time-out|wrong-answer", E(2, others=(6,)))]
        for text, expected in rows:
            with self.subTest(text):
                self.assertEqual(verdicts.parse_expected(text.split()), expected)
        for text in ("", "passed", "accepted 1", "compile-error 2", "wrong-answer 0",
                     "wrong-answer 1000", "run-time-error x", "output-format 1 2",
                     "accepted|wrong-answer", "time-out|wrong-answer 3", "time-out|time-out",
                     "time-out|"):
            with self.subTest(text), self.assertRaises(ValueError):
                verdicts.parse_expected(text.split())

    def test_matches(self):
        V, E = verdicts.Verdict, verdicts.Expected
        rows = [
            (E(6, test=3), V(6, 3), True),
            (E(6, test=3), V(6, 2), False, "another test"),
            (E(6, test=3), V(6), False, "no test number"),
            (E(6), V(6, 7), True, "any test"),
            (E(6), V(2, 1), False, "another class"),
            (E(-2, message="wrong task number"), V(-2, 0, "wrong task number"), True),
            (E(-2, message="wrong task number"), V(-2, 0, "wrong compiler line"), False),
            (E(-2), V(-2, 0, "unknown_error"), True, "any message"),
            (E(2, others=(6,)), V(6, 1), True, "one of two classes"),
            (E(2, others=(6,)), V(4, 1), False, "neither class"),
        ]
        for expected, verdict, match, *why in rows:
            with self.subTest(why or expected):
                self.assertEqual(expected.matches(verdict), match)


if __name__ == "__main__":
    unittest.main()
