/* A weston module for the display tests: a seat with a keyboard whose keys
 * come from the FIFO named by $HALVORIN_WESTON_KEYS, one "<evdev code> <1|0>"
 * line per press or release. Weston's headless backend has no input device of
 * its own; these keys travel to the client as any keyboard's do. */

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <wayland-server.h>
#include <libweston/libweston.h>

/* libweston's own, exported but left out of its installed headers. */
void weston_seat_init(struct weston_seat *seat, struct weston_compositor *compositor,
                      const char *seat_name);
int weston_seat_init_keyboard(struct weston_seat *seat, struct xkb_keymap *keymap);
void notify_key(struct weston_seat *seat, const struct timespec *time, uint32_t key,
                enum wl_keyboard_key_state state, enum weston_key_state_update update_state);

struct test_keys {
    struct weston_seat seat;
    char pending[256];
    size_t length;
};

static int on_readable(int fd, uint32_t mask, void *data) {
    struct test_keys *keys = data;
    (void)mask;
    ssize_t got = read(fd, keys->pending + keys->length, sizeof keys->pending - keys->length - 1);
    if (got <= 0) return 0;
    keys->length += (size_t)got;
    keys->pending[keys->length] = '\0';
    char *line = keys->pending, *end;
    while ((end = strchr(line, '\n')) != NULL) {
        unsigned code, pressed;
        *end = '\0';
        if (sscanf(line, "%u %u", &code, &pressed) == 2) {
            struct timespec now;
            weston_compositor_get_time(&now);
            notify_key(&keys->seat, &now, code,
                       pressed ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED,
                       STATE_UPDATE_AUTOMATIC);
        }
        line = end + 1;
    }
    keys->length = strlen(line);
    memmove(keys->pending, line, keys->length + 1);
    return 0;
}

WL_EXPORT int wet_module_init(struct weston_compositor *compositor, int *argc, char *argv[]) {
    (void)argc;
    (void)argv;
    const char *path = getenv("HALVORIN_WESTON_KEYS");
    int fd = path != NULL ? open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC) : -1;
    struct test_keys *keys = calloc(1, sizeof *keys);
    if (fd < 0 || keys == NULL) {
        weston_log("weston-keys: no key FIFO in $HALVORIN_WESTON_KEYS\n");
        return -1;
    }
    weston_seat_init(&keys->seat, compositor, "test-keys");
    if (weston_seat_init_keyboard(&keys->seat, NULL) < 0) return -1;
    wl_event_loop_add_fd(wl_display_get_event_loop(compositor->wl_display), fd, WL_EVENT_READABLE,
                         on_readable, keys);
    return 0;
}
