"""The layers of scripts/setup, read through its --list option: the launcher's
own layer pulls in no compositor, no other launcher and no test tool."""

import os
import re
import subprocess
import unittest

SOURCE_DIR = os.environ.get("LUMENPAD_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))

# What only the tests or the benchmarks need, by kind.
COMPOSITORS = {"sway", "weston", "cage", "labwc", "hyprland"}
OTHER_LAUNCHERS = {"wofi", "fuzzel", "tofi", "rofi", "bemenu"}
TEST_TOOLS = {"grim", "wtype", "dbus", "python3", "man-db", "valgrind", "imagemagick", "libgtest-dev",
              "libbenchmark-dev", "libxkbcommon-dev"}


def listed(*options):
    result = subprocess.run([os.path.join(SOURCE_DIR, "scripts", "setup"), "--list", *options],
                            capture_output=True, text=True, timeout=60)
    if result.returncode != 0:
        raise AssertionError(f"scripts/setup --list {' '.join(options)} failed: {result.stderr}")
    return result.stdout.split()


class SetupLayersTest(unittest.TestCase):
    def test_launcher_layer_installs_only_what_building_and_running_need(self):
        base = set(listed())
        self.assertIn("libgtk-4-dev", base)
        for kind, names in (("compositor", COMPOSITORS), ("other launcher", OTHER_LAUNCHERS),
                            ("test tool", TEST_TOOLS)):
            with self.subTest(kind=kind):
                self.assertEqual(base & names, set())

    def test_each_layer_adds_to_the_one_below(self):
        base, test, bench = set(listed()), set(listed("--test")), set(listed("--bench"))
        self.assertLess(base, test)
        self.assertLess(test, bench)
        self.assertTrue({"sway", "grim", "libgtest-dev", "man-db"} <= test - base, test - base)
        self.assertEqual(bench - test, {"wofi", "fuzzel", "tofi", "valgrind"})

    def test_lists_have_no_duplicates(self):
        for options in ((), ("--test",), ("--bench",)):
            with self.subTest(options=options):
                names = listed(*options)
                self.assertEqual(len(names), len(set(names)))

    def test_readme_table_shows_what_each_layer_adds(self):
        with open(os.path.join(SOURCE_DIR, "README.md"), encoding="utf-8") as f:
            rows = {m.group(1): re.findall(r"`([^`]+)`", m.group(2))
                    for m in re.finditer(r"^\| `scripts/setup( --\w+)?` \|(.*)\|$", f.read(), re.MULTILINE)}
        base, test, bench = listed(), listed("--test"), listed("--bench")
        self.assertEqual(rows.get(None), base)
        self.assertEqual(rows.get(" --test"), [p for p in test if p not in base])
        self.assertEqual(rows.get(" --bench"), [p for p in bench if p not in test])

    def test_rejects_unknown_options(self):
        result = subprocess.run([os.path.join(SOURCE_DIR, "scripts", "setup"), "--list", "--everything"],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(result.returncode, 2)
        self.assertIn("usage:", result.stderr)


if __name__ == "__main__":
    unittest.main()
