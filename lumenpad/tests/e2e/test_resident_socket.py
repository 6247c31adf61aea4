"""The resident launcher's socket: one daemon per runtime directory, nothing
but its own leftover ever replaced, a clean end on SIGTERM and SIGINT, a
SIGKILLed daemon that costs nothing, and no window for another user."""

import os
import select
import signal
import socket
import stat
import struct
import threading
import unittest

from home_tree import HomeTree
from resident import SOCKET_NAME, ResidentTestCase
from sway_session import ensure_test_user, wait_for

TIMEOUT = 10.0


def request(directory, environment):
    """A request as the command sends it: length, directory, environment."""
    body = b"".join(text + b"\0" for text in [directory, *environment])
    return struct.pack("=I", len(body)) + body


def exchange(path, data, give_up=False):
    """Connects to path, sends data and returns all that comes back before
    the other end closes (which may cut the sending short); with give_up,
    stops reading at once, as a client that has gone, and waits for the
    other end to close."""
    answer = b""
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
        connection.settimeout(TIMEOUT)
        connection.connect(path)
        try:
            connection.sendall(data)
            if give_up:
                # An answer now fails as it would to a closed connection;
                # both ends shut means the daemon is done with it.
                connection.shutdown(socket.SHUT_RD)
                waiting = select.poll()
                waiting.register(connection, select.POLLHUP)
                if not waiting.poll(TIMEOUT * 1000):
                    raise TimeoutError("the daemon kept a connection that no longer reads")
                return None
            connection.shutdown(socket.SHUT_WR)
            while chunk := connection.recv(16):
                answer += chunk
        except (BrokenPipeError, ConnectionResetError):
            pass
    return answer


class SilentServer:
    """A socket at path that accepts connections and then, as behaviour
    says, keeps them without a word ("hang") or closes them ("close")."""

    def __init__(self, path, behaviour):
        self.behaviour = behaviour
        self.kept = []
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.listener.listen(4)
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            if self.behaviour == "hang":
                self.kept.append(connection)
            else:
                connection.close()

    def close(self):
        if self.listener.fileno() < 0:
            return
        self.listener.shutdown(socket.SHUT_RDWR)
        self.listener.close()
        self.thread.join(timeout=10)
        for connection in self.kept:
            connection.close()


def entry_state(path):
    """What a test left at path: its kind, inode and content or link text."""
    st = os.lstat(path)
    if stat.S_ISREG(st.st_mode):
        with open(path, "rb") as f:
            content = f.read()
    elif stat.S_ISLNK(st.st_mode):
        content = os.readlink(path)
    else:
        content = None
    return st.st_mode, st.st_ino, content


