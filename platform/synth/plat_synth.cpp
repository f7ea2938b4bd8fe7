// FluidSynth behind plat_music_*: one synth and one SoundFont for the run,
// a fresh MIDI player per piece, driven by the samples we render.
#include "platform/synth/plat_synth.h"

#include <fluidsynth.h>

namespace {

const char *const SOUNDFONT_PATHS[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",     // small, loads in well under 0.1 s
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",   // large, up to a second
};

fluid_settings_t *synth_settings = nullptr;
fluid_synth_t *synth = nullptr;
fluid_player_t *player = nullptr;

void synth_quiet_logs(void)
{
    // Missing SoundFonts and odd MIDI files are expected here; only a panic is worth stderr.
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

} // namespace

int plat_synth_open(int32_t sample_rate)
{
    if (synth)
        return 1;
    synth_quiet_logs();
    synth_settings = new_fluid_settings();
    if (!synth_settings)
        return 0;
    fluid_settings_setnum(synth_settings, "synth.sample-rate", (double)sample_rate);
    fluid_settings_setint(synth_settings, "synth.lock-memory", 0);
    // "sample" timing: the player advances only as we render, so offline output is exact.
    fluid_settings_setstr(synth_settings, "player.timing-source", "sample");
    synth = new_fluid_synth(synth_settings);
    if (synth) {
        for (const char *path : SOUNDFONT_PATHS) {
            if (fluid_is_soundfont(path) && fluid_synth_sfload(synth, path, 1) != FLUID_FAILED)
                return 1;
        }
        delete_fluid_synth(synth);
        synth = nullptr;
    }
    delete_fluid_settings(synth_settings);
    synth_settings = nullptr;
    return 0;
}

void plat_synth_stop(void)
{
    if (!player)
        return;
    // The player's own notes-off would only go out on the next render; cut the voices now
    // so deleting it cannot leave notes hanging.
    fluid_player_stop(player);
    fluid_synth_all_sounds_off(synth, -1);
    delete_fluid_player(player);
    player = nullptr;
}

void plat_synth_close(void)
{
    if (!synth)
        return;
    plat_synth_stop();
    delete_fluid_synth(synth);
    synth = nullptr;
    delete_fluid_settings(synth_settings);
    synth_settings = nullptr;
}

int plat_synth_is_open(void)
{
    return synth != nullptr;
}

int plat_synth_play(const uint8_t *midi, uint32_t size)
{
    if (!synth || !midi || size == 0)
        return 0;
    plat_synth_stop();
    // A piece must not inherit the programs and controllers the last one left behind.
    fluid_synth_system_reset(synth);
    player = new_fluid_player(synth);
    if (!player)
        return 0;
    if (fluid_player_add_mem(player, midi, size) != FLUID_OK || fluid_player_play(player) != FLUID_OK) {
        delete_fluid_player(player);
        player = nullptr;
        return 0;
    }
    return 1;
}

int plat_synth_playing(void)
{
    if (!player || fluid_player_get_status(player) != FLUID_PLAYER_PLAYING)
        return 0;
    // The player stays "playing" for seconds after the last event; the ticks tell the
    // musical end. The total reads 0 until the first render.
    int total = fluid_player_get_total_ticks(player);
    return total <= 0 || fluid_player_get_current_tick(player) < total;
}

int plat_synth_render(float *out, int32_t frames)
{
    if (!synth || frames <= 0)
        return 0;
    return fluid_synth_write_float(synth, frames, out, 0, 2, out, 1, 2) == FLUID_OK;
}
