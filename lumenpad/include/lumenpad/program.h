/* The whole program, built as a shared library that the `lumenpad`
 * executable loads when no resident launcher answers it, or when it is given
 * options: the executable itself links neither GTK nor the C++ runtime. */
#ifndef LUMENPAD_PROGRAM_H
#define LUMENPAD_PROGRAM_H

#define LUMENPAD_PROGRAM_LIBRARY "liblumenpad-program.so"
#define LUMENPAD_PROGRAM_ENTRY "lumenpad_program_main"

#ifdef __cplusplus
extern "C" {
#endif

/* main's arguments, and main's exit status. */
typedef int lumenpad_program_main_fn(int argc, char** argv);
lumenpad_program_main_fn lumenpad_program_main;

#ifdef __cplusplus
}
#endif

#endif
