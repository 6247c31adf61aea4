"""The resident launcher's socket: one daemon per runtime directory, nothing
but its own leftover ever replaced, a clean end on SIGTERM and SIGINT, a
SIGKILLed daemon that costs nothing, and no window for another user."""

import os
import signal
import stat
import subprocess
import unittest

from home_tree import HomeTree
from resident import SOCKET_NAME, ResidentTestCase
from sway_session import ensure_test_user, wait_for

TIMEOUT = 10.0


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
        self.assert_refused(second)
        self.assertEqual(entry_state(self.socket_path), before)
        self.show(first)
        self.toggle()
        first.wait_for_no_surface()

    def test_a_sigkilled_daemon_leaves_a_socket_that_costs_nothing(self):
        killed = self.start_daemon()
        leftover = entry_state(self.socket_path)
        self.assertEqual(killed.stop_with(signal.SIGKILL), -signal.SIGKILL)
        self.assertEqual(entry_state(self.socket_path), leftover)

        # A cold launcher, silently: it writes its pid file and Escape ends it.
        cold = self.start_launcher()
        cold.wait_for_surface()
        with open(self.pid_file) as f:
            self.assertEqual(f.read(), str(cold.pid))
        self.session.press("Escape")
        self.assertEqual(cold.wait_exit(TIMEOUT), 0)
        self.assertEqual((cold.stdout(), cold.stderr()), ("", ""))
        cold.wait_for_no_surface()

        daemon = self.start_daemon()
        self.assertNotEqual(entry_state(self.socket_path)[1], leftover[1], "the leftover socket was not replaced")
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
                before = entry_state(self.socket_path)
                self.assert_refused(self.start_daemon(wait=False))
                self.assertEqual(entry_state(self.socket_path), before)
                self.assertEqual(entry_state(target)[2], b"keep me\n")
                self.assertFalse(os.path.lexists(os.path.join(self.tmp, "nothing")))
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
