"""Reads the protocol log that libwayland-client writes to standard error
under WAYLAND_DEBUG=client, while the client runs, and finds the frames of its
layer surface.

Each line starts with a stamp "[ssssss.uuu]": CLOCK_REALTIME in microseconds,
truncated to 32 bits, printed as milliseconds and microseconds. Stamps are
turned into microseconds since a reference time taken from the same clock,
which is exact while less than 2^32 microseconds (71 minutes) have passed.
"""

import re

from followed_file import FollowedFile

_WRAP = 1 << 32

_LINE = re.compile(r"^\[\s*(\d+)\.(\d{3})\]\s+(->\s+)?(\w+)@(\d+)\.(\w+)\((.*)\)\s*$")
_SURFACE_ARG = re.compile(r"wl_surface@(\d+)")
_LAYER_SURFACE_ARG = re.compile(r"zwlr_layer_surface_v1@(\d+)")


def realtime_us_to_stamp(realtime_us):
    """The 32-bit stamp of a CLOCK_REALTIME time in microseconds."""
    return realtime_us % _WRAP


class WaylandLog:
    """Follows one client's log file. Times are microseconds since `since_us`
    (CLOCK_REALTIME, microseconds), taken just before the client started."""

    def __init__(self, path, since_us):
        self._file = FollowedFile(path)
        self.since_stamp = realtime_us_to_stamp(since_us)
        self.layer_surface = None
        # When the client first spoke to the compositor, and when it asked
        # for its layer surface.
        self.connected = None
        self.layer_surface_requested = None
        self._attached = False
        self._lines = 0
        # Commits of the layer surface that bring a new buffer, as (line, time).
        self._frames = []
        # When the surface went: its layer surface or its wl_surface was
        # destroyed, or it was unmapped (a commit with no buffer). A window
        # that is shown again gets a new layer surface.
        self._gone = []
        self._layer_role = None
        self._unmapped = False
        self.keyboard_enter = None
        # Key presses the client received, as (line, time).
        self._key_presses = []

    def since(self, realtime_us):
        """A CLOCK_REALTIME time in microseconds on this log's scale."""
        return (realtime_us_to_stamp(realtime_us) - self.since_stamp) % _WRAP

    def poll(self):
        """Reads what the client has written since the last call."""
        for line in self._file.new_lines():
            self._line(line.decode("utf-8", "replace"))

    def _line(self, text):
        m = _LINE.match(text)
        if m is None:
            return
        self._lines += 1
        stamp = int(m.group(1)) * 1000 + int(m.group(2))
        at = (stamp - self.since_stamp) % _WRAP
        request = m.group(3) is not None
        interface, object_id, message, args = m.group(4), int(m.group(5)), m.group(6), m.group(7)
        if request and self.connected is None:
            self.connected = at
        if request and interface == "zwlr_layer_shell_v1" and message == "get_layer_surface":
            surface = _SURFACE_ARG.search(args)
            role = _LAYER_SURFACE_ARG.search(args)
            if surface is not None:
                self.layer_surface = int(surface.group(1))
                self._layer_role = None if role is None else int(role.group(1))
                self._unmapped = False
                if self.layer_surface_requested is None:
                    self.layer_surface_requested = at
        elif request and interface == "wl_surface" and object_id == self.layer_surface:
            if message == "attach":
                self._attached = not args.startswith("nil")
                self._unmapped = not self._attached
            elif message == "commit" and self._attached:
                self._frames.append((self._lines, at))
                self._attached = False
            elif message == "commit" and self._unmapped:
                self._went(at)
            elif message == "destroy":
                self._went(at)
        elif request and interface == "zwlr_layer_surface_v1" and object_id == self._layer_role:
            if message == "destroy":
                self._went(at)
        elif not request and interface == "wl_keyboard":
            if message == "enter" and self.keyboard_enter is None:
                self.keyboard_enter = at
            elif message == "key" and args.rstrip().endswith(", 1"):
                self._key_presses.append((self._lines, at))

    def _went(self, at):
        self._gone.append(at)
        self.layer_surface = None
        self._layer_role = None
        self._attached = False
        self._unmapped = False

    def frame_since(self, since):
        """The first frame committed at or after `since`, or None."""
        return next((at for line, at in self._frames if at >= since), None)

    def gone_since(self, since):
        """When the surface first went at or after `since`, or None."""
        return next((at for at in self._gone if at >= since), None)

    @property
    def first_frame(self):
        return self._frames[0][1] if self._frames else None

    @property
    def last_frame(self):
        return self._frames[-1][1] if self._frames else None

    def frame_after_key(self, sent):
        """The first frame committed after the first key press that the client
        received at or after `sent` (on this log's scale), or None."""
        press = next((line for line, at in self._key_presses if at >= sent), None)
        if press is None:
            return None
        return next((at for line, at in self._frames if line > press), None)
