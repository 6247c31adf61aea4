"""With two outputs, each show of the daemon's window opens on the output
that has the focus at that moment, not on the one of its first show."""

import unittest

from launcher import panel_gone
from resident import ResidentTestCase
from sway_session import BACKGROUND, OUTPUT_HEIGHT, OUTPUT_NAME, OUTPUT_WIDTH, HarnessError

TIMEOUT = 20.0


class ResidentOutputsTest(ResidentTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        session = cls.session
        before = {o["name"] for o in session.swaymsg("-t", "get_outputs")}
        session.swaymsg("create_output")
        added = {o["name"] for o in session.swaymsg("-t", "get_outputs")} - before
        if len(added) != 1:
            raise HarnessError(f"create_output added {sorted(added)}")
        [cls.second] = added
        colour = "#{:02x}{:02x}{:02x}".format(*BACKGROUND)
        session.swaymsg("output", cls.second, "resolution", f"{OUTPUT_WIDTH}x{OUTPUT_HEIGHT}",
                        "position", str(OUTPUT_WIDTH), "0", "bg", colour, "solid_color")
        session.wait_for_screen(lambda shot: shot.pixel(0, 0) == BACKGROUND, TIMEOUT,
                                message="the second output's background", output=cls.second)

    def setUp(self):
        super().setUp()
        self.home.stub("alpha-app")
        self.home.write_desktop_entry("Alpha Probe", "alpha-app")
        self.addCleanup(self.session.focus_output, OUTPUT_NAME)

    def test_each_show_opens_on_the_focused_output(self):
        daemon = self.start_daemon()
        outputs = (OUTPUT_NAME, self.second)
        for focused in (self.second, OUTPUT_NAME, self.second):
            with self.subTest(focused=focused):
                self.session.focus_output(focused)
                self.show(daemon, output=focused)
                for other in outputs:
                    if other != focused:
                        self.assertTrue(panel_gone(self.session.screenshot(output=other)),
                                        f"the panel is also on {other}")
                self.toggle()
                daemon.wait_for_no_surface(output=focused)


if __name__ == "__main__":
    unittest.main()
