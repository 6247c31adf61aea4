#include "oriel-theme/stylesheet.hpp"

#include "oriel-theme/colour.hpp"

#include <initializer_list>
#include <string_view>

namespace oriel {

namespace {

// The library's fixed style parameters (sizes in pixels).
constexpr std::string_view font_family = "Varela Round, sans-serif";
constexpr std::string_view font_size = "14";
constexpr std::string_view font_size_small = "12";
constexpr std::string_view radius = "8";
constexpr std::string_view radius_small = "6";
constexpr std::string_view radius_pill = "999";
constexpr std::string_view space_xs = "4";
constexpr std::string_view space_sm = "8";
constexpr std::string_view space_md = "12";
constexpr std::string_view space_lg = "16";

void define_colour(std::string& css, std::string_view name, std::string_view value) {
    css += "@define-color ";
    css += name;
    css += ' ';
    css += value;
    css += ";\n";
}

// Appends the pieces as one line.
void line(std::string& css, std::initializer_list<std::string_view> pieces) {
    for (std::string_view piece : pieces) {
        css += piece;
    }
    css += '\n';
}

void append_rules(std::string& css) {
    line(css, {"* { font-family: '", font_family, "'; font-size: ", font_size, "px; }"});
    line(css,
         {"/* Colour is set on containers; labels inherit it, so text on any panel,button, or accent is "
          "always the legible ink for that background. Bare`label { color }` is deliberately avoided — as "
          "a type selector itwould override a container's colour on its own child labels. */"});
    line(css, {"window { background-color: @bg; color: @on-bg; }"});
    line(css, {".dim-label, .dim { opacity: 0.6; font-size: ", font_size_small, "px; }"});
    line(css, {".title { font-size: 1.4em; font-weight: bold; }"});
    line(css, {".heading { font-weight: bold; opacity: 0.85; }"});
    line(css, {".subtitle { opacity: 0.7; font-size: ", font_size_small, "px; }"});
    line(css, {"button { background-color: @surface; color: @on-surface; border: none;border-radius: ",
               radius, "px; padding: ", space_sm, "px ", space_lg, "px; }"});
    line(css, {"button:hover { background-color: alpha(@on-surface, 0.14); }"});
    line(css, {"button:active { background-color: alpha(@on-surface, 0.20); }"});
    line(css, {"button:disabled { opacity: 0.5; }"});
    line(css, {"button.flat { background-color: transparent; color: @on-bg; }"});
    line(css, {"button.suggested-action { background-color: @accent; color: @on-accent; }"});
    line(css, {"button.suggested-action:hover { background-color: alpha(@accent, 0.85); }"});
    line(css, {"button.destructive-action { background-color: @red; color: @on-red; }"});
    line(css, {"button.destructive-action:hover { background-color: alpha(@red, 0.85); }"});
    line(css,
         {"entry, spinbutton { background-color: @surface; color: @on-surface;border: 1px solid @overlay; "
          "border-radius: ",
          radius_small, "px;padding: ", space_xs, "px ", space_sm, "px; caret-color: @on-surface; }"});
    line(css, {"entry:focus-within, spinbutton:focus-within { border-color: @accent; outline: none; }"});
    line(css, {"entry image, spinbutton button { color: @on-surface; }"});
    line(css, {"dropdown > button { background-color: @surface; color: @on-surface; border-radius: ",
               radius_small, "px; }"});
    line(css, {"popover > contents { background-color: @surface; color: @on-surface; border-radius: ", radius,
               "px; }"});
    line(css, {"switch { background-color: @overlay; border-radius: ", radius_pill, "px; }"});
    line(css, {"switch:checked { background-color: @accent; }"});
    line(css, {"switch slider { background-color: @on-surface; border-radius: ", radius_pill, "px; }"});
    line(css, {"list, listbox { background-color: transparent; }"});
    line(css, {"row { border-radius: ", radius_small, "px; }"});
    line(css, {"row:selected, list row:selected { background-color: @accent; color: @on-accent; }"});
    line(css, {".sidebar { background-color: @surface; color: @on-surface; }"});
    line(css, {".sidebar row { padding: ", space_sm, "px ", space_md, "px; }"});
    line(css, {".sidebar row:selected { background-color: @accent; color: @on-accent; }"});
    line(css, {".sidebar .section-header { padding: ", space_md, "px ", space_md, "px ", space_xs, "px ",
               space_md, "px;font-size: ", font_size_small, "px; font-weight: bold; opacity: 0.55; }"});
    line(css, {".card { background-color: @surface; color: @on-surface; border-radius: ", radius,
               "px; padding: ", space_md, "px; }"});
    line(css, {".chip, .pill { background-color: @overlay; color: @on-overlay; border-radius: ", radius_pill,
               "px;padding: ", space_xs, "px ", space_md, "px; font-size: ", font_size_small, "px; }"});
    line(css, {".chip.active, .pill.active { background-color: @accent; color: @on-accent; }"});
    line(css, {"scrollbar { background-color: transparent; }"});
    line(css, {"scrollbar slider { background-color: alpha(@on-bg, 0.25); border-radius: ", radius_pill,
               "px;min-width: 6px; min-height: 6px; }"});
    line(css, {"scrollbar slider:hover { background-color: alpha(@on-bg, 0.45); }"});
    line(css, {"textview, .mono { font-family: monospace; }"});
    line(css, {"textview text { background-color: @surface; color: @on-surface; }"});
}

}  // namespace

std::string generate_stylesheet(const Palette& palette) {
    std::string css;
    css.reserve(4096);
    define_colour(css, "bg", palette.background);
    define_colour(css, "fg", palette.foreground);
    define_colour(css, "surface", palette.color0);
    define_colour(css, "overlay", palette.color7);
    define_colour(css, "accent", palette.color4);
    define_colour(css, "red", palette.color1);
    define_colour(css, "green", palette.color2);
    define_colour(css, "yellow", palette.color3);
    define_colour(css, "blue", palette.color4);
    define_colour(css, "pink", palette.color5);
    define_colour(css, "teal", palette.color6);
    define_colour(css, "on-bg", ink_for(palette.background));
    define_colour(css, "on-surface", ink_for(palette.color0));
    define_colour(css, "on-accent", ink_for(palette.color4));
    define_colour(css, "on-red", ink_for(palette.color1));
    define_colour(css, "on-overlay", ink_for(palette.color7));
    append_rules(css);
    return css;
}

}  // namespace oriel
