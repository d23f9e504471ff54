"""The contest server: accepts testers, gives each the task set, deals the
submissions to whichever tester is free and collects the verdicts.

How it works. One thread waits on one selector for the listening socket and
every tester connection. A connection moves through these states, and any
message that its state does not expect is a protocol fault:

    LOGIN    waits for LOGIN; answers 200 (or 300 naming the tasks)
    TASKS    waits for GTT; answers with the task set (203)
    TASK_SET waits for READY, or DONE when the agent refused the task set
    IDLE     free: the next submission (301) goes to it
    JUDGING  waits for the DONE that carries its submission's verdict
    LEAVING  a fatal 400 (401 for a bad login) has been sent and the write side
             shut; waits for the agent to close, at most GRACE seconds
    CLOSED

The agent answers one message at a time, so a tester is sent nothing while a
reply is outstanding. Dealing starts once the wanted number of testers has
logged in and none of them is still loading its task set; testers that log in
later join as soon as they are ready. When every submission has a verdict the
table is printed and --on-finish decides: "stop" sends 400 to every tester,
"close" closes the connections, "wait" keeps them until interrupted or until
the time limit of the run. A submission whose compiler no logged-in tester
offers is skipped (see contest.lacks_compiler): listed, never dealt. A
protocol fault, a refused task set or a lost connection ends that tester's
session; its unjudged submission goes back to the front of the queue for
another tester. So does a submission that a tester answered with an error
result (-1 or -2): the error is the tester's, not the submission's. Another
tester takes it when one is there; after TRIES such failures the last error
(or "judge error" for a lost tester) is its verdict.
"""

import collections
import selectors
import socket
import sys
import time

import report
import verdicts
import wire
from contest import lacks_compiler

LOGIN, TASKS, TASK_SET, IDLE, JUDGING, LEAVING, CLOSED = (
    "LOGIN", "TASKS", "TASK_SET", "IDLE", "JUDGING", "LEAVING", "CLOSED")
# What a state waits for, for fault messages.
_AWAITED = {LOGIN: "LOGIN", TASKS: "GTT", TASK_SET: "READY", IDLE: "nothing",
            JUDGING: "DONE"}
ON_FINISH = ("stop", "close", "wait")
GRACE = 5.0
TRIES = 3
ERROR_RESULTS = (-1, -2)
_TICK = 0.2


class Tester:
    """One tester connection and where its dialogue stands."""

    def __init__(self, number: int, sock: socket.socket, address):
        self.number = number
        self.sock = sock
        self.address = f"{address[0]}:{address[1]}"
        self.reader = wire.AgentReader()
        self.outbox = bytearray()
        self.shut_after_flush = False
        self.state = LOGIN
        self.submission = None
        self.leave_by = None
        self.judged = 0
        self.compilers = frozenset()  # named at login

    def __str__(self):
        return f"tester {self.number}"

    @property
    def live(self) -> bool:
        return self.state not in (LEAVING, CLOSED)


