"""The lumenpad command in front of a stand-in daemon on lumenpad.sock: it
asks it, with its directory and environment, and stops there when it answers;
with options, or when the stand-in fails it, it runs the launcher itself (here
without a display, so the launcher's own "cannot open display" shows it ran).
No compositor needed."""

import os
import socket
import struct
import subprocess
import tempfile
import threading
import unittest

from home_tree import HomeTree

BINARY = os.environ.get("LUMENPAD_BIN", "")
TIMEOUT = 20.0


class StandIn:
    """Listens on runtime/lumenpad.sock; per connection, reads the whole
    request, then does what `behaviour` says: answer a byte, close, or hold."""

    def __init__(self, runtime, behaviour):
        self.requests = []
        self.connections = 0
        self.behaviour = behaviour
        self.held = []
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(os.path.join(runtime, "lumenpad.sock"))
        self.listener.listen(8)
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while True:
            try:
                client, _ = self.listener.accept()
            except OSError:
                return
            self.connections += 1
            received = b""
            while len(received) < 4 or len(received) < 4 + struct.unpack("=I", received[:4])[0]:
                chunk = client.recv(65536)
                if not chunk:
                    break
                received += chunk
            self.requests.append(received[4:].split(b"\0")[:-1])
            if self.behaviour == "hold":
                self.held.append(client)
                continue
            if self.behaviour in (b"s", b"h"):
                client.sendall(self.behaviour)
            client.close()

    def settle(self):
        """Once a request of our own has been handled, any connection made
        before it has been too."""
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as client:
            client.connect(self.listener.getsockname())
            body = b"/\0"
            client.sendall(struct.pack("=I", len(body)) + body)
            client.settimeout(TIMEOUT)
            while client.recv(1):
                pass

    def close(self):
        self.listener.close()
        for client in self.held:
            client.close()


class ResidentCommandTest(unittest.TestCase):
    def setUp(self):
        if not BINARY:
            self.skipTest("LUMENPAD_BIN is not set")
        tmp = tempfile.TemporaryDirectory(prefix="lumenpad-command-")
        self.addCleanup(tmp.cleanup)
        self.home = HomeTree(tmp.name)
        self.tmp = tmp.name
        self.workdir = os.path.join(tmp.name, "work")
        os.mkdir(self.workdir)
        self.env = dict(self.home.env, WAYLAND_DISPLAY="no-such-display",
                        LUMENPAD_TEST_MARKER="a=b c", LC_ALL="C.UTF-8")

    def run_command(self, behaviour, *args, stdin=subprocess.DEVNULL, env_extra=None):
        """Runs the command with a runtime directory of its own, where a
        stand-in behaving as told listens."""
        self.runtime = tempfile.mkdtemp(prefix="runtime-", dir=self.tmp)
        stand_in = StandIn(self.runtime, behaviour)
        self.addCleanup(stand_in.close)
        env = dict(self.env, XDG_RUNTIME_DIR=self.runtime, **(env_extra or {}))
        result = subprocess.run([BINARY, *args], env=env, cwd=self.workdir, stdin=stdin, capture_output=True,
                                text=True, timeout=TIMEOUT)
        return stand_in, result

    def test_an_answer_ends_the_command_quietly(self):
        for answer in (b"s", b"h"):
            with self.subTest(answer=answer):
                # The loader names every library it opens: the program is not among them.
                stand_in, result = self.run_command(answer, env_extra={"LD_DEBUG": "files"})
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stdout, "")
                self.assertNotIn("liblumenpad-program.so", result.stderr)
                self.assertNotIn("libgtk", result.stderr)
                request = stand_in.requests[0]
                self.assertEqual(request[0].decode(), self.workdir)
                self.assertIn(b"LUMENPAD_TEST_MARKER=a=b c", request[1:])
                self.assertIn(f"XDG_RUNTIME_DIR={self.runtime}".encode(), request[1:])

    def test_without_an_answer_the_launcher_starts_cold(self):
        for behaviour in ("close", b"x", "hold"):
            with self.subTest(behaviour=behaviour):
                stand_in, result = self.run_command(behaviour)
                self.assertEqual(stand_in.connections, 1)
                self.assertEqual(result.returncode, 1)
                self.assertIn("cannot open display: no-such-display", result.stderr)

    def test_options_never_ask_the_daemon(self):
        cases = [(["--version"], subprocess.DEVNULL, 0),
                 (["--dmenu"], subprocess.PIPE, 1),
                 (["--bogus"], subprocess.DEVNULL, 2)]
        for args, stdin, status in cases:
            with self.subTest(args=args):
                stand_in, result = self.run_command(b"s", *args, stdin=stdin)
                self.assertEqual(result.returncode, status, result.stderr)
                stand_in.settle()
                self.assertEqual(stand_in.requests, [[b"/"]])


if __name__ == "__main__":
    unittest.main()
