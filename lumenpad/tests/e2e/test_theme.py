"""The launcher's look, end to end: the palette, the shared theme file and its
live reload, and the user's style.css, checked by sampling screen colours.

GTK resolves a property by provider priority first and, between providers of
the same priority, lets the one added later win; selector specificity only
counts inside one provider. The launcher's stylesheet is added after the shared
one, so a theme file cannot override a property that the launcher sets; the
markers written into the theme file below use properties the launcher leaves
alone (background-image).
"""

import collections
import ctypes
import json
import os
import struct
import unittest

from launcher import LauncherTestCase
from sway_session import BACKGROUND

TIMEOUT = 20.0

DEFAULT_SURFACE = (0x45, 0x47, 0x5A)
DEFAULT_BACKGROUND = (0x1E, 0x1E, 0x2E)
RED = (0xFF, 0x00, 0x00)
GREEN = (0x00, 0xFF, 0x00)
BLUE = (0x00, 0x00, 0xFF)
YELLOW = (0xFF, 0xFF, 0x00)
BROWN = (0x80, 0x40, 0x00)

# Where the panel's parts lie on the 1280x800 output: the column spans x 340 to
# 939; the search field y 120 to 175; under it the list's 4-pixel padding, then
# the first row (selected) from y 180. The points lie in padding, away from the
# field's icon, placeholder and caret and from the row's icon and labels.
FIELD_LEFT, FIELD_RIGHT, FIELD_TOP, FIELD_BOTTOM = 340, 939, 120, 175
FIELD_POINTS = ((640, 124), (640, 172), (930, 150))
LIST_PADDING = (640, 177)
SELECTED_ROW = (640, 183)
# The field's magnifier icon: the generated shared stylesheet inks it in
# on-surface, GTK's own theme draws it dimmer.
SEARCH_ICON = (350, 136, 378, 160)
ON_SURFACE = (0xF5, 0xF5, 0xF5)


def colour_text(rgb):
    return "#%02x%02x%02x" % rgb


def fill(rgb):
    """A background-image value that paints one flat colour."""
    return f"linear-gradient({colour_text(rgb)}, {colour_text(rgb)})"


def over_background(rgb, alpha):
    """rgb drawn with alpha over the output's background."""
    return tuple(round(c * alpha + b * (1 - alpha)) for c, b in zip(rgb, BACKGROUND))


def near(actual, expected, tolerance=2):
    return all(abs(a - e) <= tolerance for a, e in zip(actual, expected))


# The translucent panel (the palette's background at 60 %) over the output.
DEFAULT_PANEL = over_background(DEFAULT_BACKGROUND, 0.6)


class OpenCounter:
    """Counts the opens of files in a few directories, through inotify: how
    often the launcher read a file tells how often it reacted to a change."""

    IN_OPEN = 0x20
    EVENT_HEADER = struct.Struct("iIII")

    def __init__(self, *directories):
        libc = ctypes.CDLL(None, use_errno=True)
        self.fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1 failed")
        self.directories = {}
        for directory in directories:
            wd = libc.inotify_add_watch(self.fd, os.fsencode(directory), self.IN_OPEN)
            if wd < 0:
                os.close(self.fd)
                raise OSError(ctypes.get_errno(), f"cannot watch {directory}")
            self.directories[wd] = directory
        self.counts = collections.Counter()

    def close(self):
        os.close(self.fd)

    def opens(self, path):
        """How often path was opened since the watch began."""
        while True:
            try:
                data = os.read(self.fd, 65536)
            except BlockingIOError:
                break
            pos = 0
            while pos < len(data):
                wd, mask, _, length = self.EVENT_HEADER.unpack_from(data, pos)
                pos += self.EVENT_HEADER.size
                name = data[pos : pos + length].rstrip(b"\0")
                pos += length
                if mask & self.IN_OPEN and name:
                    self.counts[os.path.join(self.directories[wd], os.fsdecode(name))] += 1
        return self.counts[path]


class ThemeTestCase(LauncherTestCase):
    def setUp(self):
        super().setUp()
        # The one row, selected, whose colours the tests sample.
        self.home.write_desktop_entry("Zulu Theme", "true")

    @property
    def theme_dir(self):
        return os.path.join(self.session.runtime_dir, "oriel")

    @property
    def theme_file(self):
        return os.path.join(self.theme_dir, "theme.css")

    @property
    def wal_dir(self):
        return os.path.join(self.home.cache_home, "wal")

    def write_theme(self, css, rename=False):
        """Writes the theme file in place, or as a temporary file in the same
        directory renamed onto it, as editors save."""
        os.makedirs(self.theme_dir, exist_ok=True)
        if not rename:
            with open(self.theme_file, "w") as f:
                f.write(css)
            return
        temporary = os.path.join(self.theme_dir, ".theme.css.new")
        with open(temporary, "w") as f:
            f.write(css)
        os.rename(temporary, self.theme_file)

    def write_colours(self, document):
        os.makedirs(self.wal_dir, exist_ok=True)
        with open(os.path.join(self.wal_dir, "colors.json"), "w") as f:
            f.write(json.dumps(document))

    def wait_for_look(self, launcher, expected, message):
        """Captures the screen until every point of expected shows its colour
        (within 2 per channel); returns that screenshot."""

        def matches(shot):
            if not launcher.running():
                raise AssertionError(f"the launcher exited with status {launcher.process.returncode}; "
                                     f"stderr:\n{launcher.stderr()}")
            return all(near(shot.pixel(*point), colour) for point, colour in expected.items())

        return self.session.wait_for_screen(matches, TIMEOUT, message=message)

    def assert_look(self, shot, expected):
        actual = {point: shot.pixel(*point) for point in expected}
        wrong = {p: (actual[p], c) for p, c in expected.items() if not near(actual[p], c)}
        self.assertEqual(wrong, {}, "points whose colour (actual, expected) is off")


