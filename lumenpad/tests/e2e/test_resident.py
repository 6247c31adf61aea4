"""The resident launcher through the real binary: `lumenpad --daemon` keeps a
hidden window that `lumenpad` toggles; a launch from it runs as if from the
command that opened it; each show starts fresh; the daemon stays."""

import os
import re
import secrets
import shutil
import signal
import stat
import subprocess
import unittest

from resident import ResidentTestCase, process_state
from sway_session import wait_for

# "Alpha Probe" is first in the initial order. Typing "kilo" starts Kilo; had
# its first key been lost, "ilo" would start the decoy, and with every key
# lost Return would start Alpha.
ENTRIES = {"Alpha Probe": "alpha-app", "Kilo Probe": "kilo-app", "Ilo Decoy": "ilo-app"}

TIMEOUT = 10.0


class ResidentTestBase(ResidentTestCase):
    def setUp(self):
        super().setUp()
        self.stubs = {program: self.home.stub(program, process=True) for program in ENTRIES.values()}
        for name, program in ENTRIES.items():
            self.home.write_desktop_entry(name, program)

    def launches(self):
        """How many times each entry's program has been started."""
        return {program: len(self.home.calls(program)) for program in self.stubs}

    def launch(self, daemon, query, env=None):
        """Toggles the window open, types query at once and presses Return;
        returns the record of the one program started and the client."""
        before = self.launches()
        client = self.toggle(env=env)
        if query:
            self.session.type_text(query)
        self.session.press("Return")

        def started():
            return {p: n - before[p] for p, n in self.launches().items() if n > before[p]}

        new = wait_for(started, TIMEOUT, message="a launch")
        self.assertEqual(len(new), 1, f"started: {new}")
        [(program, count)] = new.items()
        self.assertEqual(count, 1)
        daemon.wait_for_no_surface()
        return program, self.home.calls(program)[-1], client


class ResidentToggleTest(ResidentTestBase):
    def test_the_command_toggles_the_window_and_the_daemon_stays(self):
        daemon = self.start_daemon()
        mode = stat.S_IMODE(os.lstat(daemon.socket_path).st_mode)
        self.assertEqual(mode, 0o600)
        for _ in range(2):
            self.show(daemon)
            self.toggle()
            daemon.wait_for_no_surface()
            self.assertTrue(daemon.running())
        self.assert_no_pid_file()
        self.assertEqual(self.launches(), dict.fromkeys(self.stubs, 0))

    def test_keys_typed_as_soon_as_the_command_returns_reach_the_search_field(self):
        daemon = self.start_daemon()
        for _ in range(4):
            program, _, _ = self.launch(daemon, "kilo")
            self.assertEqual(program, "kilo-app")

    def test_each_show_starts_with_an_empty_field_and_the_first_row_selected(self):
        daemon = self.start_daemon()
        hides = {
            "Escape": lambda: self.session.press("Escape"),
            "a click outside the panel": lambda: self.session.click(40, 40),
            "the command": self.toggle,
        }
        for case, hide in hides.items():
            with self.subTest(case):
                self.show(daemon)
                # Two rows match; the second is selected.
                self.session.type_text("ilo")
                self.session.press("Down")
                hide()
                daemon.wait_for_no_surface()
                program, _, _ = self.launch(daemon, "")
                self.assertEqual(program, "alpha-app")

    def test_the_command_loads_neither_gtk_nor_the_program_when_the_daemon_answers(self):
        daemon = self.start_daemon()
        for _ in range(2):
            # The dynamic loader names on stderr every library that it loads.
            client = self.start_launcher(env={"LD_DEBUG": "files"})
            self.assertEqual(client.wait_exit(TIMEOUT), 0)
            loaded = re.findall(r"file=(\S+) \[\d+\];\s+(?:needed|dynamically loaded) by (\S+)", client.stderr())
            self.assertTrue(loaded)
            for library, by in loaded:
                self.assertNotRegex(library, r"^(libgtk-4|liblumenpad-program)\.so")
                # A sanitizer's runtime may bring libstdc++ in; the command's
                # own code does not.
                if os.path.basename(by) == "lumenpad":
                    self.assertNotRegex(library, r"^libstdc\+\+\.so")
        daemon.wait_for_no_surface()

    def test_a_menu_never_goes_to_the_daemon(self):
        daemon = self.start_daemon()
        menu = self.start_launcher(args=["--dmenu"], stdin=b"first line\nsecond line\n")
        menu.wait_for_surface()
        self.session.type_text("second")
        self.session.press("Return")
        self.assertEqual(menu.wait_exit(TIMEOUT), 0)
        self.assertEqual(menu.stdout(), "second line\n")
        daemon.wait_for_no_surface()
        self.assertTrue(daemon.running())
        self.assertEqual(self.launches(), dict.fromkeys(self.stubs, 0))

    def test_a_gapplication_activation_shows_the_one_window(self):
        daemon = self.start_daemon()
        for activations in (1, 2):
            with self.subTest(activations=activations):
                for _ in range(activations):
                    subprocess.run(["gdbus", "call", "--session", "--dest", "com.velmora.lumenpad",
                                    "--object-path", "/com/velmora/lumenpad",
                                    "--method", "org.gtk.Application.Activate", "@a{sv} {}"],
                                   env=self.session.env(), check=True, stdout=subprocess.DEVNULL, timeout=TIMEOUT)
                daemon.wait_for_panel()
                # One window: Escape leaves nothing on screen.
                self.session.press("Escape")
                daemon.wait_for_no_surface()
                self.assertTrue(daemon.running())


