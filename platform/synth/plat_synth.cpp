// FluidSynth behind plat_music_*: one synth and one SoundFont for the run, loaded off the
// game thread when asked, a fresh MIDI player per piece, driven by the samples we render.
#include "platform/synth/plat_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <thread>
#include <unistd.h>

namespace {

// Debian, Ubuntu and openSUSE keep General MIDI SoundFonts in the first two, Fedora and Arch in
// the third.
const char *const SYSTEM_ROOTS[] = {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", "/usr/share/soundfonts"};

// Within a folder: the distribution's chosen default first, then the well-known General MIDI sets.
const char *const USUAL_NAMES[] = {
    "default-GM.sf2", "default-GM.sf3", "default.sf2",     "default.sf3",
    "FluidR3_GM.sf2", "FluidR3_GM.sf3", "FluidR3Mono_GM.sf3", "MuseScore_General.sf3",
    "MuseScore_General.sf2", "GeneralUser_GS.sf2", "TimGM6mb.sf2",
};

constexpr int MIDI_CHANNELS = 16;
constexpr int CC_VOLUME = 7, CC_PAN = 10, CC_SUSTAIN = 64, CC_SOSTENUTO = 66, CC_RESET_ALL = 121;

fluid_settings_t *synth_settings = nullptr;
fluid_synth_t *synth = nullptr;
fluid_player_t *player = nullptr;
std::thread synth_loader;
std::atomic<int32_t> synth_state{PLAT_SYNTH_OFF};

// Test stand-ins for the system's search.
std::vector<std::string> search_roots;
std::string search_fluid_default;
bool search_overridden = false;

void synth_quiet_logs(void)
{
    // Missing SoundFonts and odd MIDI files are expected here; we say what matters ourselves.
    fluid_set_log_function(FLUID_PANIC, nullptr, nullptr);
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
}

bool has_soundfont_suffix(const char *name)
{
    size_t n = std::strlen(name);
    return n > 4 && (strcasecmp(name + n - 4, ".sf2") == 0 || strcasecmp(name + n - 4, ".sf3") == 0);
}

void add_candidate(const std::string &path, std::vector<std::string> *out, std::vector<std::string> *seen)
{
    if (path.empty() || access(path.c_str(), R_OK) != 0 || !fluid_is_soundfont(path.c_str()))
        return;
    // The default-GM links usually point at a file listed again under its own name.
    char *real = realpath(path.c_str(), nullptr);
    std::string key = real ? real : path;
    std::free(real);
    if (std::find(seen->begin(), seen->end(), key) != seen->end())
        return;
    seen->push_back(key);
    out->push_back(path);
}

// Every path of the run's search, in order.
void synth_candidates(std::vector<std::string> *out, std::string *override_path)
{
    const char *env = std::getenv("QUORVANE_SOUNDFONT");
    *override_path = env ? env : "";
    std::string fluid_default;
    std::vector<const char *> roots;
    if (search_overridden) {
        fluid_default = search_fluid_default;
        for (const std::string &r : search_roots)
            roots.push_back(r.c_str());
    } else {
        char *value = nullptr;
        if (fluid_settings_dupstr(synth_settings, "synth.default-soundfont", &value) == FLUID_OK && value)
            fluid_default = value;
        fluid_free(value);
        roots.assign(std::begin(SYSTEM_ROOTS), std::end(SYSTEM_ROOTS));
    }
    plat_synth_soundfont_candidates(override_path->c_str(), fluid_default.c_str(), roots.data(),
                                    (int32_t)roots.size(), out);
}

void synth_free(void)
{
    if (synth)
        delete_fluid_synth(synth);
    synth = nullptr;
    if (synth_settings)
        delete_fluid_settings(synth_settings);
    synth_settings = nullptr;
}

// Runs on the loading thread (or the caller's); touches nothing shared until the state is set.
void synth_load(int32_t sample_rate)
{
    synth_settings = new_fluid_settings();
    if (synth_settings) {
        fluid_settings_setnum(synth_settings, "synth.sample-rate", (double)sample_rate);
        fluid_settings_setint(synth_settings, "synth.lock-memory", 0);
        // Only the samples of the instruments a piece selects are read into memory.
        fluid_settings_setint(synth_settings, "synth.dynamic-sample-loading", 1);
        // "sample" timing: the player advances only as we render, so offline output is exact.
        fluid_settings_setstr(synth_settings, "player.timing-source", "sample");
        synth = new_fluid_synth(synth_settings);
    }
    if (!synth) {
        synth_free();
        synth_state.store(PLAT_SYNTH_OFF, std::memory_order_release);
        return;
    }
    std::vector<std::string> candidates;
    std::string override_path;
    synth_candidates(&candidates, &override_path);
    const std::string *loaded = nullptr;
    for (const std::string &path : candidates) {
        if (fluid_synth_sfload(synth, path.c_str(), 1) != FLUID_FAILED) {
            loaded = &path;
            break;
        }
    }
    if (!override_path.empty() && (!loaded || *loaded != override_path)) {
        std::fprintf(stderr, "quorvane: QUORVANE_SOUNDFONT=%s is not a SoundFont that loads; %s%s\n",
                     override_path.c_str(), loaded ? "using " : "music is off", loaded ? loaded->c_str() : "");
    } else if (!loaded) {
        std::fprintf(stderr, "quorvane: music is off: no General MIDI SoundFont found in FluidSynth's default, "
                             "/usr/share/sounds/sf2, /usr/share/sounds/sf3 or /usr/share/soundfonts; install one "
                             "(Debian: apt install fluid-soundfont-gm) or set QUORVANE_SOUNDFONT=FILE\n");
    }
    if (!loaded) {
        synth_free();
        synth_state.store(PLAT_SYNTH_OFF, std::memory_order_release);
        return;
    }
    synth_state.store(PLAT_SYNTH_READY, std::memory_order_release);
}

// Controllers and programs back to their start, without touching the voices still sounding.
void synth_reset_channels(void)
{
    for (int ch = 0; ch < MIDI_CHANNELS; ch++) {
        fluid_synth_cc(synth, ch, CC_RESET_ALL, 0);
        fluid_synth_cc(synth, ch, CC_VOLUME, 100);
        fluid_synth_cc(synth, ch, CC_PAN, 64);
        if (ch != 9)
            fluid_synth_bank_select(synth, ch, 0);
        fluid_synth_program_change(synth, ch, 0);
    }
}

} // namespace

void plat_synth_soundfont_candidates(const char *override_path, const char *fluid_default,
                                     const char *const *roots, int32_t root_count,
                                     std::vector<std::string> *out)
{
    if (!out)
        return;
    synth_quiet_logs();
    out->clear();
    std::vector<std::string> seen;
    if (override_path)
        add_candidate(override_path, out, &seen);
    if (fluid_default)
        add_candidate(fluid_default, out, &seen);
    for (int32_t r = 0; roots && r < root_count; r++) {
        if (!roots[r] || !roots[r][0])
            continue;
        std::string dir = roots[r];
        for (const char *name : USUAL_NAMES)
            add_candidate(dir + "/" + name, out, &seen);
        std::vector<std::string> others;
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *e = readdir(d)) {
                if (has_soundfont_suffix(e->d_name))
                    others.push_back(e->d_name);
            }
            closedir(d);
        }
        std::sort(others.begin(), others.end());
        for (const std::string &name : others)
            add_candidate(dir + "/" + name, out, &seen);
    }
}

