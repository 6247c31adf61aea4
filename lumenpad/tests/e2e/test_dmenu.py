"""dmenu mode end to end: lines piped in, one chosen and printed; the
options of the command line; and the launcher's own files left alone."""

import os
import pty
import unittest

from launcher import PANEL, LauncherTestCase
from sway_session import BACKGROUND

TIMEOUT = 20.0
LINES = b"reboot\nshutdown\n\nsuspend\r\nlock screen\n"
RED = (0xFF, 0x00, 0x00)


class DmenuTest(LauncherTestCase):

    def test_a_query_and_return_print_the_line_chosen(self):
        menu = self.start_launcher(args=["--dmenu", "--prompt", "Power"], stdin=LINES)
        menu.wait_for_surface(TIMEOUT)
        self.session.type_text("s")
        # "shutdown" and "suspend" start with it; "lock screen" only contains it.
        self.session.press("Down")
        self.session.press("Return")
        self.assertEqual(menu.wait_exit(TIMEOUT), 0)
        self.assertEqual(menu.stdout(), "suspend\n")

    def test_lines_keep_their_order_within_a_tier(self):
        menu = self.start_launcher(args=["--dmenu"], stdin=b"zz two\nzz one\nxzz three\n")
        menu.wait_for_surface(TIMEOUT)
        self.session.type_text("zz")
        self.session.press("Return")
        self.assertEqual(menu.wait_exit(TIMEOUT), 0)
        self.assertEqual(menu.stdout(), "zz two\n")

    def test_escape_prints_nothing_and_exits_1(self):
        menu = self.start_launcher(args=["--dmenu"], stdin=LINES)
        menu.wait_for_surface(TIMEOUT)
        self.session.type_text("reb")
        self.session.press("Escape")
        self.assertEqual(menu.wait_exit(TIMEOUT), 1)
        self.assertEqual(menu.stdout(), "")

    def test_return_without_a_match_does_nothing(self):
        menu = self.start_launcher(args=["--dmenu"], stdin=LINES)
        menu.wait_for_surface(TIMEOUT)
        self.session.type_text("qqq")
        self.session.press("Return")
        self.session.press("Escape")
        self.assertEqual(menu.wait_exit(TIMEOUT), 1)
        self.assertEqual(menu.stdout(), "")

    def test_a_menu_leaves_an_open_launcher_and_its_pid_file_alone(self):
        # Which of two overlays gets the keyboard and which is drawn on top
        # (and so takes the pointer) is the compositor's choice: sway 1.7
        # keeps the older one first, 1.10 the newer. The menu, its field red,
        # opens after the launcher and then, if the launcher stayed on top,
        # before it; once it is on top, a click outside its panel closes it.
        menu_config = os.path.join(self.tmp, "menu-config")
        self.home.write_file(os.path.join(menu_config, "lumenpad", "style.css"),
                             "entry.search { background-color: #ff0000; }")
        self.home.write_desktop_entry("Zulu Menu", "true")
        # The later of the two panels is the taller: the part of it below the
        # other one's panel shows that it is on screen, under or over.
        menu_rows = (PANEL[0], PANEL[1] + 210, PANEL[2], PANEL[1] + 250)
        launcher_rows = (PANEL[0], PANEL[1] + 350, PANEL[2], PANEL[1] + 440)

        def start_menu():
            return self.start_launcher(args=["--dmenu"], stdin=LINES, env={"XDG_CONFIG_HOME": menu_config})

        for menu_first in (False, True):
            if menu_first:
                for i in range(2, 9):
                    self.home.write_desktop_entry(f"Zulu Menu {i}", "true")
                menu = start_menu()
                menu.wait_for_surface(TIMEOUT)
                launcher = self.start_launcher()
                later = launcher_rows
            else:
                launcher = self.start_launcher()
                launcher.wait_for_surface(TIMEOUT)
                menu = start_menu()
                later = menu_rows
            shot = self.session.wait_for_screen(lambda shot: shot.count_not(BACKGROUND, *later, step=4) > 0,
                                                TIMEOUT, message="the second panel")
            self.assertTrue(launcher.running())
            with open(self.pid_file) as f:
                pid = f.read()
            if all(abs(a - b) <= 2 for a, b in zip(shot.pixel(640, PANEL[1] + 4), RED)):
                break
            menu.stop()
            launcher.stop()
            launcher.wait_for_no_surface(TIMEOUT)
        else:
            self.fail("the menu was never drawn over the launcher")

        self.session.click(100, 600)
        self.assertEqual(menu.wait_exit(TIMEOUT), 1)
        self.assertEqual(menu.stdout(), "")
        self.assertTrue(launcher.running())
        with open(self.pid_file) as f:
            self.assertEqual(f.read(), pid)

    def test_a_terminal_on_standard_input_is_an_error(self):
        controller, terminal = pty.openpty()
        self.addCleanup(os.close, controller)
        with os.fdopen(terminal, "rb") as stdin:
            menu = self.start_launcher(args=["--dmenu"], stdin=stdin)
            self.assertEqual(menu.wait_exit(TIMEOUT), 2)
        self.assertIn("lumenpad: --dmenu chooses among the lines of standard input", menu.stderr())

    def test_help_version_and_bad_options_open_nothing_and_touch_no_launcher(self):
        self.home.write_desktop_entry("Zulu Options", "true")
        launcher = self.start_launcher()
        launcher.wait_for_surface(TIMEOUT)
        cases = [(["--help"], 0, "Usage: lumenpad [--daemon | --dmenu [--prompt TEXT]]", ""),
                 (["--version"], 0, "lumenpad ", ""),
                 (["--frobnicate"], 2, "", "lumenpad: unknown option '--frobnicate'"),
                 (["firefox"], 2, "", "lumenpad: unexpected argument 'firefox'"),
                 (["--prompt", "x"], 2, "", "lumenpad: option '--prompt' works only with '--dmenu'"),
                 (["--daemon", "--dmenu"], 2, "", "lumenpad: option '--daemon' does not work with '--dmenu'")]
        for args, status, out, err in cases:
            with self.subTest(args=args):
                other = self.start_launcher(args=args)
                self.assertEqual(other.wait_exit(TIMEOUT), status)
                self.assertIn(out, other.stdout())
                self.assertIn(err, other.stderr())
                self.assertTrue(launcher.running())
                self.assertTrue(os.path.exists(self.pid_file))


if __name__ == "__main__":
    unittest.main()
