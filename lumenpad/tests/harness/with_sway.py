#!/usr/bin/env python3
"""Runs one command inside a private headless sway, with a private home.

    with_sway.py -- COMMAND [ARG...]

The command gets the session's WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK and
session bus, and HOME and the XDG directories in a temporary tree. Its exit
status is passed on. When sway cannot start, this fails, unless
LUMENPAD_ALLOW_NO_COMPOSITOR=1 asks to skip instead: exit status 77, which
CTest reports as a skipped test (SKIP_RETURN_CODE).
"""

import os
import signal
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from home_tree import HomeTree  # noqa: E402
from sway_session import CompositorUnavailable, HarnessError, SwaySession  # noqa: E402

# The exit status of a skipped run, as automake and CTest's SKIP_RETURN_CODE
# know it.
SKIPPED = 77

USAGE = "usage: with_sway.py -- COMMAND [ARG...]"


def say(message):
    print(f"with_sway: {message}", file=sys.stderr, flush=True)


def main(argv):
    if "--" not in argv or argv.index("--") == len(argv) - 1:
        say(USAGE)
        return 2
    command = argv[argv.index("--") + 1 :]

    # A terminating signal (a test timeout) still tears the session down.
    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(128 + signum))

    session = SwaySession()
    try:
        try:
            session.start()
        except CompositorUnavailable as e:
            if os.environ.get("LUMENPAD_ALLOW_NO_COMPOSITOR") == "1":
                say(f"skipped: no compositor: {e}")
                return SKIPPED
            say(f"cannot start the compositor: {e}")
            say("set LUMENPAD_ALLOW_NO_COMPOSITOR=1 to skip instead")
            return 1
        except (HarnessError, TimeoutError) as e:
            say(f"cannot set up the session: {e}")
            return 1
        with tempfile.TemporaryDirectory(prefix="lumenpad-home-") as root:
            home = HomeTree(root)
            env = session.env()
            env.update(home.env)
            env["PATH"] = f"{home.bin}:{os.environ.get('PATH', '')}"
            try:
                status = subprocess.run(command, env=env).returncode
            except OSError as e:
                say(f"cannot run {command[0]}: {e}")
                return 127
        return 128 - status if status < 0 else status
    finally:
        session.close()


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
