"""The test harness itself: the private compositor, typing, clicking,
screenshots, the home tree with its stubs, the launcher runner and with_sway.py."""

import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

from home_tree import HomeTree
from launcher import Launcher, LauncherTestCase, stderr_problems
from sway_session import (BACKGROUND, OUTPUT_HEIGHT, OUTPUT_WIDTH, HarnessError, LineReader, SwaySession,
                          parse_ppm, stop_process, wait_for)

ENTRY = os.environ.get("LUMENPAD_TEST_ENTRY")
WITH_SWAY = os.path.join(os.path.dirname(sys.modules["sway_session"].__file__), "with_sway.py")
TIMEOUT = 20.0
# The test client's window colour.
CLIENT_COLOUR = (0xC0, 0x30, 0x70)


def process_alive(pid):
    """Whether pid names a process that has not ended (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class EntryClient:
    """The one-entry GTK test client, started in the session."""

    def __init__(self, session, home, stderr_path):
        if not ENTRY or not os.access(ENTRY, os.X_OK):
            raise HarnessError(f"no test client to run (LUMENPAD_TEST_ENTRY={ENTRY!r})")
        self.session = session
        env = session.env()
        env.update(home.env)
        with open(stderr_path, "wb") as err:
            self.process = subprocess.Popen([ENTRY], env=env, stdin=subprocess.DEVNULL,
                                            stdout=subprocess.PIPE, stderr=err, start_new_session=True)
        self.stderr_path = stderr_path
        self.lines = LineReader(self.process.stdout)

    def wait_shown(self):
        """Waits until the window is active and its own pixels fill the output
        below the entry; until then sway may still show a placeholder there,
        and clicks would not reach the client."""
        self.expect_line("ready")

        def filled(shot):
            return shot.count_not(CLIENT_COLOUR, 0, 100, OUTPUT_WIDTH - 10, OUTPUT_HEIGHT - 10, step=40) == 0

        self.session.wait_for_screen(filled, TIMEOUT, message="the test client's window")

    def expect_line(self, expected):
        line = self.lines.readline(TIMEOUT)
        if line != expected:
            raise AssertionError(f"test client said {line!r}, expected {expected!r}")

    def finish(self):
        """Waits for the client to exit and its window to leave the screen."""
        status = self.process.wait(timeout=TIMEOUT)
        self.process.stdout.close()
        self.session.wait_for_screen(lambda shot: shot.pixel(640, 400) == BACKGROUND, TIMEOUT,
                                     message="the test client's window to close")
        with open(self.stderr_path, errors="replace") as f:
            problems = stderr_problems(f.read())
        if status != 0 or problems:
            raise AssertionError(f"test client exited with {status}; stderr problems: {problems}")

    def kill(self):
        stop_process(self.process)
        self.process.stdout.close()


class SessionTest(LauncherTestCase):
    def client(self):
        fd, stderr_path = tempfile.mkstemp(prefix="client-", suffix=".err", dir=self.tmp)
        os.close(fd)
        client = EntryClient(self.session, self.home, stderr_path)
        self.addCleanup(client.kill)
        return client

    def test_sway_answers_with_one_output_and_a_seat_with_keyboard_and_pointer(self):
        outputs = self.session.swaymsg("-t", "get_outputs")
        self.assertEqual([(o["name"], o["active"], o["rect"]["width"], o["rect"]["height"]) for o in outputs],
                         [("HEADLESS-1", True, OUTPUT_WIDTH, OUTPUT_HEIGHT)])
        seats = self.session.swaymsg("-t", "get_seats")
        types = sorted(d["type"] for d in seats[0]["devices"])
        self.assertEqual(types, ["keyboard", "pointer"])
        self.assertEqual(self.session.env()["XDG_RUNTIME_DIR"], self.session.runtime_dir)
        self.assertNotIn("DISPLAY", self.session.env())

    def test_empty_output_shows_the_background_and_saves_a_png(self):
        png = os.path.join(self.tmp, "empty.png")
        shot = self.session.screenshot(png)
        self.assertEqual((shot.width, shot.height), (OUTPUT_WIDTH, OUTPUT_HEIGHT))
        # The parked pointer covers a few pixels in the bottom-right corner.
        self.assertEqual(shot.count_not(BACKGROUND, 0, 0, OUTPUT_WIDTH, OUTPUT_HEIGHT - 8), 0)
        self.assertEqual(shot.count_not(BACKGROUND, 0, 0, OUTPUT_WIDTH - 8, OUTPUT_HEIGHT), 0)
        with open(png, "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual((int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")),
                         (OUTPUT_WIDTH, OUTPUT_HEIGHT))

    def test_typed_text_and_return_reach_a_focused_entry(self):
        client = self.client()
        client.wait_shown()
        self.session.type_text("hello World")
        self.session.press("Return")
        client.expect_line("hello World")
        client.finish()

    def test_a_client_started_after_earlier_typing_still_gets_a_keymap(self):
        for text, enter in (("first one", "Return"), ("Second, client! #42 (ok?)", "KP_Enter"),
                            ("third ~ `x` | {y} <z>", "Return")):
            with self.subTest(text=text):
                client = self.client()
                client.wait_shown()
                self.session.type_text(text)
                self.session.press(enter)
                client.expect_line(text)
                client.finish()

    def test_editing_keys_and_held_modifiers(self):
        client = self.client()
        client.wait_shown()
        self.session.type_text("abcd")
        self.session.press("BackSpace")
        self.session.hold("ctrl")
        self.session.type_text("a")
        self.session.hold("ctrl", down=False)
        self.session.type_text("xy")
        self.session.hold("shift")
        self.session.type_text("z")
        self.session.hold("shift", down=False)
        self.session.press("Left")
        self.session.type_text("-")
        self.session.press("Return")
        client.expect_line("xy-Z")
        client.finish()

    def test_click_through_ipc_reaches_the_client_at_that_position(self):
        client = self.client()
        client.wait_shown()
        self.session.click(900, 600)
        client.expect_line("pressed 900 600")
        client.finish()

    def test_keyboard_helper_types_nothing_it_refuses_and_goes_on(self):
        client = self.client()
        client.wait_shown()
        for action in (lambda: self.session.press("NoSuchKey"), lambda: self.session.type_text("caf\u00e9"),
                       lambda: self.session.type_text("tab\there"), lambda: self.session.hold("hyper")):
            with self.assertRaises(HarnessError):
                action()
        with self.assertRaises(ValueError):
            self.session.type_text("two\nlines")
        self.session.type_text("still here")
        self.session.press("Return")
        client.expect_line("still here")
        client.finish()

    def test_runtime_dir_reset_keeps_the_sockets(self):
        runtime = self.session.runtime_dir
        with open(os.path.join(runtime, "lumenpad.pid"), "w") as f:
            f.write("1")
        os.makedirs(os.path.join(runtime, "oriel"))
        with open(os.path.join(runtime, "oriel", "theme.css"), "w") as f:
            f.write("")
        self.session.reset_runtime_dir()
        self.assertFalse(os.path.exists(os.path.join(runtime, "lumenpad.pid")))
        self.assertFalse(os.path.exists(os.path.join(runtime, "oriel")))
        self.assertTrue(os.path.exists(os.path.join(runtime, self.session.wayland_display)))
        self.session.swaymsg("-t", "get_version")

    def test_sessions_can_follow_one_another(self):
        seen = {self.session.runtime_dir}
        for _ in range(2):
            with SwaySession() as other:
                self.assertNotIn(other.runtime_dir, seen)
                seen.add(other.runtime_dir)
                self.assertEqual(other.screenshot().pixel(10, 10), BACKGROUND)
                processes = {"sway": other.sway, "dbus-daemon": other.bus, "keyboard helper": other.keyboard}
                base_dir = other.base_dir
            for name, process in processes.items():
                self.assertIsNotNone(process.returncode, f"{name} still running")
            self.assertFalse(os.path.exists(base_dir), "session directory left behind")
        self.session.swaymsg("-t", "get_version")


class LauncherRunnerTest(LauncherTestCase):
    """Launcher, run here on stand-in programs: the test client and scripts."""

    def script(self, name, body):
        path = os.path.join(self.tmp, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + body + "\n")
        os.chmod(path, 0o755)
        return path

    def test_sees_a_layer_panel_types_into_it_and_sees_it_go(self):
        launcher = self.start_launcher(binary=ENTRY, args=["--layer"])
        shot = launcher.wait_for_surface()
        self.assertEqual(shot.pixel(640, 200), CLIENT_COLOUR)
        self.assertEqual(shot.pixel(100, 100), BACKGROUND, "the overlay is not transparent")
        self.session.type_text("typed")
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(), 0)
        self.assertEqual(launcher.stdout(), "ready\ntyped\n")
        launcher.wait_for_no_surface()

    def test_a_click_right_after_the_panel_shows_reaches_the_transparent_overlay(self):
        for x, y in ((640, 60), (100, 300), (1200, 300), (640, 700)):
            with self.subTest(x=x, y=y):
                launcher = self.start_launcher(binary=ENTRY, args=["--layer"])
                launcher.wait_for_surface()
                self.session.click(x, y)
                self.assertEqual(launcher.wait_exit(), 0)
                self.assertEqual(launcher.stdout(), f"ready\npressed {x} {y}\n")
                launcher.wait_for_no_surface()

    def test_a_program_with_its_own_runtime_dir_still_reaches_the_compositor(self):
        elsewhere = os.path.join(self.tmp, "elsewhere")
        os.mkdir(elsewhere)
        launcher = self.start_launcher(binary=ENTRY, args=["--layer"], env={"XDG_RUNTIME_DIR": elsewhere})
        launcher.wait_for_surface()
        self.session.press("Return")
        self.assertEqual(launcher.wait_exit(), 0)
        self.assertEqual(launcher.stdout(), "ready\n\n")

    def test_environment_points_into_the_home_tree_and_the_session(self):
        dump = os.path.join(self.tmp, "env.json")
        program = self.script("dump-env", f"exec python3 -c 'import json, os; "
                                          f"json.dump(dict(os.environ), open(\"{dump}\", \"w\"))'")
        launcher = self.start_launcher(binary=program, env={"EXTRA": "1", "XDG_STATE_HOME": None})
        self.assertEqual(launcher.wait_exit(), 0)
        with open(dump) as f:
            env = json.load(f)
        self.assertEqual(env["HOME"], self.home.home)
        self.assertEqual(env["XDG_DATA_DIRS"], self.home.data_dirs)
        self.assertEqual(env["XDG_CONFIG_HOME"], self.home.config_home)
        self.assertEqual(env["XDG_CACHE_HOME"], self.home.cache_home)
        self.assertEqual(env["XDG_RUNTIME_DIR"], self.session.runtime_dir)
        self.assertTrue(env["PATH"].startswith(self.home.bin + ":"))
        self.assertIn("/usr/bin", env["PATH"].split(":"))
        self.assertEqual(env["EXTRA"], "1")
        for name in ("DISPLAY", "TERMINAL", "HYPRLAND_INSTANCE_SIGNATURE", "XDG_STATE_HOME"):
            self.assertNotIn(name, env)

    def test_problems_on_stderr_are_found(self):
        program = self.script("warns", "echo '(lumenpad:1): Gtk-CRITICAL **: 10:00:00.000: assertion' >&2")
        launcher = Launcher(self.session, self.home, self.tmp, binary=program).start()
        self.assertEqual(launcher.wait_exit(), 0)
        with self.assertRaisesRegex(AssertionError, "Gtk-CRITICAL"):
            launcher.assert_clean_stderr()

    def test_a_program_that_exits_early_fails_the_surface_wait_at_once(self):
        launcher = self.start_launcher(binary=self.script("quits", "exit 4"))
        with self.assertRaisesRegex(AssertionError, "status 4"):
            launcher.wait_for_surface(timeout=60)

    def test_stderr_problem_lines(self):
        cases = [
            ("(lumenpad:12): Gtk-CRITICAL **: 12:00:00.000: gtk_box_append: assertion failed", True),
            ("(lumenpad:12): GLib-GObject-WARNING **: 12:00:00.000: invalid cast", True),
            ("(lumenpad:12): GLib-ERROR **: 12:00:00.000: out of memory", True),
            ("==42==ERROR: AddressSanitizer: heap-use-after-free on address 0x6020", True),
            ("==42==ERROR: LeakSanitizer: detected memory leaks", True),
            ("lumenpad/src/core/history.cpp:10:5: runtime error: signed integer overflow", True),
            ("lumenpad: parse error in /tmp/x/config.toml: unexpected character", False),
            ("lumenpad: could not read /tmp/x/config.toml: Permission denied", False),
            ("", False),
        ]
        for line, flagged in cases:
            with self.subTest(line=line):
                found = stderr_problems("first line\n" + line + "\nlast line")
                self.assertEqual(found, [line] if flagged else [])


class HomeTreeTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.home = HomeTree(tmp.name)

    def run_in_tree(self, script):
        return subprocess.run(["bash", "-c", script], env={**os.environ, **self.home.env}).returncode

    def test_stubs_record_each_call_in_order_with_exact_arguments(self):
        path = self.home.stub("fakeapp")
        self.home.stub("failing", exit_code=3)
        self.assertEqual(self.run_in_tree("fakeapp 'a b' '' $'x\\ny' \u00fc --flag=\"q\"; fakeapp second"), 0)
        self.assertEqual(self.run_in_tree("failing"), 3)
        self.assertEqual(self.home.calls("fakeapp"),
                         [[path, "a b", "", "x\ny", "\u00fc", "--flag=q"], [path, "second"]])
        self.assertEqual(len(self.home.calls("failing")), 1)
        self.assertEqual(self.home.calls("fake"), [])
        self.assertEqual(self.home.wait_for_calls("fakeapp", 2)[1], [path, "second"])

    def test_desktop_entries_take_extra_keys_booleans_and_omissions(self):
        path = self.home.write_desktop_entry("My App", "myapp %U", Terminal=True, Icon="myapp", Type=None)
        self.assertEqual(path, os.path.join(self.home.data_home, "applications", "my-app.desktop"))
        with open(path) as f:
            self.assertEqual(f.read(),
                             "[Desktop Entry]\nName=My App\nExec=myapp %U\nTerminal=true\nIcon=myapp\n")
        other = self.home.write_desktop_entry("X", "x", file_name="sub/x.desktop",
                                              directory=self.home.data_dirs)
        self.assertEqual(other, os.path.join(self.home.data_dirs, "sub", "x.desktop"))

    def test_ppm_reader_takes_comments_and_rejects_other_formats(self):
        shot = parse_ppm(b"P6\n# made by hand\n2 1\n255\n\x01\x02\x03\x04\x05\x06")
        self.assertEqual((shot.pixel(0, 0), shot.pixel(1, 0)), ((1, 2, 3), (4, 5, 6)))
        with self.assertRaises(IndexError):
            shot.pixel(2, 0)
        for bad in (b"P5\n1 1\n255\n\x00", b"P6\n1 1\n65535\n\x00\x00\x00", b"P6\n2 2\n255\n\x00"):
            with self.subTest(data=bad), self.assertRaises(HarnessError):
                parse_ppm(bad)


class WithSwayTest(unittest.TestCase):
    def run_with_sway(self, *command, env=None, **kwargs):
        return subprocess.run([sys.executable, WITH_SWAY, "--", *command], env=env or os.environ.copy(),
                              capture_output=True, text=True, timeout=120, **kwargs)

    def test_runs_the_command_in_the_session_and_passes_on_its_status(self):
        script = ("import json, os, subprocess, sys\n"
                  "out = subprocess.run(['swaymsg', '-t', 'get_outputs'], capture_output=True)\n"
                  "print(json.dumps({'env': dict(os.environ), 'swaymsg': out.returncode}))\n"
                  "sys.exit(3)\n")
        result = self.run_with_sway(sys.executable, "-c", script)
        self.assertEqual(result.returncode, 3, result.stderr)
        report = json.loads(result.stdout)
        env = report["env"]
        self.assertEqual(report["swaymsg"], 0)
        self.assertNotIn("DISPLAY", env)
        self.assertEqual(os.path.dirname(env["WAYLAND_DISPLAY"]), env["XDG_RUNTIME_DIR"])
        self.assertTrue(env["HOME"].startswith(tempfile.gettempdir()))
        self.assertNotEqual(env["HOME"], os.environ.get("HOME"))
        self.assertTrue(env["XDG_CONFIG_HOME"].startswith(env["HOME"]))
        self.assertFalse(os.path.exists(env["XDG_RUNTIME_DIR"]), "runtime dir left behind")
        self.assertFalse(os.path.exists(env["HOME"]), "home left behind")

    def test_signal_status_and_missing_command(self):
        self.assertEqual(self.run_with_sway("sh", "-c", "kill -KILL $$").returncode, 128 + signal.SIGKILL)
        missing = self.run_with_sway("/nonexistent/program")
        self.assertEqual(missing.returncode, 127)
        self.assertIn("cannot run", missing.stderr)
        no_separator = subprocess.run([sys.executable, WITH_SWAY, "true"], capture_output=True)
        self.assertEqual(no_separator.returncode, 2)

    def test_terminating_it_still_tears_the_session_down(self):
        with tempfile.TemporaryDirectory() as tmp:
            marker = os.path.join(tmp, "runtime")
            command = f'echo "$XDG_RUNTIME_DIR" > {marker}; exec sleep 600'
            process = subprocess.Popen([sys.executable, WITH_SWAY, "--", "sh", "-c", command],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                wait_for(lambda: os.path.exists(marker) and os.path.getsize(marker) > 0, TIMEOUT,
                         message="the command to start")
                with open(marker) as f:
                    runtime = f.read().strip()
                self.assertTrue(os.path.isdir(runtime))
                process.send_signal(signal.SIGTERM)
                self.assertEqual(process.wait(timeout=TIMEOUT), 128 + signal.SIGTERM)
                self.assertFalse(os.path.exists(runtime))
            finally:
                process.kill()
                process.wait()

    def test_killing_it_takes_sway_along(self):
        with tempfile.TemporaryDirectory() as tmp:
            marker = os.path.join(tmp, "marker")
            command = f'echo "$SWAYSOCK $HOME $$" > {marker}.tmp; mv {marker}.tmp {marker}; exec sleep 600'
            process = subprocess.Popen([sys.executable, WITH_SWAY, "--", "sh", "-c", command],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_for(lambda: os.path.exists(marker), TIMEOUT, message="the command to start")
            with open(marker) as f:
                swaysock, home, command_pid = f.read().split()
            # The socket is named sway-ipc.UID.PID.sock.
            sway_pid = int(os.path.basename(swaysock).split(".")[2])
            process.kill()
            process.wait()
            try:
                wait_for(lambda: not process_alive(sway_pid), TIMEOUT, message="sway to end")
            finally:
                os.kill(int(command_pid), signal.SIGKILL)
                shutil.rmtree(os.path.dirname(os.path.dirname(swaysock)), ignore_errors=True)
                shutil.rmtree(os.path.dirname(home), ignore_errors=True)

    def test_without_a_compositor_it_fails_unless_asked_to_skip(self):
        with tempfile.TemporaryDirectory() as empty:
            env = {**os.environ, "PATH": empty}
            env.pop("LUMENPAD_ALLOW_NO_COMPOSITOR", None)
            failed = self.run_with_sway("true", env=env)
            self.assertEqual(failed.returncode, 1)
            self.assertIn("cannot start the compositor", failed.stderr)
            skipped = self.run_with_sway("false", env={**env, "LUMENPAD_ALLOW_NO_COMPOSITOR": "1"})
            self.assertEqual(skipped.returncode, 77, "the status CTest reports as skipped")
            self.assertIn("skipped", skipped.stderr)


if __name__ == "__main__":
    unittest.main()
