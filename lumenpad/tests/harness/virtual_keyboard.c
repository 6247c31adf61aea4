/* Test helper: a virtual keyboard on the compositor's first seat, driven by
 * commands on standard input, one per line:
 *   type TEXT          types TEXT (printable ASCII; other characters fail)
 *   key KEYSYM         presses and releases the key of an XKB keysym name
 *   mod NAME down|up   holds or lets go of shift, ctrl, alt or super
 *   hold KEYSYM down|up
 *                      holds or lets go of the key of an XKB keysym name (the
 *                      client repeats a held key at the seat's repeat rate)
 * It prints "ready" once its keymap is in place, then answers each command
 * with one line: "ok" once the compositor has seen the events, or "error: ..."
 * when it could not be carried out. It stays connected until standard input
 * ends, so the seat keeps a keyboard with a keymap for every client started
 * meanwhile. It also adds an idle virtual pointer: a seat without a pointer
 * device offers clients no wl_pointer, and the clicks that tests send through
 * the compositor's IPC would reach nobody. */
#define _GNU_SOURCE
#include <errno.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

/* Keycodes in an XKB keymap are evdev codes plus this offset. */
enum { EVDEV_OFFSET = 8 };

struct Globals {
    struct wl_seat* seat;
    struct zwp_virtual_keyboard_manager_v1* manager;
    struct zwlr_virtual_pointer_manager_v1* pointer_manager;
};

struct Keyboard {
    struct wl_display* display;
    struct zwp_virtual_keyboard_v1* device;
    struct xkb_keymap* keymap;
    uint32_t held_mods;
};

/* Where a keysym sits: its keycode and whether Shift reaches it. */
struct KeyPosition {
    xkb_keycode_t keycode;
    bool shifted;
};

static void on_global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                      uint32_t version) {
    (void)version;
    struct Globals* globals = data;
    if (strcmp(interface, wl_seat_interface.name) == 0 && globals->seat == NULL) {
        globals->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        globals->manager = wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1);
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->pointer_manager =
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    }
}

static void on_global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {on_global, on_global_remove};

static uint32_t now_ms(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

/* A fixed US layout, so that typed text does not depend on the machine's
 * XKB_DEFAULT_* variables. */
static struct xkb_keymap* make_keymap(struct xkb_context* context) {
    const struct xkb_rule_names names = {
        .rules = "evdev", .model = "pc105", .layout = "us", .variant = "", .options = ""};
    return xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
}

static bool upload_keymap(struct Keyboard* keyboard) {
    char* text = xkb_keymap_get_as_string(keyboard->keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (text == NULL) {
        return false;
    }
    size_t size = strlen(text) + 1;
    int fd = memfd_create("lumenpad-test-keymap", MFD_CLOEXEC);
    bool written = fd >= 0;
    for (size_t done = 0; written && done < size;) {
        ssize_t n = write(fd, text + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        written = n > 0;
        done += written ? (size_t)n : 0;
    }
    free(text);
    if (written) {
        zwp_virtual_keyboard_v1_keymap(keyboard->device, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       (uint32_t)size);
    }
    if (fd >= 0) {
        close(fd);
    }
    return written && wl_display_roundtrip(keyboard->display) >= 0;
}

/* The first key of layout 0 that yields the keysym, preferring the unshifted
 * level. */
static bool find_key(struct xkb_keymap* keymap, xkb_keysym_t keysym, struct KeyPosition* position) {
    for (xkb_level_index_t level = 0; level < 2; ++level) {
        for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= xkb_keymap_max_keycode(keymap);
             ++code) {
            const xkb_keysym_t* syms = NULL;
            int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, level, &syms);
            if (count == 1 && syms[0] == keysym) {
                position->keycode = code;
                position->shifted = level == 1;
                return true;
            }
        }
    }
    return false;
}

static uint32_t mod_mask(struct xkb_keymap* keymap, const char* xkb_name) {
    xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap, xkb_name);
    return index == XKB_MOD_INVALID ? 0 : (uint32_t)1 << index;
}

static void send_mods(struct Keyboard* keyboard, uint32_t mods) {
    zwp_virtual_keyboard_v1_modifiers(keyboard->device, mods, 0, 0, 0);
}

