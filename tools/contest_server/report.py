"""The verdict table printed at the end of a run."""

import re


# The table fits a terminal of 80 columns: each column has a widest cell,
# and a longer text is cut with "~" at its end.
_WIDTHS = (4, 14, 4, 8, 6, 17, 17, 3)


def _cell(text: str, width: int) -> str:
    # "wrong answer (test 3)" reads as "wrong answer 3" here.
    text = re.sub(r" \(test (\d+)\)$", r" \1", text)
    return text if len(text) <= width else text[:width - 1] + "~"


def verdict_table(submissions, results, judge_header: str = "Tester",
                  skipped=frozenset()) -> list:
    """Lines of a table with one row per submission, at most 80 columns wide.
    `results` maps a submission number to (Verdict, judge), judge being
    whatever identifies who judged it; a submission missing from it got no
    verdict, unless its number is in `skipped` (no judge had its compiler)."""
    header = ("#", "Submission", "Task", "Compiler", judge_header, "Expected", "Received", "OK")
    rows = [header]
    for sub in submissions:
        if sub.number in results:
            verdict, judge = results[sub.number]
            received, match = verdict.describe(), "yes" if sub.expected.matches(verdict) else "NO"
        elif sub.number in skipped:
            judge, received, match = "", "(skipped)", "-"
        else:
            judge, received, match = "", "(no verdict)", "NO"
        rows.append((str(sub.number), sub.name, str(sub.task), sub.compiler, str(judge),
                     sub.expected.describe(), received, match))
    rows = [tuple(_cell(cell, limit) for cell, limit in zip(row, _WIDTHS)) for row in rows]
    widths = [max(len(row[i]) for row in rows) for i in range(len(header))]
    return [" ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip()
            for row in rows]


def summary(submissions, results, skipped=frozenset()) -> tuple:
    """(every verdict in and matching, a one-line summary). Submissions in
    `skipped` count as neither."""
    missing = sum(1 for sub in submissions
                  if sub.number not in results and sub.number not in skipped)
    wrong = sum(1 for sub in submissions
                if sub.number in results and not sub.expected.matches(results[sub.number][0]))
    total = len(submissions)
    left_out = sum(1 for sub in submissions if sub.number in skipped)
    parts = []
    if not missing and not wrong:
        parts.append(f"All {total - left_out} verdicts matched")
    if wrong:
        parts.append(f"{wrong} of {total} verdicts did not match")
    if missing:
        parts.append(f"{missing} of {total} submissions got no verdict")
    if left_out:
        parts.append(f"{left_out} of {total} submissions skipped (compiler not offered)")
    return not missing and not wrong, "; ".join(parts) + "."
