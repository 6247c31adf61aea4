"""A private headless sway for tests: start, drive with keys and clicks, capture, tear down.

sway refuses to run as root, so under root it runs as the unprivileged user
"lumenpad-test" (created when missing); clients stay root, which may connect to
that user's sockets. Each session has its own runtime directory, so sessions
can follow one another or run side by side.
"""

import json
import os
import pwd
import select
import shutil
import signal
import subprocess
import struct
import tempfile
import time
import zlib

TEST_USER = "lumenpad-test"
OUTPUT_NAME = "HEADLESS-1"
OUTPUT_WIDTH = 1280
OUTPUT_HEIGHT = 800
BACKGROUND = (0x20, 0x30, 0x40)
START_TIMEOUT = 20.0

SWAY_CONFIG = f"""\
output {OUTPUT_NAME} resolution {OUTPUT_WIDTH}x{OUTPUT_HEIGHT} position 0 0
output * bg #{BACKGROUND[0]:02x}{BACKGROUND[1]:02x}{BACKGROUND[2]:02x} solid_color
default_border none
default_floating_border none
focus_follows_mouse no
xwayland disable
"""

# A session bus without service activation: GTK and GApplication find a bus as
# on a desktop, but nothing is started behind the harness's back.
DBUS_CONFIG = """\
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path={socket}</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""

# Variables of the caller's desktop that would lead clients away from the
# private compositor.
FOREIGN_VARIABLES = (
    "DISPLAY",
    "WAYLAND_SOCKET",
    "I3SOCK",
    "HYPRLAND_INSTANCE_SIGNATURE",
    "DBUS_SESSION_BUS_ADDRESS",
    "GDK_BACKEND",
)


class CompositorUnavailable(RuntimeError):
    """sway could not be started here at all."""


class HarnessError(RuntimeError):
    """A session step failed: a helper died, an answer did not come in time."""


def wait_for(condition, timeout, interval=0.02, message="condition"):
    """Polls condition() until it returns a true value, which is returned."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"timed out after {timeout:g} s waiting for {message}")
        time.sleep(interval)


class Screenshot:
    """An RGB image of the whole output."""

    def __init__(self, width, height, pixels):
        self.width = width
        self.height = height
        self.pixels = pixels

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x}, {y}) outside {self.width}x{self.height}")
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i : i + 3])

    def _row(self, y, left, right):
        return self.pixels[(y * self.width + left) * 3 : (y * self.width + right) * 3]

    def region(self, left, top, right, bottom):
        """The rows of pixels of [left, right) x [top, bottom), as bytes."""
        return b"".join(self._row(y, left, right) for y in range(top, bottom))

    def count_not(self, colour, left, top, right, bottom, step=1):
        """How many of the pixels sampled every step pixels in the region differ
        from colour."""
        target = bytes(colour)
        count = 0
        for y in range(top, bottom, step):
            row = self._row(y, left, right)
            if step == 1 and row == target * (right - left):
                continue
            count += sum(1 for i in range(0, len(row), 3 * step) if row[i : i + 3] != target)
        return count

    def save_png(self, path):
        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

        stride = self.width * 3
        raw = b"".join(b"\0" + self.pixels[y * stride : (y + 1) * stride] for y in range(self.height))
        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
            f.write(chunk(b"IHDR", header))
            f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
            f.write(chunk(b"IEND", b""))


def parse_ppm(data):
    """Reads a binary (P6) PPM with 8-bit channels."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while pos < len(data) and data[pos : pos + 1].isspace():
            pos += 1
        if data[pos : pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        start = pos
        while pos < len(data) and not data[pos : pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    try:
        magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    except ValueError:
        raise HarnessError(f"unreadable PPM header {data[:pos]!r}") from None
    if magic != b"P6" or maxval != 255:
        raise HarnessError(f"unexpected PPM header {magic!r} maxval {maxval}")
    pixels = data[pos + 1 : pos + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        raise HarnessError("truncated PPM")
    return Screenshot(width, height, pixels)


def ensure_test_user():
    """The uid, gid and home of the user that runs sway, creating it when missing."""
    try:
        entry = pwd.getpwnam(TEST_USER)
    except KeyError:
        useradd = shutil.which("useradd", path=os.environ.get("PATH", "") + ":/usr/sbin:/sbin") or "useradd"
        result = subprocess.run([useradd, "--system", "--create-home", "--home-dir", f"/var/lib/{TEST_USER}",
                                 "--shell", "/usr/sbin/nologin", TEST_USER], capture_output=True, text=True)
        # useradd fails when another session created the user meanwhile, so
        # only a user that is still missing counts.
        try:
            entry = pwd.getpwnam(TEST_USER)
        except KeyError:
            message = f"cannot create the user {TEST_USER}: {result.stderr.strip()}"
            raise CompositorUnavailable(message) from None
    return entry.pw_uid, entry.pw_gid, entry.pw_dir


class LineReader:
    """Reads lines from a child's pipe with a deadline."""

    def __init__(self, stream):
        self.fd = stream.fileno()
        self.buffer = b""

    def readline(self, timeout):
        deadline = time.monotonic() + timeout
        while b"\n" not in self.buffer:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise TimeoutError(f"no answer within {timeout:g} s")
            ready, _, _ = select.select([self.fd], [], [], remaining)
            if ready:
                chunk = os.read(self.fd, 4096)
                if not chunk:
                    raise HarnessError("the helper closed its output")
                self.buffer += chunk
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.decode("utf-8", "replace")


