#include "lumenpad/resident.hpp"

namespace lumenpad {

int run_resident(char* /*program*/) {
    return 1;
}

}  // namespace lumenpad
