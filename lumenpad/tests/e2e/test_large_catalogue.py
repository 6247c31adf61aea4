"""A catalogue of thousands of applications: what is typed at once acts on
all of them, and a held Down key runs the selection through every row."""

import json
import os
import unittest

from home_tree import write_png
from launcher import PANEL_LEFT, PANEL_TOP, LauncherTestCase

TIMEOUT = 30.0
ENTRIES = 5000
# Alphabetically after every other entry, the machine's own included: the
# last row of the initial order.
LAST = ("Zzz Last Probe", "zzz-last")
# The last entry's icon, from the manifest: a colour no other row shows.
LAST_ICON_COLOUR = (0xFF, 0x00, 0xFF)
SELECTED = (0x45, 0x47, 0x5A)
# Icons sit 22 pixels into the panel (list padding 4, row padding 12, row
# box margin 6), 32 pixels wide; right of the names the selected row shows
# its surface colour.
ICON_X = PANEL_LEFT + 22 + 16
ROW_X = 800


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
        self.home.write_desktop_entry(LAST[0], LAST[1], Icon="zq-last")
        icon = os.path.join(self.tmp, "images", "last.png")
        write_png(icon, LAST_ICON_COLOUR)
        self.home.write_file(os.path.join(cache, "manifest.json"), json.dumps({"zq-last": icon}))

    def test_a_query_and_return_at_once_start_the_last_entry_after_writing_the_history(self):
        launcher = self.start_launcher()
        launcher.wait_for_panel(TIMEOUT)
        self.session.type_text("zzz last")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertEqual(self.home.wait_for_calls(LAST[1] + "-stub"), [[self.stub]])
        with open(self.history_at_launch) as f:
            self.assertEqual(json.load(f), {LAST[0]: 1})

    def test_down_held_moves_the_selection_to_the_last_row(self):
        launcher = self.start_launcher()
        launcher.wait_for_surface(TIMEOUT)
        # A fast repeat, so that the run through 5,000 rows takes seconds.
        self.session.set_key_repeat(2000, 200)
        self.addCleanup(self.session.set_key_repeat, 25, 600)

        def last_row_selected(shot):
            rows = [y for y in range(PANEL_TOP + 60, PANEL_TOP + 600, 2)
                    if shot.pixel(ICON_X, y) == LAST_ICON_COLOUR]
            return bool(rows) and all(shot.pixel(ROW_X, y) == SELECTED for y in rows)

        self.session.hold_key("Down")
        try:
            self.session.wait_for_screen(last_row_selected, 120.0, message="the last row selected")
        finally:
            self.session.hold_key("Down", down=False)
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertEqual(self.home.wait_for_calls(LAST[1] + "-stub"), [[self.stub]])

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
