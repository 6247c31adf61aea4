// The `lumenpad` command: asks the resident launcher to show or hide its
// window when one answers, else loads the whole program and runs it. Only
// libc, so that asking costs next to nothing: no GTK, no C++ runtime.
#include "lumenpad/program.h"
#include "lumenpad/resident_wire.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The program library in the first directory of this executable's search
// path (its RUNPATH: beside it in the build tree, the library directory's
// "lumenpad" once installed) that holds one. Asked of dlinfo rather than left
// to dlopen, which searches its caller's RUNPATH: under AddressSanitizer the
// caller is the sanitizer's interceptor, which has none. Bound lazily, as
// the launcher was as one executable: binding every symbol of GTK and its
// libraries up front would add a millisecond or two to each cold start.
void* open_program() {
    void* self = dlopen(nullptr, RTLD_LAZY);
    Dl_serinfo sizes;
    if (self != nullptr && dlinfo(self, RTLD_DI_SERINFOSIZE, &sizes) == 0) {
        auto* search = static_cast<Dl_serinfo*>(malloc(sizes.dls_size));
        if (search != nullptr) {
            *search = sizes;
            const unsigned count = dlinfo(self, RTLD_DI_SERINFO, search) == 0 ? search->dls_cnt : 0;
            for (unsigned i = 0; i < count; ++i) {
                const char* dir = search->dls_serpath[i].dls_name;
                char path[PATH_MAX];
                const int length = snprintf(path, sizeof path, "%s/%s", dir, LUMENPAD_PROGRAM_LIBRARY);
                // An empty entry, which CMake pads the build tree's path
                // with, stands for the working directory: never searched.
                if (dir[0] == '/' && length > 0 && static_cast<size_t>(length) < sizeof path &&
                    access(path, F_OK) == 0) {
                    free(search);
                    return dlopen(path, RTLD_LAZY);
                }
            }
            free(search);
        }
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) {
        char path[sizeof(sockaddr_un::sun_path)];
        if (lumenpad_resident_socket_path(path, sizeof path) == 0 &&
            lumenpad_ask_resident(path, environ) != 0) {
            return 0;
        }
    }
    void* program = open_program();
    if (program == nullptr) {
        const char* error = dlerror();
        fprintf(stderr, "lumenpad: %s\n",
                error != nullptr ? error : LUMENPAD_PROGRAM_LIBRARY ": not found where this command looks");
        return 1;
    }
    void* entry = dlsym(program, LUMENPAD_PROGRAM_ENTRY);
    if (entry == nullptr) {
        fprintf(stderr, "lumenpad: %s\n", dlerror());
        return 1;
    }
    return reinterpret_cast<lumenpad_program_main_fn*>(entry)(argc, argv);
}
