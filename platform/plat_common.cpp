// Message queue, latched key state and the device palette, shared by both backends.
#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "platform/plat_input.h"
#include "platform/plat_internal.h"

static std::string last_error = "no error";
static std::deque<PlatMessage> queue;
static uint8_t key_down[256];
static uint8_t key_pressed[256]; // went down since the last keyboard read
static uint8_t escape_pressed;   // went down since the last Escape test, whoever read the keyboard
static int32_t keyboard_is_open = 0;
static PlatColor device_palette[256];
int32_t plat_blind = 0;

void plat_set_error(const char *text) { last_error = text && *text ? text : "unknown error"; }
const char *plat_error(void) { return last_error.c_str(); }

int32_t plat_display_mode_ok(int32_t width, int32_t height, int32_t bpp) {
    if (width > 0 && height > 0 && (bpp == 8 || bpp == 16)) return 1;
    plat_set_error("unsupported display mode");
    return 0;
}

void plat_queue_push(const PlatMessage &msg) { queue.push_back(msg); }
void plat_queue_clear(void) { queue.clear(); }

int plat_message_peek(PlatMessage *out) {
    plat_pump_events();
    if (queue.empty()) return 0;
    PlatMessage m = queue.front();
    queue.pop_front();
    if (out) *out = m;
    return 1;
}

int plat_message_post(int32_t type, int32_t wparam, int32_t lparam) {
    plat_queue_push(PlatMessage{type, wparam, lparam});
    return 1;
}

void plat_message_post_quit(int32_t code) { plat_queue_push(PlatMessage{PLAT_MSG_QUIT, code, 0}); }

int32_t plat_message_default(const PlatMessage *msg) {
    // Every destroy (the game's own quit, the close button, SIGTERM) ends the loop with the quit message.
    if (msg && msg->type == PLAT_MSG_DESTROY) plat_message_post_quit(0);
    return 0;
}

void plat_key_event(int32_t code, int32_t down) {
    if (code <= 0 || code > 255) return;
    key_down[code] = down ? 1 : 0;
    if (down) key_pressed[code] = 1;
    if (down && code == DIK_ESCAPE) escape_pressed = 1;
}

void plat_keys_clear(void) {
    std::memset(key_down, 0, sizeof key_down);
    std::memset(key_pressed, 0, sizeof key_pressed);
    escape_pressed = 0;
}

int32_t plat_key_held(int32_t code) { return code > 0 && code < 256 && key_down[code]; }

int plat_keyboard_open(void) {
    keyboard_is_open = 1;
    return 1;
}

void plat_keyboard_close(void) { keyboard_is_open = 0; }

int plat_keyboard_read(uint8_t state[256]) {
    if (!keyboard_is_open) {
        std::memset(state, 0, 256);
        return 0;
    }
    plat_pump_events();
    for (int i = 0; i < 256; i++) state[i] = (key_down[i] || key_pressed[i]) ? 0x80 : 0;
    std::memset(key_pressed, 0, sizeof key_pressed);
    return 1;
}

void plat_keyboard_forget_taps(void) {
    plat_pump_events(); // presses still waiting in the OS queue belong to the stretch too
    std::memset(key_pressed, 0, sizeof key_pressed);
}

int plat_escape_down(void) {
    plat_pump_events();
    // A tap counts too: frames whose keys come from elsewhere (the computer, a recording, the
    // peer) never read the keyboard, and dropping the taps of pauses must not drop the quit.
    int down = plat_key_held(DIK_ESCAPE) || escape_pressed || plat_backend_escape_async();
    escape_pressed = 0;
    return down;
}

const PlatColor *plat_palette_data(void) { return device_palette; }

void plat_palette_reset(void) { std::memset(device_palette, 0, sizeof device_palette); }

int plat_palette_set(int32_t first, int32_t count, const PlatColor *colours) {
    if (!colours || first < 0 || count < 0 || first + count > 256) return 0;
    for (int32_t i = 0; i < count; i++) {
        device_palette[first + i] = colours[i];
        device_palette[first + i].flags = 0;
    }
    plat_backend_palette_changed();
    return 1;
}

int plat_palette_get(int32_t first, int32_t count, PlatColor *out) {
    if (!out || first < 0 || count < 0 || first + count > 256) return 0;
    std::memcpy(out, device_palette + first, sizeof(PlatColor) * static_cast<size_t>(count));
    return 1;
}

int plat_palette_nearest(uint32_t colorref) {
    int r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    int best = 0;
    long best_d = -1;
    for (int i = 0; i < 256; i++) {
        long dr = device_palette[i].r - r, dg = device_palette[i].g - g, db = device_palette[i].b - b;
        long d = dr * dr + dg * dg + db * db;
        if (best_d < 0 || d < best_d) {
            best_d = d;
            best = i;
        }
    }
    return best;
}
