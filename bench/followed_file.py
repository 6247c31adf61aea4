"""A file another process appends lines to while it runs, read a piece at a
time: each call returns the lines completed since the last."""

import os


class FollowedFile:
    def __init__(self, path):
        self.path = path
        self._offset = 0
        self._partial = b""

    def new_lines(self):
        """The whole lines written since the last call; none while the file
        does not exist."""
        if not os.path.exists(self.path):
            return []
        with open(self.path, "rb") as f:
            f.seek(self._offset)
            data = f.read()
        self._offset += len(data)
        lines = (self._partial + data).split(b"\n")
        self._partial = lines.pop()
        return lines
