"""The bytes of the dialogue with the agent.

Server to agent: a status line "TORVANE/1.0 CODE REASON", header lines
"Key: value", an empty line and, for the task set (203) and a submission (301),
exactly Content-Length body bytes. Every line ends in a single LF. The agent
ignores a header line of 1024 bytes or more, so building refuses one.

The task-set body is a run of blocks, each a marker line, its field lines
("Task-Number: 1", ...) and its data: the base64 text of a file, optionally
broken into lines. A block's "Content-Length:" counts the data's line feeds
too. Blocks are separated by one LF, and the body ends with the last block's
data, since the agent requires its cursor to stop exactly at the end.

Agent to server: "REQUEST[ ARGUMENT] TORVANE/1.0", header lines "Key: value"
in ascending byte order of the keys, an empty line, and never a body. The
parser here accepts exactly what the agent's writer and its result table
produce, and names the first fault of anything else.
"""

import base64
import re
from dataclasses import dataclass, field

PROTOCOL = "TORVANE/1.0"
# The agent's reader limits: longer status or header lines are lost.
MAX_LINE = 1023
# A message from the agent is a few short lines; more without an end is a fault.
MAX_AGENT_MESSAGE = 64 * 1024
DEFAULT_WRAP = 76


class WireError(ValueError):
    """A message that cannot be built so that the agent reads it as meant."""


class ProtocolError(ValueError):
    """A message from the agent that breaks the format; the text says how."""


def encode(data: bytes, wrap: int = DEFAULT_WRAP) -> bytes:
    """Base64 of `data`, broken into lines of `wrap` characters (0: one line).
    No line feed follows the last line."""
    text = base64.b64encode(data)
    if wrap <= 0:
        return text
    return b"\n".join(text[i:i + wrap] for i in range(0, len(text), wrap))


def _line(text: str) -> bytes:
    raw = text.encode("ascii") + b"\n"
    if len(raw) - 1 > MAX_LINE:
        raise WireError(f"line of {len(raw) - 1} bytes; the agent reads at most {MAX_LINE}: "
                        f"{text[:60]}...")
    return raw


def server_message(code: int, reason: str, headers=(), body=None) -> bytes:
    """A message to the agent. `headers` is a sequence of (key, value) pairs,
    written in that order; with a body, "Content-Length" follows them."""
    if not reason or reason != reason.strip() or "\n" in reason:
        raise WireError(f"reason {reason!r}: a non-empty text on one line")
    out = [_line(f"{PROTOCOL} {code} {reason}")]
    headers = list(headers)
    if body is not None:
        headers.append(("Content-Length", str(len(body))))
    for key, value in headers:
        if not re.fullmatch(r"[!-9;-~]+", key) or "\n" in value or "\r" in value:
            raise WireError(f"header {key!r}: {value!r}")
        out.append(_line(f"{key}: {value}"))
    out.append(b"\n")
    if body is not None:
        out.append(body)
    return b"".join(out)


def login_answer(task_numbers=None) -> bytes:
    """200 lets the agent ask for every task; 300 names the tasks it should ask for."""
    if task_numbers is None:
        return server_message(200, "Login accepted")
    return server_message(300, "Login accepted", [("Tasks", _join(task_numbers))])


def stop(reason: str) -> bytes:
    """400 is fatal for the agent: it stops and closes the connection."""
    return server_message(400, reason)


def refuse_login() -> bytes:
    return server_message(401, "Login refused")


def submission(source: bytes, task: int, compiler: str, wrap: int = DEFAULT_WRAP) -> bytes:
    return server_message(301, "Submission", [("Task", str(task)), ("Compiler", compiler)],
                          encode(source, wrap))


def _join(items) -> str:
    return ";".join(str(item) for item in items)


def task_set_body(tasks, wrap: int = DEFAULT_WRAP):
    """The body of blocks for `tasks` and the number of blocks. Per task: its
    checker, reference solution and grammar, then input and expected output
    of each test in ascending order."""
    blocks = []
    for task in tasks:
        if task.checker:
            blocks.append(_block("__FILTER__", [("Task-Number", task.number),
                                                ("Compiler", task.checker.compiler)],
                                 task.checker.source, wrap))
        if task.solution:
            blocks.append(_block("__SOLUTION__", [("Task-Number", task.number),
                                                  ("Compiler", task.solution.compiler)],
                                 task.solution.source, wrap))
        if task.grammar is not None:
            blocks.append(_block("__GRAMMAR__", [("Task-Number", task.number)],
                                 task.grammar, wrap))
        for test in task.tests:
            numbers = [("Task-Number", task.number), ("Test-Number", test.number)]
            blocks.append(_block("__TEST__", numbers, test.input, wrap))
            if test.output is not None:
                blocks.append(_block("__OUTPUT__", numbers, test.output, wrap))
    return b"\n".join(blocks), len(blocks)


def _block(marker: str, fields, data: bytes, wrap: int) -> bytes:
    text = encode(data, wrap)
    head = [marker] + [f"{label}: {value}" for label, value in fields]
    head.append(f"Content-Length: {len(text)}")
    return "\n".join(head).encode("ascii") + b"\n" + text


