# The fleet run's time per host, printed after the test session.
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fleet  # noqa: E402


def pytest_terminal_summary(terminalreporter):
    for line in fleet.TIMINGS:
        terminalreporter.write_line(line)
