"""A private home for one test: HOME and the XDG directories, desktop entries,
and stub programs on PATH that record how they were called."""

import json
import os
import re
import stat
import struct
import zlib

from sway_session import wait_for

# Stubs record their argv as a JSON array in CALLS/NAME.NNNN.json (or, with
# process=True, an object with "argv", "pid", "env" and "cwd"). The file is linked
# into place complete, so a reader never sees half of it.
STUB_TEMPLATE = """\
#!/usr/bin/python3
import json, os, sys
calls, name = {calls!r}, {name!r}
tmp = os.path.join(calls, ".%s.%d.tmp" % (name, os.getpid()))
with open(tmp, "w") as f:
    json.dump({record}, f)
n = 0
while True:
    try:
        os.link(tmp, os.path.join(calls, "%s.%04d.json" % (name, n)))
        break
    except FileExistsError:
        n += 1
os.unlink(tmp)
sys.exit({exit_code})
"""

SYSTEM_PATH = "/usr/local/bin:/usr/bin:/bin"


def write_png(path, rgb, size=32):
    """A solid-colour RGB PNG."""

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    raw = b"".join(b"\0" + bytes(rgb) * size for _ in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw))
                + chunk(b"IEND", b""))


def tree_snapshot(root):
    """Every entry under root (root included) with its kind, owner,
    permissions, inode and content or link text: two equal snapshots mean
    that nothing was written, replaced or left behind."""
    entries = {}
    for directory, names, files in os.walk(root):
        for name in [""] + names + files if directory == root else names + files:
            path = os.path.join(directory, name) if name else directory
            st = os.lstat(path)
            if stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    content = f.read()
            elif stat.S_ISLNK(st.st_mode):
                content = os.readlink(path)
            else:
                content = st.st_rdev
            entries[os.path.relpath(path, root)] = (st.st_mode, st.st_uid, st.st_ino, content)
    return entries


class HomeTree:
    """Lays out root/ with home, config, cache, data, an empty data-dirs entry,
    a stub bin directory and the stubs' call records."""

    def __init__(self, root):
        self.root = root
        self.home = os.path.join(root, "home")
        self.config_home = os.path.join(self.home, ".config")
        self.cache_home = os.path.join(self.home, ".cache")
        self.data_home = os.path.join(self.home, ".local", "share")
        self.state_home = os.path.join(self.home, ".local", "state")
        self.data_dirs = os.path.join(root, "data-dirs")
        self.bin = os.path.join(root, "bin")
        self.calls_dir = os.path.join(root, "calls")
        for d in (self.config_home, self.cache_home, self.data_home, self.state_home, self.data_dirs,
                  self.bin, self.calls_dir):
            os.makedirs(d, exist_ok=True)

    @property
    def env(self):
        """The variables that point a program at this tree; stubs come first on PATH."""
        return {
            "HOME": self.home,
            "XDG_CONFIG_HOME": self.config_home,
            "XDG_CACHE_HOME": self.cache_home,
            "XDG_DATA_HOME": self.data_home,
            "XDG_STATE_HOME": self.state_home,
            "XDG_DATA_DIRS": self.data_dirs,
            "PATH": f"{self.bin}:{SYSTEM_PATH}",
        }

    def write_file(self, path, content, mode=0o644):
        """Writes text or bytes to path (relative paths are taken from the home
        directory), creating its directories."""
        path = os.path.join(self.home, path)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = content.encode() if isinstance(content, str) else content
        with open(path, "wb") as f:
            f.write(data)
        os.chmod(path, mode)
        return path

    def write_desktop_entry(self, name, exec, *, file_name=None, directory=None, **keys):
        """Writes an application entry into directory (default: the user's
        applications directory). keys add or override lines; True and False
        become "true" and "false", None leaves a key out. Returns the path."""
        fields = {"Type": "Application", "Name": name, "Exec": exec, **keys}
        lines = ["[Desktop Entry]"]
        for key, value in fields.items():
            if value is None:
                continue
            if isinstance(value, bool):
                value = "true" if value else "false"
            lines.append(f"{key}={value}")
        if file_name is None:
            file_name = re.sub(r"[^A-Za-z0-9]+", "-", name).strip("-").lower() + ".desktop"
        directory = directory or os.path.join(self.data_home, "applications")
        return self.write_file(os.path.join(directory, file_name), "\n".join(lines) + "\n")

    def stub(self, name, exit_code=0, process=False):
        """Puts a program called name on PATH that records its argv (with
        process=True, also its pid, environment and working directory) and
        exits."""
        path = os.path.join(self.bin, name)
        record = ('{"argv": sys.argv, "pid": os.getpid(), "env": dict(os.environ), "cwd": os.getcwd()}'
                  if process else "sys.argv")
        with open(path, "w") as f:
            f.write(STUB_TEMPLATE.format(calls=self.calls_dir, name=name, exit_code=exit_code, record=record))
        os.chmod(path, 0o755)
        return path

    def calls(self, name):
        """The argv of every call of the stub so far, oldest first; argv[0] is
        the stub's path."""
        pattern = re.compile(re.escape(name) + r"\.(\d+)\.json")
        records = sorted((int(m.group(1)), m.group(0))
                         for m in map(pattern.fullmatch, os.listdir(self.calls_dir)) if m)
        result = []
        for _, record in records:
            with open(os.path.join(self.calls_dir, record)) as f:
                result.append(json.load(f))
        return result

    def wait_for_calls(self, name, count=1, timeout=10.0):
        """Waits until the stub has been called count times; returns the calls."""
        return wait_for(lambda: len(self.calls(name)) >= count and self.calls(name), timeout,
                        message=f"{count} call(s) of {name}")
