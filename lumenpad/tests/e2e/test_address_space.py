"""The launcher with little address space: input that would once have asked
for gigabytes gives the menu or a message, never a hang."""

import os
import shlex
import unittest

from launcher import LauncherTestCase

TIMEOUT = 20.0
LIMIT_KIB = 1024 * 1024


def built_with_address_sanitizer(binary):
    with open(binary, "rb") as f:
        return b"__asan_init" in f.read()


class AddressSpaceTest(LauncherTestCase):

    def limited(self, binary):
        """A wrapper that runs binary under an address-space limit of 1 GiB."""
        path = os.path.join(self.tmp, "limited")
        with open(path, "w") as f:
            f.write(f"#!/bin/sh\nulimit -v {LIMIT_KIB} || exit 125\nexec {shlex.quote(binary)} \"$@\"\n")
        os.chmod(path, 0o755)
        return path

    def test_a_menu_of_16_mib_of_newlines(self):
        binary = os.environ.get("LUMENPAD_BIN", "")
        # AddressSanitizer reserves terabytes of shadow memory at start.
        if built_with_address_sanitizer(binary):
            self.skipTest("a sanitizer build cannot start under an address-space limit")
        # Cairo: mesa's software GL renderer alone reserves more than the
        # limit, and crashes without it in any program.
        menu = self.start_launcher(args=["--dmenu"], binary=self.limited(binary), env={"GSK_RENDERER": "cairo"},
                                   stdin=b"\n" * (16 * 1024 * 1024))
        try:
            menu.wait_for_panel(TIMEOUT)
        except AssertionError:
            # It ended instead: with its reason and status 1.
            self.assertEqual(menu.wait_exit(TIMEOUT), 1)
            self.assertRegex(menu.stderr(), r"^lumenpad: ")
            return
        # The menu, of no lines: Escape still closes it.
        self.session.press("Escape")
        self.assertEqual(menu.wait_exit(TIMEOUT), 1)
        self.assertEqual(menu.stdout(), "")


if __name__ == "__main__":
    unittest.main()