def task_set(tasks, wrap: int = DEFAULT_WRAP, listed: bool = False) -> bytes:
    """The 203 message. The tasks go as "Tasks-Number" when they run 1 to N and
    were not asked for by list, else as the "Tasks" list."""
    numbers = [task.number for task in tasks]
    body, blocks = task_set_body(tasks, wrap)
    if not listed and numbers == list(range(1, len(numbers) + 1)):
        headers = [("Tasks-Number", str(len(numbers)))]
    else:
        headers = [("Tasks", _join(numbers))]
    headers += [
        ("Tasks-Names", _join(f"{t.number}-{t.name}" for t in tasks)),
        ("Time-Limits", _join(f"{t.number}-{t.time_limit}" for t in tasks)),
        ("Space-Limits", _join(f"{t.number}-{t.space_limit}" for t in tasks)),
        ("Blocks-Number", str(blocks)),
    ]
    return server_message(203, "Task set", headers, body)


# ---------------------------------------------------------------------------
# Messages from the agent.

@dataclass
class AgentMessage:
    command: str  # LOGIN, GTT, READY or DONE
    argument: str = ""  # "tester" on LOGIN
    headers: dict = field(default_factory=dict)

    def number(self, key: str) -> int:
        return int(self.headers[key])


# Allowed headers per request: (required, optional).
_HEADERS = {
    "LOGIN": ({"Compilers"}, set()),
    "GTT": (set(), {"Tasks"}),
    "READY": (set(), set()),
    "DONE": ({"Result"}, {"Message", "Test-Number"}),
}
# Per DONE result: may it carry a test number, must it carry a message.
_DONE_RULES = {0: (False, False), 1: (False, False), 2: (True, False), 3: (True, False),
               4: (True, False), 5: (True, False), 6: (True, False), -1: (False, True),
               -2: (False, True)}
_DECIMAL = re.compile(r"-?(0|[1-9][0-9]*)")


def parse_agent_message(raw: bytes) -> AgentMessage:
    """Parses one whole message without its final empty line's LF (the text up
    to and including the LF that ends the last header line)."""
    if b"\r" in raw:
        raise ProtocolError("carriage return in a message")
    text = raw.decode("latin-1")
    lines = text.split("\n")
    if lines[-1] != "":
        raise ProtocolError("message does not end with a line feed")
    first, header_lines = lines[0], lines[1:-1]
    words = first.split(" ")
    if "" in words or len(words) not in (2, 3):
        raise ProtocolError(f"bad request line {first!r}")
    if words[-1] != PROTOCOL:
        raise ProtocolError(f"request line {first!r} does not end in {PROTOCOL}")
    command = words[0]
    argument = words[1] if len(words) == 3 else ""
    if command not in _HEADERS:
        raise ProtocolError(f"unknown request {command!r}")
    if argument != ("tester" if command == "LOGIN" else ""):
        raise ProtocolError(f"bad request line {first!r}")
    message = AgentMessage(command, argument)
    previous = None
    for line in header_lines:
        key, separator, value = line.partition(": ")
        if not separator or not key or " " in key or ":" in key:
            raise ProtocolError(f"bad header line {line!r}")
        if previous is not None and key.encode("latin-1") <= previous.encode("latin-1"):
            what = "repeated" if key == previous else f"out of order after {previous!r}"
            raise ProtocolError(f"header {key!r} {what}")
        message.headers[key] = value
        previous = key
    _check_headers(message)
    return message


def _check_headers(message: AgentMessage) -> None:
    required, optional = _HEADERS[message.command]
    keys = set(message.headers)
    if required - keys:
        raise ProtocolError(f"{message.command} without {', '.join(sorted(required - keys))}")
    if keys - required - optional:
        raise ProtocolError(f"{message.command} with unexpected header "
                            f"{', '.join(sorted(keys - required - optional))}")
    if message.command != "DONE":
        return
    for key in ("Result", "Test-Number"):
        if key in message.headers and not _DECIMAL.fullmatch(message.headers[key]):
            raise ProtocolError(f"{key} {message.headers[key]!r} is not a decimal number")
    result = message.number("Result")
    if result not in _DONE_RULES:
        raise ProtocolError(f"unknown Result {result}")
    takes_test, needs_message = _DONE_RULES[result]
    if "Test-Number" in message.headers and (not takes_test or message.number("Test-Number") == 0):
        raise ProtocolError(f"Test-Number {message.headers['Test-Number']} with Result {result}")
    if ("Message" in message.headers) != needs_message:
        raise ProtocolError(f"Result {result} " + ("without" if needs_message else "with")
                            + " a Message")


class AgentReader:
    """Cuts the agent's byte stream into messages."""

    def __init__(self):
        self._pending = bytearray()

    def feed(self, data: bytes) -> None:
        self._pending += data

    def next_message(self):
        """The next whole message, or None until more bytes arrive. Raises
        ProtocolError when the next message is malformed."""
        # A message without headers ends at its first line's LF followed by the
        # empty line, so "\n\n" ends every message.
        end = self._pending.find(b"\n\n")
        if end < 0:
            if len(self._pending) > MAX_AGENT_MESSAGE:
                raise ProtocolError(f"{len(self._pending)} bytes without the end of a message")
            return None
        raw = bytes(self._pending[:end + 1])
        del self._pending[:end + 2]
        return parse_agent_message(raw)

    @property
    def pending(self) -> int:
        return len(self._pending)