def field_look(colour):
    return {point: colour for point in FIELD_POINTS}


def search_icon_inked(shot):
    """Whether the generated shared stylesheet coloured the search icon."""
    return bytes(ON_SURFACE) in [bytes(shot.pixel(x, y)) for x in range(SEARCH_ICON[0], SEARCH_ICON[2])
                                 for y in range(SEARCH_ICON[1], SEARCH_ICON[3])]


class PaletteLookTest(ThemeTestCase):
    def test_default_palette_gives_a_borderless_field_fused_to_the_list(self):
        shot = self.start_launcher().wait_for_surface()
        self.assert_look(shot, {**field_look(DEFAULT_SURFACE), SELECTED_ROW: DEFAULT_SURFACE,
                                LIST_PADDING: DEFAULT_PANEL})
        self.assertTrue(search_icon_inked(shot), "the generated shared stylesheet is not in effect")

        # The field's outermost pixels carry its own colour: no border line of
        # the shared entry rule (overlay, or accent while focused).
        edges = [(x, y) for x in range(FIELD_LEFT + 10, FIELD_RIGHT - 9, 5) for y in (FIELD_TOP, FIELD_BOTTOM)]
        edges += [(x, y) for y in range(FIELD_TOP + 8, FIELD_BOTTOM - 3, 3) for x in (FIELD_LEFT, FIELD_RIGHT)]
        off = [(p, shot.pixel(*p)) for p in edges if shot.pixel(*p) != DEFAULT_SURFACE]
        self.assertEqual(off, [], "field edge pixels that are not the field's colour")
        # ... and they are its outermost: just outside, the field ends.
        for point in ((640, FIELD_TOP - 1), (FIELD_LEFT - 1, 150), (FIELD_RIGHT + 1, 150)):
            self.assertNotEqual(shot.pixel(*point), DEFAULT_SURFACE, point)

        # Rounded at the top, square at the bottom where it meets the list.
        for corner in ((FIELD_LEFT, FIELD_TOP), (FIELD_RIGHT, FIELD_TOP)):
            self.assertNotEqual(shot.pixel(*corner), DEFAULT_SURFACE, corner)
        for corner in ((FIELD_LEFT, FIELD_BOTTOM), (FIELD_RIGHT, FIELD_BOTTOM)):
            self.assertEqual(shot.pixel(*corner), DEFAULT_SURFACE, corner)

        # Right under the field, across the whole column, the panel: no line
        # and no gap between the field and the list.
        under = [(x, shot.pixel(x, FIELD_BOTTOM + 1)) for x in range(FIELD_LEFT, FIELD_RIGHT + 1)]
        self.assertEqual([(x, c) for x, c in under if not near(c, DEFAULT_PANEL)], [])

    def test_wal_colours_set_the_look_at_start(self):
        cases = [
            ("color0 and background", {"special": {"background": "#000000"}, "colors": {"color0": "#804000"}},
             BROWN, over_background((0, 0, 0), 0.6)),
            ("only color0, the rest default", {"special": None, "colors": {"color0": "#804000"}},
             BROWN, DEFAULT_PANEL),
            ("a number among the colours discards the file",
             {"special": {"background": "#000000"}, "colors": {"color0": "#804000", "color9": 5}},
             DEFAULT_SURFACE, DEFAULT_PANEL),
        ]
        for name, document, surface, panel in cases:
            with self.subTest(name):
                self.write_colours(document)
                launcher = self.start_launcher()
                # Stopped even when a case fails: a launcher left open would
                # make the next case's start close it instead.
                try:
                    shot = launcher.wait_for_surface()
                finally:
                    launcher.stop()
                    launcher.wait_for_no_surface()
                self.assert_look(shot, {**field_look(surface), SELECTED_ROW: surface, LIST_PADDING: panel})