def stop_process(process, timeout=5.0):
    """Ends a child that was started in its own process group, with its group."""
    if process is None or process.returncode is not None:
        return
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            pass
        try:
            process.wait(timeout=timeout)
            return
        except subprocess.TimeoutExpired:
            continue


class SwaySession:
    """One headless sway with a session bus and a virtual keyboard and pointer.

    keyboard_helper: path of the lumenpad-test-keyboard binary (default: the
    LUMENPAD_VKBD variable); without it the seat has no keyboard or pointer,
    and type_text, press and click are unavailable.
    """

    def __init__(self, keyboard_helper=None):
        self.keyboard_helper = keyboard_helper or os.environ.get("LUMENPAD_VKBD") or None
        self.base_dir = None
        self.runtime_dir = None
        self.wayland_display = None
        self.swaysock = None
        self.bus_address = None
        self.sway = None
        self.bus = None
        self.keyboard = None
        self.keyboard_lines = None
        self._runtime_entries = frozenset()

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # Start and stop

    def start(self):
        sway = shutil.which("sway")
        if sway is None:
            raise CompositorUnavailable("sway is not installed")
        self.base_dir = tempfile.mkdtemp(prefix="lumenpad-sway-")
        try:
            self._start_sway(sway)
            self._start_bus()
            if self.keyboard_helper:
                self._start_keyboard()
            # swaybg paints the background a little after sway answers; tests
            # compare against that colour.
            self.wait_for_screen(lambda shot: shot.pixel(0, 0) == BACKGROUND, START_TIMEOUT,
                                 message="the background colour")
            self._runtime_entries = frozenset(os.listdir(self.runtime_dir))
        except BaseException:
            self.close()
            raise

    def close(self):
        if self.keyboard is not None:
            try:
                self.keyboard.stdin.close()
                self.keyboard.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                pass
            stop_process(self.keyboard)
            self.keyboard.stdout.close()
            self.keyboard = None
        stop_process(self.bus)
        self.bus = None
        stop_process(self.sway)
        self.sway = None
        if self.base_dir is not None:
            shutil.rmtree(self.base_dir, ignore_errors=True)
            self.base_dir = None

    def _start_sway(self, sway):
        os.chmod(self.base_dir, 0o755)
        self.runtime_dir = os.path.join(self.base_dir, "runtime")
        os.mkdir(self.runtime_dir, 0o700)
        config = os.path.join(self.base_dir, "sway.conf")
        with open(config, "w") as f:
            f.write(SWAY_CONFIG)
        os.chmod(config, 0o644)

        env = {
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "XDG_RUNTIME_DIR": self.runtime_dir,
            "WLR_BACKENDS": "headless",
            "WLR_LIBINPUT_NO_DEVICES": "1",
            "WLR_RENDERER": "pixman",
            "WLR_HEADLESS_OUTPUTS": "1",
        }
        command = [sway, "--config", config]
        if os.geteuid() == 0:
            uid, gid, home = ensure_test_user()
            os.chown(self.runtime_dir, uid, gid)
            env["HOME"] = home
            env["USER"] = TEST_USER
            command = ["setpriv", f"--reuid={uid}", f"--regid={gid}", "--init-groups",
                       "--pdeathsig=SIGTERM", *command]
        else:
            env["HOME"] = os.environ.get("HOME", self.base_dir)
        self.sway_log = os.path.join(self.base_dir, "sway.log")
        with open(self.sway_log, "wb") as log:
            self.sway = subprocess.Popen(command, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=subprocess.STDOUT, start_new_session=True)
        try:
            wait_for(self._sway_ready, START_TIMEOUT, interval=0.05, message="sway to answer on its sockets")
        except TimeoutError as e:
            raise CompositorUnavailable(f"{e}\n--- sway log ---\n{self.log_tail()}") from None

    def _sway_ready(self):
        if self.sway.poll() is not None:
            raise CompositorUnavailable(
                f"sway exited with status {self.sway.returncode}\n--- sway log ---\n{self.log_tail()}"
            )
        names = os.listdir(self.runtime_dir)
        displays = [n for n in names if n.startswith("wayland-") and not n.endswith(".lock")]
        sockets = [n for n in names if n.startswith("sway-ipc.") and n.endswith(".sock")]
        if not displays or not sockets:
            return False
        self.wayland_display = displays[0]
        self.swaysock = os.path.join(self.runtime_dir, sockets[0])
        result = subprocess.run(["swaymsg", "--socket", self.swaysock, "--raw", "-t", "get_outputs"],
                                capture_output=True, text=True, timeout=10)
        if result.returncode != 0:
            return False
        outputs = json.loads(result.stdout)
        return any(
            o.get("name") == OUTPUT_NAME and o.get("active")
            and o["rect"]["width"] == OUTPUT_WIDTH and o["rect"]["height"] == OUTPUT_HEIGHT
            for o in outputs
        )

    def _start_bus(self):
        socket = os.path.join(self.runtime_dir, "bus")
        config = os.path.join(self.base_dir, "bus.conf")
        with open(config, "w") as f:
            f.write(DBUS_CONFIG.format(socket=socket))
        with open(os.path.join(self.base_dir, "bus.log"), "wb") as log:
            self.bus = subprocess.Popen(
                ["setpriv", "--pdeathsig=SIGTERM", "dbus-daemon", f"--config-file={config}", "--nofork",
                 "--nosyslog"],
                env={"PATH": "/usr/bin:/bin", "HOME": self.base_dir},
                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT, start_new_session=True,
            )
        wait_for(lambda: os.path.exists(socket) or self.bus.poll() is not None, START_TIMEOUT,
                 message="the session bus")
        if self.bus.poll() is not None:
            raise HarnessError("dbus-daemon exited at start")
        self.bus_address = f"unix:path={socket}"

    def _start_keyboard(self):
        self.keyboard = subprocess.Popen(
            [self.keyboard_helper], env=self.env(), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
            start_new_session=True,
        )
        self.keyboard_lines = LineReader(self.keyboard.stdout)
        line = self.keyboard_lines.readline(START_TIMEOUT)
        if line != "ready":
            raise HarnessError(f"the keyboard helper did not start: {line!r}")
        wait_for(self._seat_has_devices, START_TIMEOUT, message="the seat's keyboard and pointer")
        self._park_pointer()

    def _seat_has_devices(self):
        seats = self.swaymsg("-t", "get_seats")
        keyboard_and_pointer = 0x1 | 0x2
        return any(seat["capabilities"] & keyboard_and_pointer == keyboard_and_pointer for seat in seats)

    def log_tail(self, lines=30):
        try:
            with open(self.sway_log, errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return "(no log)"

    # What clients need

    def env(self, base=None):
        """The environment for a client of this session: base (default: this
        process's environment) pointed at the private compositor and bus."""
        env = dict(os.environ if base is None else base)
        for name in FOREIGN_VARIABLES:
            env.pop(name, None)
        env.update({
            # An absolute socket path keeps working when a test points
            # XDG_RUNTIME_DIR elsewhere.
            "WAYLAND_DISPLAY": os.path.join(self.runtime_dir, self.wayland_display),
            "XDG_RUNTIME_DIR": self.runtime_dir,
            "SWAYSOCK": self.swaysock,
            "DBUS_SESSION_BUS_ADDRESS": self.bus_address,
            "GDK_BACKEND": "wayland",
            # The private bus has no accessibility service; without this GTK
            # warns about it in every client.
            "GTK_A11Y": "none",
        })
        return env

    def reset_runtime_dir(self):
        """Removes what clients left in the runtime directory (pid files, theme
        directories), keeping the compositor's and the bus's sockets."""
        for name in os.listdir(self.runtime_dir):
            if name in self._runtime_entries:
                continue
            path = os.path.join(self.runtime_dir, name)
            if os.path.isdir(path) and not os.path.islink(path):
                shutil.rmtree(path, ignore_errors=True)
            else:
                os.unlink(path)

    # Driving the compositor

    def swaymsg(self, *args):
        """Runs swaymsg against this session; returns the decoded JSON reply."""
        result = subprocess.run(["swaymsg", "--socket", self.swaysock, "--raw", *args],
                                capture_output=True, text=True, timeout=10)
        if result.returncode != 0:
            raise HarnessError(f"swaymsg {' '.join(args)} failed: {result.stdout}{result.stderr}")
        return json.loads(result.stdout)

    def screenshot(self, png_path=None, output=OUTPUT_NAME):
        """Captures the output; also writes it as PNG to png_path when given."""
        result = subprocess.run(["grim", "-t", "ppm", "-o", output, "-"], env=self.env(),
                                capture_output=True, timeout=20)
        if result.returncode != 0:
            raise HarnessError(f"grim failed: {result.stderr.decode(errors='replace')}")
        shot = parse_ppm(result.stdout)
        if png_path is not None:
            shot.save_png(png_path)
        return shot

    def wait_for_screen(self, condition, timeout, message="the screen", output=OUTPUT_NAME):
        """Captures the output until condition(screenshot) holds; returns that
        screenshot. What is on screen is also what sway uses to route clicks,
        so this is the way to know that a window is in place."""
        last = None

        def check():
            nonlocal last
            last = self.screenshot(output=output)
            return last if condition(last) else None

        try:
            return wait_for(check, timeout, interval=0.05, message=message)
        except TimeoutError as e:
            # Kept after the session ends, for a person to look at.
            fd, path = tempfile.mkstemp(prefix="lumenpad-screen-", suffix=".png")
            os.close(fd)
            last.save_png(path)
            raise TimeoutError(f"{e}; last screen: {path}") from None

    def click(self, x, y, button="button1"):
        """Presses and releases a button at (x, y) in output coordinates."""
        self._require_keyboard()
        self.swaymsg("seat", "-", "cursor", "set", str(x), str(y))
        self.swaymsg("seat", "-", "cursor", "press", button)
        self.swaymsg("seat", "-", "cursor", "release", button)
        self._park_pointer()

    def focus_output(self, name):
        """Gives output name the focus, which decides where new windows
        open; the pointer that sway moves onto it is parked again."""
        self.swaymsg("focus", "output", name)
        if self.keyboard is not None:
            self._park_pointer()

    def _park_pointer(self):
        # sway draws the pointer into the captured frames; in the bottom-right
        # corner its image lies off screen but for a pixel or two.
        self.swaymsg("seat", "-", "cursor", "set", str(OUTPUT_WIDTH - 1), str(OUTPUT_HEIGHT - 1))

    def type_text(self, text):
        """Types printable ASCII text into the focused client. It returns once
        the compositor has passed the keys on; wait for their effect (on
        screen, in a file) before asserting it."""
        if "\n" in text:
            raise ValueError("type_text takes one line; press('Return') ends it")
        self._keyboard_command(f"type {text}")

    def press(self, key):
        """Presses and releases the key of an XKB keysym name (Return, Escape, Down...)."""
        self._keyboard_command(f"key {key}")

    def hold(self, modifier, down=True):
        """Holds (or lets go of) shift, ctrl, alt or super."""
        self._keyboard_command(f"mod {modifier} {'down' if down else 'up'}")

    def hold_key(self, key, down=True):
        """Holds (or lets go of) the key of an unshifted XKB keysym name; the
        focused client repeats it while it is held."""
        self._keyboard_command(f"hold {key} {'down' if down else 'up'}")

    def set_key_repeat(self, rate, delay):
        """Sets the keyboards' repeat rate (per second) and delay (ms), which
        clients are told at once."""
        self.swaymsg("input", "type:keyboard", "repeat_rate", str(rate))
        self.swaymsg("input", "type:keyboard", "repeat_delay", str(delay))

    def _require_keyboard(self):
        if self.keyboard is None:
            raise HarnessError("this session has no keyboard helper (set LUMENPAD_VKBD)")

    def _keyboard_command(self, command):
        self._require_keyboard()
        try:
            self.keyboard.stdin.write(command.encode() + b"\n")
            self.keyboard.stdin.flush()
        except BrokenPipeError:
            raise HarnessError("the keyboard helper is gone") from None
        answer = self.keyboard_lines.readline(10)
        if answer != "ok":
            raise HarnessError(f"keyboard helper: {command!r}: {answer}")
