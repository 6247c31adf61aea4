"""Each launched application in a systemd scope of its own, asked of a fake
user manager on the session's private bus; the launch goes on whatever the
manager does; a configured launch prefix replaces the scope."""

import json
import os
import re
import subprocess

from launcher import LauncherTestCase
from sway_session import LineReader, stop_process

FAKE_SYSTEMD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness", "fake_systemd.py")

BROWSER = """[Desktop Entry]
Type=Application
Name=Zulu Browser
Exec=zulu-browser %u
Actions=new-private;

[Desktop Action new-private]
Name=Private Window
Exec=zulu-browser --private
"""

# The file name holds '-' and a non-ASCII letter, which systemd-escape writes
# as \x2d and \xc3\xa9.
DESKTOP_ID = "org.example.Zulu-Caf\u00e9"
ESCAPED_ID = "org.example.Zulu\\x2dCaf\\xc3\\xa9"


class SystemdScopeTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.home.stub("zulu-browser", process=True)
        self.home.write_file(os.path.join(self.home.data_home, "applications", DESKTOP_ID + ".desktop"), BROWSER)
        self.record = os.path.join(self.tmp, "systemd-calls")
        self.fake = None
        self.addCleanup(self.stop_fake_systemd)

    def start_fake_systemd(self, behaviour, delay=0.0):
        self.fake = subprocess.Popen([FAKE_SYSTEMD, self.session.bus_address, self.record, behaviour, str(delay),
                                      self.home.calls_dir],
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, start_new_session=True)
        self.assertEqual(LineReader(self.fake.stdout).readline(20.0), "ready")

    def stop_fake_systemd(self):
        if self.fake is not None:
            stop_process(self.fake)
            self.fake.stdout.close()
            self.fake = None

    def scope_calls(self):
        if not os.path.exists(self.record):
            return []
        with open(self.record) as f:
            return [json.loads(line) for line in f.read().splitlines()]

    def write_config(self, text):
        self.home.write_file(os.path.join(self.home.config_home, "lumenpad", "config.toml"), text)

    def launch(self, query="zulu", down=0, env=None):
        """Starts the row `down` rows under the first for query; returns the
        launched stub's record and the launcher."""
        launcher = self.start_launcher(env=env)
        launcher.wait_for_surface()
        self.session.type_text(query)
        for _ in range(down):
            self.session.press("Down")
        self.session.press("Return")
        [call] = self.home.wait_for_calls("zulu-browser", timeout=10.0)
        self.assertEqual(launcher.wait_exit(), 0)
        launcher.wait_for_no_surface()
        return call, launcher

    def test_the_application_runs_in_a_scope_named_after_its_desktop_file(self):
        # The answer comes late, so that a child that ran too soon is seen.
        self.start_fake_systemd("answer", delay=0.3)
        call, _ = self.launch()
        [scope] = self.scope_calls()
        self.assertRegex(scope["name"], "^" + re.escape(f"app-lumenpad-{ESCAPED_ID}-") + "[0-9a-f]{16}\\.scope$")
        self.assertEqual(scope["mode"], "fail")
        self.assertEqual(scope["properties"], {"PIDs": [call["pid"]], "Slice": "app.slice",
                                               "Description": "Zulu Browser", "CollectMode": "inactive-or-failed"})
        self.assertEqual(scope["aux"], [])
        # Until the answer, 0.3 s after the call, the stub had not run.
        self.assertEqual(scope["seen_at_reply"], [])
        self.assertEqual(call["argv"][1:], [])
        self.assertEqual(call["env"].get("DESKTOP_ENTRY_ID"), DESKTOP_ID)
        self.assertNotIn("DESKTOP_ENTRY_ACTION", call["env"])

    def test_an_action_has_its_applications_scope_and_names_itself(self):
        self.write_config("show_actions = true\n")
        self.start_fake_systemd("answer")
        call, _ = self.launch("private")
        self.assertEqual(call["argv"][1:], ["--private"])
        [scope] = self.scope_calls()
        self.assertTrue(scope["name"].startswith(f"app-lumenpad-{ESCAPED_ID}-"), scope["name"])
        self.assertEqual(scope["properties"]["PIDs"], [call["pid"]])
        self.assertEqual(scope["properties"]["Description"], "Zulu Browser: Private Window")
        self.assertEqual((call["env"].get("DESKTOP_ENTRY_ID"), call["env"].get("DESKTOP_ENTRY_ACTION")),
                         (DESKTOP_ID, "new-private"))

    def test_the_application_runs_whatever_the_manager_does(self):
        for case, behaviour, env in [("refused", "refuse", None), ("no answer", "hang", None),
                                     ("no manager", None, None),
                                     ("no bus", None, {"DBUS_SESSION_BUS_ADDRESS": None})]:
            with self.subTest(case):
                for record in os.listdir(self.home.calls_dir):
                    os.unlink(os.path.join(self.home.calls_dir, record))
                if os.path.exists(self.record):
                    os.unlink(self.record)
                if behaviour:
                    self.start_fake_systemd(behaviour)
                try:
                    # Within wait_for_calls' 10 s: the launcher's bound, not
                    # the bus's own 25 s, releases a child that gets no answer.
                    call, _ = self.launch(env=env)
                finally:
                    self.stop_fake_systemd()
                self.assertEqual(call["env"].get("DESKTOP_ENTRY_ID"), DESKTOP_ID)
                calls = self.scope_calls()
                self.assertEqual(len(calls), 1 if behaviour else 0)
                if calls:
                    self.assertEqual(calls[0]["properties"]["PIDs"], [call["pid"]])
                    self.assertEqual("seen_at_reply" in calls[0], behaviour != "hang")
        with open(os.path.join(self.home.cache_home, "lumenpad", "history.json")) as f:
            self.assertEqual(json.load(f), {"Zulu Browser": 4})

    def test_a_launch_prefix_runs_the_command_instead_of_a_scope(self):
        prefix = self.home.stub("app-manager", process=True)
        self.write_config('launch_prefix = ["app-manager", "app", "--"]\n')
        self.start_fake_systemd("answer")
        launcher = self.start_launcher()
        launcher.wait_for_surface()
        self.session.type_text("zulu")
        self.session.press("Return")
        [call] = self.home.wait_for_calls("app-manager")
        self.assertEqual(launcher.wait_exit(), 0)
        self.assertEqual(call["argv"], [prefix, "app", "--", "bash", "-c", "zulu-browser"])
        self.assertEqual(call["env"].get("DESKTOP_ENTRY_ID"), DESKTOP_ID)
        self.assertEqual(self.home.calls("zulu-browser"), [])
        self.assertEqual(self.scope_calls(), [])
