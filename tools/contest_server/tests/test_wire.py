import unittest
from pathlib import Path

import wire
from contest import Program, Task, Test

SUM = Task(number=1, name="Sum", time_limit=2, space_limit=64, folder=Path("."),
           tests=[Test(1, b"1 2\n", b"3\n"), Test(2, b"", b"0\n")],
           checker=Program(Path("c.c"), "gcc", b"int main(){}"), grammar=b"g")
# The task set of SUM with base64 lines of 4 characters: the line feeds inside
# a block's data count in its Content-Length (19 = 16 + 3, 9 = 8 + 1), an empty
# file is a block of length 0, one LF separates blocks, and nothing follows the
# last block's data.
SUM_BODY = (
    b"__FILTER__\nTask-Number: 1\nCompiler: gcc\nContent-Length: 19\naW50\nIG1h\naW4o\nKXt9\n"
    b"__GRAMMAR__\nTask-Number: 1\nContent-Length: 4\nZw==\n"
    b"__TEST__\nTask-Number: 1\nTest-Number: 1\nContent-Length: 9\nMSAy\nCg==\n"
    b"__OUTPUT__\nTask-Number: 1\nTest-Number: 1\nContent-Length: 4\nMwo=\n"
    b"__TEST__\nTask-Number: 1\nTest-Number: 2\nContent-Length: 0\n\n"
    b"__OUTPUT__\nTask-Number: 1\nTest-Number: 2\nContent-Length: 4\nMAo="
)
SUM_HEADERS = (b"Tasks-Names: 1-Sum\nTime-Limits: 1-2\nSpace-Limits: 1-64\nBlocks-Number: 6\n"
               b"Content-Length: 381\n\n")


class BuildTest(unittest.TestCase):
    def test_message_bytes(self):
        rows = [
            (wire.task_set([SUM], wrap=4),
             b"TORVANE/1.0 203 Task set\nTasks-Number: 1\n" + SUM_HEADERS + SUM_BODY),
            (wire.task_set([SUM], wrap=4, listed=True),
             b"TORVANE/1.0 203 Task set\nTasks: 1\n" + SUM_HEADERS + SUM_BODY),
            (wire.submission(b"abcd", 2, "g++", wrap=4),
             b"TORVANE/1.0 301 Submission\nTask: 2\nCompiler: g++\nContent-Length: 9\n\n"
             b"YWJj\nZA=="),
            (wire.submission(b"abcd", 2, "g++", wrap=0),
             b"TORVANE/1.0 301 Submission\nTask: 2\nCompiler: g++\nContent-Length: 8\n\n"
             b"YWJjZA=="),
            (wire.login_answer(), b"TORVANE/1.0 200 Login accepted\n\n"),
            (wire.login_answer([1, 2]), b"TORVANE/1.0 300 Login accepted\nTasks: 1;2\n\n"),
            (wire.refuse_login(), b"TORVANE/1.0 401 Login refused\n\n"),
            (wire.stop("Contest finished"), b"TORVANE/1.0 400 Contest finished\n\n"),
        ]
        for built, expected in rows:
            with self.subTest(expected[:40]):
                self.assertEqual(built, expected)
        self.assertEqual(wire.task_set_body([SUM], wrap=4), (SUM_BODY, 6))

    def test_refuses_what_the_agent_would_misread(self):
        # The agent skips a header line of 1024 bytes or more.
        longest = "x" * (wire.MAX_LINE - len("K: "))
        self.assertIn(longest.encode(), wire.server_message(102, "ok", [("K", longest)]))
        rows = [
            ("long header line", 102, "ok", [("K", longest + "x")]),
            ("empty reason", 200, "", []),
            ("reason with a line feed", 200, "a\nb", []),
            ("key with a space", 200, "ok", [("A B", "1")]),
            ("value with a line feed", 200, "ok", [("A", "1\n2")]),
        ]
        for why, code, reason, headers in rows:
            with self.subTest(why), self.assertRaises(wire.WireError):
                wire.server_message(code, reason, headers)


