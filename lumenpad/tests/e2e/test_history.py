"""The launch history across runs of the real launcher: counts written after
each launch, the most launched application first at the next start, an
existing history.json kept whole when it cannot be rewritten, and nothing
written through what others put in its place."""

import os
import shutil
import stat
import sys
import unittest

from home_tree import tree_snapshot
from launcher import LauncherTestCase

# Alphabetically first of all entries (the machine's own included), so it is
# the one that Return starts when nothing else decides the order.
ALPHA = ("Alpha Probe", "alpha-app")
ZULU = ("Zulu Probe", "zulu-app")

# An unprivileged account for files and links of "another user".
OTHER_UID = 65534

# Under the file-size limit the launcher must still create its 4 MB
# shared-memory buffers for a 1280x800 surface, so the limit is 8 MiB and the
# history that cannot be rewritten under it is about 10 MB (the launcher reads
# up to 16 MiB). Stubs write records of about a hundred bytes.
FILE_SIZE_LIMIT = 8 * 1024 * 1024
FILLER_MEMBERS = 10_000
FILLER_NAME = "Filler application " + "x" * 1000


class HistoryTest(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.stubs = {}
        for name, program in (ALPHA, ZULU):
            self.stubs[program] = self.home.stub(program)
            self.home.write_desktop_entry(name, program)
        self.cache = os.path.join(self.home.cache_home, "lumenpad")
        os.makedirs(self.cache)
        self.history = os.path.join(self.cache, "history.json")

    def read_history(self, path=None):
        with open(path or self.history, "rb") as f:
            return f.read()

    def test_two_launches_count_two_and_put_the_application_first(self):
        zulu_path = self.stubs[ZULU[1]]
        self.launch_once("zulu")
        self.assertEqual(self.home.wait_for_calls(ZULU[1], 1), [[zulu_path]])
        self.assertEqual(self.read_history(), b'{"Zulu Probe":1}')

        self.launch_once("zulu")
        self.home.wait_for_calls(ZULU[1], 2)
        self.assertEqual(self.read_history(), b'{"Zulu Probe":2}')

        # Empty query: the first row, which the counts now decide.
        self.launch_once()
        self.assertEqual(self.home.wait_for_calls(ZULU[1], 3)[2], [zulu_path])
        self.assertEqual(self.home.calls(ALPHA[1]), [])
        self.assertEqual(self.read_history(), b'{"Zulu Probe":3}')

    def test_a_fresh_home_gets_a_private_cache_directory_at_the_first_launch(self):
        shutil.rmtree(self.home.cache_home)
        self.launch_once("zulu")
        self.home.wait_for_calls(ZULU[1], 1)
        self.assertEqual(self.read_history(), b'{"Zulu Probe":1}')
        # ~/.cache itself may have been made first by a library, such as Mesa.
        self.assertEqual(stat.S_IMODE(os.stat(self.cache).st_mode), 0o700)

    def test_other_members_are_written_back_with_their_old_counts(self):
        with open(self.history, "w") as f:
            f.write(' {\n  "Gone \\"App\\"" : 7 ,\n  "Zulu Probe": 0 }\n')
        self.launch_once("zulu")
        self.home.wait_for_calls(ZULU[1], 1)
        members = ['"Gone \\"App\\"":7', '"Zulu Probe":1']
        self.assertIn(self.read_history().decode(),
                      {"{" + ",".join(members) + "}", "{" + ",".join(reversed(members)) + "}"})

    def test_an_unwritable_history_stays_byte_identical_and_the_launch_happens(self):
        members = ",".join(f'"{FILLER_NAME} {i}":{i + 1}' for i in range(FILLER_MEMBERS))
        original = ("{" + members + "}").encode()
        self.assertGreater(len(original), FILE_SIZE_LIMIT + 1024 * 1024)
        with open(self.history, "wb") as f:
            f.write(original)

        # The launcher is started through a wrapper that lowers the file-size
        # limit and ignores SIGXFSZ, so an oversized write fails with EFBIG
        # instead of killing the process; both survive the exec.
        binary = os.environ["LUMENPAD_BIN"]
        wrapper = os.path.join(self.tmp, "limited-lumenpad")
        with open(wrapper, "w") as f:
            f.write(f"#!{sys.executable}\n"
                    "import os, resource, signal\n"
                    f"resource.setrlimit(resource.RLIMIT_FSIZE, ({FILE_SIZE_LIMIT}, {FILE_SIZE_LIMIT}))\n"
                    "signal.signal(signal.SIGXFSZ, signal.SIG_IGN)\n"
                    f"os.execv({binary!r}, [{binary!r}])\n")
        os.chmod(wrapper, 0o755)

        zulu_path = self.stubs[ZULU[1]]
        self.launch_once("zulu", binary=wrapper)
        self.assertEqual(self.home.wait_for_calls(ZULU[1], 1), [[zulu_path]])
        self.assertEqual(self.read_history(), original)
        self.assertEqual(os.listdir(self.cache), ["history.json"], "a partial file was left behind")

    def test_a_linked_history_stays_a_link_and_its_target_gets_the_counts(self):
        elsewhere = os.path.join(self.home.home, "kept")
        os.makedirs(elsewhere)
        target = os.path.join(elsewhere, "counts.json")
        with open(target, "w") as f:
            f.write('{"Zulu Probe":4}')
        link = os.path.join("..", "..", "kept", "counts.json")
        os.symlink(link, self.history)

        self.launch_once("zulu")
        self.home.wait_for_calls(ZULU[1], 1)
        self.assertTrue(os.path.islink(self.history))
        self.assertEqual(os.readlink(self.history), link)
        self.assertEqual(self.read_history(target), b'{"Zulu Probe":5}')
        self.assertEqual(os.listdir(self.cache), ["history.json"])
        self.assertEqual(os.listdir(elsewhere), ["counts.json"])


    def test_a_refused_history_survives_as_history_json_bad(self):
        refused = b'\xef\xbb\xbf{"Zulu Probe":41,"Alpha Probe":7}'
        with open(self.history, "wb") as f:
            f.write(refused)
        self.launch_once("zulu")
        self.home.wait_for_calls(ZULU[1], 1)
        self.assertEqual(self.read_history(), b'{"Zulu Probe":1}')
        self.assertEqual(self.read_history(self.history + ".bad"), refused)

    def test_nothing_is_written_through_what_is_in_the_way_and_the_launch_happens(self):
        victims = os.path.join(self.tmp, "victims")
        os.makedirs(victims)
        bashrc = os.path.join(victims, ".bashrc")
        with open(bashrc, "w") as f:
            f.write("export PATH=/usr/bin\n")

        def foreign_link():
            os.symlink(bashrc, self.history)
            os.lchown(self.history, OTHER_UID, OTHER_UID)

        def link_to_a_foreign_file():
            theirs = os.path.join(victims, "theirs.json")
            with open(theirs, "w") as f:
                f.write('{"Zulu Probe":9}')
            os.chown(theirs, OTHER_UID, OTHER_UID)
            os.symlink(theirs, self.history)

        def link_to_a_device():
            device = os.path.join(victims, "null")
            os.mknod(device, 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            os.symlink(device, self.history)

        cases = {
            "a link of another user": foreign_link,
            "a link to another user's file": link_to_a_foreign_file,
            "a link to a character device": link_to_a_device,
            "a dangling link": lambda: os.symlink(os.path.join(victims, "none.json"), self.history),
            "a FIFO": lambda: os.mkfifo(self.history),
            "a directory": lambda: os.makedirs(os.path.join(self.history, "kept")),
        }
        for launches, (case, plant) in enumerate(cases.items(), start=1):
            with self.subTest(case):
                shutil.rmtree(self.cache)
                shutil.rmtree(victims)
                os.makedirs(self.cache)
                os.makedirs(victims)
                with open(bashrc, "w") as f:
                    f.write("export PATH=/usr/bin\n")
                plant()
                before = (tree_snapshot(self.cache), tree_snapshot(victims))
                self.launch_once("zulu")
                self.assertEqual(len(self.home.wait_for_calls(ZULU[1], launches)), launches)
                self.assertEqual((tree_snapshot(self.cache), tree_snapshot(victims)), before)


if __name__ == "__main__":
    unittest.main()
