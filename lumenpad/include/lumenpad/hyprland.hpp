// The name of Hyprland's active workspace, asked once through its request
// socket. Best effort: any problem, or a compositor too slow to answer within
// the time limit, gives no name.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace lumenpad {

inline constexpr std::chrono::milliseconds hyprland_time_limit{1000};

// The runtime directory + "/hypr/" + HYPRLAND_INSTANCE_SIGNATURE +
// "/.socket.sock", or nothing when either variable is unset or not UTF-8.
std::optional<std::string> hyprland_socket_path();

std::optional<std::string> query_active_workspace();
// Connecting, sending, reading and parsing the reply together take at most
// `limit`.
std::optional<std::string> query_active_workspace(std::string_view socket_path,
                                                  std::chrono::milliseconds limit);

// The string member "name" of a JSON object; nothing for any other text, or
// when reading it is still going on at `deadline`.
std::optional<std::string> workspace_name_from_reply(
    std::string_view reply,
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max());

}  // namespace lumenpad
