#include "lumenpad/desktop_locale.hpp"

#include "lumenpad-shared/env.hpp"

#include <algorithm>

namespace lumenpad {

std::string messages_locale() {
    constexpr VariableRule rule{Empty::unset, Bytes::utf8, Relative::used};
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (auto value = env_value(name, rule)) {
            return *value;
        }
    }
    return {};
}

std::vector<std::string> locale_suffixes(std::string_view locale) {
    // lang_COUNTRY.ENCODING@MODIFIER; the encoding plays no part.
    std::string_view modifier;
    if (const size_t at = locale.find('@'); at != std::string_view::npos) {
        modifier = locale.substr(at + 1);
        locale = locale.substr(0, at);
    }
    if (const size_t dot = locale.find('.'); dot != std::string_view::npos) {
        locale = locale.substr(0, dot);
    }
    std::string_view country;
    if (const size_t underscore = locale.find('_'); underscore != std::string_view::npos) {
        country = locale.substr(underscore + 1);
        locale = locale.substr(0, underscore);
    }
    const std::string_view lang = locale;
    if (lang.empty() || lang == "C" || lang == "POSIX") {
        return {};
    }
    const auto joined = [](std::string_view first, char separator, std::string_view second) {
        std::string text(first);
        text += separator;
        text += second;
        return text;
    };
    std::vector<std::string> suffixes;
    const std::string with_country = joined(lang, '_', country);
    if (!country.empty() && !modifier.empty()) {
        suffixes.push_back(joined(with_country, '@', modifier));
    }
    if (!country.empty()) {
        suffixes.push_back(with_country);
    }
    if (!modifier.empty()) {
        suffixes.push_back(joined(lang, '@', modifier));
    }
    suffixes.emplace_back(lang);
    return suffixes;
}

std::size_t suffix_rank(const std::vector<std::string>& suffixes, std::string_view suffix) {
    const auto found = std::find(suffixes.begin(), suffixes.end(), suffix);
    return found == suffixes.end() ? std::string_view::npos
                                   : static_cast<std::size_t>(found - suffixes.begin());
}

}  // namespace lumenpad
