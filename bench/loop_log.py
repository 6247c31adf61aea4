"""Reads the main-loop iterations that lumenpad-bench-loop-probe appends to
its log while the program runs, on the scale of a WaylandLog."""

from followed_file import FollowedFile


class LoopLog:
    """Iterations of 1 ms or more as (start, duration) in microseconds, start
    on the WaylandLog's scale. With no path it stays empty."""

    def __init__(self, path, wayland_log):
        self._file = FollowedFile(path) if path is not None else None
        self._scale = wayland_log
        self.iterations = []

    @property
    def enabled(self):
        return self._file is not None

    def poll(self):
        if self._file is None:
            return
        for line in self._file.new_lines():
            start, took = (int(v) for v in line.split())
            self.iterations.append((self._scale.since(start), took))

    def last_end(self, since):
        """When the last iteration that started at or after since ended."""
        ends = [start + took for start, took in self.iterations if start >= since]
        return max(ends) if ends else None

    def longest(self, since, until):
        """The longest iteration that started in [since, until)."""
        durations = [took for start, took in self.iterations if since <= start < until]
        return max(durations) if durations else None
