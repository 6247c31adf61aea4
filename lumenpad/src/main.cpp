// The `lumenpad` command: asks the resident launcher to show or hide its
// window when one answers, else loads the whole program and runs it. Only
// libc, so that asking costs next to nothing: no GTK, no C++ runtime.
#include "lumenpad/program.h"
#include "lumenpad/resident_wire.h"

#include <dlfcn.h>
#include <stdio.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc == 1) {
        char path[sizeof(sockaddr_un::sun_path)];
        if (lumenpad_resident_socket_path(path, sizeof path) == 0 &&
            lumenpad_ask_resident(path, environ) != 0) {
            return 0;
        }
    }
    // Found through this executable's RUNPATH: beside it in the build tree,
    // in the library directory's "lumenpad" once installed.
    void* program = dlopen(LUMENPAD_PROGRAM_LIBRARY, RTLD_NOW);
    void* entry = program != nullptr ? dlsym(program, LUMENPAD_PROGRAM_ENTRY) : nullptr;
    if (entry == nullptr) {
        fprintf(stderr, "lumenpad: %s\n", dlerror());
        return 1;
    }
    return reinterpret_cast<lumenpad_program_main_fn*>(entry)(argc, argv);
}
