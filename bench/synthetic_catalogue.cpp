#include "synthetic_catalogue.hpp"

#include "lumenpad/desktop_entry.hpp"

#include <cstdint>
#include <random>

namespace lumenpad::bench {

namespace {

// Words of real application names; a few carry accents or non-Latin letters so
// that lower-casing leaves the ASCII fast path now and then.
constexpr const char* words[] = {
    "Firefox",  "Web",     "Browser", "Text",     "Editor",   "Terminal",    "Files",    "Image",
    "Viewer",   "Music",   "Player",  "Video",    "Office",   "Writer",      "Calc",     "Impress",
    "Settings", "System",  "Monitor", "Disk",     "Usage",    "Analyzer",    "Mail",     "Calendar",
    "Contacts", "Notes",   "Code",    "Studio",   "Photo",    "Draw",        "Paint",    "Sound",
    "Recorder", "Archive", "Manager", "Network",  "Printer",  "Scanner",     "Font",     "Map",
    "Weather",  "Clock",   "Chess",   "Mines",    "Sudoku",   "Password",    "Keyring",  "Backup",
    "Remote",   "Desktop", "Chat",    "Torrent",  "Download", "Ebook",       "Reader",   "PDF",
    "Markdown", "Git",     "Python",  "Shell",    "Debugger", "Profiler",    "Database", "Console",
    "Tweaks",   "Color",   "Picker",  "Screen",   "Shot",     "Cast",        "Podcast",  "Radio",
    "Journal",  "Tasks",   "Budget",  "Éditeur",  "Lecteur",  "Größe",       "Straße",   "Ωmega",
    "Редактор", "Почта",   "Κείμενο", "Zeichnen", "Fenêtre",  "Bibliothèque"};
constexpr std::size_t word_count = sizeof(words) / sizeof(words[0]);

constexpr const char* vendors[] = {"org.gnome",       "org.kde",     "com.github",  "io.elementary",
                                   "net.sourceforge", "org.example", "com.velmora", "de.haeckerfelix"};
constexpr std::size_t vendor_count = sizeof(vendors) / sizeof(vendors[0]);

constexpr const char* options[] = {"--new-window",
                                   "--profile default",
                                   "-e",
                                   "--class=app",
                                   "--enable-features=UseOzonePlatform",
                                   "--ozone-platform=wayland",
                                   "-n",
                                   "--gapplication-service"};
constexpr std::size_t option_count = sizeof(options) / sizeof(options[0]);

// Names the Adwaita theme has; the rest of the entries name icons that no
// installed theme carries, or none.
constexpr const char* theme_icons[] = {
    "accessories-calculator",   "accessories-text-editor", "accessories-character-map",
    "accessories-dictionary",   "applications-games",      "applications-graphics",
    "applications-internet",    "applications-office",     "applications-science",
    "applications-system",      "applications-utilities",  "applications-development",
    "utilities-terminal",       "system-file-manager",     "help-browser",
    "preferences-desktop-font", "preferences-system",      "web-browser",
    "mail-send-receive",        "system-software-install", "camera-photo",
    "multimedia-player"};
constexpr std::size_t theme_icon_count = sizeof(theme_icons) / sizeof(theme_icons[0]);

constexpr const char* field_codes[] = {"%U", "%F", "%u", "%f", "", "%i %c %k"};
constexpr std::size_t field_code_count = sizeof(field_codes) / sizeof(field_codes[0]);

std::string ascii_lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

}  // namespace

std::vector<AppEntry> synthetic_catalogue(std::size_t count) {
    // The engine's output is fixed by the standard; the distributions are
    // not, so indices are taken by remainder.
    std::mt19937 random(20240611);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };

    std::vector<AppEntry> entries;
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t length = 1 + pick(4);
        std::string name;
        std::string camel;
        std::string command;
        for (std::size_t w = 0; w < length; ++w) {
            const std::string word = words[pick(word_count)];
            if (w > 0) {
                name += ' ';
                command += '-';
            }
            name += word;
            camel += word;
            command += ascii_lower(word);
        }
        AppEntry entry;
        entry.name = name;
        std::string exec = "/usr/bin/" + command;
        for (std::size_t o = pick(3); o > 0; --o) {
            exec += ' ';
            exec += options[pick(option_count)];
        }
        exec += ' ';
        exec += field_codes[pick(field_code_count)];
        entry.exec = strip_field_codes(exec);
        switch (pick(10)) {
            case 0:
            case 1:
            case 2:
                break;
            case 3:
            case 4:
                entry.startup_wm_class = command;
                break;
            default:
                entry.startup_wm_class = std::string(vendors[pick(vendor_count)]) + "." + camel;
                break;
        }
        const std::size_t icon_kind = pick(20);
        if (icon_kind < 12) {
            entry.icon = theme_icons[pick(theme_icon_count)];
        } else if (icon_kind < 17) {
            entry.icon = "org.example." + camel;
        }
        entry.terminal = pick(20) == 0;
        entries.push_back(std::move(entry));
    }
    return entries;
}

History synthetic_history(const std::vector<AppEntry>& entries) {
    std::mt19937 random(7);
    History history;
    for (const AppEntry& entry : entries) {
        if (random() % 12 == 0) {
            history.counts[entry.name] = static_cast<std::uint32_t>(1 + random() % 60);
        }
    }
    return history;
}

std::vector<std::string> synthetic_priority() {
    return {"firefox", "code", "terminal", "редактор"};
}

const std::vector<std::string>& synthetic_queries() {
    static const std::vector<std::string> queries{"f",           "fi",        "fire", "term", "code", "ed",
                                                  "text editor", "org.gnome", "größ", "поч",  "frfx", "zqzq"};
    return queries;
}

}  // namespace lumenpad::bench
