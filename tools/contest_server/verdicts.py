"""Verdicts as the agent reports them in DONE, and the verdicts a contest expects.

A DONE message carries "Result" (the verdict class), "Test-Number" (the failing
test, for the four classes that run tests) and "Message" (the reason of an error
or a rejection). The contest's submissions list spells the expected verdict with
the words of NAMES, and the verdict table prints both the same way.
"""

from dataclasses import dataclass
from typing import Optional

ACCEPTED = 0
COMPILE_ERROR = 1
TIME_OUT = 2
SECURITY_ERROR = 3
RUN_TIME_ERROR = 4
OUTPUT_FORMAT = 5
WRONG_ANSWER = 6
REJECTED = -1  # the agent found the message malformed
ERROR = -2  # the agent could not judge: unknown compiler, unknown task, ...

# The spelling in the submissions list, and the one in printed tables.
NAMES = {
    ACCEPTED: ("accepted", "accepted"),
    COMPILE_ERROR: ("compile-error", "compile error"),
    TIME_OUT: ("time-out", "time out"),
    SECURITY_ERROR: ("security-error", "security error"),
    RUN_TIME_ERROR: ("run-time-error", "run-time error"),
    OUTPUT_FORMAT: ("output-format", "output format"),
    WRONG_ANSWER: ("wrong-answer", "wrong answer"),
    REJECTED: ("rejected", "rejected"),
    ERROR: ("error", "error"),
}

# Classes reached while running the tests carry the number of the failing test.
WITH_TEST = frozenset({TIME_OUT, SECURITY_ERROR, RUN_TIME_ERROR, OUTPUT_FORMAT, WRONG_ANSWER})
# Classes that tell why the agent did not judge carry a message instead.
WITH_MESSAGE = frozenset({REJECTED, ERROR})

_BY_WORD = {word: result for result, (word, _) in NAMES.items()}


def _describe(result: int, test: Optional[int], message: Optional[str]) -> str:
    text = NAMES[result][1] if result in NAMES else f"result {result}"
    if test:
        text += f" (test {test})"
    if message is not None:
        text += f': "{message}"'
    return text


@dataclass(frozen=True)
class Verdict:
    """What one DONE reported. `test` is 0 when the DONE had no "Test-Number"."""

    result: int
    test: int = 0
    message: Optional[str] = None

    def describe(self) -> str:
        return _describe(self.result, self.test, self.message)


@dataclass(frozen=True)
class Expected:
    """The verdict a submission should get. A test number or a message left out
    (None) matches any; `others` are results that match as well as `result`
    (at any test)."""

    result: int
    test: Optional[int] = None
    message: Optional[str] = None
    others: tuple = ()

    def matches(self, verdict: Verdict) -> bool:
        if verdict.result in self.others:
            return True
        if verdict.result != self.result:
            return False
        if self.test is not None and verdict.test != self.test:
            return False
        return self.message is None or verdict.message == self.message

    def describe(self) -> str:
        return " or ".join([_describe(self.result, self.test, self.message)]
                           + [NAMES[other][1] for other in self.others])


def parse_expected(words: list) -> Expected:
    """Reads an expected verdict from the words of a submissions line:
    "accepted", "compile-error", "wrong-answer 3" (any of the test classes,
    the test number optional), "error wrong compiler line" or "rejected ..."
    (the message optional), or test classes joined by "|" at any test
    ("time-out|wrong-answer"). Raises ValueError with the reason."""
    if not words:
        raise ValueError("expected verdict missing")
    word, rest = words[0], words[1:]
    if "|" in word:
        choices = word.split("|")
        results = [_BY_WORD.get(choice) for choice in choices]
        if rest or len(set(choices)) != len(choices) or not all(r in WITH_TEST for r in results):
            raise ValueError(f"{' '.join(words)!r}: verdicts joined by '|' are two or more "
                             f"different test classes, without a test number")
        return Expected(results[0], others=tuple(results[1:]))
    if word not in _BY_WORD:
        raise ValueError(f"unknown verdict {word!r}; one of: " + ", ".join(_BY_WORD))
    result = _BY_WORD[word]
    if result in WITH_MESSAGE:
        return Expected(result, message=" ".join(rest) if rest else None)
    if not rest:
        return Expected(result)
    if result not in WITH_TEST:
        raise ValueError(f"{word} takes no test number")
    if len(rest) > 1 or not rest[0].isdigit() or not 1 <= int(rest[0]) <= 999:
        raise ValueError(f"{word} takes one test number, 1 to 999, got {' '.join(rest)!r}")
    return Expected(result, test=int(rest[0]))
