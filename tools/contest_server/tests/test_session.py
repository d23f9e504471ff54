"""Whole sessions over 127.0.0.1: the server against scripted testers. The
demo runs the real agent through a clean session with the sample contest;
these cover what it does not: faults, time limits, sharing, the options."""

import base64
import io
import re
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

import contest
import server
from tests.test_contest import write_contest

SCRIPT = Path(__file__).resolve().parents[1] / "contest_server.py"
COMPILERS = ("python3", "fpc", "g++", "gcc")


def agent_message(command, headers=None, argument=""):
    """A message as the agent writes it: keys in byte order, an empty line."""
    lines = [" ".join(filter(None, [command, argument, "TORVANE/1.0"]))]
    lines += [f"{key}: {value}" for key, value in sorted((headers or {}).items())]
    return ("\n".join(lines) + "\n\n").encode()


def done(result, test=0, message=None):
    headers = {"Result": result, "Test-Number": test or None, "Message": message}
    return agent_message("DONE", {k: v for k, v in headers.items() if v is not None})


def verdict_asked_for(task, compiler, source):
    """The verdict that a basic contest's source names with "verdict R [T]"."""
    if task not in (1, 2):
        return done(-2, message="wrong task number")
    if compiler not in COMPILERS:
        return done(-2, message="wrong compiler line")
    return done(*map(int, re.match(rb"verdict (-?\d+)(?: (\d+))?", source).groups(b"0")))


class Agent(threading.Thread):
    """A scripted tester: logs in, asks for the task set, answers it with READY
    (or `on_task_set()`) and each submission with `judge(task, compiler,
    source)`. Ends on a 4xx or when the server closes the connection."""

    def __init__(self, port, judge=verdict_asked_for, on_task_set=None, compilers=COMPILERS):
        super().__init__(daemon=True)
        self.port, self.judge, self.on_task_set = port, judge, on_task_set
        self.compilers = compilers
        self.judged, self.ended_by = 0, None

    def start(self):
        # Connected here, one agent after the other, so that the server
        # numbers the testers in the order they were started.
        self.sock = socket.create_connection(("127.0.0.1", self.port), timeout=20)
        super().start()

    def run(self):
        try:
            with self.sock as sock, sock.makefile("rb") as stream:
                sock.sendall(agent_message("LOGIN", {"Compilers": ";".join(self.compilers)},
                                            "tester"))
                self.ended_by = "closed"
                while status := stream.readline().decode():
                    _, code, reason = status.rstrip("\n").split(" ", 2)
                    headers = dict(line.decode().rstrip("\n").split(": ", 1)
                                   for line in iter(stream.readline, b"\n"))
                    if code.startswith("4"):
                        self.ended_by = f"{code} {reason}"
                        return
                    body = stream.read(int(headers.get("Content-Length", 0)))
                    if reply := self.answer(code, headers, body):
                        sock.sendall(reply)
        except Exception as error:  # a crashing judge drops the connection
            self.ended_by = f"error: {error!r}"

    def answer(self, code, headers, body):
        if code in ("200", "300"):
            return agent_message("GTT", {k: v for k, v in headers.items() if k == "Tasks"})
        if code == "203":
            return self.on_task_set() if self.on_task_set else agent_message("READY")
        self.judged += 1
        return self.judge(int(headers["Task"]), headers["Compiler"], base64.b64decode(body))


def new_server(**options):
    with tempfile.TemporaryDirectory() as folder:
        served = contest.read_contest(write_contest(folder))
    out = io.StringIO()
    return server.ContestServer(served, out=out, grace=2, **{"timeout": 15, **options}), out


def serve(*agents, **options):
    """Serves the basic contest to `agents` (Agent keyword sets) in this thread
    until the run ends; returns (exit status, log, agents)."""
    contest_server, out = new_server(**options)
    agents = [Agent(contest_server.port, **kw) for kw in agents]
    for agent in agents:
        agent.start()
    status = contest_server.run()
    for agent in agents:
        agent.join(10)
        assert not agent.is_alive(), "a test agent still runs"
    return status, out.getvalue(), agents


