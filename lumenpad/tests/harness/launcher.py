"""Running the real launcher in a private headless sway, for end-to-end tests.

LauncherTestCase gives each test class one compositor and each test its own
home tree; Launcher runs one launcher process, finds its panel on screen and
checks its standard error for GTK warnings and sanitizer reports.
"""

import os
import re
import subprocess
import tempfile
import unittest

from home_tree import HomeTree
from private_tmp import copy_command
from sway_session import (BACKGROUND, OUTPUT_HEIGHT, OUTPUT_NAME, CompositorUnavailable, HarnessError,
                          SwaySession, stop_process, wait_for)

# Where the launcher's column sits on the 1280x800 output: 600 pixels wide,
# centred, 120 pixels from the top. Its height depends on the list.
PANEL_LEFT = 340
PANEL_RIGHT = 940
PANEL_TOP = 120
PANEL = (PANEL_LEFT, PANEL_TOP, PANEL_RIGHT, OUTPUT_HEIGHT)

# The band under the panel's top edge that holds the search field: present
# whenever the panel is, whatever the list holds.
_FIELD_BAND = (PANEL_LEFT, PANEL_TOP, PANEL_RIGHT, PANEL_TOP + 30)

# Lines on standard error that fail a test: GLib's criticals and warnings,
# and sanitizer reports.
_PROBLEM = re.compile(r"CRITICAL|WARNING \*\*|ERROR \*\*|ERROR: \w*Sanitizer|runtime error:")


def stderr_problems(text):
    """The lines of text that report a GTK/GLib problem or a sanitizer finding."""
    return [line for line in text.splitlines() if _PROBLEM.search(line)]


def _panel_shown(shot):
    left, top, right, bottom = _FIELD_BAND
    samples = len(range(left, right, 4)) * len(range(top, bottom, 4))
    return shot.count_not(BACKGROUND, left, top, right, bottom, step=4) * 2 > samples


def panel_gone(shot):
    """Whether nothing of the panel is in the screenshot."""
    left, top, right, bottom = PANEL
    return shot.count_not(BACKGROUND, left, top, right, bottom, step=2) == 0


