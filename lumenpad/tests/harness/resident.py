"""The resident launcher in end-to-end tests: a daemon started with a home
tree's environment, toggled by the `lumenpad` command, and stopped with a
signal that must end it cleanly."""

import os
import signal
import stat

from launcher import Launcher, LauncherTestCase
from sway_session import wait_for

SOCKET_NAME = "lumenpad.sock"

# A client that reaches the daemon ends by itself; one that fell back to a
# cold start would stay open until a key closed it.
CLIENT_EXIT_LIMIT = 10.0


def process_state(pid):
    """The state letter of process pid (R, S, T, Z...), or None once it is
    gone."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            # The state follows the command name, which is in parentheses
            # and may hold spaces.
            return f.read().rpartition(")")[2].split()[0]
    except FileNotFoundError:
        return None


def socket_identity(path):
    """The inode and change time of the socket file at path, or None."""
    if path is None:
        return None
    try:
        st = os.lstat(path)
    except (FileNotFoundError, NotADirectoryError):
        return None
    return (st.st_ino, st.st_ctime_ns) if stat.S_ISSOCK(st.st_mode) else None


class Daemon(Launcher):
    """One `lumenpad --daemon` process."""

    def __init__(self, session, home, workdir, binary=None, env=None, user=None):
        super().__init__(session, home, workdir, binary=binary, env=env, args=("--daemon",), user=user)

    @property
    def socket_path(self):
        """Where the daemon's socket goes; None without an absolute runtime
        directory."""
        runtime_dir = self.env.get("XDG_RUNTIME_DIR")
        return os.path.join(runtime_dir, SOCKET_NAME) if runtime_dir and os.path.isabs(runtime_dir) else None

    def start(self):
        # What was at the socket's path before, which is not the daemon's.
        self.leftover = socket_identity(self.socket_path)
        return super().start()

    def wait_ready(self, timeout=20.0):
        """Waits until the daemon's socket is at its path; returns the socket
        file's status. A leftover socket file there does not count."""

        def ready():
            if not self.running():
                raise AssertionError(f"the daemon exited with status {self.process.returncode} before its socket "
                                     f"was ready; stderr:\n{self.stderr()}")
            identity = socket_identity(self.socket_path)
            return identity is not None and identity != self.leftover and os.lstat(self.socket_path)

        return wait_for(ready, timeout, message="the daemon's socket")

    def stop_with(self, signum=signal.SIGTERM, timeout=10.0):
        """Sends signum to the daemon alone (not to what it launched); returns
        its exit status."""
        os.kill(self.pid, signum)
        return self.wait_exit(timeout)

    def children(self):
        """The pids of the daemon's child processes, with each one's state
        letter (R, S, Z...)."""
        result = {}
        task_dir = f"/proc/{self.pid}/task"
        for task in os.listdir(task_dir):
            try:
                with open(os.path.join(task_dir, task, "children")) as f:
                    pids = [int(pid) for pid in f.read().split()]
            except FileNotFoundError:
                continue
            for pid in pids:
                state = process_state(pid)
                if state is not None:
                    result[pid] = state
        return result


class ResidentTestCase(LauncherTestCase):
    """A LauncherTestCase with daemons: each one still running at the end of
    a test must end with status 0 on SIGTERM and remove its socket."""

    def setUp(self):
        super().setUp()
        self._daemons = []

    def tearDown(self):
        try:
            for daemon in self._daemons:
                if daemon.running():
                    self.assertEqual(daemon.stop_with(signal.SIGTERM), 0, "the daemon's exit status on SIGTERM")
                    self.assertFalse(os.path.lexists(daemon.socket_path), "the daemon left its socket behind")
        finally:
            super().tearDown()

    def start_daemon(self, env=None, user=None, wait=True):
        """Starts `lumenpad --daemon` in this test's home tree and, with wait,
        waits until it listens."""
        workdir = os.path.join(self.tmp, f"daemon-{len(self._daemons)}")
        os.mkdir(workdir)
        binary = None
        if user is not None:
            os.chown(workdir, *user)
            binary = self.command_for_others()
        daemon = Daemon(self.session, self.home, workdir, binary=binary, env=env, user=user)
        self._launchers.append(daemon)
        self._daemons.append(daemon)
        daemon.start()
        if wait:
            daemon.wait_ready()
        return daemon

    def toggle(self, env=None, user=None):
        """Runs `lumenpad` and checks that it ended at once with status 0,
        printing nothing, as it does when a daemon answered; returns it."""
        client = self.start_launcher(env=env, user=user)
        self.assertEqual(client.wait_exit(CLIENT_EXIT_LIMIT), 0)
        self.assertEqual((client.stdout(), client.stderr()), ("", ""))
        # A cold start would have written it, and then, finding the daemon on
        # the session bus, handed the show over to it and ended all the same.
        self.assertFalse(os.path.lexists(self.pid_file), "the command started cold instead of asking the daemon")
        return client

    def show(self, daemon, env=None, user=None, **where):
        """Toggles the daemon's hidden window open; returns the client."""
        client = self.toggle(env=env, user=user)
        daemon.wait_for_panel(**where)
        return client

    def assert_no_pid_file(self):
        self.assertFalse(os.path.lexists(self.pid_file), "a pid file was written")