void plat_synth_set_search(const char *const *roots, int32_t root_count, const char *fluid_default)
{
    search_overridden = roots != nullptr;
    search_roots.clear();
    for (int32_t i = 0; roots && i < root_count; i++)
        search_roots.push_back(roots[i] ? roots[i] : "");
    search_fluid_default = fluid_default ? fluid_default : "";
}

int plat_synth_open(int32_t sample_rate, int background)
{
    if (synth_state.load(std::memory_order_acquire) != PLAT_SYNTH_OFF || synth_loader.joinable())
        return 1;
    synth_quiet_logs();
    synth_state.store(PLAT_SYNTH_LOADING, std::memory_order_release);
    if (background) {
        synth_loader = std::thread(synth_load, sample_rate);
        return 1;
    }
    synth_load(sample_rate);
    return synth_state.load(std::memory_order_acquire) == PLAT_SYNTH_READY;
}

int32_t plat_synth_status(void)
{
    return synth_state.load(std::memory_order_acquire);
}

int plat_synth_wait(void)
{
    if (synth_loader.joinable())
        synth_loader.join();
    return plat_synth_status() == PLAT_SYNTH_READY;
}

void plat_synth_stop(void)
{
    if (!player)
        return;
    // The player's own notes-off would only go out on the next render, and deleting it first
    // would leave them hanging: release every note now, pedals up, and let the tails ring out.
    fluid_player_stop(player);
    for (int ch = 0; ch < MIDI_CHANNELS; ch++) {
        fluid_synth_cc(synth, ch, CC_SUSTAIN, 0);
        fluid_synth_cc(synth, ch, CC_SOSTENUTO, 0);
    }
    fluid_synth_all_notes_off(synth, -1);
    delete_fluid_player(player);
    player = nullptr;
}

void plat_synth_close(void)
{
    plat_synth_wait();
    if (synth && player) {
        fluid_player_stop(player);
        delete_fluid_player(player);
    }
    player = nullptr;
    synth_free();
    synth_state.store(PLAT_SYNTH_OFF, std::memory_order_release);
}

int plat_synth_play(const uint8_t *midi, uint32_t size)
{
    if (plat_synth_status() != PLAT_SYNTH_READY || !midi || size == 0)
        return 0;
    plat_synth_stop();
    // A piece must not inherit the programs and controllers the last one left behind; its
    // notes still in their release keep sounding.
    synth_reset_channels();
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
    if (plat_synth_status() != PLAT_SYNTH_READY || frames <= 0)
        return 0;
    return fluid_synth_write_float(synth, frames, out, 0, 2, out, 1, 2) == FLUID_OK;
}
