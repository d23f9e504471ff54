#!/usr/bin/env python3
"""Serves a contest folder to judging agents and checks the verdicts they send.

    contest_server.py --contest contests/sample --port 0 --port-file port.txt

Exit status: 0 when every submission got its expected verdict and no tester
broke the protocol, 1 otherwise, 2 for a bad command line or contest folder.
"""

import argparse
import os
import signal
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import contest  # noqa: E402
import server  # noqa: E402
import wire  # noqa: E402


def _arguments(argv):
    parser = argparse.ArgumentParser(
        description="Serve a contest folder to judging agents and check their verdicts.")
    parser.add_argument("--contest", required=True, type=Path, help="the contest folder")
    parser.add_argument("--host", default="127.0.0.1",
                        help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=0,
                        help="port to listen on; 0 picks a free one (default)")
    parser.add_argument("--port-file", type=Path,
                        help="write the port listened on to this file once listening")
    parser.add_argument("--testers", type=int, default=1,
                        help="testers that must log in before submissions are dealt (default 1)")
    parser.add_argument("--on-finish", choices=server.ON_FINISH, default="stop",
                        help="once every verdict is in: stop the agents with error 400 "
                             "(default), close the connections, or wait until interrupted")
    parser.add_argument("--timeout", type=float, default=300,
                        help="seconds the whole run may take; 0 for no limit (default 300)")
    parser.add_argument("--wrap", type=int, default=wire.DEFAULT_WRAP,
                        help="base64 line length in bodies; 0 for one line (default 76)")
    parser.add_argument("--login-answer", choices=("200", "300"), default="200",
                        help="answer a login with 200, or with 300 listing the tasks to ask for")
    arguments = parser.parse_args(argv)
    if arguments.testers < 1:
        parser.error("--testers must be at least 1")
    return arguments


def _write_port(path: Path, port: int) -> None:
    # Written whole under another name first, so that a script polling for the
    # file never reads half of it.
    partial = path.with_name(path.name + ".partial")
    partial.write_text(f"{port}\n")
    os.replace(partial, path)


def main(argv=None) -> int:
    arguments = _arguments(argv)
    try:
        served = contest.read_contest(arguments.contest)
        contest_server = server.ContestServer(
            served, host=arguments.host, port=arguments.port, testers=arguments.testers,
            on_finish=arguments.on_finish, timeout=arguments.timeout, wrap=arguments.wrap,
            listed=arguments.login_answer == "300")
    except (contest.ContestError, wire.WireError) as error:
        print(f"contest_server: {error}", file=sys.stderr)
        return 2
    except OSError as error:
        print(f"contest_server: cannot listen on {arguments.host}:{arguments.port}: "
              f"{error.strerror}", file=sys.stderr)
        return 2
    for number in (signal.SIGINT, signal.SIGTERM):
        signal.signal(number, lambda *_: contest_server.request_stop())
    if arguments.port_file:
        _write_port(arguments.port_file, contest_server.port)
    return contest_server.run()


if __name__ == "__main__":
    sys.exit(main())