class Launcher:
    """One launcher process with its output captured to files in workdir.

    env adds to or overrides the session's and the home tree's variables; a
    value of None removes the variable. stdin is what the program reads: bytes
    (through a pipe that is closed once they are written), a file object, or
    nothing (/dev/null). user, a (uid, gid) pair, runs it as another user
    with no supplementary groups."""

    def __init__(self, session, home, workdir, binary=None, env=None, args=(), stdin=None, user=None):
        self.session = session
        self.home = home
        self.binary = binary or os.environ.get("LUMENPAD_BIN")
        if not self.binary or not os.access(self.binary, os.X_OK):
            raise HarnessError(f"no launcher binary to run (LUMENPAD_BIN={self.binary!r}); build it first")
        self.args = list(args)
        base = session.env()
        base.pop("TERMINAL", None)
        base.update(home.env)
        for name, value in (env or {}).items():
            if value is None:
                base.pop(name, None)
            else:
                base[name] = value
        self.env = base
        self.workdir = workdir
        self.stdout_path = os.path.join(workdir, "stdout")
        self.stderr_path = os.path.join(workdir, "stderr")
        self.stdin = stdin
        self.user = user
        self.process = None

    def start(self):
        piped = isinstance(self.stdin, bytes)
        stdin = subprocess.PIPE if piped else (self.stdin or subprocess.DEVNULL)
        credentials = {}
        if self.user is not None:
            credentials = {"user": self.user[0], "group": self.user[1], "extra_groups": []}
        with open(self.stdout_path, "ab") as out, open(self.stderr_path, "ab") as err:
            # Its own process group, so that stop() also ends what it started.
            self.process = subprocess.Popen([self.binary, *self.args], env=self.env, cwd=self.workdir,
                                            stdin=stdin, stdout=out, stderr=err, start_new_session=True,
                                            **credentials)
        if piped:
            try:
                self.process.stdin.write(self.stdin)
                self.process.stdin.close()
            except BrokenPipeError:
                pass
        return self

    @property
    def pid(self):
        return self.process.pid

    def running(self):
        return self.process is not None and self.process.poll() is None

    def wait_exit(self, timeout=10.0):
        """Waits for the launcher to end; returns its exit status."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"the launcher did not exit within {timeout:g} s") from None

    def stop(self):
        stop_process(self.process)

    def stdout(self):
        with open(self.stdout_path, errors="replace") as f:
            return f.read()

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()

    def assert_clean_stderr(self):
        problems = stderr_problems(self.stderr())
        if problems:
            raise AssertionError("the launcher reported problems on stderr:\n" + "\n".join(problems))

    def wait_for_surface(self, timeout=20.0):
        """Waits until the panel is on screen and has stopped changing; returns
        the screenshot."""
        previous = None

        def shown_and_settled(shot):
            nonlocal previous
            region = shot.region(*PANEL)
            settled = _panel_shown(shot) and region == previous
            previous = region
            if not self.running():
                raise AssertionError(f"the launcher exited with status {self.process.returncode} "
                                     f"before showing its panel; stderr:\n{self.stderr()}")
            return settled

        return self.session.wait_for_screen(shown_and_settled, timeout, message="the launcher's panel")

    def wait_for_panel(self, timeout=20.0, output=OUTPUT_NAME):
        """Waits until the panel is on output, whether or not it is still
        changing; returns the screenshot."""

        def shown(shot):
            if not self.running():
                raise AssertionError(f"the launcher exited with status {self.process.returncode} "
                                     f"before showing its panel; stderr:\n{self.stderr()}")
            return _panel_shown(shot)

        return self.session.wait_for_screen(shown, timeout, message="the launcher's panel", output=output)

    def wait_for_no_surface(self, timeout=20.0, output=OUTPUT_NAME):
        """Waits until nothing of the launcher is left on output."""
        return self.session.wait_for_screen(panel_gone, timeout, message="the panel to disappear", output=output)


class LauncherTestCase(unittest.TestCase):
    """One sway per test class; per test a fresh home tree (self.home), a clean
    runtime directory and a check of every launcher's standard error."""

    session = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        try:
            cls.session = SwaySession()
            cls.session.start()
        except CompositorUnavailable as e:
            cls.session = None
            if os.environ.get("LUMENPAD_ALLOW_NO_COMPOSITOR") == "1":
                raise unittest.SkipTest(f"no compositor: {e}") from None
            raise

    @classmethod
    def tearDownClass(cls):
        if cls.session is not None:
            cls.session.close()
        super().tearDownClass()

    def setUp(self):
        super().setUp()
        tmp = tempfile.TemporaryDirectory(prefix="lumenpad-e2e-")
        self.addCleanup(tmp.cleanup)
        self.tmp = tmp.name
        self.home = HomeTree(os.path.join(self.tmp, "tree"))
        self.session.reset_runtime_dir()
        self.addCleanup(self.session.reset_runtime_dir)
        self._launchers = []

    def tearDown(self):
        try:
            for launcher in self._launchers:
                launcher.assert_clean_stderr()
        finally:
            for launcher in self._launchers:
                launcher.stop()
        # The next test must not find this one's panel still on screen.
        if self._launchers:
            self.session.wait_for_screen(panel_gone, 20.0, message="the panel to disappear")
        super().tearDown()

    def start_launcher(self, env=None, args=(), binary=None, stdin=None, user=None):
        """Starts a launcher in this test's home tree; its stderr is checked at
        the end of the test."""
        workdir = tempfile.mkdtemp(prefix="run-", dir=self.tmp)
        if user is not None:
            os.chown(workdir, *user)
            if binary is None:
                # The build tree may lie where only its owner can reach it.
                binary = self.command_for_others()
        launcher = Launcher(self.session, self.home, workdir, binary=binary, env=env, args=args, stdin=stdin,
                            user=user)
        self._launchers.append(launcher)
        return launcher.start()

    def command_for_others(self):
        """A copy of the launcher that every user can run."""
        directory = os.path.join(self.tmp, "command")
        if not os.path.isdir(directory):
            os.mkdir(directory)
            copy_command(os.environ["LUMENPAD_BIN"], directory)
            for name in os.listdir(directory):
                os.chmod(os.path.join(directory, name), 0o755)
            os.chmod(directory, 0o755)
        return os.path.join(directory, os.path.basename(os.environ["LUMENPAD_BIN"]))

    def launch_once(self, query="", env=None, binary=None):
        """One launcher run: waits for its panel, types query, presses Return,
        and waits until it has exited 0 and its panel has gone."""
        launcher = self.start_launcher(env=env, binary=binary)
        launcher.wait_for_surface()
        if query:
            self.session.type_text(query)
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(), 0)
        launcher.wait_for_no_surface()
        return launcher

    @property
    def pid_file(self):
        return os.path.join(self.session.runtime_dir, "lumenpad.pid")
