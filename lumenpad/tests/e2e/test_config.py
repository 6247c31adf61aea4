"""config.toml and the Hyprland workspace in the real launcher: the context of
the active workspace (or "default") puts its applications first, and a file
that cannot be read or parsed is reported once and then ignored."""

import os
import shutil
import unittest

from fake_hyprland import SIGNATURE, FakeHyprland
from launcher import LauncherTestCase
from sway_session import wait_for

# In name order, which is the list's order when nothing else decides it; all
# come before the machine's own entries.
ENTRIES = {"Alpha Probe": "alpha-app", "Bravo Probe": "bravo-app", "Charlie Probe": "charlie-app"}

# "default" comes first so that the workspace's own context has to win on its
# name, not on its place in the file; "nomatch" names no entry and the terms
# are lower-cased before they are compared.
CONTEXTS = """\
[[context]]
name = "default"
priority = ["bravo"]

[[context]]
name = "dev"
priority = ["nomatch", "CHARLIE", "bravo"]
"""


class ConfigTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.stubs = {}
        for name, program in ENTRIES.items():
            self.stubs[program] = self.home.stub(program)
            self.home.write_desktop_entry(name, program)
        self.config = os.path.join(self.home.config_home, "lumenpad", "config.toml")
        os.makedirs(os.path.dirname(self.config))

    def write_config(self, content):
        with open(self.config, "wb") as f:
            f.write(content if isinstance(content, bytes) else content.encode())

    def launched_by(self, query="", env=None):
        """Runs the launcher, types query and presses Return; returns the
        launcher and the program that it started. Each run starts without
        launch counts, so that only the configuration decides the order."""
        shutil.rmtree(os.path.join(self.home.cache_home, "lumenpad"), ignore_errors=True)
        before = {program: len(self.home.calls(program)) for program in self.stubs}
        launcher = self.launch_once(query, env=env)

        def new_calls():
            return {program: self.home.calls(program)[before[program]:] for program in self.stubs
                    if len(self.home.calls(program)) > before[program]}

        started = wait_for(new_calls, 10.0, message="a launch")
        self.assertEqual(len(started), 1, f"started: {started}")
        [(program, calls)] = started.items()
        self.assertEqual(calls, [[self.stubs[program]]])
        return launcher, program

    def test_the_workspace_context_or_else_default_orders_the_list(self):
        self.write_config(CONTEXTS)
        cases = [
            ("Hyprland on dev", "dev", "charlie-app"),
            ("Hyprland on a workspace without a context", "Dev", "bravo-app"),
            ("no Hyprland", None, "bravo-app"),
        ]
        for case, workspace, expected in cases:
            # Without the signature variable the socket is there all the same,
            # to show that the launcher does not look for it.
            with self.subTest(case), FakeHyprland(self.session.runtime_dir, workspace or "dev") as server:
                env = {"HYPRLAND_INSTANCE_SIGNATURE": SIGNATURE} if workspace else {}
                launcher, program = self.launched_by(env=env)
                self.assertEqual(program, expected)
                self.assertEqual(server.requests, [b"j/activeworkspace"] if workspace else [])
                self.assertEqual(launcher.stderr(), "")
            self.session.reset_runtime_dir()

    def test_a_malformed_file_is_reported_once_and_contributes_nothing(self):
        prefix = f"lumenpad: parse error in {self.config}: "
        # Each file names "bravo" in a well-formed "default" context before
        # (or beside) what is wrong with it.
        cases = {
            "TOML syntax": (CONTEXTS + "[[context\n", "charl", "charlie-app"),
            "a context without a name": (CONTEXTS + '[[context]]\npriority = ["alpha"]\n', "", "alpha-app"),
            "a number in priority": ('[[context]]\nname = "default"\npriority = ["bravo", 3]\n', "",
                                     "alpha-app"),
            "context as a single table": ('[context]\nname = "default"\npriority = ["bravo"]\n', "",
                                          "alpha-app"),
        }
        for case, (content, query, expected) in cases.items():
            with self.subTest(case):
                self.write_config(content)
                launcher, program = self.launched_by(query)
                self.assertEqual(program, expected)
                lines = launcher.stderr().splitlines(keepends=True)
                self.assertEqual(len(lines), 1, lines)
                self.assertTrue(lines[0].startswith(prefix), lines[0])
                self.assertTrue(lines[0].endswith("\n"))
                self.assertGreater(len(lines[0].strip()), len(prefix.strip()), "no parser description")

    def test_an_unreadable_file_is_reported_with_the_system_error(self):
        cases = {
            "a directory": (None, "Is a directory (os error 21)"),
            "bytes that are not UTF-8": (b'[[context]]\nname = "default"\npriority = ["bravo\xff"]\n',
                                         "stream did not contain valid UTF-8"),
        }
        for case, (content, error) in cases.items():
            with self.subTest(case):
                if os.path.isdir(self.config):
                    os.rmdir(self.config)
                if content is None:
                    os.mkdir(self.config)
                else:
                    self.write_config(content)
                launcher, program = self.launched_by("charl")
                self.assertEqual(program, "charlie-app")
                self.assertEqual(launcher.stderr(), f"lumenpad: could not read {self.config}: {error}\n")


if __name__ == "__main__":
    unittest.main()
