"""Inputs past every sensible size, end to end: a window class or a name of
megabytes, a keyword bomb, a stylesheet of half a million rules, a locale
name that is not UTF-8, and a menu line of 16 MiB. Each time the panel
appears at its own width, an ordinary entry beside the hostile one still
launches, and standard error holds no GTK critical or sanitizer report (the
harness checks that after every test)."""

import os
import subprocess
import unittest

from launcher import LauncherTestCase
from sway_session import BACKGROUND, OUTPUT_HEIGHT, OUTPUT_WIDTH

TIMEOUT = 30.0
NORMAL = ("Zulu Normal", "zulu-normal")
# Left and right of the 600-pixel panel, past its shadow: nothing of the
# launcher's may show there.
BESIDE_PANEL = ((0, 0, 250, OUTPUT_HEIGHT), (1030, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT))
MENU_LINE_BYTES = 16 * 1024 * 1024 - 64
SVG = ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32">'
       '<rect width="32" height="32" fill="#ff00ff"/></svg>')

SVG_MIME = """<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="image/svg+xml">
    <magic priority="80"><match type="string" value="&lt;svg" offset="0"/></magic>
    <glob pattern="*.svg"/>
  </mime-type>
</mime-info>
"""


class BoundedInputsTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.home.stub(NORMAL[1])
        self.home.write_desktop_entry(NORMAL[0], NORMAL[1])

    def assert_panel_within_its_column(self, shot):
        for area in BESIDE_PANEL:
            self.assertEqual(shot.count_not(BACKGROUND, *area, step=4), 0,
                             f"the launcher drew outside its column at {area}")

    def open_and_launch(self, query, program, env=None):
        """Opens the launcher, checks the panel's width, types query, presses
        Return and returns the calls of program that this made."""
        before = len(self.home.calls(program))
        launcher = self.start_launcher(env=env)
        self.assert_panel_within_its_column(launcher.wait_for_surface(TIMEOUT))
        self.session.type_text(query)
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        launcher.wait_for_no_surface()
        return self.home.wait_for_calls(program, before + 1, TIMEOUT)[before:]

    def test_a_window_class_of_thousands_of_characters(self):
        for length in (4_000, 30_000):
            with self.subTest(length=length):
                self.home.write_desktop_entry("Zulu Class", "zulu-class", StartupWMClass="c" * length)
                self.assertEqual(len(self.open_and_launch("zulu norm", NORMAL[1])), 1)
        # The hostile entry itself launches, matched by its whole class.
        self.home.stub("zulu-class")
        self.assertEqual(self.open_and_launch("c" * 60, "zulu-class"), [[os.path.join(self.home.bin,
                                                                                      "zulu-class")]])

    def test_a_name_of_4_mib(self):
        self.home.stub("zulu-long")
        self.home.write_desktop_entry("Zulu Long " + "n" * (4 * 1024 * 1024), "zulu-long",
                                      file_name="long.desktop")
        self.assertEqual(len(self.open_and_launch("zulu norm", NORMAL[1])), 1)
        # Matched by the whole name, well past what the row shows.
        self.assertEqual(len(self.open_and_launch("zulu long nnn", "zulu-long")), 1)

    def test_a_keyword_bomb(self):
        self.home.stub("zulu-bomb")
        self.home.write_desktop_entry("Zulu Bomb", "zulu-bomb",
                                      Keywords="".join(f"kw{i};" for i in range(100_000)))
        self.assertEqual(len(self.open_and_launch("zulu norm", NORMAL[1])), 1)
        # The 256th keyword is kept.
        self.assertEqual(len(self.open_and_launch("kw255", "zulu-bomb")), 1)

    def test_stylesheets_of_half_a_million_rules(self):
        rules = "* { color: red; }\n" * 500_000
        self.home.write_file(os.path.join(self.home.config_home, "lumenpad", "style.css"), rules)
        theme = os.path.join(self.session.runtime_dir, "oriel", "theme.css")
        os.makedirs(os.path.dirname(theme), exist_ok=True)
        with open(theme, "w") as f:
            f.write(rules)
        self.assertEqual(len(self.open_and_launch("zulu norm", NORMAL[1])), 1)

    def test_locale_names_that_are_not_utf8(self):
        # An SVG icon: librsvg reads the locale's name when it loads one. The
        # image loaders know SVG through the MIME database: a private one.
        self.home.write_file(os.path.join(self.home.data_home, "icons", "zq-svg.svg"), SVG)
        mime = os.path.join(self.home.data_home, "mime")
        self.home.write_file(os.path.join(mime, "packages", "svg.xml"), SVG_MIME)
        subprocess.run(["update-mime-database", mime], check=True, capture_output=True)
        self.home.stub("zulu-locale")
        self.home.write_desktop_entry("Zulu Locale", 'zulu-locale "$LANG" "${LC_ALL-unset}"', Icon="zq-svg")
        bad = "de_DE.\udcff"
        unset = {name: None for name in ("LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG")}
        for variable in ("LANG", "LC_MESSAGES", "LC_ALL"):
            with self.subTest(variable=variable):
                env = {**unset, variable: bad}
                self.assertEqual(len(self.open_and_launch("zulu norm", NORMAL[1], env=env)), 1)
        # The program launched gets the variables as they were.
        calls = self.open_and_launch("zulu loc", "zulu-locale", env={**unset, "LANG": bad, "LC_ALL": bad})
        self.assertEqual(calls[0][1:], [bad, bad])

    def test_a_menu_line_of_16_mib(self):
        line = b"m" * MENU_LINE_BYTES
        for query, chosen in (("zulu", b"zulu normal\n"), ("", line + b"\n")):
            with self.subTest(query=query):
                menu = self.start_launcher(args=["--dmenu"], stdin=line + b"\nzulu normal\n")
                self.assert_panel_within_its_column(menu.wait_for_surface(TIMEOUT))
                if query:
                    self.session.type_text(query)
                self.session.press("Return")
                self.assertEqual(menu.wait_exit(TIMEOUT), 0)
                # Printed whole, and no warning: the input is within the bounds.
                with open(menu.stdout_path, "rb") as f:
                    self.assertEqual(f.read(), chosen)
                self.assertEqual(menu.stderr(), "")
                menu.wait_for_no_surface()


if __name__ == "__main__":
    unittest.main()
