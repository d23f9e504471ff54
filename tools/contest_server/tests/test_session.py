"""Whole sessions over 127.0.0.1: the server against scripted agents."""

import io
import os
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
from tests.agent_double import AgentDouble, agent_message, done
from tests.contest_builder import write_contest

SCRIPT = Path(__file__).resolve().parents[1] / "contest_server.py"


class ServedContest:
    """The basic test contest served from a thread; `finish` waits for the run
    to end and returns its exit status."""

    def __init__(self, test, **options):
        folder = tempfile.TemporaryDirectory()
        test.addCleanup(folder.cleanup)
        self.contest = contest.read_contest(write_contest(folder.name))
        self.out = io.StringIO()
        options.setdefault("timeout", 15)
        self.server = server.ContestServer(self.contest, out=self.out, grace=2, **options)
        self.port = self.server.port
        self.status = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        self.status = self.server.run()

    def finish(self, *agents):
        self.thread.join(30)
        if self.thread.is_alive():
            self.server.request_stop()
            self.thread.join(10)
            raise AssertionError("the server did not end by itself:\n" + self.out.getvalue())
        for agent in agents:
            agent.join()
        return self.status

    @property
    def log(self):
        return self.out.getvalue()


def codes(agent):
    return [message.code for message in agent.received]


class SessionTest(unittest.TestCase):
    def test_one_tester_judges_everything_and_is_stopped(self):
        served = ServedContest(self)
        agent = AgentDouble(served.port).start()
        self.assertEqual(served.finish(agent), 0, served.log)
        self.assertEqual(codes(agent), ["200", "203"] + ["301"] * 5 + ["400"])
        self.assertEqual(agent.received[-1].reason, "Contest finished")
        self.assertEqual(agent.ended_by, "fatal 400")
        self.assertEqual({n: t["name"] for n, t in agent.tasks.items()}, {1: "Sum", 2: "Pair"})
        self.assertEqual([(task, compiler) for task, compiler, _ in agent.solutions],
                         [(1, "gcc"), (2, "g++"), (1, "python3"), (1, "clang"), (5, "gcc")])
        self.assertEqual(agent.solutions[1][2], b"verdict 6 2\n")
        for line in ("tester 1: login, compilers python3;fpc;g++;gcc",
                     "tester 1: ready",
                     "tester 1: submission 2 sent (wa.cpp, task 2, g++)",
                     "tester 1: submission 2 verdict: wrong answer (test 2) (as expected)",
                     "tester 1: sent TORVANE/1.0 400 Contest finished",
                     "All 5 verdicts matched."):
            self.assertIn(line, served.log)
        table = served.log[served.log.index("\nVerdicts\n"):].splitlines()
        self.assertEqual(table[2].split(), ["#", "Submission", "Task", "Compiler", "Tester",
                                            "Expected", "Received", "Match"])
        self.assertEqual(table[4].split(), ["2", "wa.cpp", "2", "g++", "1", "wrong", "answer",
                                            "(test", "2)", "wrong", "answer", "(test", "2)",
                                            "yes"])

    def test_a_wrong_verdict_fails_the_run(self):
        served = ServedContest(self)
        agent = AgentDouble(served.port, judge=lambda task, compiler, source: done(6, 1)).start()
        self.assertEqual(served.finish(agent), 1)
        self.assertIn("submission 1 verdict: wrong answer (test 1) (MISMATCH, expected accepted)",
                      served.log)
        self.assertIn("5 of 5 verdicts did not match.", served.log)

    def test_testers_share_the_work(self):
        served = ServedContest(self, testers=2)

        def slow(agent):
            def judge(task, compiler, source):
                time.sleep(0.05)
                return agent._judge(task, compiler, source)
            return judge

        agents = [AgentDouble(served.port) for _ in range(2)]
        for agent in agents:
            agent.judge = slow(agent)
            agent.start()
        self.assertEqual(served.finish(*agents), 0, served.log)
        judged = [codes(agent).count("301") for agent in agents]
        self.assertEqual(sum(judged), 5)
        self.assertTrue(all(judged), judged)
        self.assertIn("dealing submissions to 2 ready tester(s)", served.log)
        self.assertIn("Shared: tester 1 judged", served.log)

    def test_a_lost_tester_s_submission_goes_to_another(self):
        served = ServedContest(self, testers=2)

        def crash(task, compiler, source):
            raise RuntimeError("judging machine lost")

        crashing = AgentDouble(served.port, judge=crash).start()
        steady = AgentDouble(served.port).start()
        self.assertEqual(served.finish(crashing, steady), 0, served.log)
        self.assertEqual(codes(steady).count("301"), 5)
        self.assertRegex(served.log, r"tester \d: connection lost while judging submission \d")

    def test_login_answered_with_the_task_list(self):
        served = ServedContest(self, listed=True)
        agent = AgentDouble(served.port).start()
        self.assertEqual(served.finish(agent), 0, served.log)
        login_answer, task_set = agent.received[:2]
        self.assertEqual((login_answer.code, login_answer.headers), ("300", {"Tasks": "1;2"}))
        self.assertEqual(task_set.headers["Tasks"], "1;2")
        self.assertNotIn("Tasks-Number", task_set.headers)

    def test_refused_task_set_ends_the_run(self):
        served = ServedContest(self)
        agent = AgentDouble(served.port, on_task_set=lambda: done(-2, message="wrong compiler line"))
        agent.start()
        self.assertEqual(served.finish(agent), 1)
        self.assertIn('protocol error: task set refused: error: "wrong compiler line"', served.log)
        self.assertIn("no tester left", served.log)
        self.assertIn("5 of 5 submissions got no verdict.", served.log)
        self.assertEqual((codes(agent), agent.received[-1].reason), (["200", "203", "400"],
                                                                     "Protocol error"))

    def test_malformed_reply_is_reported(self):
        served = ServedContest(self)
        out_of_order = b"DONE TORVANE/1.0\nResult: 0\nMessage: x\n\n"
        agent = AgentDouble(served.port, judge=lambda *_: out_of_order).start()
        self.assertEqual(served.finish(agent), 1)
        self.assertIn("tester 1: protocol error: header 'Message' out of order after 'Result'",
                      served.log)
        self.assertEqual(agent.received[-1].reason, "Protocol error")

    def test_reported_protocol_error_is_logged(self):
        served = ServedContest(self)
        agent = AgentDouble(served.port,
                            judge=lambda *_: done(-1, message="Content length requred")).start()
        self.assertEqual(served.finish(agent), 1)
        self.assertIn("tester 1: the tester reports a protocol error: Content length requred",
                      served.log)

    def test_on_finish_close(self):
        served = ServedContest(self, on_finish="close")
        agent = AgentDouble(served.port).start()
        self.assertEqual(served.finish(agent), 0, served.log)
        self.assertEqual(agent.ended_by, "closed")
        self.assertNotIn("400", codes(agent))

    def test_on_finish_wait_keeps_the_connection_until_the_time_limit(self):
        served = ServedContest(self, on_finish="wait", timeout=1.5)
        agent = AgentDouble(served.port).start()
        self.assertEqual(served.finish(agent), 0, served.log)
        self.assertEqual(agent.ended_by, "closed")
        self.assertIn("keeping the connections", served.log)
        self.assertIn("time limit of the run (1.5 s) reached", served.log)

    def test_time_limit_before_every_verdict(self):
        served = ServedContest(self, timeout=1)
        agent = AgentDouble(served.port, judge=lambda *_: None).start()
        self.assertEqual(served.finish(agent), 1)
        self.assertEqual(agent.received[-1].reason, "Contest server stopping")
        self.assertIn("5 of 5 submissions got no verdict.", served.log)

    def test_anything_but_login_is_refused(self):
        served = ServedContest(self, timeout=1)
        with socket.create_connection(("127.0.0.1", served.port), timeout=10) as sock:
            sock.sendall(agent_message("GTT"))
            received = b""
            while chunk := sock.recv(1024):
                received += chunk
        self.assertEqual(received, b"TORVANE/1.0 401 Login refused\n\n")
        self.assertEqual(served.finish(), 1)
        self.assertIn("tester 1: protocol error: GTT before LOGIN", served.log)


