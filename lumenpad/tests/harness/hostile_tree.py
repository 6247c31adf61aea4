"""Every input of the launcher made hostile at once, around a few good
desktop entries: special files where files are expected, files far too big,
bytes that are not UTF-8, deeply nested JSON, a huge configuration, icons
that are FIFOs, devices, directories and decompression bombs, style sheets
that are not CSS, and a compositor socket that floods its client.

Used by the end-to-end tests and by bench/startup --hostile."""

import os
import select
import socket
import struct
import threading
import zlib

# The good entries: (name, program, icon name). The manifest maps each icon
# name to something that is no readable image.
GOOD_ENTRIES = (
    ("Zulu Hostile", "zulu-hostile", "zq-fifo"),
    ("Zulu Directory Icon", "zulu-directory-icon", "zq-directory"),
    ("Zulu Zero Icon", "zulu-zero-icon", "zq-zero"),
    ("Zulu Big Icon", "zulu-big-icon", "zq-big"),
    ("Zulu Bomb Icon", "zulu-bomb-icon", "zq-bomb"),
)
# Read from a file whose other lines are not UTF-8.
BYTES_ENTRY = ("Zulu Bytes", "zulu-bytes")

HUGE_SIZE = 50 * 1024 * 1024
CONTEXTS = 10_000
NESTING = 100_000
SIGNATURE = "hostile"


def png_bomb(path, side=20_000):
    """A grey PNG of side x side pixels, all zero: under 400 KB on disk, over
    a gigabyte once decoded."""

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    compressor = zlib.compressobj(9)
    row = bytes(side + 1)
    pixels = b"".join(compressor.compress(row) for _ in range(side)) + compressor.flush()
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", side, side, 8, 0, 0, 0, 0))
                + chunk(b"IDAT", pixels) + chunk(b"IEND", b""))
    return path


def zero_device(path):
    """A character device with the numbers of the system's source of zero
    bytes, made here: nothing outside the tree is ever named."""
    os.mknod(path, 0o400 | 0o020000, os.makedev(1, 5))
    return path


class FloodingCompositor:
    """A stand-in for Hyprland's request socket that answers every request
    with a megabyte of '[' and more, until the client stops reading."""

    def __init__(self, path):
        self.path = path
        self._stop_read, self._stop_write = os.pipe()
        self._listener = None
        self._thread = None

    def start(self):
        os.makedirs(os.path.dirname(self.path), exist_ok=True)
        self._listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._listener.bind(self.path)
        self._listener.listen(4)
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        return self

    def _serve(self):
        flood = b"[" * (1024 * 1024)
        while True:
            ready, _, _ = select.select([self._listener, self._stop_read], [], [])
            if self._stop_read in ready:
                return
            connection, _ = self._listener.accept()
            with connection:
                connection.settimeout(5)
                try:
                    connection.recv(64)
                    connection.sendall(flood)
                except OSError:
                    pass  # the client gave up reading, as it should

    def close(self):
        if self._thread is not None:
            os.write(self._stop_write, b"x")
            self._thread.join(10)
            self._listener.close()
        os.close(self._stop_read)
        os.close(self._stop_write)


