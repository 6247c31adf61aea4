"""The real launcher next to a hostile neighbour in the shared /tmp: without
HOME it reads and writes nothing there, and without a usable XDG_RUNTIME_DIR
another user's pid file there does not take its toggle. Each launcher runs
with a private /tmp (a directory of the test's, bound over /tmp in a mount
namespace of its own), so the machine's /tmp is never touched."""

import os
import pwd
import signal
import stat
import unittest

from home_tree import tree_snapshot
from launcher import LauncherTestCase
from private_tmp import private_mounts_available, private_tmp_wrapper

# An unprivileged account for the neighbour's files.
OTHER_UID = 65534

# Alphabetically first of all entries, so the first row when nothing else
# decides; the neighbour's configuration would put Zulu first.
ALPHA = ("Alpha Probe", "alpha-app")
ZULU = ("Zulu Probe", "zulu-app")

BASHRC = b"export PATH=/usr/bin\n"


class SharedTmpTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        if os.geteuid() != 0 or not private_mounts_available():
            self.skipTest("needs root and unshare for a private /tmp")
        self.stubs = {}
        for name, program in (ALPHA, ZULU):
            self.stubs[program] = self.home.stub(program)
            self.home.write_desktop_entry(name, program)
        self.shared_tmp = os.path.join(self.tmp, "shared-tmp")
        os.makedirs(self.shared_tmp)
        os.chmod(self.shared_tmp, 0o1777)

    def plant(self, relative, content=None, link=None):
        """Puts the neighbour's file (or link) at relative in the shared /tmp,
        with the directories on its way, all theirs."""
        path = os.path.join(self.shared_tmp, relative)
        directory = self.shared_tmp
        for part in os.path.dirname(relative).split("/"):
            directory = os.path.join(directory, part)
            if not os.path.isdir(directory):
                os.mkdir(directory, 0o755)
                os.chown(directory, OTHER_UID, OTHER_UID)
        if link is not None:
            os.symlink(link, path)
        else:
            with open(path, "w") as f:
                f.write(content)
        os.lchown(path, OTHER_UID, OTHER_UID)
        return path

    def wrapper(self, binds=()):
        return private_tmp_wrapper(os.path.join(self.tmp, "private-tmp-lumenpad"), os.environ["LUMENPAD_BIN"],
                                   self.shared_tmp, keep=(self.tmp, self.session.runtime_dir), binds=binds)

    def test_without_home_nothing_in_tmp_is_used_and_the_history_goes_home(self):
        password_home = pwd.getpwuid(os.getuid()).pw_dir
        if not os.path.isdir(password_home):
            self.skipTest(f"the password database's home {password_home} is not a directory")
        victim = os.path.join(self.tmp, "victim")
        os.makedirs(victim)
        bashrc = os.path.join(victim, ".bashrc")
        with open(bashrc, "wb") as f:
            f.write(BASHRC)
        self.plant(".cache/lumenpad/history.json", link=bashrc)
        self.plant(".cache/lumenpad/manifest.json", '{"alpha-app": "/tmp/planted.png"}')
        self.plant(".config/lumenpad/config.toml", '[[context]]\nname = "default"\npriority = ["zulu"]\n')
        self.plant(".config/lumenpad/style.css", "* { font-size: 1px; }\n")
        planted = tree_snapshot(os.path.join(self.shared_tmp, ".cache")), tree_snapshot(
            os.path.join(self.shared_tmp, ".config"))

        # The user's real home stays out of reach: a directory of the test's
        # takes its place.
        user_home = os.path.join(self.tmp, "user-home")
        os.makedirs(user_home, 0o700)
        wrapper = self.wrapper(binds=[(user_home, password_home)])
        self.launch_once(env={"HOME": None, "XDG_CONFIG_HOME": None, "XDG_CACHE_HOME": None}, binary=wrapper)

        self.assertEqual(self.home.wait_for_calls(ALPHA[1], 1), [[self.stubs[ALPHA[1]]]])
        self.assertEqual(self.home.calls(ZULU[1]), [])
        with open(bashrc, "rb") as f:
            self.assertEqual(f.read(), BASHRC)
        self.assertEqual((tree_snapshot(os.path.join(self.shared_tmp, ".cache")),
                          tree_snapshot(os.path.join(self.shared_tmp, ".config"))), planted)
        cache = os.path.join(user_home, ".cache", "lumenpad")
        with open(os.path.join(cache, "history.json"), "rb") as f:
            self.assertEqual(f.read(), b'{"Alpha Probe":1}')
        self.assertEqual(stat.S_IMODE(os.stat(cache).st_mode), 0o700)

    def test_without_a_runtime_directory_another_users_pid_file_leaves_the_toggle_working(self):
        self.plant("lumenpad.pid", "1")
        wrapper = self.wrapper()
        # GTK opens no display at all without XDG_RUNTIME_DIR; one that is not
        # UTF-8 it still uses, while the launcher puts its pid file in /tmp.
        runtime_dir = os.path.join(self.tmp, "run\udcff")
        os.mkdir(runtime_dir, 0o700)
        env = {"XDG_RUNTIME_DIR": runtime_dir}
        first = self.start_launcher(env=env, binary=wrapper)
        first.wait_for_surface()
        with open(os.path.join(self.shared_tmp, f"lumenpad-{os.geteuid()}.pid")) as f:
            self.assertEqual(f.read(), str(first.pid))

        second = self.start_launcher(env=env, binary=wrapper)
        self.assertEqual(second.wait_exit(), 0)
        self.assertEqual(first.wait_exit(), -signal.SIGTERM)
        first.wait_for_no_surface()
        with open(os.path.join(self.shared_tmp, "lumenpad.pid")) as f:
            self.assertEqual(f.read(), "1")


if __name__ == "__main__":
    unittest.main()