class CommandLineTest(unittest.TestCase):
    def start(self, *arguments):
        process = subprocess.Popen([sys.executable, str(SCRIPT), *arguments],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: process.poll() is None and process.kill())
        return process

    def contest_folder(self):
        folder = tempfile.TemporaryDirectory()
        self.addCleanup(folder.cleanup)
        return write_contest(folder.name)

    def wait_for_port(self, path: Path) -> int:
        for _ in range(200):
            if path.exists():
                return int(path.read_text())
            time.sleep(0.05)
        raise AssertionError("no port file")

    def test_serves_and_exits_with_the_verdict(self):
        folder = self.contest_folder()
        port_file = folder / "port"
        process = self.start("--contest", str(folder), "--port-file", str(port_file),
                             "--timeout", "20")
        agent = AgentDouble(self.wait_for_port(port_file)).start()
        out, err = process.communicate(timeout=30)
        agent.join()
        self.assertEqual(process.returncode, 0, out + err)
        self.assertIn("All 5 verdicts matched.", out)

    def test_interrupted_run_prints_the_table_and_fails(self):
        folder = self.contest_folder()
        port_file = folder / "port"
        process = self.start("--contest", str(folder), "--port-file", str(port_file))
        self.wait_for_port(port_file)
        os.kill(process.pid, signal.SIGTERM)
        out, _ = process.communicate(timeout=10)
        self.assertEqual(process.returncode, 1)
        self.assertIn("interrupted", out)
        self.assertIn("5 of 5 submissions got no verdict.", out)



if __name__ == "__main__":
    unittest.main()
