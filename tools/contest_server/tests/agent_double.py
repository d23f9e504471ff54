"""A scripted agent for the tests: it speaks the tester's side of the dialogue
and reads the server's messages with the agent's own rules, so that whatever
the server sends is checked as the agent would read it.

Reading follows the agent: the status line splits at runs of white space;
a header line's key is its first word up to the first colon, and its value
the rest of that word followed by the rest of the line without its leading
white space; only "203" and "301" carry a body. The task-set body is walked
with the agent's cursor: markers, labelled fields, blocks whose data the
"Content-Length:" counts line feeds included, and a final check that the
cursor stopped exactly at the end.
"""

import base64
import re
import socket
import threading

PROTOCOL = "TORVANE/1.0"
_C_SPACE = b" \t\n\v\f\r"
_BODY_CODES = {"203", "301"}
_KNOWN_CODES = {"203", "200", "301", "102", "204", "500", "400", "401", "406", "300"}
_FATAL_CODES = {"400", "401", "406", "500"}
_MARKERS = ("__TEST__", "__OUTPUT__", "__FILTER__", "__GRAMMAR__", "__SOLUTION__")


class BadMessage(Exception):
    """What the agent answers with DONE -1 (status 301 or a rejected message)."""


class ServerMessage:
    def __init__(self, code, reason, headers, body):
        self.code, self.reason, self.headers, self.body = code, reason, headers, body


def c_atol(text: str) -> int:
    """The C library's decimal conversion: blanks, a sign, digits; else 0."""
    match = re.match(r"[ \t\n\v\f\r]*([+-]?\d+)", text)
    return int(match.group(1)) if match else 0


def read_server_message(buffer: bytearray):
    """Takes one whole message off the front of `buffer`, or returns None while
    it is incomplete. Raises BadMessage for a message the agent rejects."""
    end = buffer.find(b"\n")
    if end < 0:
        return None
    status = bytes(buffer[:end])
    if len(status) > 1024:
        raise BadMessage("status line too long")
    words = status.split(None, 2)
    if len(words) < 3 or not re.fullmatch(rb"[A-Za-z]+/\d+\.\d+", words[0]):
        raise BadMessage(f"bad status line {status!r}")
    headers, position = {}, end + 1
    while True:
        end = buffer.find(b"\n", position)
        if end < 0:
            return None
        line = bytes(buffer[position:end])
        position = end + 1
        if line == b"":
            break
        if len(line) >= 1024:
            continue
        stripped = line.lstrip(_C_SPACE)
        token = stripped.split(None, 1)[0] if stripped.strip(_C_SPACE) else b""
        if b":" not in token:
            continue
        key, _, value_head = token.partition(b":")
        rest = stripped[len(token):].lstrip(_C_SPACE)
        headers.setdefault(key.decode("latin-1"), (value_head + rest).decode("latin-1"))
    code = words[1].decode("latin-1")
    if code not in _KNOWN_CODES:
        raise BadMessage(f"unknown status code {code}")
    body = b""
    if code in _BODY_CODES:
        if "Content-Length" not in headers:
            raise BadMessage("Content length requred")
        length = c_atol(headers["Content-Length"])
        if len(buffer) - position < length:
            return None
        body = bytes(buffer[position:position + length])
        position += length
    del buffer[:position]
    protocol = words[0].decode("latin-1")
    if protocol != PROTOCOL:
        raise BadMessage(f"protocol {protocol}")
    return ServerMessage(code, words[2].decode("latin-1"), headers, body)


def copy_counted(body: bytes, position: int, count: int):
    """Copies `count` body bytes from `position`, dropping line feeds that it
    still counts. Returns (copied bytes, new position)."""
    copied, counter = bytearray(), 0
    while counter < count:
        if position < len(body) and body[position] == 10:
            while position < len(body) and body[position] == 10:
                position += 1
                counter += 1
            if counter >= count:
                break
        if position >= len(body):
            raise BadMessage("block data runs past the body")
        copied.append(body[position])
        position += 1
        counter += 1
    return bytes(copied), position


