import contextlib
import io
import re
import tempfile
import unittest
from pathlib import Path

import contest
import import_packages
import small_yaml

PACKAGES = Path(__file__).resolve().parent / "packages"

# A package with one secret test and one accepted submission; rows change it.
PLAIN = {
    "problem.yaml": "name: Plain\nlimits:\n  time_limit: 2\n",
    "data/secret/1.in": "1\n",
    "data/secret/1.ans": "1\n",
    "submissions/accepted/echo.py": "print(input())\n",
}


def write_package(root, changes=None) -> Path:
    folder = Path(root) / "plain"
    for name, text in {**PLAIN, **(changes or {})}.items():
        if text is not None:
            (folder / name).parent.mkdir(parents=True, exist_ok=True)
            (folder / name).write_text(text)
    return folder


def run_import(*arguments):
    out = io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(out):
        try:
            status = import_packages.main([str(a) for a in arguments])
        except SystemExit as exit:
            status = exit.code
    return status, out.getvalue()


class ImportFixturesTest(unittest.TestCase):
    def test_the_fixture_packages_become_a_contest(self):
        with tempfile.TemporaryDirectory() as scratch:
            target = Path(scratch) / "contest"
            status, report = run_import(PACKAGES, target)
            # The interactive package is refused by name; the others are imported.
            self.assertEqual(status, 1, report)
            self.assertRegex(report, r"refused \S*guess: interactive")
            read = contest.read_contest(target)
            ini = {t.name: (t.folder / "task.ini").read_text() for t in read.tasks}
            tests_map = (read.tasks[2].folder / "tests.map").read_text()
            validator = read.tasks[0].checker.source
            listing = (target / "submissions.txt").read_text()

        self.assertEqual([(t.name, t.time_limit, t.space_limit, len(t.tests)) for t in read.tasks],
                         [("Any divisor", 1, 2048, 4), ("Mean value", 2, 128, 4),
                          ("Sum of many", 1, 256, 6)])
        self.assertIn("time limit 1.5 s rounded up to 2 s", report)
        # Comparison: a custom validator, a float tolerance, the default.
        self.assertIn("checker = divides.cpp\nchecker-compiler = validator\n", ini["Any divisor"])
        self.assertIn("checker = floats\nabsolute-tolerance = 0.0001\n"
                      "relative-tolerance = 0.0001\n", ini["Mean value"])
        self.assertIn("checker = tokens-nocase\n", ini["Sum of many"])
        # The validator's own header is written into its one source.
        self.assertIn(b"constexpr int kAccept = 42;", validator)
        self.assertNotIn(b'#include "verdict.h"', validator)
        # Samples first, then test cases and groups together by name, depth first.
        self.assertEqual(re.findall(r"^(\d+) (\S+)$", tests_map, re.M),
                         [("001", "data/sample/1"), ("002", "data/secret/a_small/01"),
                          ("003", "data/secret/a_small/02"), ("004", "data/secret/b_large/01"),
                          ("005", "data/secret/b_large/deep/01"),
                          ("006", "data/secret/c_last")])
        self.assertEqual(
            [(s.name, s.task, s.compiler, s.expected.describe()) for s in read.submissions
             if s.task == 3],
            [("sum/accepted/Sum.java", 3, "java", "accepted"),
             ("sum/accepted/sum.c", 3, "gcc", "accepted"),
             ("sum/accepted/sum.py", 3, "python3", "accepted"),
             ("sum/accepted/sum_stack.c", 3, "gcc", "accepted"),
             ("sum/run_time_error/sum_hoard.cpp", 3, "g++", "run-time error"),
             ("sum/run_time_error/sum_no_empty.c", 3, "gcc", "run-time error"),
             ("sum/time_limit_exceeded/sum_forever.py", 3, "python3",
              "time out or wrong answer"),
             ("sum/wrong_answer/sum_int32.cpp", 3, "g++", "wrong answer")])
        self.assertIn("skipped submissions/accepted/sum.rb: no compiler for .rb", report)
        self.assertNotIn("guess", listing)

    def test_nothing_importable_writes_nothing(self):
        with tempfile.TemporaryDirectory() as scratch:
            target = Path(scratch) / "contest"
            status, report = run_import(PACKAGES / "guess", target)
            self.assertEqual((status, target.exists()), (2, False), report)
            target.mkdir()
            (target / "old").write_text("")
            status, report = run_import(PACKAGES / "sum", target)
            self.assertEqual(status, 2, report)
            self.assertIn("not an empty folder", report)


