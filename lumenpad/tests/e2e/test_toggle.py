"""The pid file and the single-instance toggle of the real launcher: a second
start closes the open launcher, and whatever else the pid file holds does not
stop a new one from opening."""

import os
import signal
import subprocess
import time
import unittest

from launcher import LauncherTestCase

# A start that only closes the open launcher touches no display; a start that
# went on to open a window would not end by itself at all.
TOGGLE_EXIT_LIMIT = 5.0


class ToggleTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.home.stub("alpha-app")
        self.home.write_desktop_entry("Alpha Probe", "alpha-app")

    def read_pid_file(self):
        with open(self.pid_file, "rb") as f:
            return f.read()

    def start_second(self):
        """Starts another launcher and waits for it to end; returns it."""
        started = time.monotonic()
        second = self.start_launcher()
        self.assertEqual(second.wait_exit(timeout=TOGGLE_EXIT_LIMIT), 0)
        self.assertLess(time.monotonic() - started, TOGGLE_EXIT_LIMIT)
        self.assertEqual((second.stdout(), second.stderr()), ("", ""))
        return second

    def test_a_second_start_closes_the_open_launcher(self):
        first = self.start_launcher()
        first.wait_for_surface()
        self.assertEqual(self.read_pid_file(), str(first.pid).encode())

        self.start_second()
        self.assertEqual(first.wait_exit(), -signal.SIGTERM)
        first.wait_for_no_surface()
        # Neither the terminated launcher nor the toggling start removed or
        # rewrote the file.
        self.assertEqual(self.read_pid_file(), str(first.pid).encode())

    def test_the_toggle_runs_kill_with_the_pid_and_ends_even_when_kill_does_nothing(self):
        kill = self.home.stub("kill", exit_code=1)
        first = self.start_launcher()
        first.wait_for_surface()

        self.start_second()
        self.assertEqual(self.home.calls("kill"), [[kill, str(first.pid)]])
        self.assertTrue(first.running())
        self.assertEqual(self.read_pid_file(), str(first.pid).encode())

        self.session.press("Escape")
        self.assertEqual(first.wait_exit(), 0)
        self.assertFalse(os.path.exists(self.pid_file))

    def test_an_activation_over_the_session_bus_opens_no_second_window(self):
        first = self.start_launcher()
        first.wait_for_surface()
        # A start that finds no pid file reaches the open launcher over the
        # session bus, asks it to activate and ends.
        os.remove(self.pid_file)
        self.start_second()
        # Answered only once the launcher's main loop has handled what came
        # before it: the activation.
        subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=com.velmora.lumenpad",
                        "/com/velmora/lumenpad", "org.gtk.Actions.List"],
                       env=self.session.env(), check=True, stdout=subprocess.DEVNULL, timeout=10)
        # One window: Escape closes it, and with it the launcher.
        self.session.press("Escape")
        self.assertEqual(first.wait_exit(), 0)
        first.wait_for_no_surface()

    def test_a_pid_file_that_names_no_running_launcher_is_replaced(self):
        ended = subprocess.Popen(["true"])
        ended.wait()
        other = subprocess.Popen(["sleep", "600"])
        self.addCleanup(other.wait)
        self.addCleanup(other.kill)
        cases = {
            "no pid file": None,
            "an ended process": f"{ended.pid}\n",
            "another live process": f" +{other.pid} ",
            "no number": "lumenpad",
        }
        for case, content in cases.items():
            with self.subTest(case):
                if content is not None:
                    with open(self.pid_file, "w") as f:
                        f.write(content)
                launcher = self.start_launcher()
                launcher.wait_for_surface()
                self.assertEqual(self.read_pid_file(), str(launcher.pid).encode())

                self.session.press("Escape")
                self.assertEqual(launcher.wait_exit(), 0)
                self.assertFalse(os.path.exists(self.pid_file))
                self.assertIsNone(other.poll(), "the other process was stopped")
                launcher.wait_for_no_surface()
        self.assertEqual(self.home.calls("alpha-app"), [])


if __name__ == "__main__":
    unittest.main()