class LiveReloadTest(ThemeTestCase):
    def test_theme_file_written_renamed_onto_and_deleted_restyles_the_open_launcher(self):
        launcher = self.start_launcher()
        generated = launcher.wait_for_surface()
        self.assert_look(generated, field_look(DEFAULT_SURFACE))
        self.assertTrue(search_icon_inked(generated), "the generated shared stylesheet is not in effect")
        generated_icon = generated.region(*SEARCH_ICON)

        self.write_theme(f"entry.search {{ background-image: {fill(RED)}; }}")
        shot = self.wait_for_look(launcher, field_look(RED), "the field painted by the written theme file")
        # The theme file takes the generated stylesheet's place.
        self.assertFalse(search_icon_inked(shot))

        self.write_theme(f"entry.search {{ background-image: {fill(BLUE)}; }}", rename=True)
        self.wait_for_look(launcher, field_look(BLUE), "the field painted by the renamed theme file")

        os.unlink(self.theme_file)
        self.session.wait_for_screen(
            lambda shot: all(near(shot.pixel(*p), DEFAULT_SURFACE) for p in FIELD_POINTS)
            and shot.region(*SEARCH_ICON) == generated_icon,
            TIMEOUT, message="the generated look back after the theme file's removal")

    def test_theme_file_change_rebuilds_the_launcher_stylesheet_from_the_current_palette(self):
        launcher = self.start_launcher()
        launcher.wait_for_surface()
        self.write_colours({"colors": {"color0": "#804000"}})
        self.write_theme("/* touched */")
        self.wait_for_look(launcher, {**field_look(BROWN), SELECTED_ROW: BROWN},
                           "the field and the selected row in the new color0")

    def test_only_the_theme_file_triggers_a_reload(self):
        # A theme file to re-read, and a wal directory to read colors.json
        # from, so that every reload, wrong ones included, shows as an open.
        self.write_theme("/* before */")
        os.makedirs(self.wal_dir)
        launcher = self.start_launcher()
        launcher.wait_for_surface()
        counter = OpenCounter(self.theme_dir, self.wal_dir)
        self.addCleanup(counter.close)
        colours = os.path.join(self.wal_dir, "colors.json")

        self.write_colours({"colors": {"color0": "#804000"}})
        with open(os.path.join(self.theme_dir, "other.css"), "w") as f:
            f.write(f".launcher-bg {{ background-image: {fill(GREEN)}; }}")
        self.write_theme(f".launcher-bg {{ background-image: {fill(BLUE)}; }}", rename=True)
        # Each monitor delivers its events in order: once both reactions to
        # the rename show, any reaction to the earlier writes has happened.
        self.wait_for_look(launcher, {**field_look(BROWN), LIST_PADDING: BLUE},
                           "the reactions to the rename onto the theme file")
        self.assertEqual(counter.opens(self.theme_file), 1, "reads of the theme file")
        self.assertEqual(counter.opens(colours), 2, "opens of colors.json: the test's write and one rebuild")

    def test_rewrites_replace_the_previous_rules_in_place(self):
        def theme(panel):
            # The field rule loses to the launcher's own while the shared
            # provider stays where it was attached, before the launcher's.
            return f"entry.search {{ background-color: {colour_text(RED)}; }}" \
                   f".launcher-bg {{ background-image: {fill(panel)}; }}"

        self.write_theme(theme(BLUE))
        launcher = self.start_launcher()
        first = launcher.wait_for_surface()
        look = {**field_look(DEFAULT_SURFACE), SELECTED_ROW: DEFAULT_SURFACE, LIST_PADDING: BLUE}
        self.assert_look(first, look)

        for panel in (GREEN, BLUE):
            self.write_theme(theme(panel))
            shot = self.wait_for_look(launcher, {LIST_PADDING: panel}, f"the panel in {colour_text(panel)}")
            self.assert_look(shot, {**look, LIST_PADDING: panel})
        self.assertEqual(shot.region(*SEARCH_ICON), first.region(*SEARCH_ICON))

        # Rules that the new text no longer holds are gone.
        self.write_theme(f"row:selected {{ background-image: {fill(YELLOW)}; }}")
        shot = self.wait_for_look(launcher, {SELECTED_ROW: YELLOW}, "the selected row painted yellow")
        self.assert_look(shot, {**field_look(DEFAULT_SURFACE), LIST_PADDING: DEFAULT_PANEL})

    def test_user_stylesheet_overrides_the_launcher_and_the_shared_stylesheet(self):
        # GTK's own user stylesheet sits at the same priority, attached before
        # the launcher's providers: style.css wins over it only from there.
        self.home.write_file(os.path.join(self.home.config_home, "gtk-4.0", "gtk.css"),
                             f"entry.search {{ background-color: {colour_text(RED)}; }}")
        self.home.write_file(os.path.join(self.home.config_home, "lumenpad", "style.css"),
                             f"entry.search {{ background-color: {colour_text(GREEN)}; }}"
                             ".launcher-bg { background-image: none; }")
        shared = f".launcher-bg {{ background-image: {fill(BLUE)}; }}"
        self.write_theme(shared)
        launcher = self.start_launcher()
        shot = launcher.wait_for_surface()
        look = {**field_look(GREEN), LIST_PADDING: DEFAULT_PANEL}
        self.assert_look(shot, look)

        # A reload of the other stylesheets leaves the user's on top.
        self.write_theme(shared + f"row:selected {{ background-image: {fill(YELLOW)}; }}")
        shot = self.wait_for_look(launcher, {SELECTED_ROW: YELLOW}, "the selected row painted yellow")
        self.assert_look(shot, look)


if __name__ == "__main__":
    unittest.main()
