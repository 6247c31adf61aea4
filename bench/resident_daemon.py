"""A `lumenpad --daemon` run for the benchmarks, in a runtime directory and on
a session bus of its own (a cold launcher on the same bus would show the
daemon's window instead of its own, and a second daemon would not start),
logging its Wayland requests (WAYLAND_DEBUG=client) to a file that a
WaylandLog follows; `lumenpad` commands toggle its window."""

import ctypes
import os
import signal
import stat
import subprocess
import time

from loop_log import LoopLog
from sway_session import DBUS_CONFIG
from wayland_log import WaylandLog

READY_LIMIT = 60.0
TOGGLE_LIMIT = 15.0
STOP_LIMIT = 15.0


def realtime_us():
    return time.clock_gettime_ns(time.CLOCK_REALTIME) // 1000


def wait_until(condition, limit, interval=0.002):
    deadline = time.monotonic() + limit
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


_libc = ctypes.CDLL(None, use_errno=True)


def process_cpu_ns(pid):
    """CPU time of the process so far, threads that ended included, in
    nanoseconds: its CPU-time clock (utime and stime count whole clock
    ticks)."""
    clock = ctypes.c_int()
    error = _libc.clock_getcpuclockid(pid, ctypes.byref(clock))
    if error != 0:
        raise OSError(error, os.strerror(error))
    return time.clock_gettime_ns(clock.value)


def thread_switches(pid):
    """{thread id: context switches so far}: each is a wake-up or a
    preemption."""
    switches = {}
    task_dir = f"/proc/{pid}/task"
    for task in os.listdir(task_dir):
        try:
            with open(os.path.join(task_dir, task, "status")) as f:
                switches[task] = sum(int(line.split()[1]) for line in f if line.startswith(
                    ("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")))
        except OSError:
            pass  # A thread that ended meanwhile.
    return switches


def switches_between(before, after):
    """Context switches between two thread_switches() of one process, of the
    threads alive at both, and how many threads started or ended between."""
    switches = sum(after[t] - before[t] for t in before.keys() & after.keys())
    return switches, len(before.keys() ^ after.keys())


def status_kib(pid, field):
    """A "VmRSS"-like field of /proc/PID/status, in KiB, or None."""
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def utime_stime_s(pid):
    """utime + stime from /proc/PID/stat, in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class DaemonFailed(Exception):
    pass


class ResidentDaemon:
    """binary is the build's `lumenpad`; env the session's environment, whose
    XDG_RUNTIME_DIR is replaced by runtime_dir (created here) for the daemon
    and its clients. probe: the main-loop probe to preload into the daemon."""

    def __init__(self, binary, env, runtime_dir, log_path, probe=None, loop_path=None):
        self.binary = binary
        os.makedirs(runtime_dir, mode=0o700)
        self.runtime_dir = runtime_dir
        self.env = dict(env, XDG_RUNTIME_DIR=runtime_dir)
        self.bus = None
        self.socket_path = os.path.join(runtime_dir, "lumenpad.sock")
        self.log_path = log_path
        self.probe = probe
        self.loop_path = loop_path
        self.process = None
        self.log = None
        self.loop = None

    def _start_bus(self):
        socket = os.path.join(self.runtime_dir, "bus")
        config = os.path.join(self.runtime_dir, "bus.conf")
        with open(config, "w") as f:
            f.write(DBUS_CONFIG.format(socket=socket))
        self.bus = subprocess.Popen(["dbus-daemon", f"--config-file={config}", "--nofork", "--nosyslog"],
                                    env={"PATH": "/usr/bin:/bin", "HOME": self.runtime_dir},
                                    stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, start_new_session=True)
        if not wait_until(lambda: os.path.exists(socket) or self.bus.poll() is not None, READY_LIMIT) \
                or self.bus.poll() is not None:
            raise DaemonFailed("the daemon's session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={socket}"

    def start(self, cwd):
        self._start_bus()
        env = dict(self.env, WAYLAND_DEBUG="client")
        if self.probe is not None:
            env["LD_PRELOAD"] = self.probe
            env["LUMENPAD_LOOP_LOG"] = self.loop_path
        with open(self.log_path, "wb") as log_file:
            started = realtime_us()
            self.process = subprocess.Popen([self.binary, "--daemon"], env=env, cwd=cwd,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                            stderr=log_file, start_new_session=True)
        self.log = WaylandLog(self.log_path, started)
        self.loop = LoopLog(self.loop_path if self.probe is not None else None, self.log)
        # The socket appears once the window is built and ready to show.
        if not wait_until(lambda: self._has_socket() or self.process.poll() is not None, READY_LIMIT) \
                or self.process.poll() is not None:
            raise DaemonFailed(f"lumenpad --daemon did not make its socket (status {self.process.poll()}): "
                               f"{self.log_tail()}")
        return self

    def log_tail(self):
        """Its last lines that are not protocol: what it said."""
        with open(self.log_path, errors="replace") as f:
            said = [line for line in f if not line.startswith("[")]
        return "".join(said[-5:]).strip() or "(nothing)"

    def _has_socket(self):
        try:
            return stat.S_ISSOCK(os.lstat(self.socket_path).st_mode)
        except FileNotFoundError:
            return False

    @property
    def pid(self):
        return self.process.pid

    def running(self):
        return self.process.poll() is None

    def toggle(self, cwd):
        """Runs `lumenpad` once; (when it was started, on the log's scale in
        microseconds; its exit status; its wall time in ms; its CPU time in
        ms)."""
        started = realtime_us()
        began = time.monotonic()
        client = subprocess.Popen([self.binary], env=self.env, cwd=cwd, stdin=subprocess.DEVNULL,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(client.pid, 0)
        took = (time.monotonic() - began) * 1000
        client.returncode = os.waitstatus_to_exitcode(status)
        return (self.log.since(started), client.returncode, took,
                (usage.ru_utime + usage.ru_stime) * 1000)

    def shown_since(self, since, limit=TOGGLE_LIMIT):
        """Waits for the first frame on the layer surface at or after since;
        its time, or None."""
        def shown():
            self.log.poll()
            return self.log.frame_since(since) is not None or not self.running()

        wait_until(shown, limit)
        return self.log.frame_since(since)

    def gone_since(self, since, limit=TOGGLE_LIMIT):
        """Waits for the surface to go at or after since; its time, or None."""
        def gone():
            self.log.poll()
            return self.log.gone_since(since) is not None or not self.running()

        wait_until(gone, limit)
        return self.log.gone_since(since)

    def stop(self):
        """SIGTERM, then its bus; its exit status (None when it needed a
        SIGKILL after STOP_LIMIT, or never started)."""
        status = None
        if self.process is not None:
            if self.process.poll() is None:
                self.process.send_signal(signal.SIGTERM)
            try:
                status = self.process.wait(STOP_LIMIT)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)
                self.process.wait()
        if self.bus is not None:
            self.bus.terminate()
            self.bus.wait()
        return status
