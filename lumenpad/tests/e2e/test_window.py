"""The launcher window end to end: the overlay surface and its panel, typing,
keyboard navigation, launching, closing, and the pid file."""

import os
import unittest

from launcher import PANEL_LEFT, PANEL_RIGHT, PANEL_TOP, LauncherTestCase
from sway_session import BACKGROUND, OUTPUT_HEIGHT, OUTPUT_WIDTH, wait_for

TIMEOUT = 20.0
FIELD = (0x45, 0x47, 0x5A)
# A point of the first row, under the 56-pixel search field, right of its
# name; a selected row shows the field's surface colour there.
FIRST_ROW = (800, PANEL_TOP + 84)


def process_gone(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except FileNotFoundError:
        return True


class WindowTest(LauncherTestCase):

    def open_launcher(self, env=None):
        launcher = self.start_launcher(env=env)
        shot = launcher.wait_for_surface(TIMEOUT)
        return launcher, shot

    def test_panel_is_600_pixels_wide_120_below_the_top_on_a_transparent_overlay(self):
        self.home.write_desktop_entry("Zulu Panel", "true")
        _, shot = self.open_launcher()
        row = 150
        field = [x for x in range(OUTPUT_WIDTH) if shot.pixel(x, row) == FIELD]
        self.assertEqual((field[0], field[-1]), (PANEL_LEFT, PANEL_RIGHT - 1))
        column = [y for y in range(OUTPUT_HEIGHT) if shot.pixel(640, y) == FIELD]
        self.assertEqual(column[0], PANEL_TOP)
        # Away from the panel and its shadow the compositor's background shows.
        for x, y in ((10, 10), (100, 400), (1270, 790), (640, 60), (200, 700)):
            self.assertEqual(shot.pixel(x, y), BACKGROUND, (x, y))

    def test_return_launches_the_best_match_through_bash(self):
        self.home.stub("zulu-editor")
        self.home.stub("zulu-other")
        self.home.write_desktop_entry("Zulu Notes", "zulu-other %U")
        self.home.write_desktop_entry("Zulu Editor", "zulu-editor --new 'two words' %F")
        launcher, _ = self.open_launcher()
        self.assertTrue(os.path.exists(self.pid_file))
        self.session.type_text("zulu edit")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        calls = self.home.wait_for_calls("zulu-editor")
        # The shell took the quoting apart; the field codes are gone.
        self.assertEqual(calls[0][1:], ["--new", "two words"])
        self.assertEqual(self.home.calls("zulu-other"), [])
        self.assertFalse(os.path.exists(self.pid_file))

    def test_down_stops_at_the_last_row_and_up_moves_back(self):
        for name in ("Zulu Alpha", "Zulu Beta", "Zulu Gamma"):
            stub = name.lower().replace(" ", "-")
            self.home.stub(stub)
            self.home.write_desktop_entry(name, stub)
        self.home.stub("yankee-zulu")
        self.home.write_desktop_entry("Yankee Zulu", "yankee-zulu")
        launcher, _ = self.open_launcher()
        # Order: the three prefix matches by name, then the substring match.
        self.session.type_text("zulu")
        # Down four times from the first row stops at the last; Up goes back one.
        for key in ("Down", "Down", "Down", "Down", "Up"):
            self.session.press(key)
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.home.wait_for_calls("zulu-gamma")
        self.assertEqual(self.home.calls("zulu-alpha") + self.home.calls("zulu-beta") +
                         self.home.calls("yankee-zulu"), [])

    def test_down_moves_over_the_rows_the_filter_left(self):
        for name in ("Zulu Alpha", "Zulu Mid", "Zulu Also"):
            stub = name.lower().replace(" ", "-")
            self.home.stub(stub)
            self.home.write_desktop_entry(name, stub)
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu al")
        self.session.press("Down")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        # Visible in order: Zulu Alpha, Zulu Also; Zulu Mid matches nothing.
        self.home.wait_for_calls("zulu-also")
        self.assertEqual(self.home.calls("zulu-mid"), [])

    def test_the_list_scrolls_to_keep_the_selection_in_view(self):
        for i in range(20):
            self.home.stub(f"zulu-{i:02}")
            self.home.write_desktop_entry(f"Zulu {i:02}", f"zulu-{i:02}")
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu")
        for _ in range(15):
            self.session.press("Down")
        # Twenty rows overflow the 480-pixel list; the selected row, drawn in
        # the surface colour, must still be on view.
        list_top = PANEL_TOP + 60

        def selection_on_view():
            # Once the moves have been drawn the first row is no longer the
            # selected one, and some other row on view is.
            shot = self.session.screenshot()
            selected = sum(shot.pixel(FIRST_ROW[0], y) == FIELD for y in range(list_top, list_top + 480))
            return shot.pixel(*FIRST_ROW) != FIELD and selected > 20

        wait_for(selection_on_view, TIMEOUT, message="the selected row on view")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.home.wait_for_calls("zulu-15")

    def test_escape_closes_without_launching(self):
        self.home.stub("zulu-esc")
        self.home.write_desktop_entry("Zulu Esc", "zulu-esc")
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu")
        self.session.press("Escape")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertFalse(os.path.exists(self.pid_file))
        self.assertEqual(self.home.calls("zulu-esc"), [])
        launcher_history = os.path.join(self.home.cache_home, "lumenpad", "history.json")
        self.assertFalse(os.path.exists(launcher_history))

    def test_a_click_outside_the_panel_closes_and_one_inside_does_not(self):
        self.home.stub("zulu-click")
        self.home.write_desktop_entry("Zulu Click", "zulu-click")
        # A second row, for the query to take away.
        self.home.write_desktop_entry("Yankee Other", "true")
        launcher, shot = self.open_launcher()
        # On the search field: inside the panel, nothing happens.
        self.session.click(640, PANEL_TOP + 20)
        # Events arrive in order: once the typed query has been drawn (a single
        # row left, so the second row's place changes), the click before it has
        # been handled.
        self.session.type_text("zulu click")
        second_row = (FIRST_ROW[0], FIRST_ROW[1] + 48)
        before = shot.pixel(*second_row)
        wait_for(lambda: self.session.screenshot().pixel(*second_row) != before, TIMEOUT)
        self.assertTrue(launcher.running())
        self.session.click(100, 600)
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertFalse(os.path.exists(self.pid_file))
        self.assertEqual(self.home.calls("zulu-click"), [])
        launcher.wait_for_no_surface(TIMEOUT)

    def test_a_click_on_a_row_launches_it(self):
        self.home.stub("zulu-row")
        self.home.write_desktop_entry("Zulu Row", "zulu-row")
        self.home.write_desktop_entry("Yankee Other", "true")
        launcher, shot = self.open_launcher()
        second_row = (FIRST_ROW[0], FIRST_ROW[1] + 48)
        before = shot.pixel(*second_row)
        self.session.type_text("zulu row")
        wait_for(lambda: self.session.screenshot().pixel(*second_row) != before, TIMEOUT)
        self.session.click(*FIRST_ROW)
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.home.wait_for_calls("zulu-row")

    def test_terminal_entries_start_in_the_chosen_terminal(self):
        self.home.stub("foot")
        self.home.write_desktop_entry("Zulu Top", "  htop -d 10  ", Terminal=True)
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu top")
        self.session.press("KP_Enter")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        calls = self.home.wait_for_calls("foot")
        self.assertEqual(calls[0][1:], ["-e", "bash", "-c", "htop -d 10"])

    def test_the_launched_programs_output_does_not_reach_the_launcher(self):
        self.home.stub("zulu-noisy")
        self.home.write_desktop_entry("Zulu Noisy",
                                      "sh -c 'echo NOISE-OUT; echo NOISE-ERR >&2; exec zulu-noisy'")
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu noisy")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.home.wait_for_calls("zulu-noisy")
        self.assertNotIn("NOISE", launcher.stderr())
        self.assertNotIn("NOISE", launcher.stdout())

    def test_shift_return_acts_as_return(self):
        self.home.stub("zulu-shift")
        self.home.write_desktop_entry("Zulu Shift", "zulu-shift")
        launcher, _ = self.open_launcher()
        self.session.type_text("zulu shift")
        self.session.hold("shift")
        self.session.press("Return")
        self.session.hold("shift", down=False)
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.home.wait_for_calls("zulu-shift")


if __name__ == "__main__":
    unittest.main()