class ResidentSocketTest(ResidentTestCase):
    def setUp(self):
        super().setUp()
        self.home.stub("alpha-app")
        self.home.write_desktop_entry("Alpha Probe", "alpha-app")
        self.socket_path = os.path.join(self.session.runtime_dir, SOCKET_NAME)

    def assert_refused(self, daemon, mentioning="lumenpad: "):
        self.assertEqual(daemon.wait_exit(TIMEOUT), 1)
        message = daemon.stderr()
        self.assertTrue(message.startswith("lumenpad: ") and message.endswith("\n"), message)
        self.assertIn(mentioning, message)
        self.assertEqual(daemon.stdout(), "")

    def assert_opens_cold(self):
        """`lumenpad` opens a cold launcher, silently: it writes its pid file
        and Escape ends it."""
        cold = self.start_launcher()
        cold.wait_for_surface()
        with open(self.pid_file) as f:
            self.assertEqual(f.read(), str(cold.pid))
        self.session.press("Escape")
        self.assertEqual(cold.wait_exit(TIMEOUT), 0)
        self.assertEqual((cold.stdout(), cold.stderr()), ("", ""))
        cold.wait_for_no_surface()

    def test_sigterm_and_sigint_end_the_daemon_and_remove_its_socket(self):
        for signum, shown in ((signal.SIGTERM, False), (signal.SIGINT, False), (signal.SIGTERM, True)):
            with self.subTest(signal=signal.Signals(signum).name, shown=shown):
                daemon = self.start_daemon()
                if shown:
                    self.show(daemon)
                self.assertEqual(daemon.stop_with(signum), 0)
                self.assertFalse(os.path.lexists(self.socket_path))
                daemon.wait_for_no_surface()
                daemon.assert_clean_stderr()

    def test_a_second_daemon_is_refused_and_the_first_goes_on(self):
        first = self.start_daemon()
        before = entry_state(self.socket_path)
        second = self.start_daemon(wait=False)
        self.assert_refused(second, mentioning="a daemon is already running on " + self.socket_path)
        self.assertEqual(entry_state(self.socket_path), before)
        self.show(first)
        self.toggle()
        first.wait_for_no_surface()

    def test_a_sigkilled_daemon_leaves_a_socket_that_costs_nothing(self):
        killed = self.start_daemon()
        leftover = entry_state(self.socket_path)
        self.assertEqual(killed.stop_with(signal.SIGKILL), -signal.SIGKILL)
        self.assertEqual(entry_state(self.socket_path), leftover)

        self.assert_opens_cold()

        daemon = self.start_daemon()
        self.assertNotEqual(entry_state(self.socket_path)[1], leftover[1], "the leftover socket was not replaced")
        self.show(daemon)
        self.toggle()
        daemon.wait_for_no_surface()

    def test_the_command_opens_a_cold_launcher_when_nothing_answers(self):
        for behaviour in ("hang", "close"):
            with self.subTest(behaviour):
                server = SilentServer(self.socket_path, behaviour)
                try:
                    self.assert_opens_cold()
                finally:
                    server.close()
                    self.session.reset_runtime_dir()

    def test_a_malformed_request_gets_no_answer_and_the_daemon_goes_on(self):
        daemon = self.start_daemon()
        environment = [b"PATH=" + self.home.env["PATH"].encode()]
        cases = {
            "over 4 MiB": request(b"/" * (4 * 1024 * 1024), environment),
            "cut short": request(self.tmp.encode(), environment)[:-3],
            "a directory without its NUL": struct.pack("=I", 4) + b"/tmp",
            "no length": b"\1\0",
        }
        for case, data in cases.items():
            with self.subTest(case):
                self.assertEqual(exchange(self.socket_path, data), b"")
                self.assertTrue(daemon.running())
        # Nothing was shown, so the next command shows the window.
        daemon.wait_for_no_surface()
        self.show(daemon)
        self.assertEqual(exchange(self.socket_path, request(self.tmp.encode(), environment)), b"h")
        daemon.wait_for_no_surface()
        self.assertEqual(exchange(self.socket_path, request(self.tmp.encode(), environment)), b"s")
        daemon.wait_for_panel()
        self.toggle()
        daemon.wait_for_no_surface()

    def test_a_window_shown_for_a_client_that_gave_up_is_hidden_again(self):
        daemon = self.start_daemon()
        for _ in range(3):
            exchange(self.socket_path, request(self.tmp.encode(), [b"PATH=/usr/bin:/bin"]), give_up=True)
            daemon.wait_for_no_surface()
            # Hidden, not only off screen: the next command shows it.
            self.show(daemon)
            self.toggle()
            daemon.wait_for_no_surface()

    def test_anything_but_a_socket_at_the_path_is_left_alone(self):
        target = os.path.join(self.tmp, "target")
        with open(target, "w") as f:
            f.write("keep me\n")
        cases = {
            "regular file": lambda: self.home.write_file(self.socket_path, "keep me too\n", mode=0o600),
            "symbolic link to a file": lambda: os.symlink(target, self.socket_path),
            "dangling symbolic link": lambda: os.symlink(os.path.join(self.tmp, "nothing"), self.socket_path),
            "FIFO": lambda: os.mkfifo(self.socket_path, 0o600),
            "directory": lambda: os.mkdir(self.socket_path, 0o700),
        }
        for case, make in cases.items():
            with self.subTest(case):
                make()
                try:
                    before = entry_state(self.socket_path)
                    self.assert_refused(self.start_daemon(wait=False), mentioning="leaving it alone")
                    self.assertEqual(entry_state(self.socket_path), before)
                    self.assertEqual(entry_state(target)[2], b"keep me\n")
                    self.assertFalse(os.path.lexists(os.path.join(self.tmp, "nothing")))
                finally:
                    self.session.reset_runtime_dir()

    def test_the_runtime_directory_must_be_an_absolute_existing_directory(self):
        not_a_directory = os.path.join(self.tmp, "file")
        with open(not_a_directory, "w"):
            pass
        cases = {
            "unset": None,
            "empty": "",
            "relative": "runtime",
            "missing": os.path.join(self.tmp, "missing"),
            "a file": not_a_directory,
        }
        for case, value in cases.items():
            with self.subTest(case):
                daemon = self.start_daemon(env={"XDG_RUNTIME_DIR": value}, wait=False)
                self.assert_refused(daemon, mentioning="XDG_RUNTIME_DIR")
                self.assertEqual(sorted(os.listdir(daemon.workdir)), ["stderr", "stdout"])
        self.assertFalse(os.path.lexists(self.socket_path))


