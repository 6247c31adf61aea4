#include "oriel-theme/stylesheet_file.hpp"

#include "lumenpad-shared/read_file.hpp"

namespace oriel {

std::optional<std::string> read_stylesheet_file(const std::string& path) {
    int error = 0;
    return lumenpad::read_text_file(path, error, max_stylesheet_size);
}

}  // namespace oriel
