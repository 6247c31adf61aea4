// Generated catalogues for the benchmarks: entries that look like installed
// applications (names of one to four words, some non-ASCII, reverse-domain
// window classes, command lines with options), the same on every run.
#pragma once

#include "lumenpad/app_entry.hpp"
#include "lumenpad/history.hpp"

#include <cstddef>
#include <string>
#include <vector>

namespace lumenpad::bench {

std::vector<AppEntry> synthetic_catalogue(std::size_t count);

// Launch counts for about one entry in twelve, as after some weeks of use.
History synthetic_history(const std::vector<AppEntry>& entries);

// A workspace's priority terms, already lowered.
std::vector<std::string> synthetic_priority();

// Queries a user types: prefixes, infixes, a window class, a blank inside,
// non-ASCII text, a subsequence and one that matches nothing.
const std::vector<std::string>& synthetic_queries();

}  // namespace lumenpad::bench
