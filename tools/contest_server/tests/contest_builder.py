"""Writes small contest folders for the tests."""

from pathlib import Path

# A two-task contest: task 1 judged by expected outputs, task 2 by a checker
# with a reference solution and a grammar. Submissions ask the agent double for
# their verdict with a line "verdict R [T]".
BASIC = {
    "tasks/1-sum/task.ini": "name = Sum\ntime-limit = 1\n",
    "tasks/1-sum/tests/1.in": "1 2\n",
    "tasks/1-sum/tests/1.out": "3\n",
    "tasks/1-sum/tests/2.in": "",
    "tasks/1-sum/tests/2.out": "0\n",
    "tasks/2-pair/task.ini": ("# a comment\nname = Pair\ntime-limit = 2\nspace-limit = 32\n"
                              "checker = check.c\nchecker-compiler = gcc\n"
                              "solution = ref.cpp\nsolution-compiler = g++\n"
                              "grammar = g.txt\n"),
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


def write_contest(root, files=None, changes=None) -> Path:
    """Writes `files` (default BASIC) with `changes` applied under `root`; a
    change to None removes that file."""
    layout = dict(BASIC if files is None else files)
    for name, text in (changes or {}).items():
        if text is None:
            layout.pop(name, None)
        else:
            layout[name] = text
    root = Path(root)
    for name, text in layout.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text) if isinstance(text, str) else path.write_bytes(text)
    return root
