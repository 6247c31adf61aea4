"""The manual as man shows it: every file the launcher names and every
environment variable it reads is documented, and groff finds nothing wrong."""

import os
import re
import subprocess
import unittest

SOURCE_DIR = os.environ.get("LUMENPAD_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
MANUAL = os.environ.get("LUMENPAD_MANUAL", "")

# The code of the launcher and of the libraries it links, tests excluded.
CODE_DIRS = ("lumenpad/src", "lumenpad-shared/src", "lumenpad-shared/include", "oriel-theme/src",
             "oriel-theme/include")

# The only all-capital string literals in that code are environment variable
# names; file names are the literals with these extensions.
VARIABLE_LITERAL = re.compile(r'"([A-Z][A-Z0-9_]{2,})"')
FILE_LITERAL = re.compile(r'"([A-Za-z0-9_./-]*\.(?:json|toml|css|pid|bad))"')


def code_literals(pattern):
    found = set()
    for top in CODE_DIRS:
        for root, _, names in os.walk(os.path.join(SOURCE_DIR, top)):
            for name in names:
                if name.endswith((".cpp", ".hpp", ".h", ".c")):
                    with open(os.path.join(root, name), encoding="utf-8") as f:
                        found.update(pattern.findall(f.read()))
    return found


def render(path):
    env = dict(os.environ, MANWIDTH="80", MANPAGER="cat", PAGER="cat", LC_ALL="C.UTF-8")
    result = subprocess.run(["man", "-l", path], env=env, capture_output=True, text=True, timeout=60)
    return result


def sections(text):
    """The rendered page's sections by heading (the lines that start at the margin)."""
    parts = {}
    heading = None
    for line in text.splitlines():
        if line and not line[0].isspace():
            heading = line.strip()
            parts[heading] = []
        elif heading is not None:
            parts[heading].append(line.strip())
    return {name: " ".join(lines) for name, lines in parts.items()}


class ManualTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not os.path.isfile(MANUAL):
            raise AssertionError(f"no configured manual at {MANUAL!r}; configure the build first")
        result = render(MANUAL)
        cls.stderr = result.stderr
        cls.returncode = result.returncode
        cls.text = result.stdout
        cls.sections = sections(result.stdout)

    def test_renders_without_warnings(self):
        self.assertEqual(self.returncode, 0, self.stderr)
        self.assertEqual(self.stderr, "")
        groff = subprocess.run(["groff", "-man", "-ww", "-z", MANUAL], capture_output=True, text=True, timeout=60)
        self.assertEqual(groff.stderr, "")

    def test_has_the_sections_of_a_manual(self):
        for name in ("NAME", "SYNOPSIS", "DESCRIPTION", "KEYS", "FILES", "ENVIRONMENT", "EXIT STATUS",
                     "EXAMPLES"):
            with self.subTest(section=name):
                self.assertIn(name, self.sections)

    def test_version_is_filled_in(self):
        self.assertNotIn("@", self.text.splitlines()[-1])
        self.assertRegex(self.text.splitlines()[-1], r"lumenpad \d+\.\d+\.\d+")

    def test_every_variable_the_code_reads_is_documented(self):
        variables = code_literals(VARIABLE_LITERAL)
        # The scan itself must see the code.
        self.assertTrue({"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "HOME", "PATH"} <= variables, variables)
        environment = self.sections["ENVIRONMENT"]
        for name in sorted(variables):
            with self.subTest(variable=name):
                self.assertRegex(environment, rf"(^|\s){name}(\s|$)")

    def test_every_file_the_code_names_is_documented(self):
        files = code_literals(FILE_LITERAL)
        self.assertTrue({"config.toml", "history.json", "lumenpad.pid"} <= files, files)
        documented = self.sections["FILES"]
        for name in sorted(files):
            with self.subTest(file=name):
                self.assertIn(name, documented)

    def test_documents_where_each_file_lives(self):
        documented = self.sections["FILES"]
        for path in ("$XDG_CONFIG_HOME/lumenpad/config.toml", "$XDG_CONFIG_HOME/lumenpad/style.css",
                     "$XDG_CACHE_HOME/lumenpad/history.json", "$XDG_CACHE_HOME/lumenpad/manifest.json",
                     "$XDG_CACHE_HOME/wal/colors.json", "$XDG_RUNTIME_DIR/oriel/theme.css",
                     "$XDG_RUNTIME_DIR/lumenpad.pid", "/usr/share/applications/*.desktop",
                     "$XDG_DATA_DIRS/applications/*.desktop", "$XDG_DATA_HOME/applications/*.desktop"):
            with self.subTest(path=path):
                self.assertIn(path, documented)

    def test_shows_key_bindings_for_hyprland_and_sway(self):
        examples = self.sections["EXAMPLES"]
        self.assertIn("bind = SUPER, Space, exec, lumenpad", examples)
        self.assertIn("bindsym $mod+d exec lumenpad", examples)


if __name__ == "__main__":
    unittest.main()
