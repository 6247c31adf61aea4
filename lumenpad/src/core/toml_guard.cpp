#include "lumenpad/toml_guard.hpp"

#include <vector>

namespace lumenpad {

namespace {

// Follows the text just closely enough to know, at every byte, whether it is
// inside a string or a comment, and how deep the key being written lies.
// Text that is not TOML may confuse it; the TOML library rejects such text
// at or before the place where the scanner went astray.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::optional<TomlRefusal> run() {
        if (text_.size() > max_config_size) {
            advance(max_config_size);
            refuse("file longer than " + std::to_string(max_config_size) + " bytes");
            return refusal_;
        }
        while (i_ < text_.size() && !refusal_) {
            step();
        }
        return refusal_;
    }

private:
    enum class Container { table, array };
    struct Open {
        Container kind;
        std::size_t depth;  // of the keys or values it holds
    };

    char at(std::size_t offset) const { return i_ + offset < text_.size() ? text_[i_ + offset] : '\0'; }

    // Moves past one byte, keeping the position for messages.
    void advance() {
        const auto byte = static_cast<unsigned char>(text_[i_]);
        if (byte == '\n') {
            ++line_;
            column_ = 1;
        } else if ((byte & 0xC0) != 0x80) {
            ++column_;
        }
        ++i_;
    }
    void advance(std::size_t count) {
        for (std::size_t n = 0; n < count && i_ < text_.size(); ++n) {
            advance();
        }
    }

    void refuse(std::string description) {
        // The column counts the character at hand, not the one after it.
        refusal_ = TomlRefusal{std::move(description), line_, column_};
    }

    std::size_t context_depth() const { return open_.empty() ? header_depth_ : open_.back().depth; }

    bool check_depth(std::size_t depth) {
        if (depth > max_key_depth) {
            refuse("keys nested more than " + std::to_string(max_key_depth) + " deep");
            return false;
        }
        return true;
    }

    void step() {
        const char c = text_[i_];
        if (static_cast<unsigned char>(c) >= 0x80) {
            refuse("non-ASCII character outside a string or comment");
            return;
        }
        switch (c) {
            case '#':
                skip_comment();
                return;
            case '"':
            case '\'':
                skip_string(c);
                return;
            case '\n':
                if (open_.empty()) {
                    expecting_key_ = true;
                    in_header_ = false;
                    dots_ = 0;
                }
                break;
            case '.':
                if (expecting_key_ || in_header_) {
                    ++dots_;
                    if (!check_depth((in_header_ ? 0 : context_depth()) + dots_ + 1)) {
                        return;
                    }
                }
                break;
            case '=':
                if (expecting_key_) {
                    pending_ = context_depth() + dots_ + 1;
                    expecting_key_ = false;
                    dots_ = 0;
                }
                break;
            case '[':
                if (open_.empty() && expecting_key_) {
                    // A table header, "[" or "[[", which names a path from the top.
                    in_header_ = true;
                    expecting_key_ = false;
                    dots_ = 0;
                } else if (!in_header_) {
                    open(Container::array);
                    return;
                }
                break;
            case ']':
                if (in_header_) {
                    header_depth_ = dots_ + 1;
                    dots_ = 0;
                    in_header_ = false;
                    if (at(1) == ']') {
                        advance();
                    }
                } else {
                    close();
                }
                break;
            case '{':
                if (!expecting_key_ && !in_header_) {
                    open(Container::table);
                    return;
                }
                break;
            case '}':
                close();
                break;
            case ',':
                if (!open_.empty()) {
                    if (open_.back().kind == Container::table) {
                        expecting_key_ = true;
                        dots_ = 0;
                    } else {
                        pending_ = open_.back().depth + 1;
                    }
                }
                break;
            default:
                break;
        }
        advance();
    }

    void open(Container kind) {
        if (!check_depth(pending_)) {
            return;
        }
        open_.push_back(Open{kind, pending_});
        expecting_key_ = kind == Container::table;
        dots_ = 0;
        pending_ = pending_ + 1;
        advance();
    }

    void close() {
        if (open_.empty()) {
            return;
        }
        open_.pop_back();
        expecting_key_ = false;
        if (!open_.empty() && open_.back().kind == Container::array) {
            pending_ = open_.back().depth + 1;
        }
    }

    void skip_comment() {
        while (i_ < text_.size() && text_[i_] != '\n') {
            advance();
        }
    }

    // Basic strings ('"') know escapes, literal ones ('\'') do not; either
    // kind may be multi-line, closed by the last three of a run of quotes.
    void skip_string(char quote) {
        const bool multi_line = at(1) == quote && at(2) == quote;
        advance(multi_line ? 3 : 1);
        while (i_ < text_.size()) {
            const char c = text_[i_];
            if (c == '\\' && quote == '"') {
                advance(2);
            } else if (c == '\n' && !multi_line) {
                return;  // unterminated: the line end is not part of it
            } else if (c == quote && (!multi_line || (at(1) == quote && at(2) == quote))) {
                std::size_t run = 1;
                while (multi_line && run < 5 && at(run) == quote) {
                    ++run;
                }
                advance(run);
                return;
            } else {
                advance();
            }
        }
    }

    std::string_view text_;
    std::size_t i_ = 0;
    std::size_t line_ = 1;
    std::size_t column_ = 1;
    std::optional<TomlRefusal> refusal_;

    bool expecting_key_ = true;
    bool in_header_ = false;
    std::size_t dots_ = 0;          // of the key or header being read
    std::size_t header_depth_ = 0;  // parts of the last table header
    std::size_t pending_ = 1;       // depth of the value about to start
    std::vector<Open> open_;
};

}  // namespace

std::optional<TomlRefusal> refuse_unsafe_toml(std::string_view text) {
    return Scanner(text).run();
}

}  // namespace lumenpad
