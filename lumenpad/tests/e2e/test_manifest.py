"""Icons from the manifest, end to end: a row shows the image file that
manifest.json names for its icon name, and the icon theme's image otherwise."""

import json
import os
import unittest

from home_tree import write_png
from launcher import LauncherTestCase
from sway_session import BACKGROUND

TIMEOUT = 20.0
FILE_COLOUR = (0xFF, 0x00, 0xFF)
THEME_COLOUR = (0x00, 0x00, 0xFF)
ICON_NAME = "zq-icon"
ICON_PIXELS = 32 * 32

# With the query typed, the two test entries are the only rows: from y 180 and
# y 228, 48 pixels each, their 32-pixel icons at the left (row box margin 6
# plus the row's padding 12, inside the list's padding 4). The area holds both
# icons and nothing else of colour.
ICONS_AREA = (352, 182, 404, 274)
# Under the second row, past the panel's shadow, the panel has ended.
BELOW_ROWS = (640, 340)


def count_colour(shot, colour, area):
    left, top, right, bottom = area
    pixels = shot.region(left, top, right, bottom)
    target = bytes(colour)
    return sum(1 for i in range(0, len(pixels), 3) if pixels[i : i + 3] == target)


class ManifestIconTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.image = os.path.join(self.tmp, "images", "icon.png")
        write_png(self.image, FILE_COLOUR)
        # The icon theme's image for the same name, found as an unthemed icon
        # in the user's icon directory.
        write_png(os.path.join(self.home.data_home, "icons", ICON_NAME + ".png"), THEME_COLOUR)
        for name in ("Zqxmarker", "Zqxsecond"):
            self.home.write_desktop_entry(name, "true", Icon=ICON_NAME)

    def write_manifest(self, text):
        self.home.write_file(os.path.join(self.home.cache_home, "lumenpad", "manifest.json"), text)

    def shown_icons(self, expected, unexpected):
        """Starts the launcher, narrows the list to the test entries and
        returns the screenshot once both rows show the expected colour, or
        either shows the unexpected one."""
        launcher = self.start_launcher()

        def only_test_rows(shot):
            if not launcher.running():
                raise AssertionError(f"the launcher exited; stderr:\n{launcher.stderr()}")
            return shot.pixel(*BELOW_ROWS) == BACKGROUND and (
                count_colour(shot, expected, ICONS_AREA) == 2 * ICON_PIXELS
                or count_colour(shot, unexpected, ICONS_AREA) > 0)

        # Stopped even when a case fails: a launcher left open would make the
        # next case's start close it instead.
        try:
            launcher.wait_for_surface()
            self.session.type_text("zqx")
            return self.session.wait_for_screen(only_test_rows, TIMEOUT, message="the two test rows")
        finally:
            launcher.stop()
            launcher.wait_for_no_surface()

    def test_a_mapped_image_file_replaces_the_named_icon_in_every_row_with_that_name(self):
        self.write_manifest(json.dumps({"other-icon": "/nonexistent.png", ICON_NAME: self.image}))
        shot = self.shown_icons(FILE_COLOUR, THEME_COLOUR)
        self.assertEqual(count_colour(shot, FILE_COLOUR, ICONS_AREA), 2 * ICON_PIXELS)
        self.assertEqual(count_colour(shot, THEME_COLOUR, ICONS_AREA), 0)

    def test_unusable_mappings_leave_the_icon_names_in_use(self):
        not_an_image = os.path.join(self.tmp, "images", "notes.txt")
        with open(not_an_image, "w") as f:
            f.write("not an image\n")
        dangling = os.path.join(self.tmp, "images", "dangling.png")
        os.symlink(os.path.join(self.tmp, "images", "gone.png"), dangling)
        cases = [
            ("missing file", json.dumps({ICON_NAME: os.path.join(self.tmp, "images", "missing.png")})),
            ("link to a missing file", json.dumps({ICON_NAME: dangling})),
            ("file that is no image", json.dumps({ICON_NAME: not_an_image})),
            ("a number among the values", json.dumps({ICON_NAME: self.image, "other-icon": 3})),
            ("name differing in case", json.dumps({ICON_NAME.upper(): self.image})),
            ("text after the object", json.dumps({ICON_NAME: self.image}) + " x"),
        ]
        for name, manifest in cases:
            with self.subTest(name):
                self.write_manifest(manifest)
                shot = self.shown_icons(THEME_COLOUR, FILE_COLOUR)
                self.assertEqual(count_colour(shot, THEME_COLOUR, ICONS_AREA), 2 * ICON_PIXELS)
                self.assertEqual(count_colour(shot, FILE_COLOUR, ICONS_AREA), 0)


if __name__ == "__main__":
    unittest.main()