class ReadPackageTest(unittest.TestCase):
    def read(self, changes):
        with tempfile.TemporaryDirectory() as scratch:
            return import_packages.read_package(write_package(scratch, changes))

    def test_validator_flags_choose_the_checker(self):
        rows = [  # (flags, checker, tolerances)
            ("", "tokens-nocase", {}),
            ("case_sensitive", "tokens", {}),
            ("space_change_sensitive case_sensitive", "lines", {}),
            ("float_tolerance 1e-5", "floats",
             {"absolute-tolerance": 1e-5, "relative-tolerance": 1e-5}),
            ("float_relative_tolerance 1e-3", "floats",
             {"absolute-tolerance": 0.0, "relative-tolerance": 1e-3}),
            ("float_absolute_tolerance 0.5 case_sensitive", "floats",
             {"absolute-tolerance": 0.5, "relative-tolerance": 0.0}),
        ]
        for flags, checker, tolerances in rows:
            with self.subTest(flags):
                task = self.read({"problem.yaml": f"name: P\nvalidator_flags: '{flags}'\n"})
                self.assertEqual((task.checker, task.tolerances), (checker, tolerances))
        # The newer layout gives the flags in the test groups' settings.
        task = self.read({"data/testdata.yaml": "output_validator_flags: case_sensitive\n"})
        self.assertEqual(task.checker, "tokens")

    def test_faults_and_refusals_are_named(self):
        Error, Refused = import_packages.PackageError, import_packages.Refused
        two_cpp = {"problem.yaml": "name: P\nvalidation: custom\n",
                   "output_validators/v/a.cpp": "", "output_validators/v/b.cpp": ""}
        rows = [  # (changes, exception, fragment, why)
            ({"problem.yaml": None}, Error, "no problem.yaml", "not a package"),
            ({"data/secret/2.in": "x\n"}, Error, "2.in: no 2.ans beside it", "input alone"),
            ({"data/secret/g/3.ans": "x\n"}, Error, "3.ans: no 3.in beside it", "answer alone"),
            ({"data/secret/1.in": None, "data/secret/1.ans": None, "data/secret/x.txt": ""},
             Error, "no test", "no test"),
            ({"problem.yaml": "name: P\nlimits:\n\ttime_limit: 1\n"}, Error,
             "problem.yaml:3: tab", "YAML outside the subset"),
            ({"problem.yaml": "name: P\nlimits:\n  time_limit: fast\n"}, Error,
             "limits.time_limit must be a positive number", "a time limit in words"),
            ({"problem.yaml": "type: multi-pass\n"}, Refused, "multi-pass: multi-pass problems",
             "multi-pass"),
            ({"problem.yaml": "type: [pass-fail, interactive]\n"}, Refused,
             "interactive: interactive problems", "interactive in the newer layout"),
            ({"problem.yaml": "validator_flags: ignore_trailing\n"}, Refused,
             "validator flag 'ignore_trailing'", "unknown flag"),
            ({"problem.yaml": "validator_flags: float_tolerance\n"}, Error,
             "needs a tolerance", "tolerance missing"),
            ({"data/secret/g/testdata.yaml": "output_validator_flags: case_sensitive\n",
              "data/secret/g/2.in": "", "data/secret/g/2.ans": ""}, Refused,
             "(data/secret/1: 'none'; data/secret/g/2: 'case_sensitive')",
             "one checker per task"),
            ({"problem.yaml": "validation: custom\nvalidator_flags: x\n",
              "output_validators/v.cpp": ""}, Refused, "passes none", "custom with flags"),
            (two_cpp, Refused, "one C++ source", "a validator of two sources"),
        ]
        for changes, exception, fragment, why in rows:
            with self.subTest(why), self.assertRaisesRegex(exception, re.escape(fragment)):
                self.read(changes)

    def test_submissions_by_folder_and_extension(self):
        task = self.read({"submissions/accepted/old.py": "#!/usr/bin/python2\nprint 1\n",
                          "submissions/partially_accepted/half.c": "",
                          "submissions/run_time_error/multi/main.go": "",
                          "submissions/time_limit_exceeded/slow.kt": ""})
        self.assertEqual([(s.source.name, s.compiler, s.verdict) for s in task.submissions],
                         [("echo.py", "python3", "accepted"),
                          ("slow.kt", "kotlin", "time-out|wrong-answer")])
        self.assertEqual(dict(task.skipped), {
            "submissions/accepted/old.py": "Python 2",
            "submissions/partially_accepted/half.c": "no verdict here for partially_accepted/",
            "submissions/run_time_error/multi": "a submission of several files"})


class SmallYamlTest(unittest.TestCase):
    def test_reads_the_subset(self):
        text = ("---\n# metadata\nname: {en: 'It''s', sv: \"Det\\n\"}\nlimits:\n"
                "  memory: 512  # MiB\n  time_limit: 1.5\nkeywords: [a, b]\n"
                "credits:\n  authors:\n  - A B\n  - C\ndescription: |\n  two\n  lines\n"
                "long: plain words\n  go on\nempty:\n")
        self.assertEqual(small_yaml.loads(text), {
            "name": {"en": "It's", "sv": "Det\n"},
            "limits": {"memory": "512", "time_limit": "1.5"},
            "keywords": ["a", "b"], "credits": {"authors": ["A B", "C"]},
            "description": "two\nlines\n", "long": "plain words go on", "empty": None})

    def test_refuses_what_it_does_not_read(self):
        for text in ("a: &x 1\nb: *x\n", "a: !!str 1\n", "a: 1\na: 2\n", "a: [1, [2]]\n",
                     "a: 'open\n", "a: 1\n---\nb: 2\n", "a:\n  - b: 1\n", "a: 1\n b: 2\n"):
            with self.subTest(text), self.assertRaises(small_yaml.YAMLError):
                small_yaml.loads(text)


if __name__ == "__main__":
    unittest.main()
