"""Running the launcher with a /tmp of its own, so that a test can play a
hostile neighbour there without touching the machine's /tmp.

The wrapper that private_tmp_wrapper writes enters a new mount namespace and
binds directories over others before it executes the launcher: a test's
directory over /tmp, the directories the run needs (the test's tree, the
compositor's runtime directory) back into that new /tmp, and whatever else
the test asks for, such as a directory of its own over the password
database's home. Nothing it mounts outlives the launcher."""

import os
import shutil
import stat
import subprocess
import sys

# What the command loads from its own directory in the build tree.
PROGRAM_LIBRARY = "liblumenpad-program.so"

WRAPPER = """\
#!{python}
import ctypes, os, sys
libc = ctypes.CDLL(None, use_errno=True)
CLONE_NEWNS, MS_BIND, MS_REC, MS_PRIVATE = 0x20000, 4096, 16384, 1 << 18

def check(result, what):
    if result != 0:
        sys.exit("private /tmp: %s: %s" % (what, os.strerror(ctypes.get_errno())))

check(libc.unshare(CLONE_NEWNS), "unshare")
check(libc.mount(None, b"/", None, MS_REC | MS_PRIVATE, None), "make / private")
# Each source is opened first: a later bind may cover the path it came by.
binds = [(os.open(source, os.O_PATH | os.O_DIRECTORY), target) for source, target in {binds!r}]
for fd, target in binds:
    os.makedirs(target, exist_ok=True)
    check(libc.mount(b"/proc/self/fd/%d" % fd, target.encode(), None, MS_BIND, None), "bind " + target)
    os.close(fd)
os.execv({binary!r}, [{binary!r}] + sys.argv[1:])
"""


def private_mounts_available():
    """Whether this process may make a mount namespace (root with unshare)."""
    try:
        return subprocess.run(["unshare", "-m", "true"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0
    except OSError:
        return False


def copy_command(binary, directory):
    """Puts binary, and the program library it loads from beside itself, in
    directory; the copy's path."""
    copy = os.path.join(directory, os.path.basename(binary))
    for source, target in ((binary, copy), (os.path.join(os.path.dirname(binary), PROGRAM_LIBRARY),
                                            os.path.join(directory, PROGRAM_LIBRARY))):
        try:
            os.link(source, target)
        except OSError:
            shutil.copy2(source, target)
    return copy


def private_tmp_wrapper(path, binary, tmp, keep=(), binds=()):
    """Writes an executable wrapper at path that runs binary with tmp bound
    over /tmp; each directory in keep that lies under the real /tmp is bound
    back at its own path, and each (source, target) of binds follows. The
    wrapper runs a copy of binary beside path, whose directory must be kept:
    a bind may cover the binary's own place (a build tree in the home that a
    test replaces). Returns path."""
    copy = copy_command(binary, os.path.dirname(path))
    system_tmp = os.path.realpath("/tmp")
    plan = [(tmp, "/tmp")]
    for directory in keep:
        directory = os.path.realpath(directory)
        if os.path.commonpath([directory, system_tmp]) == system_tmp:
            plan.append((directory, os.path.join("/tmp", os.path.relpath(directory, system_tmp))))
    plan.extend(binds)
    with open(path, "w") as f:
        f.write(WRAPPER.format(python=sys.executable, binds=plan, binary=copy))
    os.chmod(path, stat.S_IRWXU)
    return path