class ResidentOtherUserTest(ResidentTestCase):
    """The daemon serves its own user alone; another user's `lumenpad` gets
    no window from it. The second user is the one the compositor runs as."""

    def setUp(self):
        super().setUp()
        uid, gid, _ = ensure_test_user()
        self.other = (uid, gid)
        # The other user's processes reach their files through this test's
        # directory, but may list nothing in it.
        os.chmod(self.tmp, 0o711)
        self.other_home = HomeTree(os.path.join(self.tmp, "other"))
        for tree in (self.home, self.other_home):
            tree.stub("alpha-app")
            tree.write_desktop_entry("Alpha Probe", "alpha-app")
        chown_tree(self.other_home.root, uid, gid)

    def other_env(self):
        # The private bus is root's, which serves root alone.
        return {**self.other_home.env, "DBUS_SESSION_BUS_ADDRESS": None}

    def run_refused_client(self, env=None, user=None):
        """Runs `lumenpad` that the daemon must not serve: it opens a cold
        launcher of its own (closed with Escape) or fails; either way, no
        window of the daemon's is left."""
        client = self.start_launcher(env=env, user=user)

        def cold_or_ended():
            if not client.running():
                return True
            try:
                with open(self.pid_file) as f:
                    return f.read() == str(client.pid)
            except FileNotFoundError:
                return False

        wait_for(cold_or_ended, TIMEOUT, message="a cold launcher or an end")
        if client.running():
            client.wait_for_surface()
            self.session.press("Escape")
            self.assertEqual(client.wait_exit(TIMEOUT), 0)
        client.wait_for_no_surface()
        return client

    def test_a_command_of_another_user_gets_no_window_from_the_daemon(self):
        daemon = self.start_daemon()
        self.run_refused_client(env=self.other_env(), user=self.other)
        self.assertTrue(daemon.running())
        # Still its own user's.
        self.show(daemon)
        self.toggle()
        daemon.wait_for_no_surface()

    def test_a_daemon_refuses_a_client_of_another_uid_even_when_it_can_connect(self):
        # root passes the socket's mode 0600, so the daemon's own check of its
        # peer is all that stands in the way.
        daemon = self.start_daemon(env=self.other_env(), user=self.other)
        self.run_refused_client()
        self.assertTrue(daemon.running())
        self.show(daemon, env=self.other_env(), user=self.other)
        self.toggle(env=self.other_env(), user=self.other)
        daemon.wait_for_no_surface()


def chown_tree(root, uid, gid):
    for directory, names, files in os.walk(root):
        for name in [directory] + [os.path.join(directory, n) for n in names + files]:
            os.lchown(name, uid, gid)


if __name__ == "__main__":
    unittest.main()