class ParseAgentMessageTest(unittest.TestCase):
    def test_accepts_what_the_agent_writes(self):
        rows = [
            (b"LOGIN tester TORVANE/1.0\nCompilers: python3;fpc;g++;gcc\n",
             "LOGIN", "tester", {"Compilers": "python3;fpc;g++;gcc"}),
            (b"GTT TORVANE/1.0\nTasks: 1;3\n", "GTT", "", {"Tasks": "1;3"}),
            (b"READY TORVANE/1.0\n", "READY", "", {}),
            (b"DONE TORVANE/1.0\nResult: 6\nTest-Number: 3\n", "DONE", "",
             {"Result": "6", "Test-Number": "3"}),
            (b"DONE TORVANE/1.0\nMessage: a: b\nResult: -2\n", "DONE", "",
             {"Message": "a: b", "Result": "-2"}),
        ]
        for raw, command, argument, headers in rows:
            with self.subTest(raw):
                message = wire.parse_agent_message(raw)
                self.assertEqual((message.command, message.argument, message.headers),
                                 (command, argument, headers))

    def test_names_the_fault(self):
        rows = [
            (b"READY TORVANE/1.0\r\n", "carriage return"),
            (b"READY  TORVANE/1.0\n", "bad request line"),
            (b"READY TORVANE/1.1\n", "does not end in TORVANE/1.0"),
            (b"HELLO TORVANE/1.0\n", "unknown request 'HELLO'"),
            (b"LOGIN TORVANE/1.0\nCompilers: gcc\n", "bad request line"),
            (b"READY now TORVANE/1.0\n", "bad request line"),
            (b"LOGIN tester TORVANE/1.0\n", "LOGIN without Compilers"),
            (b"READY TORVANE/1.0\nTasks: 1\n", "unexpected header Tasks"),
            (b"DONE TORVANE/1.0\nResult: 0\nMessage: x\n", "out of order after 'Result'"),
            (b"DONE TORVANE/1.0\nResult: 0\nResult: 0\n", "'Result' repeated"),
            (b"DONE TORVANE/1.0\nResult:0\n", "bad header line"),
            (b"DONE TORVANE/1.0\nTest-Number: 3\n", "DONE without Result"),
            (b"DONE TORVANE/1.0\nResult: 06\n", "not a decimal number"),
            (b"DONE TORVANE/1.0\nResult: 7\n", "unknown Result 7"),
            (b"DONE TORVANE/1.0\nResult: 0\nTest-Number: 1\n", "with Result 0"),
            (b"DONE TORVANE/1.0\nResult: 6\nTest-Number: 0\n", "Test-Number 0"),
            (b"DONE TORVANE/1.0\nResult: -2\n", "without a Message"),
            (b"DONE TORVANE/1.0\nMessage: x\nResult: 4\nTest-Number: 1\n", "with a Message"),
        ]
        for raw, fragment in rows:
            with self.subTest(raw), self.assertRaisesRegex(wire.ProtocolError, fragment):
                wire.parse_agent_message(raw)

    def test_reader_cuts_the_stream_fed_whole_or_byte_by_byte(self):
        stream = (b"LOGIN tester TORVANE/1.0\nCompilers: gcc\n\nGTT TORVANE/1.0\n\n"
                  b"DONE TORVANE/1.0\nResult: 6\nTest-Number: 12\n\n")
        for chunk in (len(stream), 1):
            with self.subTest(chunk=chunk):
                reader, commands = wire.AgentReader(), []
                for start in range(0, len(stream), chunk):
                    reader.feed(stream[start:start + chunk])
                    while (message := reader.next_message()) is not None:
                        commands.append(message.command)
                self.assertEqual(commands, ["LOGIN", "GTT", "DONE"])
                self.assertEqual(reader.pending, 0)

    def test_reader_bounds_a_message_without_end(self):
        reader = wire.AgentReader()
        reader.feed(b"DONE TORVANE/1.0\n" + b"x" * wire.MAX_AGENT_MESSAGE)
        with self.assertRaises(wire.ProtocolError):
            reader.next_message()


if __name__ == "__main__":
    unittest.main()
