import tempfile
import unittest
from pathlib import Path

import contest
import verdicts
from tests.contest_builder import write_contest

SAMPLE = Path(__file__).resolve().parents[3] / "contests" / "sample"


class ReadContestTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.addCleanup(self.folder.cleanup)

    def read(self, changes=None):
        return contest.read_contest(write_contest(self.folder.name, changes=changes))

    def test_reads_tasks_tests_programs_and_submissions(self):
        read = self.read()
        first, second = read.tasks
        self.assertEqual((first.number, first.name, first.time_limit, first.space_limit),
                         (1, "Sum", 1, contest.DEFAULT_SPACE_LIMIT))
        self.assertEqual([(t.number, t.input, t.output) for t in first.tests],
                         [(1, b"1 2\n", b"3\n"), (2, b"", b"0\n")])
        self.assertEqual((second.time_limit, second.space_limit), (2, 32))
        self.assertEqual((second.checker.compiler, second.checker.source),
                         ("gcc", b"int main(void) { return 0; }\n"))
        self.assertEqual(second.solution.compiler, "g++")
        self.assertEqual(second.grammar, b"pair := int int\n")
        # A task with a reference solution needs no expected outputs.
        self.assertEqual([(t.number, t.output) for t in second.tests], [(1, None)])
        self.assertEqual([(s.number, s.name, s.task, s.compiler) for s in read.submissions],
                         [(1, "ok.c", 1, "gcc"), (2, "wa.cpp", 2, "g++"),
                          (3, "ce.py", 1, "python3"), (4, "ok.c", 1, "clang"),
                          (5, "ok.c", 5, "gcc")])
        self.assertEqual(read.submissions[1].expected, verdicts.Expected(6, test=2))
        self.assertEqual(read.submissions[3].expected,
                         verdicts.Expected(-2, message="wrong compiler line"))

    def test_tests_are_numbered_by_value_and_sorted(self):
        read = self.read({"tasks/1-sum/tests/10.in": "a\n", "tasks/1-sum/tests/10.out": "b\n",
                          "tasks/1-sum/tests/003.in": "c\n", "tasks/1-sum/tests/003.out": "d\n"})
        self.assertEqual([t.number for t in read.tasks[0].tests], [1, 2, 3, 10])

    def test_faults_are_named(self):
        rows = [
            # (changes, fragment of the error, why)
            ({"tasks/1-sum/task.ini": None}, "task.ini: missing", "no task.ini"),
            ({"tasks/4-x/task.ini": "name = X\ntime-limit = 1\n",
              "tasks/4-x/tests/1.in": "", "tasks/4-x/tests/1.out": ""},
             "must run 1 to 3, found 1, 2, 4", "a gap in the task numbers"),
            ({"tasks/01-again/task.ini": "name = X\ntime-limit = 1\n",
              "tasks/01-again/tests/1.in": "", "tasks/01-again/tests/1.out": ""},
             "must run 1 to 3, found 1, 1, 2", "two folders for task 1"),
            ({"tasks/sum/task.ini": "name = X\n"}, "task folder's name", "no number"),
            ({"tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\ntime = 2\n"},
             "task.ini:3: unknown key 'time'", "typo in a key"),
            ({"tasks/1-sum/task.ini": "time-limit = 1\n"}, "name missing", "no name"),
            ({"tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1.5\n"},
             "whole number from 1", "time limits are whole seconds"),
            ({"tasks/1-sum/task.ini": "name = A;B\ntime-limit = 1\n"},
             "without ';'", "';' separates the names list"),
            ({"tasks/1-sum/task.ini": f"name = {'x' * 45}\ntime-limit = 1\n"},
             "longer than 44", "wider than the agent's table"),
            ({"tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\nchecker = c.c\n"},
             "checker and checker-compiler go together", "no checker compiler"),
            ({"tasks/2-pair/task.ini": "name = P\ntime-limit = 1\nsolution = ref.cpp\n"
                                       "solution-compiler = compiler10\n"},
             "at most 9 characters", "the task set's compiler field holds 9"),
            ({"tasks/2-pair/task.ini": "name = P\ntime-limit = 1\nsolution = ../1-sum/task.ini\n"
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
                with self.assertRaises(contest.ContestError) as caught:
                    contest.read_contest(write_contest(folder, changes=changes))
                self.assertIn(fragment, str(caught.exception))

    def test_the_sample_contest_reads(self):
        sample = contest.read_contest(SAMPLE)
        self.assertEqual([t.number for t in sample.tasks], [1, 2, 3])
        self.assertIsNotNone(sample.task(2).checker)
        self.assertIsNotNone(sample.task(3).solution)
        self.assertTrue(all(t.output is None for t in sample.task(3).tests))
        classes = {s.expected.result for s in sample.submissions}
        self.assertEqual(classes, {0, 1, 2, 4, 5, 6, -2})
        compilers = {s.compiler for s in sample.submissions if s.expected.result == 0}
        self.assertEqual(compilers, {"gcc", "g++", "fpc", "python3"})


class ExpectedVerdictTest(unittest.TestCase):
    def test_parse(self):
        rows = [
            ("accepted", verdicts.Expected(0)),
            ("wrong-answer 3", verdicts.Expected(6, test=3)),
            ("security-error 999", verdicts.Expected(3, test=999)),
            ("error wrong compiler line", verdicts.Expected(-2, message="wrong compiler line")),
            ("rejected", verdicts.Expected(-1)),
        ]
        for text, expected in rows:
            with self.subTest(text):
                self.assertEqual(verdicts.parse_expected(text.split()), expected)

    def test_parse_refuses(self):
        for text in ("", "passed", "accepted 1", "compile-error 2", "wrong-answer 0",
                     "wrong-answer 1000", "run-time-error x", "output-format 1 2"):
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
        ]
        for expected, verdict, match, *why in rows:
            with self.subTest(why or expected):
                self.assertEqual(expected.matches(verdict), match)


if __name__ == "__main__":
    unittest.main()