class ContestServer:
    def __init__(self, contest, *, host: str = "127.0.0.1", port: int = 0, testers: int = 1,
                 on_finish: str = "stop", timeout: float = 300.0, wrap: int = wire.DEFAULT_WRAP,
                 listed: bool = False, out=None, grace: float = GRACE):
        if on_finish not in ON_FINISH:
            raise ValueError(f"on_finish: one of {ON_FINISH}")
        self.contest = contest
        self.wanted = max(1, testers)
        self.on_finish = on_finish
        self.timeout = timeout
        self.wrap = wrap
        self.listed = listed
        self.grace = grace
        self.out = out or sys.stdout
        # Built before listening, so that a contest the agent could not read
        # never reaches one.
        self.task_set = wire.task_set(contest.tasks, wrap, listed)
        for sub in contest.submissions:
            wire.submission(b"", sub.task, sub.compiler)
        self.listener = socket.create_server((host, port))
        self.listener.setblocking(False)
        self.host, self.port = self.listener.getsockname()[:2]
        self.selector = selectors.DefaultSelector()
        self.testers = []
        self.logins = 0
        self.queue = collections.deque(contest.submissions)
        self.results = {}  # submission number -> (Verdict, tester number)
        self.skipped = set()  # submission numbers that no tester can compile
        self.failed_by = collections.defaultdict(set)  # submission number -> tester numbers
        self.tries = collections.Counter()  # submission number -> failed tries
        self.faults = 0
        self.dealing = False
        self.complete = False
        self.ending = False  # set once the run is closing down
        self.interrupted = False
        self.started = time.monotonic()

    # -- the loop -----------------------------------------------------------

    def request_stop(self) -> None:
        """Ends the run soon; safe from a signal handler or another thread."""
        self.interrupted = True

    def run(self) -> int:
        """Serves until the run ends. Returns 0 when every submission got its
        expected verdict and no tester broke the protocol, else 1."""
        self.started = time.monotonic()
        deadline = self.started + self.timeout if self.timeout > 0 else None
        self.selector.register(self.listener, selectors.EVENT_READ)
        self._log(f"listening on {self.host}:{self.port}: {len(self.contest.tasks)} tasks, "
                  f"{len(self.contest.submissions)} submissions, waiting for {self.wanted} "
                  f"tester(s)")
        try:
            while not self._over():
                for key, mask in self.selector.select(_TICK):
                    if key.fileobj is self.listener:
                        self._accept()
                        continue
                    tester = key.data
                    if tester.state == CLOSED:
                        continue
                    if mask & selectors.EVENT_WRITE:
                        self._flush(tester)
                    if mask & selectors.EVENT_READ and tester.state != CLOSED:
                        self._receive(tester)
                self._advance()
                self._watch_clock(deadline)
        finally:
            for tester in self.testers:
                self._close(tester)
            if self.listener.fileno() >= 0:
                self.selector.unregister(self.listener)
                self.listener.close()
            self.selector.close()
        matched = self.complete and report.summary(self.contest.submissions, self.results,
                                                   self.skipped)[0]
        return 0 if matched and not self.faults else 1

    def _over(self) -> bool:
        return self.ending and all(t.state == CLOSED for t in self.testers)

    def _watch_clock(self, deadline) -> None:
        now = time.monotonic()
        if self.interrupted and not self.ending:
            self._log("interrupted")
            self._end("Contest server stopping")
        if deadline is not None and now >= deadline and not self.ending:
            self._log(f"time limit of the run ({self.timeout:g} s) reached")
            self._end("Contest server stopping")
        for tester in self.testers:
            if tester.state == LEAVING and now >= tester.leave_by:
                self._log(f"{tester}: did not close the connection; closing it")
                self._close(tester)

    def _advance(self) -> None:
        if self.ending:
            return
        if self.complete:
            # Waiting (on-finish wait) ends early when no tester is left to wait for.
            if not any(t.live for t in self.testers):
                self._log("every tester has left")
                self._end("Contest finished")
            return
        if not self.dealing and self.logins >= self.wanted and not any(
                t.state in (TASKS, TASK_SET) for t in self.testers):
            self.dealing = True
            ready = sum(1 for t in self.testers if t.state == IDLE)
            self._log(f"dealing submissions to {ready} ready tester(s)")
        if not self.dealing:
            return
        self._skip_unoffered()
        for tester in self.testers:
            if tester.state == IDLE and self.queue:
                sub = self._next_for(tester)
                if sub is not None:
                    self._deal(tester, sub)
        if len(self.results) + len(self.skipped) == len(self.contest.submissions):
            self._finish()
        elif not any(t.live for t in self.testers):
            self._log("no tester left to judge the remaining submissions")
            self._end("Contest server stopping")

    def _skip_unoffered(self) -> None:
        """Takes out of the queue the submissions that no live tester that
        has logged in can compile."""
        logged_in = [t.compilers for t in self.testers if t.live and t.state != LOGIN]
        if not logged_in:
            return
        offered = frozenset().union(*logged_in)
        for sub in [s for s in self.queue if lacks_compiler(s, offered)]:
            self.queue.remove(sub)
            self.skipped.add(sub.number)
            self._log(f"submission {sub.number} skipped: no tester offers compiler "
                      f"{sub.compiler!r}")

    def _finish(self) -> None:
        self.complete = True
        self._log("every submission has its verdict")
        self._print_table()
        if self.on_finish == "wait":
            self._log("keeping the connections until interrupted (on-finish wait)")
        else:
            self._end("Contest finished")

    def _end(self, reason: str) -> None:
        """Closes the run down: no new testers; every tester gets the fatal
        400 (on-finish stop) or loses its connection."""
        if not self.complete:
            self._print_table()
        self.ending = True
        if self.listener.fileno() >= 0:
            self.selector.unregister(self.listener)
            self.listener.close()
        for tester in self.testers:
            if not tester.live:
                continue
            if self.on_finish == "stop":
                self._leave(tester, wire.stop(reason))
            else:
                self._log(f"{tester}: closing the connection")
                self._close(tester)

    # -- connections --------------------------------------------------------

    def _accept(self) -> None:
        try:
            sock, address = self.listener.accept()
        except (BlockingIOError, InterruptedError):
            return
        sock.setblocking(False)
        tester = Tester(len(self.testers) + 1, sock, address)
        self.testers.append(tester)
        self.selector.register(sock, selectors.EVENT_READ, tester)
        self._log(f"{tester}: connection from {tester.address}")

    def _receive(self, tester: Tester) -> None:
        try:
            data = tester.sock.recv(65536)
        except (BlockingIOError, InterruptedError):
            return
        except OSError as error:
            self._log(f"{tester}: receive failed: {error.strerror}")
            data = b""
        if not data:
            self._lost(tester)
            return
        if tester.state == LEAVING:
            return  # whatever the agent still says no longer counts
        tester.reader.feed(data)
        while tester.live:
            try:
                message = tester.reader.next_message()
            except wire.ProtocolError as error:
                self._fault(tester, str(error))
                return
            if message is None:
                return
            self._handle(tester, message)

    def _lost(self, tester: Tester) -> None:
        if tester.state == LEAVING:
            self._log(f"{tester}: connection closed")
        elif tester.state == JUDGING:
            self._log(f"{tester}: connection lost while judging submission "
                      f"{tester.submission.number}")
        else:
            self._log(f"{tester}: connection lost")
        self._close(tester)

    def _send(self, tester: Tester, data: bytes) -> None:
        tester.outbox += data
        self._flush(tester)

    def _flush(self, tester: Tester) -> None:
        try:
            while tester.outbox:
                sent = tester.sock.send(tester.outbox)
                del tester.outbox[:sent]
        except (BlockingIOError, InterruptedError):
            pass
        except OSError as error:
            self._log(f"{tester}: send failed: {error.strerror}")
            self._close(tester)
            return
        if not tester.outbox and tester.shut_after_flush:
            tester.shut_after_flush = False
            try:
                tester.sock.shutdown(socket.SHUT_WR)
            except OSError:
                pass
        events = selectors.EVENT_READ | (selectors.EVENT_WRITE if tester.outbox else 0)
        self.selector.modify(tester.sock, events, tester)

    def _leave(self, tester: Tester, farewell: bytes) -> None:
        """Sends a fatal answer, then waits for the agent to close: closing at
        once could reset the connection before the agent has read it."""
        self._requeue(tester)
        tester.state = LEAVING
        tester.leave_by = time.monotonic() + self.grace
        tester.shut_after_flush = True
        status_line = farewell.split(b"\n", 1)[0].decode("ascii")
        self._log(f"{tester}: sent {status_line}")
        self._send(tester, farewell)

    def _close(self, tester: Tester) -> None:
        if tester.state == CLOSED:
            return
        self._requeue(tester)
        tester.state = CLOSED
        self.selector.unregister(tester.sock)
        tester.sock.close()

    def _next_for(self, tester: Tester):
        """The first queued submission that this tester has not failed, or
        that no other live tester could take instead; None when every queued
        one waits for another tester."""
        others = [t.number for t in self.testers if t.live and t is not tester]
        for sub in self.queue:
            failed = self.failed_by[sub.number]
            if tester.number not in failed or all(n in failed for n in others):
                self.queue.remove(sub)
                return sub
        return None

    def _requeue(self, tester: Tester, verdict=None) -> None:
        """Gives a submission that `tester` did not judge to another tester;
        after TRIES failures `verdict` (or a judge error) is its verdict."""
        sub, tester.submission = tester.submission, None
        if sub is None or self.ending:
            return
        self.failed_by[sub.number].add(tester.number)
        self.tries[sub.number] += 1
        tries = self.tries[sub.number]
        if tries >= TRIES:
            verdict = verdict or verdicts.Verdict(verdicts.ERROR, 0, "judge error")
            self.results[sub.number] = (verdict, tester.number)
            self._log(f"submission {sub.number}: {tries} tries failed; recorded as "
                      f"{verdict.describe()}")
            return
        self._log(f"submission {sub.number}: back to the queue for another tester "
                  f"(try {tries} of {TRIES} failed)")
        self.queue.appendleft(sub)

    def _fault(self, tester: Tester, text: str) -> None:
        self.faults += 1
        self._log(f"{tester}: protocol error: {text}")
        self._leave(tester, wire.stop("Protocol error"))

    # -- the dialogue -------------------------------------------------------

    def _handle(self, tester: Tester, message: wire.AgentMessage) -> None:
        state, command = tester.state, message.command
        if command == "DONE" and message.headers["Result"] == "-1":
            self._log(f"{tester}: the tester reports a protocol error: "
                      f"{message.headers['Message']}")
        if state == LOGIN and command == "LOGIN":
            self._login(tester, message)
        elif state == LOGIN:
            self.faults += 1
            self._log(f"{tester}: protocol error: {command} before LOGIN")
            self._leave(tester, wire.refuse_login())
        elif state == TASKS and command == "GTT":
            self._send_task_set(tester, message)
        elif state == TASK_SET and command == "READY":
            tester.state = IDLE
            self._log(f"{tester}: ready")
        elif state == TASK_SET and command == "DONE":
            self._fault(tester, f"task set refused: {self._verdict(message).describe()}")
        elif state == JUDGING and command == "DONE":
            self._record(tester, self._verdict(message))
        else:
            self._fault(tester, f"{command} while waiting for {_AWAITED[state]}")

    def _login(self, tester: Tester, message: wire.AgentMessage) -> None:
        compilers = message.headers["Compilers"]
        names = compilers.split(";")
        tester.compilers = frozenset(names)
        self.logins += 1
        self._log(f"{tester}: login, compilers {compilers}")
        for task in self.contest.tasks:
            for kind, program in (("checker", task.checker), ("reference solution",
                                                              task.solution)):
                if program and program.compiler not in names:
                    self._log(f"{tester}: warning: no compiler {program.compiler!r} for the "
                              f"{kind} of task {task.number}")
        numbers = [task.number for task in self.contest.tasks] if self.listed else None
        tester.state = TASKS
        self._send(tester, wire.login_answer(numbers))

    def _send_task_set(self, tester: Tester, message: wire.AgentMessage) -> None:
        asked = message.headers.get("Tasks")
        offered = ";".join(str(t.number) for t in self.contest.tasks) if self.listed else None
        if asked != offered:
            self._fault(tester, f"GTT asks for tasks {asked!r}, expected {offered!r}")
            return
        tester.state = TASK_SET
        self._send(tester, self.task_set)
        self._log(f"{tester}: task set sent ({len(self.task_set)} bytes)")

    def _deal(self, tester: Tester, sub) -> None:
        tester.state = JUDGING
        tester.submission = sub
        self._send(tester, wire.submission(sub.source, sub.task, sub.compiler, self.wrap))
        self._log(f"{tester}: submission {sub.number} sent ({sub.name}, task {sub.task}, "
                  f"{sub.compiler})")

    @staticmethod
    def _verdict(message: wire.AgentMessage) -> verdicts.Verdict:
        test = message.number("Test-Number") if "Test-Number" in message.headers else 0
        return verdicts.Verdict(message.number("Result"), test, message.headers.get("Message"))

    def _record(self, tester: Tester, verdict: verdicts.Verdict) -> None:
        tester.state = IDLE
        if verdict.result in ERROR_RESULTS:
            self._log(f"{tester}: submission {tester.submission.number}: error result "
                      f"{verdict.describe()}")
            self._requeue(tester, verdict)
            return
        sub, tester.submission = tester.submission, None
        tester.judged += 1
        self.results[sub.number] = (verdict, tester.number)
        mark = "as expected" if sub.expected.matches(verdict) else (
            f"MISMATCH, expected {sub.expected.describe()}")
        self._log(f"{tester}: submission {sub.number} verdict: {verdict.describe()} ({mark})")

    # -- output -------------------------------------------------------------

    def _log(self, text: str) -> None:
        self.out.write(f"[{time.monotonic() - self.started:7.2f}] {text}\n")
        self.out.flush()

    def _print_table(self) -> None:
        lines = report.verdict_table(self.contest.submissions, self.results,
                                     skipped=self.skipped)
        ok, summary = report.summary(self.contest.submissions, self.results, self.skipped)
        judges = [f"{t} judged {t.judged}" for t in self.testers if t.judged]
        text = "\nVerdicts\n" + "\n".join(lines) + "\n"
        if len(judges) > 1:
            text += f"Shared: {', '.join(judges)}.\n"
        if self.faults:
            text += f"Protocol errors: {self.faults}.\n"
        self.out.write(text + summary + "\n\n")
        self.out.flush()