class _Cursor:
    def __init__(self, body: bytes):
        self.body, self.at = body, 0

    def skip_line_feeds(self):
        while self.at < len(self.body) and self.body[self.at] == 10:
            self.at += 1

    def skip_space(self):
        while self.at < len(self.body) and self.body[self.at] in _C_SPACE:
            self.at += 1

    def expect(self, literal: bytes):
        if not self.body.startswith(literal, self.at):
            raise BadMessage(f"expected {literal!r} at {self.at}")
        self.at += len(literal)

    def decimal(self) -> int:
        self.skip_space()
        start = self.at
        while self.at < len(self.body) and 48 <= self.body[self.at] <= 57:
            self.at += 1
        digits = self.body[start:self.at]
        if not digits or (int(digits) == 0 and digits != b"0"):
            raise BadMessage(f"bad number at {start}")
        return int(digits)

    def line_text(self) -> str:
        self.skip_space()
        end = self.body.find(b"\n", self.at)
        if end < 0:
            raise BadMessage("compiler line without a line feed")
        text = self.body[self.at:end].decode("latin-1")
        if len(text) > 9:
            raise BadMessage("compiler name longer than 9 characters")
        self.at = end
        return text

    def field(self, label: bytes) -> int:
        self.expect(label)
        value = self.decimal()
        self.skip_line_feeds()
        return value

    def data(self) -> bytes:
        length = self.field(b"Content-Length:")
        text, self.at = copy_counted(self.body, self.at, length)
        return base64.b64decode(text)


def _numbered(items, number, key):
    for item in items:
        head, dash, value = item.partition("-")
        if dash and c_atol(head) == number:
            return value
    raise BadMessage(f"{key} has no item for task {number}")


def _checked_number(text: str) -> int:
    value = c_atol(text)
    if value == 0 and text != "0":
        raise BadMessage(f"bad number {text!r}")
    return value


def download_task_set(message: ServerMessage) -> dict:
    """The task set as the agent stores it: {task number: {"name", "time_ms",
    "space", "tests": {number: {"input", "output"}}, "checker", "solution",
    "grammar"}} with programs as (compiler, source)."""
    headers = message.headers
    if "Tasks-Number" in headers:
        numbers = list(range(1, c_atol(headers["Tasks-Number"]) + 1))
    elif "Tasks" in headers:
        numbers = [_checked_number(item) for item in headers["Tasks"].split(";")]
    else:
        raise BadMessage("no task list")
    for key in ("Tasks-Names", "Time-Limits", "Space-Limits", "Blocks-Number"):
        if key not in headers:
            raise BadMessage(f"no {key}")
    # Only the first N items of each list count, N being the number of tasks.
    lists = {key: headers[key].split(";")[:len(numbers)]
             for key in ("Tasks-Names", "Time-Limits", "Space-Limits")}
    tasks = {}
    for number in numbers:
        tasks[number] = {
            "name": _numbered(lists["Tasks-Names"], number, "Tasks-Names"),
            "time_ms": _checked_number(_numbered(lists["Time-Limits"], number, "Time-Limits"))
            * 1000,
            "space": _checked_number(_numbered(lists["Space-Limits"], number, "Space-Limits")),
            "tests": {}, "checker": None, "solution": None, "grammar": None,
        }
    cursor = _Cursor(message.body)
    for _ in range(c_atol(headers["Blocks-Number"])):
        cursor.skip_line_feeds()
        marker = next((m for m in _MARKERS if message.body.startswith(m.encode(), cursor.at)),
                      None)
        if marker is None:
            continue
        cursor.expect(marker.encode())
        cursor.skip_line_feeds()
        task = tasks.setdefault(cursor.field(b"Task-Number:"),
                                {"tests": {}, "checker": None, "solution": None,
                                 "grammar": None})
        if marker in ("__TEST__", "__OUTPUT__"):
            test = task["tests"].setdefault(cursor.field(b"Test-Number:"), {})
            test["input" if marker == "__TEST__" else "output"] = cursor.data()
        elif marker == "__GRAMMAR__":
            task["grammar"] = cursor.data()
        else:
            cursor.expect(b"Compiler:")
            compiler = cursor.line_text()
            cursor.skip_line_feeds()
            task["checker" if marker == "__FILTER__" else "solution"] = (compiler, cursor.data())
    if cursor.at != c_atol(headers["Content-Length"]):
        raise BadMessage(f"blocks end at {cursor.at}, body is {len(message.body)} bytes")
    return tasks