class HostileTree:
    """Plants the hostile inputs into a HomeTree; scratch holds the special
    files the inputs point at and a runtime directory of its own."""

    def __init__(self, home, scratch):
        self.home = home
        self.scratch = scratch
        self.runtime_dir = os.path.join(scratch, "runtime")
        os.makedirs(self.runtime_dir, mode=0o700)
        self.compositor = FloodingCompositor(os.path.join(self.runtime_dir, "hypr", SIGNATURE, ".socket.sock"))
        self._plant()

    @property
    def env(self):
        """Variables that point the launcher at the hostile runtime directory
        and its flooding compositor."""
        return {"XDG_RUNTIME_DIR": self.runtime_dir, "HYPRLAND_INSTANCE_SIGNATURE": SIGNATURE}

    def _plant(self):
        home, scratch = self.home, self.scratch
        applications = os.path.join(home.data_home, "applications")
        os.makedirs(applications, exist_ok=True)
        for name, program, icon in GOOD_ENTRIES:
            home.stub(program)
            home.write_desktop_entry(name, program, Icon=icon)
        home.stub(BYTES_ENTRY[1])
        home.write_file(os.path.join(applications, "bytes.desktop"),
                        b"\xff\xfe[Desktop Entry]\n[Desktop Entry]\n\xc0\xafName=Bad\nType=Application\n"
                        b"Name=" + BYTES_ENTRY[0].encode() + b"\n\xed\xa0\x80\nExec=" + BYTES_ENTRY[1].encode()
                        + b"\n" + bytes(range(256)) * 64)

        zero = zero_device(os.path.join(scratch, "zero"))
        fifo = os.path.join(scratch, "fifo")
        os.mkfifo(fifo)
        os.mkfifo(os.path.join(applications, "fifo.desktop"))
        os.symlink(zero, os.path.join(applications, "zero.desktop"))
        os.symlink("loop.desktop", os.path.join(applications, "loop.desktop"))
        os.mkdir(os.path.join(applications, "directory.desktop"))
        huge = home.write_file(os.path.join(applications, "huge.desktop"),
                               "[Desktop Entry]\nType=Application\nName=Zulu Huge\nExec=huge\n")
        os.truncate(huge, HUGE_SIZE)
        home.write_file(os.path.join(applications, "long-line.desktop"),
                        "[Desktop Entry]\nX-Long=" + "x" * (4 * 1024 * 1024) + "\n")

        big_icon = os.path.join(scratch, "big.png")
        with open(big_icon, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n")
        os.truncate(big_icon, HUGE_SIZE)
        icons = os.path.join(scratch, "icons")
        os.mkdir(icons)
        os.symlink(zero, os.path.join(scratch, "zero.png"))
        cache = os.path.join(home.cache_home, "lumenpad")
        # Every path is one of ours, so none needs JSON escaping.
        manifest = ", ".join(f'"{name}": "{path}"' for name, path in (
            ("zq-fifo", fifo), ("zq-directory", icons), ("zq-zero", os.path.join(scratch, "zero.png")),
            ("zq-big", big_icon), ("zq-bomb", png_bomb(os.path.join(scratch, "bomb.png")))))
        home.write_file(os.path.join(cache, "manifest.json"), "{" + manifest + "}")
        home.write_file(os.path.join(cache, "history.json"),
                        '{"Zulu Hostile": ' + "[" * NESTING + "]" * NESTING + "}")
        home.write_file(os.path.join(home.cache_home, "wal", "colors.json"),
                        '{"colors": {"color4": "#ff00ff"}, "deep": ' + "[" * NESTING + "]" * NESTING + "}")

        home.write_file(os.path.join(home.config_home, "lumenpad", "config.toml"),
                        "".join(f'[[context]]\nname = "workspace {i}"\npriority = ["app {i}", "other {i}"]\n'
                                for i in range(CONTEXTS)))
        not_css = b"\x00\xff\xfe not css {{{ \xc3\x28 }" + bytes(range(256))
        home.write_file(os.path.join(home.config_home, "lumenpad", "style.css"), not_css)
        theme_dir = os.path.join(self.runtime_dir, "oriel")
        os.mkdir(theme_dir)
        with open(os.path.join(theme_dir, "theme.css"), "wb") as f:
            f.write(not_css)
        self.replant()

    def replant(self):
        """Puts back what a launcher run removes: the FIFO under the pid
        file's name."""
        pid_file = os.path.join(self.runtime_dir, "lumenpad.pid")
        if not os.path.lexists(pid_file):
            os.mkfifo(pid_file)

    def start(self):
        self.compositor.start()
        return self

    def close(self):
        self.compositor.close()
