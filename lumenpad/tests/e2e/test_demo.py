"""The demo that scripts/run shows without a Wayland display: it runs the real
launcher in its own headless compositor and saves a picture of the panel with
the query typed."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

from demo import MARGIN

DEMO = os.path.join(os.path.dirname(__file__), "..", "harness", "demo.py")
FIELD = (0x45, 0x47, 0x5A)
SELECTED_ROW = FIELD


def read_png(path):
    """Width, height and RGB rows of a PNG as the harness writes it (8-bit
    RGB, one IDAT, no filters)."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    width, height = struct.unpack(">II", data[16:24])
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IDAT":
            idat += data[pos + 8:pos + 8 + length]
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    rows = [raw[y * stride + 1:(y + 1) * stride] for y in range(height)]
    return width, height, rows


def pixel(rows, x, y):
    return tuple(rows[y][x * 3:x * 3 + 3])


class DemoTest(unittest.TestCase):
    def test_saves_a_picture_of_the_panel_with_the_query(self):
        with tempfile.TemporaryDirectory(prefix="lumenpad-demo-test-") as tmp:
            output = os.path.join(tmp, "demo.png")
            result = subprocess.run(
                [sys.executable, DEMO, "--launcher", os.environ["LUMENPAD_BIN"],
                 "--keyboard", os.environ["LUMENPAD_VKBD"], "--output", output, "--query", "te"],
                capture_output=True, text=True, timeout=300)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(output, result.stdout)
            width, height, rows = read_png(output)
        # The 600-pixel panel with room for its shadow on either side.
        self.assertEqual(width, 600 + 2 * MARGIN)
        # The search field's colour right of the query, and a selected row
        # (the same colour) below it; a list that lost its rows would be
        # shorter than one row.
        self.assertEqual(pixel(rows, MARGIN + 300, MARGIN + 6), FIELD)
        self.assertEqual(pixel(rows, MARGIN + 300, MARGIN + 84), SELECTED_ROW)
        self.assertGreater(height, MARGIN + 56 + 2 * 48)


if __name__ == "__main__":
    unittest.main()