def agent_message(command: str, headers=None, argument: str = "") -> bytes:
    """A message as the agent's writer lays it out: keys in byte order."""
    first = f"{command} {argument} {PROTOCOL}" if argument else f"{command} {PROTOCOL}"
    lines = [first] + [f"{k}: {v}" for k, v in sorted((headers or {}).items(),
                                                      key=lambda kv: kv[0].encode())]
    return ("\n".join(lines) + "\n\n").encode("latin-1")


def done(result: int, test: int = 0, message: str = None) -> bytes:
    headers = {"Result": str(result)}
    if test:
        headers["Test-Number"] = str(test)
    if message is not None:
        headers["Message"] = message
    return agent_message("DONE", headers)


def verdict_from_source(source: bytes):
    """The verdict that a test submission asks for with a line "verdict R [T]"."""
    match = re.search(rb"verdict (-?\d+)(?: (\d+))?", source)
    return (int(match.group(1)), int(match.group(2) or 0)) if match else (0, 0)


class AgentDouble:
    """Connects, logs in and answers every message as the agent's handler
    table says, judging a submission by `judge` (task number, compiler,
    decoded source) -> DONE bytes. `on_task_set` may replace the READY."""

    def __init__(self, port: int, compilers=("python3", "fpc", "g++", "gcc"), judge=None,
                 on_task_set=None, timeout: float = 20.0):
        self.port = port
        self.compilers = list(compilers)
        self.judge = judge or self._judge
        self.on_task_set = on_task_set
        self.timeout = timeout
        self.received = []  # every ServerMessage, in order
        self.tasks = {}
        self.solutions = []  # (task, compiler, source)
        self.ended_by = None  # "fatal CODE", "closed", or an error text
        self.thread = None

    def start(self):
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()
        return self

    def join(self):
        self.thread.join(self.timeout + 5)
        assert not self.thread.is_alive(), "agent double still running"

    def _judge(self, task, compiler, source):
        if task not in self.tasks:
            return done(-2, message="wrong task number")
        if compiler not in self.compilers:
            return done(-2, message="wrong compiler line")
        result, test = verdict_from_source(source)
        return done(result, test)

    def run(self):
        try:
            with socket.create_connection(("127.0.0.1", self.port), timeout=self.timeout) as sock:
                sock.sendall(agent_message("LOGIN", {"Compilers": ";".join(self.compilers)},
                                           "tester"))
                self._converse(sock)
        except Exception as error:  # recorded for the test to assert on
            self.ended_by = f"error: {error!r}"

    def _converse(self, sock):
        buffer = bytearray()
        while True:
            while True:
                try:
                    message = read_server_message(buffer)
                except BadMessage as error:
                    self.ended_by = f"bad message: {error}"
                    return
                if message is None:
                    break
                self.received.append(message)
                reply = self.answer(message)
                if reply == "stop":
                    self.ended_by = f"fatal {message.code}"
                    return
                if reply:
                    sock.sendall(reply)
            data = sock.recv(65536)
            if not data:
                self.ended_by = "closed"
                return
            buffer += data

    def answer(self, message: ServerMessage):
        code = message.code
        if code in _FATAL_CODES:
            return "stop"
        if code == "200":
            return agent_message("GTT")
        if code == "300":
            tasks = message.headers.get("Tasks")
            return agent_message("GTT", {"Tasks": tasks} if tasks is not None else None)
        if code == "204":
            return agent_message("READY")
        if code == "203":
            try:
                self.tasks = download_task_set(message)
            except BadMessage:
                return done(-1, message="unknown_error")
            return self.on_task_set() if self.on_task_set else agent_message("READY")
        if code == "301":
            for key in ("Task", "Compiler", "Content-Length"):
                if key not in message.headers:
                    return done(-1, message="unknown_error")
            text, _ = copy_counted(message.body, 0, c_atol(message.headers["Content-Length"]))
            task, compiler = c_atol(message.headers["Task"]), message.headers["Compiler"]
            source = base64.b64decode(text)
            self.solutions.append((task, compiler, source))
            return self.judge(task, compiler, source)
        return None