class ResidentLaunchTest(ResidentTestBase):
    def test_a_launch_runs_with_the_commands_environment_and_directory(self):
        # A terminal that only the command's PATH holds.
        client_bin = os.path.join(self.tmp, "client-bin")
        os.mkdir(client_bin)
        terminal = os.path.join(client_bin, "probe-term")
        shutil.move(self.home.stub("probe-term"), terminal)
        self.home.write_desktop_entry("Term Tool", "term-tool --flag", Terminal=True)

        daemon = self.start_daemon()
        probe = secrets.token_hex(8)
        env = {"LUMENPAD_PROBE": probe, "TERMINAL": "probe-term", "PATH": f"{client_bin}:{daemon.env['PATH']}"}
        _, call, client = self.launch(daemon, "kilo", env=env)
        self.assertEqual(call["argv"], [self.stubs["kilo-app"]])
        self.assertEqual(call["env"].get("LUMENPAD_PROBE"), probe)
        self.assertEqual(call["env"].get("PATH"), env["PATH"])
        self.assertEqual(os.path.realpath(call["cwd"]), os.path.realpath(client.workdir))

        client = self.toggle(env=env)
        self.session.type_text("term tool")
        self.session.press("Return")
        [argv] = self.home.wait_for_calls("probe-term")
        self.assertEqual(argv, [terminal, "-e", "bash", "-c", "term-tool --flag"])
        daemon.wait_for_no_surface()

    def test_launch_counts_are_saved_and_order_the_next_show(self):
        daemon = self.start_daemon()
        history = os.path.join(self.home.cache_home, "lumenpad", "history.json")
        self.launch(daemon, "kilo")
        # Saved before the program ran, so there by the time it is seen.
        with open(history, "rb") as f:
            self.assertEqual(f.read(), b'{"Kilo Probe":1}')
        program, _, _ = self.launch(daemon, "")
        self.assertEqual(program, "kilo-app")
        with open(history, "rb") as f:
            self.assertEqual(f.read(), b'{"Kilo Probe":2}')

    def test_twenty_launches_leave_no_zombie(self):
        daemon = self.start_daemon()
        for _ in range(20):
            self.launch(daemon, "kilo")
        wait_for(lambda: "Z" not in daemon.children().values(), TIMEOUT,
                 message="no zombie among the daemon's children")

    def test_a_launched_program_outlives_the_daemon(self):
        sleeper = self.home.write_file(os.path.join(self.home.bin, "sleeper-app"),
                                       f"#!/bin/sh\necho $$ > {self.home.calls_dir}/sleeper.tmp\n"
                                       f"mv {self.home.calls_dir}/sleeper.tmp {self.home.calls_dir}/sleeper.pid\n"
                                       "exec sleep 600\n", mode=0o755)
        self.home.write_desktop_entry("Sleeper Probe", os.path.basename(sleeper))
        pid_record = os.path.join(self.home.calls_dir, "sleeper.pid")
        launched = []
        for signum, status in ((signal.SIGTERM, 0), (signal.SIGKILL, -signal.SIGKILL)):
            with self.subTest(signal.Signals(signum).name):
                daemon = self.start_daemon()
                self.toggle()
                self.session.type_text("sleeper")
                self.session.press("Return")

                def recorded():
                    try:
                        with open(pid_record) as f:
                            return int(f.read())
                    except (FileNotFoundError, ValueError):
                        return None

                pid = wait_for(recorded, TIMEOUT, message="the sleeper's pid")
                os.unlink(pid_record)
                self.addCleanup(kill_quietly, pid)
                launched.append(pid)
                daemon.wait_for_no_surface()
                self.assertEqual(daemon.stop_with(signum), status)
                self.session.reset_runtime_dir()
        # Checked once the second daemon has come and gone, long after a
        # signal sent at the first one's end would have arrived.
        self.assertEqual([pid for pid in launched if not alive(pid)], [])


def alive(pid):
    return process_state(pid) not in (None, "Z")


def kill_quietly(pid):
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


if __name__ == "__main__":
    unittest.main()
