"""A packager's build: configure a fresh build directory without the tests and
benchmarks (and with GoogleTest and Google Benchmark hidden), build, install
into a temporary prefix and into a staging directory, and compare the files."""

import os
import shutil
import subprocess
import tempfile
import tomllib
import unittest

SOURCE_DIR = os.environ.get("LUMENPAD_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")

INSTALLED = {
    "bin/lumenpad",
    "lib/lumenpad/liblumenpad-program.so",
    "share/man/man1/lumenpad.1",
    "share/doc/lumenpad/README.md",
    "share/doc/lumenpad/config.toml",
    "share/doc/lumenpad/style.css",
    "share/licenses/lumenpad/LICENSE",
}


def run(*command, env=None):
    result = subprocess.run(command, capture_output=True, text=True, env=env)
    if result.returncode != 0:
        raise AssertionError(f"{' '.join(command)} failed with status {result.returncode}:\n"
                             f"{result.stdout}\n{result.stderr}")
    return result


def files_under(root):
    return {os.path.relpath(os.path.join(top, name), root)
            for top, _, names in os.walk(root) for name in names}


class InstallTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="lumenpad-install-")
        cls.build = os.path.join(cls.tmp.name, "build")
        cls.prefix = os.path.join(cls.tmp.name, "prefix")
        # Debug compiles fastest; what is installed does not depend on it.
        run(CMAKE, "-S", SOURCE_DIR, "-B", cls.build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                            "-DBUILD_TESTING=OFF", "-DLUMENPAD_BENCHMARKS=OFF",
                            "-DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON", "-DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON",
                            f"-DCMAKE_INSTALL_PREFIX={cls.prefix}")
        run(CMAKE, "--build", cls.build, "-j", "2")
        run(CMAKE, "--install", cls.build)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_builds_nothing_of_the_tests(self):
        targets = run("ninja", "-C", self.build, "-t", "targets", "all").stdout
        for name in ("lumenpad-unit-tests", "lumenpad-test-keyboard", "lumenpad-bench-scan"):
            with self.subTest(target=name):
                self.assertNotIn(name + ":", targets)

    def test_installs_exactly_the_launcher_its_manual_docs_and_licence(self):
        self.assertEqual(files_under(self.prefix), INSTALLED)

    def test_installed_program_is_executable(self):
        self.assertTrue(os.access(os.path.join(self.prefix, "bin", "lumenpad"), os.X_OK))

    def test_installed_command_loads_its_program_wherever_the_tree_lies(self):
        moved = os.path.join(self.tmp.name, "moved")
        shutil.copytree(self.prefix, moved, symlinks=True)
        for prefix in (self.prefix, moved):
            with self.subTest(prefix=prefix):
                result = run(os.path.join(prefix, "bin", "lumenpad"), "--version")
                self.assertRegex(result.stdout, r"^lumenpad \d+\.\d+\.\d+\n$")
                self.assertEqual(result.stderr, "")

    def test_installed_command_needs_nothing_but_libc(self):
        dynamic = run("readelf", "-d", os.path.join(self.prefix, "bin", "lumenpad")).stdout
        needed = {line.split("[")[1].rstrip("]") for line in dynamic.splitlines() if "(NEEDED)" in line}
        self.assertEqual(needed, {"libc.so.6"})

    def test_installed_command_without_its_program_says_why(self):
        bare = os.path.join(self.tmp.name, "bare", "bin")
        os.makedirs(bare)
        shutil.copy2(os.path.join(self.prefix, "bin", "lumenpad"), bare)
        result = subprocess.run([os.path.join(bare, "lumenpad"), "--version"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, "")
        self.assertRegex(result.stderr, r"^lumenpad: .*liblumenpad-program\.so.*\n$")

    def test_installed_files_are_the_sources(self):
        for installed, source in (("share/licenses/lumenpad/LICENSE", "LICENSE"),
                                  ("share/doc/lumenpad/config.toml", "lumenpad/examples/config.toml"),
                                  ("share/doc/lumenpad/style.css", "lumenpad/examples/style.css")):
            with self.subTest(file=installed):
                with open(os.path.join(self.prefix, installed), "rb") as a, \
                        open(os.path.join(SOURCE_DIR, source), "rb") as b:
                    self.assertEqual(a.read(), b.read())

    def test_example_configuration_has_two_contexts(self):
        with open(os.path.join(self.prefix, "share/doc/lumenpad/config.toml"), "rb") as f:
            contexts = tomllib.load(f)["context"]
        self.assertEqual([c["name"] for c in contexts], ["default", "chat"])
        for context in contexts:
            self.assertTrue(context["priority"])
            self.assertTrue(all(isinstance(p, str) for p in context["priority"]))

    def test_staged_install_puts_the_same_files_under_destdir(self):
        stage = os.path.join(self.tmp.name, "stage")
        run(CMAKE, "--install", self.build, "--prefix", "/usr", env=dict(os.environ, DESTDIR=stage))
        self.assertEqual(files_under(os.path.join(stage, "usr")), INSTALLED)
        self.assertEqual(os.listdir(stage), ["usr"])


if __name__ == "__main__":
    unittest.main()
