#include "oriel-theme/palette.hpp"

#include "lumenpad-shared/base_dirs.hpp"
#include "lumenpad-shared/json.hpp"
#include "lumenpad-shared/paths.hpp"
#include "lumenpad-shared/read_file.hpp"

#include <nlohmann/json.hpp>

#include <array>
#include <vector>

namespace oriel {

namespace {

constexpr std::size_t colour_count = 8;

// Reads a WalColors document strictly. The reader rejects what a DOM parse
// would quietly accept: a repeated "colors", "special", "background" or
// "foreground" member, and any value of "colors" that is not a string.
class WalColorsReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    bool null() override { return scalar(Kind::null, nullptr); }
    bool boolean(bool) override { return scalar(Kind::other, nullptr); }
    bool number_integer(number_integer_t) override { return scalar(Kind::other, nullptr); }
    bool number_unsigned(number_unsigned_t) override { return scalar(Kind::other, nullptr); }
    bool number_float(number_float_t, const string_t&) override { return scalar(Kind::other, nullptr); }
    bool string(string_t& value) override { return scalar(Kind::string, &value); }
    bool binary(binary_t&) override { return false; }

    bool start_object(std::size_t) override {
        switch (target()) {
            case Target::document:
                stack_.push_back(Frame::top);
                return true;
            case Target::colors:
                stack_.push_back(Frame::colors);
                return true;
            case Target::special:
                stack_.push_back(Frame::special);
                return true;
            case Target::ignored:
                stack_.push_back(Frame::ignored);
                return true;
            default:
                return false;
        }
    }

    bool start_array(std::size_t) override {
        if (target() != Target::ignored) {
            return false;
        }
        stack_.push_back(Frame::ignored);
        return true;
    }

    bool end_object() override { return pop(); }
    bool end_array() override { return pop(); }

    bool key(string_t& name) override {
        switch (stack_.back()) {
            case Frame::top:
                if (name == "colors") {
                    return claim(seen_colors_, Target::colors);
                }
                if (name == "special") {
                    return claim(seen_special_, Target::special);
                }
                break;
            case Frame::special:
                if (name == "background") {
                    return claim(seen_background_, Target::background);
                }
                if (name == "foreground") {
                    return claim(seen_foreground_, Target::foreground);
                }
                break;
            case Frame::colors:
                next_ = Target::colour;
                colour_index_ = colour_slot(name);
                return true;
            case Frame::ignored:
                return true;
        }
        next_ = Target::ignored;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception&) override {
        return false;
    }

    Palette palette() && {
        Palette palette = default_palette();
        if (background_) {
            palette.background = std::move(*background_);
        }
        if (foreground_) {
            palette.foreground = std::move(*foreground_);
        }
        std::array<std::string*, colour_count> slots{&palette.color0, &palette.color1, &palette.color2,
                                                     &palette.color3, &palette.color4, &palette.color5,
                                                     &palette.color6, &palette.color7};
        for (std::size_t i = 0; i < colour_count; ++i) {
            if (colours_[i]) {
                *slots[i] = std::move(*colours_[i]);
            }
        }
        return palette;
    }

private:
    enum class Frame { top, colors, special, ignored };
    // What the next value is read as.
    enum class Target { document, colors, special, background, foreground, colour, ignored };
    enum class Kind { null, string, other };

    // The index of "color0" to "color7", or -1 for any other member name.
    static int colour_slot(const std::string& name) {
        if (name.size() == 6 && name.starts_with("color") && name[5] >= '0' && name[5] < '0' + 8) {
            return name[5] - '0';
        }
        return -1;
    }

    Target target() const {
        if (stack_.empty()) {
            return Target::document;
        }
        return stack_.back() == Frame::ignored ? Target::ignored : next_;
    }

    bool claim(bool& seen, Target target) {
        if (seen) {
            return false;
        }
        seen = true;
        next_ = target;
        return true;
    }

    bool pop() {
        stack_.pop_back();
        return true;
    }

    bool scalar(Kind kind, string_t* value) {
        switch (target()) {
            case Target::ignored:
                return true;
            case Target::special:
                return kind == Kind::null;
            case Target::background:
            case Target::foreground: {
                if (kind == Kind::null) {
                    return true;
                }
                if (kind != Kind::string) {
                    return false;
                }
                auto& field = target() == Target::background ? background_ : foreground_;
                field = std::move(*value);
                return true;
            }
            case Target::colour:
                if (kind != Kind::string) {
                    return false;
                }
                if (colour_index_ >= 0) {
                    colours_[static_cast<std::size_t>(colour_index_)] = std::move(*value);
                }
                return true;
            default:
                return false;
        }
    }

    std::vector<Frame> stack_;
    Target next_ = Target::document;
    int colour_index_ = -1;
    bool seen_colors_ = false;
    bool seen_special_ = false;
    bool seen_background_ = false;
    bool seen_foreground_ = false;
    std::optional<std::string> background_;
    std::optional<std::string> foreground_;
    std::array<std::optional<std::string>, colour_count> colours_;
};

}  // namespace

Palette default_palette() {
    return {
        .background = "#1e1e2e",
        .foreground = "#cdd6f4",
        .color0 = "#45475a",
        .color1 = "#f38ba8",
        .color2 = "#a6e3a1",
        .color3 = "#f9e2af",
        .color4 = "#89b4fa",
        .color5 = "#f5c2e7",
        .color6 = "#94e2d5",
        .color7 = "#bac2de",
    };
}

std::optional<std::string> user_home_dir() {
    return lumenpad::find_home({.empty = lumenpad::Empty::unset, .bytes = lumenpad::Bytes::any},
                               lumenpad::HomeFallback::password_database);
}

std::optional<std::string> user_cache_dir() {
    return lumenpad::user_dir(lumenpad::UserDir::cache, user_home_dir,
                              {.bytes = lumenpad::Bytes::any, .relative = lumenpad::Relative::ignored});
}

std::optional<Palette> parse_wal_colors(std::string_view text) {
    WalColorsReader reader;
    if (!lumenpad::sax_parse_json(text, &reader)) {
        return std::nullopt;
    }
    return std::move(reader).palette();
}

Palette load_palette() {
    // Without any cache directory the relative "~/.cache" is used as it stands:
    // no tilde expansion, so it resolves against the working directory.
    const std::string cache = user_cache_dir().value_or("~/.cache");
    const auto text = lumenpad::read_text_file(lumenpad::join_path(cache, "wal/colors.json"));
    if (!text) {
        return default_palette();
    }
    return parse_wal_colors(*text).value_or(default_palette());
}

}  // namespace oriel
