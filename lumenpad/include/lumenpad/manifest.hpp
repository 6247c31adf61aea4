// The optional icon manifest that another tool leaves in the cache directory:
// icon names mapped to image files, which then stand in for theme icons.
#pragma once

#include "lumenpad/app_entry.hpp"

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lumenpad {

// Icon name to image path; names compare byte for byte.
using Manifest = std::unordered_map<std::string, std::string>;

// A JSON object of strings, the later of two equal names counting; anything
// else gives an empty manifest.
Manifest parse_manifest(std::string_view text);

// manifest.json in the cache directory; empty when missing or unusable.
Manifest load_manifest();

// Gives each entry whose icon name the manifest maps to an existing file
// (links followed) that file as its icon_path.
void apply_manifest(std::vector<AppEntry>& entries, const Manifest& manifest);

}  // namespace lumenpad
