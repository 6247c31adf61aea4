// Which localised keys of a desktop-entry file apply: the messages locale of
// the environment, and the suffixes ("Name[de_DE]") that match it, best first.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumenpad {

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty.
std::string messages_locale();

// For lang_COUNTRY.ENCODING@MODIFIER: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang, each only where the locale has its parts. None for
// the C and POSIX locales, or a locale without a language.
std::vector<std::string> locale_suffixes(std::string_view locale);

// The rank of `suffix` among `suffixes` (0 is best), or npos.
std::size_t suffix_rank(const std::vector<std::string>& suffixes, std::string_view suffix);

}  // namespace lumenpad
