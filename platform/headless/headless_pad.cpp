// Headless pads: tests plug them in, press buttons and move sticks by script.
#include <algorithm>

#include "platform/plat_pad.h"

namespace {

struct ScriptedPad {
    int32_t id;
    uint32_t held, pressed;
    int16_t x, y;
    int16_t x_min, x_max, y_min, y_max;
};

ScriptedPad pads[PLAT_PAD_MAX];
int32_t pad_count;
int32_t next_id;
int32_t reader_open;

ScriptedPad *find(int32_t id) {
    for (int32_t i = 0; i < pad_count; i++)
        if (pads[i].id == id) return &pads[i];
    return nullptr;
}

} // namespace

int plat_pad_open(void) {
    reader_open = 1;
    return 1;
}

void plat_pad_close(void) { reader_open = 0; }

int32_t plat_pad_count(void) { return reader_open ? pad_count : 0; }

int plat_pad_read(int32_t index, PlatPadState *out) {
    if (!out) return 0;
    *out = PlatPadState{};
    if (!reader_open || index < 0 || index >= pad_count) return 0;
    ScriptedPad &p = pads[index];
    *out = PlatPadState{p.held | p.pressed, std::min(p.x_min, p.x), std::max(p.x_max, p.x), std::min(p.y_min, p.y),
                        std::max(p.y_max, p.y)};
    // A stick still pushed counts again from where it is at the next read, not from here.
    p.pressed = 0;
    p.x_min = p.x_max = p.y_min = p.y_max = 0;
    return 1;
}

void plat_headless_pad_reset(void) {
    pad_count = 0;
    next_id = 0;
    reader_open = 0;
}

int32_t plat_headless_pad_attach(void) {
    if (pad_count == PLAT_PAD_MAX) return -1;
    pads[pad_count++] = ScriptedPad{next_id, 0, 0, 0, 0, 0, 0, 0, 0};
    return next_id++;
}

void plat_headless_pad_detach(int32_t id) {
    ScriptedPad *p = find(id);
    if (!p) return;
    std::copy(p + 1, pads + pad_count, p);
    pad_count--;
}

void plat_headless_pad_set(int32_t id, uint32_t held, int16_t x, int16_t y) {
    ScriptedPad *p = find(id);
    if (!p) return;
    p->pressed |= held & ~p->held;
    p->held = held;
    p->x = x;
    p->y = y;
    p->x_min = std::min(p->x_min, x);
    p->x_max = std::max(p->x_max, x);
    p->y_min = std::min(p->y_min, y);
    p->y_max = std::max(p->y_max, y);
}

void plat_headless_pad_tap(int32_t id, uint32_t buttons) {
    ScriptedPad *p = find(id);
    if (p) p->pressed |= buttons;
}
