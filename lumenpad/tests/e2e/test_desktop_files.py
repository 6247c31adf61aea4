"""Real desktop files, end to end: the command line that bash receives is the
Exec value with the format's string escapes undone."""

import os
import shutil
import unittest

from launcher import LauncherTestCase

TIMEOUT = 20.0
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data")


class DesktopFileTest(LauncherTestCase):
    def test_debian_emacsclient_entry_runs_its_shell_command_as_written(self):
        # The file as Debian's emacs packages install it: its Exec value runs
        # sh -c with quotes and dollars escaped for the desktop-entry format.
        applications = os.path.join(self.home.data_home, "applications")
        os.makedirs(applications, exist_ok=True)
        shutil.copy(os.path.join(DATA, "emacsclient.desktop"), applications)
        stub = self.home.stub("emacsclient")
        self.launch_once("emacs (client)")
        # No files were given, so the script takes its "else" branch.
        self.assertEqual(self.home.wait_for_calls("emacsclient", 1, TIMEOUT),
                         [[stub, "--alternate-editor=", "--create-frame"]])


if __name__ == "__main__":
    unittest.main()