static bool tap(struct Keyboard* keyboard, struct KeyPosition position) {
    uint32_t shift = mod_mask(keyboard->keymap, XKB_MOD_NAME_SHIFT);
    uint32_t mods = keyboard->held_mods | (position.shifted ? shift : 0);
    if (mods != keyboard->held_mods) {
        send_mods(keyboard, mods);
    }
    uint32_t code = position.keycode - EVDEV_OFFSET;
    zwp_virtual_keyboard_v1_key(keyboard->device, now_ms(), code, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(keyboard->device, now_ms(), code, WL_KEYBOARD_KEY_STATE_RELEASED);
    if (mods != keyboard->held_mods) {
        send_mods(keyboard, keyboard->held_mods);
    }
    return wl_display_roundtrip(keyboard->display) >= 0;
}

static void reply(const char* line) {
    fputs(line, stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

static void reply_error(const char* what, const char* detail) {
    printf("error: %s: %s\n", what, detail);
    fflush(stdout);
}

/* Printable ASCII only: every such character has a key in the US layout,
 * so no keymap has to be made up for the text. */
static bool ascii_key(struct xkb_keymap* keymap, char c, struct KeyPosition* position) {
    unsigned char byte = (unsigned char)c;
    return byte >= 0x20 && byte <= 0x7e && find_key(keymap, xkb_utf32_to_keysym(byte), position);
}

/* The whole text is checked first, so that a refused text types nothing. */
static void type_text(struct Keyboard* keyboard, const char* text) {
    struct KeyPosition position;
    for (const char* c = text; *c != '\0'; ++c) {
        if (!ascii_key(keyboard->keymap, *c, &position)) {
            reply_error("cannot type", "only printable ASCII is supported");
            return;
        }
    }
    for (const char* c = text; *c != '\0'; ++c) {
        ascii_key(keyboard->keymap, *c, &position);
        if (!tap(keyboard, position)) {
            reply_error("compositor", "connection lost");
            return;
        }
    }
    reply("ok");
}

static void press_key(struct Keyboard* keyboard, const char* name) {
    xkb_keysym_t keysym = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    struct KeyPosition position;
    if (keysym == XKB_KEY_NoSymbol || !find_key(keyboard->keymap, keysym, &position)) {
        reply_error("unknown key", name);
        return;
    }
    if (!tap(keyboard, position)) {
        reply_error("compositor", "connection lost");
        return;
    }
    reply("ok");
}

static void hold_key(struct Keyboard* keyboard, const char* args) {
    char name[64];
    char state[8];
    if (sscanf(args, "%63s %7s", name, state) != 2) {
        reply_error("usage", "hold KEYSYM down|up");
        return;
    }
    bool down = strcmp(state, "down") == 0;
    xkb_keysym_t keysym = xkb_keysym_from_name(name, XKB_KEYSYM_NO_FLAGS);
    struct KeyPosition position;
    if (keysym == XKB_KEY_NoSymbol || !find_key(keyboard->keymap, keysym, &position) || position.shifted) {
        reply_error("unknown unshifted key", name);
        return;
    }
    if (!down && strcmp(state, "up") != 0) {
        reply_error("usage", "hold KEYSYM down|up");
        return;
    }
    zwp_virtual_keyboard_v1_key(keyboard->device, now_ms(), position.keycode - EVDEV_OFFSET,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    if (wl_display_roundtrip(keyboard->display) < 0) {
        reply_error("compositor", "connection lost");
        return;
    }
    reply("ok");
}

static void set_mod(struct Keyboard* keyboard, const char* args) {
    static const struct {
        const char* name;
        const char* xkb_name;
    } mods[] = {{"shift", XKB_MOD_NAME_SHIFT},
                {"ctrl", XKB_MOD_NAME_CTRL},
                {"alt", XKB_MOD_NAME_ALT},
                {"super", XKB_MOD_NAME_LOGO}};
    char name[16];
    char state[8];
    if (sscanf(args, "%15s %7s", name, state) != 2) {
        reply_error("usage", "mod NAME down|up");
        return;
    }
    uint32_t mask = 0;
    for (size_t i = 0; i < sizeof mods / sizeof mods[0]; ++i) {
        if (strcmp(name, mods[i].name) == 0) {
            mask = mod_mask(keyboard->keymap, mods[i].xkb_name);
        }
    }
    bool down = strcmp(state, "down") == 0;
    if (mask == 0 || (!down && strcmp(state, "up") != 0)) {
        reply_error("usage", "mod shift|ctrl|alt|super down|up");
        return;
    }
    keyboard->held_mods = down ? (keyboard->held_mods | mask) : (keyboard->held_mods & ~mask);
    send_mods(keyboard, keyboard->held_mods);
    if (wl_display_roundtrip(keyboard->display) < 0) {
        reply_error("compositor", "connection lost");
        return;
    }
    reply("ok");
}

static void run_command(struct Keyboard* keyboard, char* line) {
    line[strcspn(line, "\n")] = '\0';
    char* space = strchr(line, ' ');
    const char* args = space == NULL ? "" : space + 1;
    if (space != NULL) {
        *space = '\0';
    }
    if (strcmp(line, "type") == 0) {
        type_text(keyboard, args);
    } else if (strcmp(line, "key") == 0) {
        press_key(keyboard, args);
    } else if (strcmp(line, "mod") == 0) {
        set_mod(keyboard, args);
    } else if (strcmp(line, "hold") == 0) {
        hold_key(keyboard, args);
    } else {
        reply_error("unknown command", line);
    }
}

int main(void) {
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "lumenpad-test-keyboard: cannot connect to the Wayland display\n");
        return 1;
    }
    struct Globals globals = {0};
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, &globals);
    wl_display_roundtrip(display);
    if (globals.seat == NULL || globals.manager == NULL || globals.pointer_manager == NULL) {
        fprintf(stderr,
                "lumenpad-test-keyboard: the compositor offers no seat, virtual keyboard or pointer\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(globals.pointer_manager, globals.seat);

    struct xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    struct Keyboard keyboard = {.display = display};
    keyboard.keymap = context == NULL ? NULL : make_keymap(context);
    if (keyboard.keymap == NULL) {
        fprintf(stderr, "lumenpad-test-keyboard: cannot compile the US keymap\n");
        return 1;
    }
    keyboard.device = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(globals.manager, globals.seat);
    if (!upload_keymap(&keyboard)) {
        fprintf(stderr, "lumenpad-test-keyboard: cannot upload the keymap\n");
        return 1;
    }
    reply("ready");

    char* line = NULL;
    size_t capacity = 0;
    while (getline(&line, &capacity, stdin) >= 0) {
        run_command(&keyboard, line);
    }
    free(line);

    zwp_virtual_keyboard_v1_destroy(keyboard.device);
    zwp_virtual_keyboard_manager_v1_destroy(globals.manager);
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(globals.pointer_manager);
    wl_seat_destroy(globals.seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    xkb_keymap_unref(keyboard.keymap);
    xkb_context_unref(context);
    return 0;
}
