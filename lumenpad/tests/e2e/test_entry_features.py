"""What desktop entries carry besides a name and a command, end to end:
localised names, generic names and keywords, desktop actions, and the
activation token that lets a launched program take the focus."""

import json
import os
import unittest

from launcher import LauncherTestCase
from sway_session import wait_for

TIMEOUT = 20.0

# The lines that matter of Debian 12's firefox-esr, gnome-text-editor and
# nautilus entries, in German and unlocalised, with stubs for commands.
DEBIAN_ENTRIES = {
    "firefox-esr.desktop": """[Desktop Entry]
Name=Firefox ESR
Comment=Browse the World Wide Web
Comment[de]=Im Internet surfen
GenericName=Web Browser
GenericName[de]=Webbrowser
Exec=zulu-firefox %u
Type=Application
Icon=firefox-esr
StartupWMClass=firefox-esr
""",
    "org.gnome.TextEditor.desktop": """[Desktop Entry]
Keywords[de]=write;notepad;schreiben;Notiz;Editor;Texteditor;
Keywords=write;notepad;
DBusActivatable=true
Exec=zulu-text-editor %U
Name[de]=Texteditor
Name=Text Editor
GenericName[de]=Texteditor
GenericName=Text Editor
Icon=org.gnome.TextEditor
Type=Application
""",
    "org.gnome.Nautilus.desktop": """[Desktop Entry]
Name[de]=Dateien
Name=Files
Keywords[de]=Ordner;Verwaltung;Laufwerk;Festplatte;Dateisystem;Dateien;Dateiverwaltung;nautilus;
Keywords=folder;manager;explore;disk;filesystem;nautilus;
Exec=zulu-files --new-window %U
Icon=org.gnome.Nautilus
Type=Application
DBusActivatable=true
Actions=new-window;

[Desktop Action new-window]
Name[de]=Neues Fenster
Name=New Window
Exec=zulu-files --new-window
""",
}

BROWSER = """[Desktop Entry]
Type=Application
Name=Zulu Browser
Exec=zulu-browser %u
Actions=private;

[Desktop Action private]
Name=Private Window
Exec=zulu-browser --private %u
"""


class EntryFeaturesTest(LauncherTestCase):

    def history(self):
        with open(os.path.join(self.home.cache_home, "lumenpad", "history.json")) as f:
            return json.load(f)

    def write_entries(self, entries):
        for name, text in entries.items():
            self.home.write_file(os.path.join(self.home.data_home, "applications", name), text)

    def test_german_names_generic_names_and_keywords_find_debians_applications(self):
        self.write_entries(DEBIAN_ENTRIES)
        for stub in ("zulu-firefox", "zulu-text-editor", "zulu-files"):
            self.home.stub(stub)
        german = {"LANG": "de_DE.UTF-8", "LC_ALL": None, "LC_MESSAGES": None}
        # The unlocalised generic name, the localised name, a German keyword.
        for query, stub in (("browser", "zulu-firefox"), ("texteditor", "zulu-text-editor"),
                            ("ordner", "zulu-files")):
            with self.subTest(query=query):
                self.launch_once(query, env=german)
                self.home.wait_for_calls(stub, 1, TIMEOUT)
        # Counted under the names that do not change with the language.
        self.assertEqual(self.history(), {"Firefox ESR": 1, "Text Editor": 1, "Files": 1})

    def test_actions_are_rows_of_their_own_with_show_actions(self):
        self.write_entries({"zulu-browser.desktop": BROWSER})
        self.home.stub("zulu-browser")
        # Without the key the action is no row: nothing matches.
        launcher = self.start_launcher()
        launcher.wait_for_surface(TIMEOUT)
        self.session.type_text("private window")
        self.session.press("Return")
        self.session.press("Escape")
        self.assertEqual(launcher.wait_exit(TIMEOUT), 0)
        self.assertEqual(self.home.calls("zulu-browser"), [])

        self.home.write_file(os.path.join(self.home.config_home, "lumenpad", "config.toml"),
                             "show_actions = true\n")
        self.launch_once("zulu browser: priv")
        self.assertEqual([call[1:] for call in self.home.wait_for_calls("zulu-browser", 1, TIMEOUT)],
                         [["--private"]])
        self.assertEqual(self.history(), {"Zulu Browser: Private Window": 1})

    def test_the_launched_program_gets_a_fresh_activation_token(self):
        seen = os.path.join(self.tmp, "token")
        self.home.write_file(os.path.join(self.home.bin, "zulu-token"),
                             f"#!/bin/sh\nprintf '%s\\n%s\\n' \"$XDG_ACTIVATION_TOKEN\" \"$DESKTOP_STARTUP_ID\""
                             f" > '{seen}.tmp'\nmv '{seen}.tmp' '{seen}'\n", mode=0o755)
        self.home.write_desktop_entry("Zulu Token", "zulu-token")
        self.launch_once("zulu token", env={"XDG_ACTIVATION_TOKEN": "stale", "DESKTOP_STARTUP_ID": "stale"})
        wait_for(lambda: os.path.exists(seen), TIMEOUT, message="the launched program")
        with open(seen) as f:
            token, startup_id = f.read().splitlines()
        self.assertNotIn(token, ("", "stale"))
        self.assertEqual(startup_id, token)


if __name__ == "__main__":
    unittest.main()
