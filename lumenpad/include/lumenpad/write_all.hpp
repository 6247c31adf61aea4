// Writing a whole buffer to a file descriptor, retrying short and interrupted
// writes.
#pragma once

#include <string_view>

namespace lumenpad {

// False on any error, or when the descriptor stops accepting bytes.
bool write_all(int fd, std::string_view data);

}  // namespace lumenpad
