#!/usr/bin/env python3
"""Judges a contest folder's submissions on this machine with gcc, g++, fpc and
python3, and checks that each gets the verdict the submissions list expects;
those in other languages are skipped.

    check_contest.py --contest contests/sample

Exit status: 0 when every verdict matched, 1 otherwise, 2 for a contest
folder that cannot be read or judged, or one marked "boxed-only".
"""

import argparse
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import contest  # noqa: E402
import local_judge  # noqa: E402
import report  # noqa: E402


def main(argv=None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--contest", required=True, type=Path, help="the contest folder")
    arguments = parser.parse_args(argv)
    # Submissions that attack the judge run only inside the agent's box;
    # this script would run them unconfined, on this machine.
    if (arguments.contest / "boxed-only").exists():
        print(f"check_contest: {arguments.contest} is marked boxed-only: judge it through "
              "the agent (scripts/demo.sh --contest)", file=sys.stderr)
        return 2
    try:
        checked = contest.read_contest(arguments.contest)

        def progress(sub, verdict):
            mark = "as expected" if sub.expected.matches(verdict) else (
                f"MISMATCH, expected {sub.expected.describe()}")
            print(f"submission {sub.number} ({sub.name}): {verdict.describe()} ({mark})",
                  flush=True)

        results, skipped = local_judge.judge_contest(checked, progress)
    except (contest.ContestError, local_judge.JudgeError) as error:
        print(f"check_contest: {error}", file=sys.stderr)
        return 2
    matched, summary = report.summary(checked.submissions, results, skipped)
    print("\nVerdicts")
    print("\n".join(report.verdict_table(checked.submissions, results, "Judge", skipped)))
    print(summary)
    return 0 if matched else 1


if __name__ == "__main__":
    sys.exit(main())
