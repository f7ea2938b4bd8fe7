// Mouse and game controller readers (the game itself uses only the keyboard).
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/plat_input.h"
#include "platform/plat_internal.h"
#include "platform/sdl/sdl_internal.h"

static int32_t mouse_open = 0;
static PlatMouseState mouse_acc;
static uint8_t mouse_buttons[4];

static SDL_Joystick *joystick = nullptr;
static int32_t joy_min_x, joy_max_x, joy_min_y, joy_max_y, joy_dead;

static void take_device_event(const SDL_Event &ev) {
    if (!mouse_open) return;
    switch (ev.type) {
    case SDL_MOUSEMOTION:
        mouse_acc.dx += ev.motion.xrel;
        mouse_acc.dy += ev.motion.yrel;
        break;
    case SDL_MOUSEWHEEL: mouse_acc.wheel += ev.wheel.y; break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int b = ev.button.button == SDL_BUTTON_LEFT     ? 0
                : ev.button.button == SDL_BUTTON_RIGHT  ? 1
                : ev.button.button == SDL_BUTTON_MIDDLE ? 2
                : ev.button.button == SDL_BUTTON_X1     ? 3
                                                        : -1;
        if (b >= 0) mouse_buttons[b] = ev.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
        break;
    }
    default: break;
    }
}

int plat_mouse_open(void) {
    if (!sdl_window()) return 0;
    sdl_system_hooks.device_event = take_device_event;
    mouse_open = 1;
    mouse_acc = PlatMouseState{};
    std::memset(mouse_buttons, 0, sizeof mouse_buttons);
    return 1;
}

int plat_mouse_read(PlatMouseState *out) {
    if (!out) return 0;
    if (!mouse_open) {
        *out = PlatMouseState{};
        return 0;
    }
    plat_pump_events();
    *out = mouse_acc;
    std::memcpy(out->buttons, mouse_buttons, 4);
    mouse_acc = PlatMouseState{};
    return 1;
}

void plat_mouse_close(void) { mouse_open = 0; }

static int joystick_subsystem(void) {
    if (SDL_WasInit(SDL_INIT_JOYSTICK) || SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0) return 1;
    plat_set_error(SDL_GetError());
    return 0;
}

void plat_joystick_enum(int32_t (*found)(const PlatJoystickInfo *device, void *context), void *context) {
    if (!found || !joystick_subsystem()) return;
    for (int i = 0; i < SDL_NumJoysticks(); i++) {
        PlatJoystickInfo info{};
        SDL_JoystickGUID guid = SDL_JoystickGetDeviceGUID(i);
        std::memcpy(info.guid, guid.data, sizeof info.guid);
        const char *name = SDL_JoystickNameForIndex(i);
        std::snprintf(info.name, sizeof info.name, "%s", name ? name : "");
        if (!found(&info, context)) return;
    }
}

int plat_joystick_open(const uint8_t guid[16], int32_t min_x, int32_t max_x, int32_t min_y, int32_t max_y,
                       int32_t dead_zone_percent) {
    if (!joystick_subsystem()) return 0;
    static const uint8_t any[16] = {};
    int index = -1;
    for (int i = 0; i < SDL_NumJoysticks() && index < 0; i++) {
        SDL_JoystickGUID id = SDL_JoystickGetDeviceGUID(i);
        if (!guid || std::memcmp(guid, any, 16) == 0 || std::memcmp(guid, id.data, 16) == 0) index = i;
    }
    if (index < 0) {
        plat_set_error("no game controller attached");
        return 0;
    }
    joystick = SDL_JoystickOpen(index);
    if (!joystick) {
        plat_set_error(SDL_GetError());
        return 0;
    }
    joy_min_x = min_x;
    joy_max_x = max_x;
    joy_min_y = min_y;
    joy_max_y = max_y;
    joy_dead = std::clamp(dead_zone_percent, 0, 100);
    return 1;
}

static int32_t scale_axis(int16_t raw, int32_t lo, int32_t hi) {
    int32_t v = raw;
    if (std::abs(v) * 100 < joy_dead * 32767) v = 0;
    double t = (v + 32768.0) / 65535.0;
    return static_cast<int32_t>(lo + t * (hi - lo));
}

int plat_joystick_read(PlatJoystickState *out) {
    if (!out) return 0;
    *out = PlatJoystickState{};
    if (!joystick) return 0;
    SDL_JoystickUpdate();
    int axes = SDL_JoystickNumAxes(joystick);
    out->x = scale_axis(axes > 0 ? SDL_JoystickGetAxis(joystick, 0) : 0, joy_min_x, joy_max_x);
    out->y = scale_axis(axes > 1 ? SDL_JoystickGetAxis(joystick, 1) : 0, joy_min_y, joy_max_y);
    out->z = axes > 2 ? SDL_JoystickGetAxis(joystick, 2) : 0;
    out->rx = axes > 3 ? SDL_JoystickGetAxis(joystick, 3) : 0;
    out->ry = axes > 4 ? SDL_JoystickGetAxis(joystick, 4) : 0;
    out->rz = axes > 5 ? SDL_JoystickGetAxis(joystick, 5) : 0;
    for (int i = 0; i < 4; i++) out->pov[i] = 0xFFFFFFFFu;
    int hats = std::min(SDL_JoystickNumHats(joystick), 4);
    for (int i = 0; i < hats; i++) {
        static const uint32_t dirs[16] = {0xFFFFFFFFu, 0,     9000,  4500,        18000,       0xFFFFFFFFu, 13500,
                                          0xFFFFFFFFu, 27000, 31500, 0xFFFFFFFFu, 0xFFFFFFFFu, 22500};
        out->pov[i] = dirs[SDL_JoystickGetHat(joystick, i) & 15];
    }
    int buttons = std::min(SDL_JoystickNumButtons(joystick), 32);
    for (int i = 0; i < buttons; i++) out->buttons[i] = SDL_JoystickGetButton(joystick, i) ? 0x80 : 0;
    return 1;
}

void plat_joystick_close(void) {
    if (joystick) SDL_JoystickClose(joystick);
    joystick = nullptr;
}
