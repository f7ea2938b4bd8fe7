// Pads through the browser's Gamepad API, read in their "standard" layout: face button 0 is A,
// 8 and 9 are Back and Start, 12 to 15 the D-pad, axes 0 and 1 the left stick.
#include <emscripten/html5.h>

#include <algorithm>

#include "platform/plat_pad.h"

namespace {

struct WebPad {
    long index; // the browser's slot for it
    uint32_t held, pressed;
    int16_t x_min, x_max, y_min, y_max;
};

WebPad pads[PLAT_PAD_MAX];
int32_t pad_count = 0;
int32_t reader_open = 0;

constexpr struct {
    int button;
    uint32_t bit;
} BUTTONS[] = {{0, PLAT_PAD_A},          {8, PLAT_PAD_BACK},       {9, PLAT_PAD_START},      {12, PLAT_PAD_DPAD_UP},
               {13, PLAT_PAD_DPAD_DOWN}, {14, PLAT_PAD_DPAD_LEFT}, {15, PLAT_PAD_DPAD_RIGHT}};

int16_t axis_value(double v) {
    double s = std::clamp(v, -1.0, 1.0) * 32767.0;
    return static_cast<int16_t>(s);
}

// Pads unplugged leave the list, new ones join at its end; every pad's state is brought up to date.
void poll(void) {
    if (emscripten_sample_gamepad_data() != EMSCRIPTEN_RESULT_SUCCESS) {
        pad_count = 0;
        return;
    }
    int slots = emscripten_get_num_gamepads();
    EmscriptenGamepadEvent ge;
    for (int32_t i = 0; i < pad_count;) {
        if (emscripten_get_gamepad_status(static_cast<int>(pads[i].index), &ge) != EMSCRIPTEN_RESULT_SUCCESS ||
            !ge.connected) {
            std::copy(pads + i + 1, pads + pad_count, pads + i);
            pad_count--;
        } else {
            i++;
        }
    }
    for (int slot = 0; slot < slots; slot++) {
        if (emscripten_get_gamepad_status(slot, &ge) != EMSCRIPTEN_RESULT_SUCCESS || !ge.connected) continue;
        WebPad *p = std::find_if(pads, pads + pad_count, [&](const WebPad &w) { return w.index == slot; });
        if (p == pads + pad_count) {
            if (pad_count == PLAT_PAD_MAX) continue;
            *p = WebPad{slot, 0, 0, 0, 0, 0, 0};
            pad_count++;
        }
        uint32_t held = 0;
        for (const auto &b : BUTTONS)
            if (b.button < ge.numButtons && ge.digitalButton[b.button]) held |= b.bit;
        p->pressed |= held & ~p->held;
        p->held = held;
        int16_t x = ge.numAxes > 0 ? axis_value(ge.axis[0]) : 0, y = ge.numAxes > 1 ? axis_value(ge.axis[1]) : 0;
        p->x_min = std::min(p->x_min, x);
        p->x_max = std::max(p->x_max, x);
        p->y_min = std::min(p->y_min, y);
        p->y_max = std::max(p->y_max, y);
    }
}

} // namespace

int plat_pad_open(void) {
    reader_open = 1;
    return 1;
}

void plat_pad_close(void) {
    reader_open = 0;
    pad_count = 0;
}

int32_t plat_pad_count(void) {
    if (!reader_open) return 0;
    poll();
    return pad_count;
}

int plat_pad_read(int32_t index, PlatPadState *out) {
    if (!out) return 0;
    *out = PlatPadState{};
    if (!reader_open) return 0;
    poll();
    if (index < 0 || index >= pad_count) return 0;
    WebPad &p = pads[index];
    *out = PlatPadState{p.held | p.pressed, p.x_min, p.x_max, p.y_min, p.y_max};
    p.pressed = 0;
    p.x_min = p.x_max = p.y_min = p.y_max = 0;
    return 1;
}
