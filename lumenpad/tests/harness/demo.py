#!/usr/bin/env python3
"""Shows the launcher without a desktop: runs it in a private headless sway
over a few sample applications, types a query and saves a picture of the panel.

    demo.py --launcher BIN --keyboard HELPER --output PNG [--query TEXT]

scripts/run uses it when there is no Wayland display.
"""

import argparse
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from home_tree import HomeTree  # noqa: E402
from launcher import PANEL_LEFT, PANEL_RIGHT, PANEL_TOP, Launcher  # noqa: E402
from sway_session import (BACKGROUND, OUTPUT_HEIGHT, CompositorUnavailable, HarnessError,  # noqa: E402
                          Screenshot, SwaySession)

# Name, icon (from the Adwaita theme that GTK brings), window class.
SAMPLE_APPLICATIONS = (
    ("Files", "system-file-manager", "org.gnome.Nautilus"),
    ("Terminal", "utilities-terminal", "foot"),
    ("Text Editor", "accessories-text-editor", "org.gnome.TextEditor"),
    ("Web Browser", "web-browser", "firefox"),
    ("Calculator", "accessories-calculator", "org.gnome.Calculator"),
    ("Character Map", "accessories-character-map", "gucharmap"),
    ("Settings", "preferences-system", "gnome-control-center"),
    ("Software", "system-software-install", "org.gnome.Software"),
    ("System Monitor and Task Manager for the Whole Desktop Session", "applications-system", None),
    ("Music", "multimedia-player", "lollypop"),
    ("Volume Control", "multimedia-volume-control", "pavucontrol"),
    ("Help", "help-browser", "yelp"),
)
# Room left around the panel in the picture, for its shadow.
MARGIN = 40
TIMEOUT = 20.0


def write_sample_home(home):
    for name, icon, window_class in SAMPLE_APPLICATIONS:
        home.write_desktop_entry(name, "true", Icon=icon, StartupWMClass=window_class)


def panel_picture(shot):
    """The panel and its shadow cut out of a screenshot of the output."""
    left, right = PANEL_LEFT - MARGIN, PANEL_RIGHT + MARGIN
    drawn = [y for y in range(PANEL_TOP, OUTPUT_HEIGHT) if shot.count_not(BACKGROUND, left, y, right, y + 1)]
    top = PANEL_TOP - MARGIN
    bottom = min(OUTPUT_HEIGHT, (drawn[-1] + 1 if drawn else PANEL_TOP) + MARGIN // 2)
    return Screenshot(right - left, bottom - top, shot.region(left, top, right, bottom))


def settled_after(session, launcher, before):
    """Waits until the panel differs from before and holds still."""
    previous = None

    def changed_and_still(shot):
        nonlocal previous
        region = shot.region(PANEL_LEFT, PANEL_TOP, PANEL_RIGHT, OUTPUT_HEIGHT)
        done = region != before and region == previous
        previous = region
        if not launcher.running():
            raise HarnessError(f"the launcher exited; its stderr:\n{launcher.stderr()}")
        return done

    return session.wait_for_screen(changed_and_still, TIMEOUT, message="the panel to show the query")


def run_demo(launcher_binary, keyboard, output, query):
    with SwaySession(keyboard_helper=keyboard) as session, \
            tempfile.TemporaryDirectory(prefix="lumenpad-demo-") as root:
        home = HomeTree(os.path.join(root, "tree"))
        write_sample_home(home)
        workdir = os.path.join(root, "run")
        os.mkdir(workdir)
        # GTK finds the icon theme through XDG_DATA_DIRS.
        env = {"XDG_DATA_DIRS": f"{home.data_dirs}:/usr/local/share:/usr/share"}
        launcher = Launcher(session, home, workdir, binary=launcher_binary, env=env).start()
        try:
            first = launcher.wait_for_surface(TIMEOUT)
            session.type_text(query)
            shot = settled_after(session, launcher,
                                 first.region(PANEL_LEFT, PANEL_TOP, PANEL_RIGHT, OUTPUT_HEIGHT))
            panel_picture(shot).save_png(output)
            launcher.assert_clean_stderr()
        finally:
            launcher.stop()


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--launcher", required=True, help="the lumenpad binary")
    parser.add_argument("--keyboard", required=True, help="the lumenpad-test-keyboard helper")
    parser.add_argument("--output", required=True, help="where to save the PNG picture")
    parser.add_argument("--query", default="te", help="what to type (default: %(default)s)")
    args = parser.parse_args(argv)
    try:
        # The launcher runs in a directory of its own.
        run_demo(os.path.abspath(args.launcher), os.path.abspath(args.keyboard), args.output, args.query)
    except (CompositorUnavailable, HarnessError, TimeoutError, AssertionError) as e:
        print(f"demo: {e}", file=sys.stderr)
        return 1
    print(f"A picture of lumenpad is in {args.output}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
