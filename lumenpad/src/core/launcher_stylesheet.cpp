#include "lumenpad/launcher_stylesheet.hpp"

#include "oriel-theme/colour.hpp"

namespace lumenpad {

std::string launcher_stylesheet(const oriel::Palette& palette) {
    const std::string panel = oriel::rgba_text(palette.background, 0.6f);
    const std::string_view on_bg = oriel::ink_for(palette.background);
    const std::string_view surface = palette.color0;
    const std::string_view on_surface = oriel::ink_for(palette.color0);
    const std::string_view accent = palette.color4;

    // GTK 4 names the search field's node "entry" (with the class "search")
    // and the list's node "listview".
    std::string css = "window { background-color: transparent; }";
    css += ".launcher-bg { background-color: ";
    css += panel;
    css += "; color: ";
    css += on_bg;
    css += "; border-radius: 8px;box-shadow: 0 8px 32px rgba(0,0,0,0.6); }";
    css += "entry.search { background-color: ";
    css += surface;
    css += "; color: ";
    css += on_surface;
    css += "; caret-color: ";
    css += accent;
    css += ";border: none; outline: none; box-shadow: none;padding: 12px 16px; border-radius: 6px 6px 0 0; }";
    css += "listview { background-color: transparent; padding: 4px; }";
    css += "row { padding: 8px 12px; color: ";
    css += on_bg;
    css += "; background-color: transparent;border-radius: 6px; }";
    for (const char* state : {"row:hover", "row:selected"}) {
        css += state;
        css += " { background-color: ";
        css += surface;
        css += "; color: ";
        css += on_surface;
        css += "; }";
    }
    css += ".app-name { font-size: 14px; }";
    css += ".app-muted { opacity: 0.6; font-size: 12px; }";
    css += "image { margin-right: 8px; }";
    return css;
}

std::string launcher_extra_stylesheet() {
    return launcher_stylesheet(oriel::load_palette());
}

}  // namespace lumenpad
