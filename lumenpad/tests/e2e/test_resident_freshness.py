"""What a running daemon shows is current: desktop files added, changed and
removed, an applications directory made after it started, and the context of
the Hyprland workspace active at each show."""

import os
import time
import unittest

from fake_hyprland import SIGNATURE, FakeHyprland
from resident import ResidentTestCase
from sway_session import wait_for

TIMEOUT = 10.0

# A change is promised at the first show at least this long after it.
SETTLE = 1.0

# "default" comes first so that the workspace's own context has to win on its
# name, not on its place in the file.
CONTEXTS = """\
[[context]]
name = "default"
priority = ["bravo"]

[[context]]
name = "dev"
priority = ["charlie"]
"""


class ResidentFreshnessTest(ResidentTestCase):
    def setUp(self):
        super().setUp()
        self.programs = ("alpha-app", "bravo-app", "charlie-app", "novel-app")
        for program in self.programs:
            self.home.stub(program)
        # In the system directory, so that the user's does not exist yet.
        self.system_apps = os.path.join(self.home.data_dirs, "applications")
        self.user_apps = os.path.join(self.home.data_home, "applications")
        self.home.write_desktop_entry("Alpha Probe", "alpha-app", directory=self.system_apps)
        self.changed_at = None

    def changed(self):
        """Notes the time of a change on disk."""
        self.changed_at = time.monotonic()

    def launches(self):
        return {program: len(self.home.calls(program)) for program in self.programs}

    def show_and_run(self, daemon, query, expected, env=None):
        """Shows the window once the last change is old enough, types query and
        presses Return, which must start expected; with expected None, Return
        must start nothing and Escape closes the window (a launch it missed is
        found by the counts at the end of the test)."""
        if self.changed_at is not None:
            # Not a wait for an effect: the promise is for shows that come
            # this late, and an earlier one may show the old list.
            time.sleep(max(0.0, self.changed_at + SETTLE + 0.1 - time.monotonic()))
        before = self.launches()
        self.toggle(env=env)
        if query:
            self.session.type_text(query)
        self.session.press("Return")
        if expected is None:
            self.session.press("Escape")
        else:
            wait_for(lambda: self.launches()[expected] > before[expected], TIMEOUT, message=f"{expected} to start")
        daemon.wait_for_no_surface()
        others = {p: n - before[p] for p, n in self.launches().items() if p != expected and n != before[p]}
        self.assertEqual(others, {})

    def test_desktop_files_added_changed_and_removed_are_seen_at_the_next_show(self):
        daemon = self.start_daemon()
        self.show_and_run(daemon, "novel", None)

        path = self.home.write_desktop_entry("Novel Probe", "novel-app", directory=self.system_apps)
        self.changed()
        self.show_and_run(daemon, "novel", "novel-app")

        # Rewritten in place: same file, same inode, new name.
        inode = os.stat(path).st_ino
        with open(path, "r+") as f:
            text = f.read().replace("Name=Novel Probe", "Name=Renamed Probe")
            f.seek(0)
            f.truncate()
            f.write(text)
        self.assertEqual(os.stat(path).st_ino, inode)
        self.changed()
        self.show_and_run(daemon, "renamed", "novel-app")
        self.show_and_run(daemon, "novel probe", None)

        os.unlink(path)
        self.changed()
        self.show_and_run(daemon, "renamed", None)
        self.show_and_run(daemon, "alpha", "alpha-app")
        # Once under each name, never after the file was removed.
        self.assertEqual(self.launches()["novel-app"], 2)

    def test_a_users_applications_directory_made_after_the_start_is_read(self):
        self.assertFalse(os.path.exists(self.user_apps))
        daemon = self.start_daemon()
        self.home.write_desktop_entry("Novel Probe", "novel-app")
        self.changed()
        self.show_and_run(daemon, "novel", "novel-app")

    def test_config_changes_are_seen_at_the_next_show(self):
        self.add_bravo_and_charlie()
        daemon = self.start_daemon()
        config = os.path.join(self.home.config_home, "lumenpad", "config.toml")
        # Without a context, launch counts decide: one each for Bravo and
        # Charlie, then the name.
        for text, expected in (('[[context]]\nname = "default"\npriority = ["bravo"]\n', "bravo-app"),
                               ('[[context]]\nname = "default"\npriority = ["charlie"]\n', "charlie-app"),
                               (None, "bravo-app")):
            with self.subTest(config=text):
                if text is None:
                    os.unlink(config)
                else:
                    self.home.write_file(config, text)
                self.changed()
                self.show_and_run(daemon, "", expected)

    def add_bravo_and_charlie(self):
        for name, program in (("Bravo Probe", "bravo-app"), ("Charlie Probe", "charlie-app")):
            self.home.write_desktop_entry(name, program, directory=self.system_apps)

    def test_each_show_takes_the_context_of_the_active_hyprland_workspace(self):
        self.add_bravo_and_charlie()
        self.home.write_file(os.path.join(self.home.config_home, "lumenpad", "config.toml"), CONTEXTS)
        env = {"HYPRLAND_INSTANCE_SIGNATURE": SIGNATURE}
        with FakeHyprland(self.session.runtime_dir, "dev") as hyprland:
            daemon = self.start_daemon(env=env)
            for workspace, expected in (("dev", "charlie-app"), ("web", "bravo-app"), ("dev", "charlie-app")):
                with self.subTest(workspace=workspace):
                    hyprland.workspace = workspace
                    asked = len(hyprland.requests)
                    self.show_and_run(daemon, "", expected, env=env)
                    self.assertGreater(len(hyprland.requests), asked, "the workspace was not asked at the show")
            self.assertEqual(set(hyprland.requests), {b"j/activeworkspace"})
            self.assertEqual(self.launches()["alpha-app"], 0)


if __name__ == "__main__":
    unittest.main()