class SessionTest(unittest.TestCase):
    def test_one_tester(self):
        out_of_order = b"DONE TORVANE/1.0\nResult: 0\nMessage: x\n\n"
        rows = [  # (why, agent, server options, exit status, agent's end, log lines)
            ("every verdict differs", {"judge": lambda *_: done(6, 1)}, {}, 1,
             "400 Contest finished",
             ["tester 1: submission 1 verdict: wrong answer (test 1) (MISMATCH, expected "
              "accepted)", "5 of 5 verdicts did not match."]),
            ("task set refused", {"on_task_set": lambda: done(-2, message="wrong compiler line")},
             {}, 1, "400 Protocol error",
             ['tester 1: protocol error: task set refused: error: "wrong compiler line"',
              "no tester left", "5 of 5 submissions got no verdict."]),
            ("malformed DONE", {"judge": lambda *_: out_of_order}, {}, 1, "400 Protocol error",
             ["tester 1: protocol error: header 'Message' out of order after 'Result'",
              "Protocol errors: 1."]),
            ("the tester reports a fault",
             {"judge": lambda *_: done(-1, message="Content length requred")}, {}, 1,
             "400 Contest finished",
             ["tester 1: the tester reports a protocol error: Content length requred"]),
            ("no verdict in time", {"judge": lambda *_: None}, {"timeout": 1}, 1,
             "400 Contest server stopping",
             ["time limit of the run (1 s) reached", "5 of 5 submissions got no verdict."]),
            ("tasks by list (300)", {}, {"listed": True}, 0, "400 Contest finished",
             ["All 5 verdicts matched."]),
            ("on finish close", {}, {"on_finish": "close"}, 0, "closed",
             ["tester 1: closing the connection", "All 5 verdicts matched."]),
            ("on finish wait", {}, {"on_finish": "wait", "timeout": 1.5}, 0, "closed",
             ["keeping the connections", "time limit of the run (1.5 s) reached"]),
        ]
        for why, agent, options, status, ended_by, lines in rows:
            with self.subTest(why):
                got, log, (tester,) = serve(agent, **options)
                self.assertEqual((got, tester.ended_by), (status, ended_by), log)
                for line in lines:
                    self.assertIn(line, log)

    def test_testers_share_the_work(self):
        def slow(*submission):
            time.sleep(0.05)
            return verdict_asked_for(*submission)

        status, log, agents = serve({"judge": slow}, {"judge": slow}, testers=2)
        self.assertEqual(status, 0, log)
        # The two submissions whose verdict is an error are tried three times.
        self.assertEqual(sum(a.judged for a in agents), 5 + 2 * 2)
        self.assertTrue(all(a.judged for a in agents))
        self.assertIn("dealing submissions to 2 ready tester(s)", log)
        self.assertIn("Shared: tester 1 judged", log)

    def test_a_compiler_no_tester_offers_is_skipped(self):
        # Submission 3 is in python3, which neither tester offers: it is
        # skipped. Submission 4 names an unknown compiler and expects the
        # agent's error for it: it is still dealt.
        asked = []

        def judge(task, compiler, source):
            asked.append(compiler)
            return verdict_asked_for(task, compiler, source)

        without_python = ("gcc", "g++")
        status, log, _ = serve({"judge": judge, "compilers": without_python},
                               {"judge": judge, "compilers": without_python}, testers=2)
        self.assertEqual(status, 0, log)
        self.assertNotIn("python3", asked)
        self.assertIn("clang", asked)
        self.assertIn("submission 3 skipped: no tester offers compiler 'python3'", log)
        self.assertRegex(log, r"\n3 +ce\.py +1 +python3 +compile error +\(skipped\) +-\n")
        self.assertIn("All 4 verdicts matched; 1 of 5 submissions skipped "
                      "(compiler not offered).", log)

    def test_a_lost_tester_s_submission_goes_to_another(self):
        def crash(*_):
            raise RuntimeError("judging machine lost")

        status, log, (lost, steady) = serve({"judge": crash}, {}, testers=2)
        self.assertEqual((status, lost.judged, steady.judged), (0, 1, 5 + 2 * 2), log)
        self.assertRegex(log, r"tester \d: connection lost while judging submission \d")

    def test_an_error_result_goes_to_another_tester(self):
        def broken(*_):
            time.sleep(0.01)
            return done(-2, message="launcher died")

        _, log, (bad, good) = serve({"judge": broken}, {}, testers=2)
        # Each of the three that the good tester can judge ends right.
        for number in (1, 2, 3):
            self.assertIn(f"tester 2: submission {number} verdict", log)
            self.assertNotIn(f"tester 1: submission {number} verdict", log)
        self.assertIn("submission 1 verdict: accepted (as expected)", log)
        self.assertRegex(log, r"submission \d: back to the queue for another tester "
                              r"\(try 1 of 3 failed\)")
        # Alone, the broken tester's error becomes the verdict after three tries.
        status, log, (bad,) = serve({"judge": broken})
        self.assertEqual((status, bad.judged), (1, 15), log)
        self.assertIn('3 tries failed; recorded as error: "launcher died"', log)

    def test_anything_but_login_is_refused(self):
        contest_server, out = new_server(timeout=1)
        with socket.create_connection(("127.0.0.1", contest_server.port), timeout=10) as sock:
            sock.sendall(agent_message("GTT"))
            self.assertEqual(contest_server.run(), 1)
            self.assertEqual(sock.makefile("rb").read(), b"TORVANE/1.0 401 Login refused\n\n")
        self.assertIn("tester 1: protocol error: GTT before LOGIN", out.getvalue())

    def test_interrupted_command_prints_the_table_and_fails(self):
        with tempfile.TemporaryDirectory() as folder:
            port_file = write_contest(folder) / "port"
            process = subprocess.Popen(
                [sys.executable, str(SCRIPT), "--contest", folder, "--port-file", str(port_file)],
                stdout=subprocess.PIPE, text=True)
            self.addCleanup(lambda: process.poll() is None and process.kill())
            for _ in range(200):
                if port_file.exists():
                    break
                time.sleep(0.05)
            process.send_signal(signal.SIGTERM)
            out, _ = process.communicate(timeout=10)
        self.assertEqual(process.returncode, 1, out)
        self.assertIn("interrupted", out)
        self.assertIn("5 of 5 submissions got no verdict.", out)


if __name__ == "__main__":
    unittest.main()
