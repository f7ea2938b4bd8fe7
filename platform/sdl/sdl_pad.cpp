// Gamepads through SDL's game-controller layer. Button presses are latched from SDL's events
// by an event watch, so a tap between two reads still counts and no one else's event loop has
// to pass them on; what is held is read from SDL's state at read time.
#include <algorithm>

#include "platform/plat_pad.h"
#include "platform/sdl/sdl_internal.h"

namespace {

struct Pad {
    SDL_GameController *controller;
    SDL_JoystickID id; // grows with every attachment, so it orders pads by connection
    uint32_t pressed;
    int16_t x_min, x_max, y_min, y_max;
};

Pad pads[PLAT_PAD_MAX];
int32_t pad_count;
int32_t reader_open;
int32_t devices_changed;
int32_t focus_lost; // another window has the keyboard: pads are ignored like the keys
int32_t gave_up;    // the controller layer would not start: not tried again every frame

struct ButtonBit {
    SDL_GameControllerButton button;
    uint32_t bit;
};
constexpr ButtonBit BUTTON_BITS[7] = {
    {SDL_CONTROLLER_BUTTON_A, PLAT_PAD_A},
    {SDL_CONTROLLER_BUTTON_BACK, PLAT_PAD_BACK},
    {SDL_CONTROLLER_BUTTON_START, PLAT_PAD_START},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, PLAT_PAD_DPAD_UP},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, PLAT_PAD_DPAD_DOWN},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, PLAT_PAD_DPAD_LEFT},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, PLAT_PAD_DPAD_RIGHT},
};

Pad *find(SDL_JoystickID id) {
    for (int32_t i = 0; i < pad_count; i++)
        if (pads[i].id == id) return &pads[i];
    return nullptr;
}

// Runs inside SDL's event pump, whoever pumps.
int SDLCALL watch(void *, SDL_Event *ev) {
    switch (ev->type) {
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERDEVICEREMAPPED: devices_changed = 1; break;
    case SDL_CONTROLLERBUTTONDOWN:
        if (Pad *p = find(ev->cbutton.which); p && !focus_lost)
            for (const ButtonBit &b : BUTTON_BITS)
                if (b.button == ev->cbutton.button) p->pressed |= b.bit;
        break;
    case SDL_CONTROLLERAXISMOTION:
        if (Pad *p = find(ev->caxis.which); p && !focus_lost) {
            int16_t v = ev->caxis.value;
            if (ev->caxis.axis == SDL_CONTROLLER_AXIS_LEFTX) {
                p->x_min = std::min(p->x_min, v);
                p->x_max = std::max(p->x_max, v);
            } else if (ev->caxis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
                p->y_min = std::min(p->y_min, v);
                p->y_max = std::max(p->y_max, v);
            }
        }
        break;
    case SDL_WINDOWEVENT:
        if (ev->window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
            focus_lost = 1;
            for (int32_t i = 0; i < pad_count; i++) pads[i].pressed = 0;
        } else if (ev->window.event == SDL_WINDOWEVENT_FOCUS_GAINED) {
            focus_lost = 0;
        }
        break;
    default: break;
    }
    return 1;
}

// After SDL_Quit the handles are gone with the subsystem: drop them without closing.
void forget_all(void) {
    pad_count = 0;
    reader_open = 0;
    focus_lost = 0;
}

int32_t still_open(void) {
    if (reader_open && !SDL_WasInit(SDL_INIT_GAMECONTROLLER)) forget_all();
    return reader_open;
}

void sync_devices(void) {
    if (!devices_changed) return;
    devices_changed = 0;
    int32_t kept = 0;
    for (int32_t i = 0; i < pad_count; i++) {
        if (SDL_GameControllerGetAttached(pads[i].controller))
            pads[kept++] = pads[i];
        else
            SDL_GameControllerClose(pads[i].controller);
    }
    pad_count = kept;
    int devices = SDL_NumJoysticks();
    for (int d = 0; d < devices && pad_count < PLAT_PAD_MAX; d++) {
        if (!SDL_IsGameController(d) || find(SDL_JoystickGetDeviceInstanceID(d))) continue;
        SDL_GameController *c = SDL_GameControllerOpen(d);
        if (!c) continue;
        Pad fresh{c, SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(c)), 0, 0, 0, 0, 0};
        int32_t at = pad_count++;
        for (; at > 0 && pads[at - 1].id > fresh.id; at--) pads[at] = pads[at - 1];
        pads[at] = fresh;
    }
}

} // namespace

int plat_pad_open(void) {
    if (still_open()) return 1;
    if (gave_up || !SDL_WasInit(SDL_INIT_EVENTS)) return 0;
    // Our focus rule (the watch's) decides: SDL's own drops every press while no window has
    // been given the focus, as under X without a window manager.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        gave_up = 1;
        return 0;
    }
    SDL_DelEventWatch(watch, nullptr);
    SDL_AddEventWatch(watch, nullptr);
    reader_open = 1;
    devices_changed = 1;
    focus_lost = 0;
    SDL_JoystickUpdate(); // what was held before the hint took effect shows at the first read
    return 1;
}

void plat_pad_close(void) {
    gave_up = 0;
    if (!still_open()) return;
    SDL_DelEventWatch(watch, nullptr);
    for (int32_t i = 0; i < pad_count; i++) SDL_GameControllerClose(pads[i].controller);
    forget_all();
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

int32_t plat_pad_count(void) {
    if (!still_open()) return 0;
    sync_devices();
    return pad_count;
}

int plat_pad_read(int32_t index, PlatPadState *out) {
    if (!out) return 0;
    *out = PlatPadState{};
    if (!still_open()) return 0;
    sync_devices();
    if (index < 0 || index >= pad_count) return 0;
    Pad &p = pads[index];
    if (!focus_lost) {
        uint32_t held = 0;
        for (const ButtonBit &b : BUTTON_BITS)
            if (SDL_GameControllerGetButton(p.controller, b.button)) held |= b.bit;
        int16_t x = SDL_GameControllerGetAxis(p.controller, SDL_CONTROLLER_AXIS_LEFTX);
        int16_t y = SDL_GameControllerGetAxis(p.controller, SDL_CONTROLLER_AXIS_LEFTY);
        *out = PlatPadState{held | p.pressed, std::min(p.x_min, x), std::max(p.x_max, x), std::min(p.y_min, y),
                            std::max(p.y_max, y)};
    }
    // A stick still pushed counts again from where it is at the next read, not from here.
    p.pressed = 0;
    p.x_min = p.x_max = p.y_min = p.y_max = 0;
    return 1;
}
