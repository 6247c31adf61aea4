"""Every input hostile at once: the launcher still opens, shows what it can
read, launches it, and exits cleanly."""

import os
import unittest

from hostile_tree import BYTES_ENTRY, GOOD_ENTRIES, HostileTree
from launcher import LauncherTestCase

TIMEOUT = 30.0


class HostileInputTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.hostile = HostileTree(self.home, os.path.join(self.tmp, "hostile")).start()
        self.addCleanup(self.hostile.close)

    def launch(self, query, program):
        launcher = self.start_launcher(env=self.hostile.env)
        launcher.wait_for_surface(TIMEOUT)
        self.session.type_text(query)
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        launcher.wait_for_no_surface()
        return self.home.wait_for_calls(program, 1, TIMEOUT)

    def test_the_launcher_opens_and_launches_what_it_could_read(self):
        # The entry whose icon the manifest maps to a FIFO.
        name, program, _ = GOOD_ENTRIES[0]
        self.assertEqual(len(self.launch(name.lower(), program)), 1)
        # The entry read from among lines that are not UTF-8.
        self.assertEqual(len(self.launch(BYTES_ENTRY[0].lower(), BYTES_ENTRY[1])), 1)
        for _, other, _ in GOOD_ENTRIES[1:]:
            self.assertEqual(self.home.calls(other), [])
        # The FIFO planted as the pid file is gone with the launcher.
        self.assertFalse(os.path.exists(os.path.join(self.hostile.runtime_dir, "lumenpad.pid")))


if __name__ == "__main__":
    unittest.main()
