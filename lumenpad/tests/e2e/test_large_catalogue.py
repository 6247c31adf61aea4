"""A catalogue of thousands of applications: the launcher shows its panel
before every row is built, and what is typed at once acts on all of them."""

import json
import os
import unittest

from launcher import LauncherTestCase

TIMEOUT = 30.0
ENTRIES = 5000
# Alphabetically after every other entry, the machine's own included: the
# last row of the initial order, the last to be built.
LAST = ("Zzz Last Probe", "zzz-last")


class LargeCatalogueTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        for i in range(ENTRIES - 1):
            self.home.write_desktop_entry(f"Filler {i:04}", "true")
        self.stub = self.home.stub(LAST[1] + "-stub")
        # Keeps what the history file held when the program started.
        cache = os.path.join(self.home.cache_home, "lumenpad")
        os.makedirs(cache)
        self.history = os.path.join(cache, "history.json")
        self.history_at_launch = os.path.join(self.tmp, "history-at-launch.json")
        self.home.write_file(os.path.join(self.home.bin, LAST[1]),
                             f"#!/bin/sh\ncp '{self.history}' '{self.history_at_launch}'\nexec '{self.stub}'\n",
                             mode=0o755)
        self.home.write_desktop_entry(LAST[0], LAST[1])

    def test_a_query_and_return_at_once_start_the_last_entry_after_writing_the_history(self):
        launcher = self.start_launcher()
        launcher.wait_for_panel(TIMEOUT)
        self.session.type_text("zzz last")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertEqual(self.home.wait_for_calls(LAST[1] + "-stub"), [[self.stub]])
        with open(self.history_at_launch) as f:
            self.assertEqual(json.load(f), {LAST[0]: 1})

    def test_escape_at_once_closes_cleanly(self):
        launcher = self.start_launcher()
        launcher.wait_for_panel(TIMEOUT)
        self.session.press("Escape")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertEqual(launcher.stderr(), "")
        self.assertFalse(os.path.exists(self.pid_file))
        launcher.wait_for_no_surface(TIMEOUT)

    def test_without_a_display_it_says_so_and_exits_while_the_catalogue_is_read(self):
        launcher = self.start_launcher(env={"WAYLAND_DISPLAY": "lumenpad-no-such-display", "DISPLAY": None})
        self.assertEqual(launcher.wait_exit(TIMEOUT), 1)
        self.assertIn("cannot open display", launcher.stderr())


if __name__ == "__main__":
    unittest.main()
