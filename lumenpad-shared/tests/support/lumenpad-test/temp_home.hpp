// A test fixture with a private HOME and XDG directories, so that no test
// reads or writes the real home of whoever runs it.
#pragma once

#include "lumenpad-test/scoped_env.hpp"
#include "lumenpad-test/temp_dir.hpp"

#include <gtest/gtest.h>

namespace lumenpad::test {

// HOME is `home`; the XDG variables point into it. `env` puts them, and
// whatever else a test changes through it, back afterwards.
class TempHomeTest : public ::testing::Test {
protected:
    TempHomeTest() {
        env.set("HOME", home.path());
        env.set("XDG_DATA_HOME", home / ".local/share");
        env.set("XDG_DATA_DIRS", home / "system");
        env.set("XDG_CONFIG_HOME", home / ".config");
        env.set("XDG_CACHE_HOME", home / ".cache");
        env.set("XDG_RUNTIME_DIR", home / "run");
    }

    TempDir home;
    ScopedEnv env;
};

}  // namespace lumenpad::test
