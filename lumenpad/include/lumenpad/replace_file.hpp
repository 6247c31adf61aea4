// Replacing one of the user's own files in a directory that others may reach:
// the new content appears at once or not at all, and nothing that belongs to
// someone else, nor anything but a regular file, is ever replaced.
#pragma once

#include <string>
#include <string_view>

namespace lumenpad {

// Replaces the file at `path` with `content` through a temporary file and a
// rename, creating its missing directories with mode 0700. Only a regular
// file owned by the effective user is replaced, or created when missing. A
// symbolic link is followed only when it is the user's own and leads, through
// more such links, to such a file; the link then stays and its target is
// replaced. With `set_aside_old`, the file replaced is first renamed to its
// name + ".bad", replacing an older one, and the new file gets the permissions
// of a new one rather than its. True when the file was replaced.
bool replace_own_file(const std::string& path, std::string_view content, bool set_aside_old = false);

}  // namespace lumenpad
