// FluidSynth behind plat_music_*: one synth and one SoundFont for the run, loaded off the
// game thread when asked, a fresh MIDI player per piece, driven by the samples we render.
#include "platform/synth/plat_synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

// Debian, Ubuntu and openSUSE keep General MIDI SoundFonts in the first two, Fedora and Arch in
// the third.
const char *const SYSTEM_ROOTS[] = {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3", "/usr/share/soundfonts"};

// Within a folder: the distribution's chosen default first, then the well-known General MIDI sets.
const char *const USUAL_NAMES[] = {
    "default-GM.sf2",        "default-GM.sf3",     "default.sf2",        "default.sf3",
    "FluidR3_GM.sf2",        "FluidR3_GM.sf3",     "FluidR3Mono_GM.sf3", "MuseScore_General.sf3",
    "MuseScore_General.sf2", "GeneralUser_GS.sf2", "TimGM6mb.sf2",
};

constexpr int MIDI_CHANNELS = 16;
// Channels past the player's 16 hold the instruments of every known piece selected, so their
// samples are read in ahead of time, never by the audio callback when a piece starts.
constexpr int SYNTH_CHANNELS = 64;
constexpr int DRUM_CHANNEL = 9, DRUM_BANK = 128;
constexpr int CC_VOLUME = 7, CC_PAN = 10, CC_SUSTAIN = 64, CC_SOSTENUTO = 66, CC_RESET_ALL = 121;

// FluidSynth, and the libraries only it needs, are opened by the loading thread rather than
// linked: linked, they cost every start about 11 ms of CPU before main.
#define FLUID_FUNCTIONS(X)                                                                                             \
    X(delete_fluid_player)                                                                                             \
    X(delete_fluid_settings)                                                                                           \
    X(delete_fluid_synth)                                                                                              \
    X(fluid_free)                                                                                                      \
    X(fluid_is_soundfont)                                                                                              \
    X(fluid_player_add_mem)                                                                                            \
    X(fluid_player_get_current_tick)                                                                                   \
    X(fluid_player_get_status)                                                                                         \
    X(fluid_player_get_total_ticks)                                                                                    \
    X(fluid_player_play)                                                                                               \
    X(fluid_player_stop)                                                                                               \
    X(fluid_set_log_function)                                                                                          \
    X(fluid_settings_dupstr)                                                                                           \
    X(fluid_settings_setint)                                                                                           \
    X(fluid_settings_setnum)                                                                                           \
    X(fluid_settings_setstr)                                                                                           \
    X(fluid_sfont_get_id)                                                                                              \
    X(fluid_synth_all_notes_off)                                                                                       \
    X(fluid_synth_bank_select)                                                                                         \
    X(fluid_synth_cc)                                                                                                  \
    X(fluid_synth_get_sfont)                                                                                           \
    X(fluid_synth_program_change)                                                                                      \
    X(fluid_synth_program_select)                                                                                      \
    X(fluid_synth_sfload)                                                                                              \
    X(fluid_synth_write_float)                                                                                         \
    X(new_fluid_player)                                                                                                \
    X(new_fluid_settings)                                                                                              \
    X(new_fluid_synth)
struct FluidApi {
#define FLUID_MEMBER(name) decltype(&::name) name;
    FLUID_FUNCTIONS(FLUID_MEMBER)
#undef FLUID_MEMBER
};
FluidApi fl;
std::once_flag fluid_once;
bool fluid_opened = false;

// Any thread: 1 once FluidSynth and every function we call from it are there.
bool fluid_open(void) {
    std::call_once(fluid_once, [] {
        void *lib = dlopen("libfluidsynth.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!lib) lib = dlopen("libfluidsynth.so", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return;
        bool all = true;
#define FLUID_LOAD(name) all = (fl.name = reinterpret_cast<decltype(fl.name)>(dlsym(lib, #name))) != nullptr && all;
        FLUID_FUNCTIONS(FLUID_LOAD)
#undef FLUID_LOAD
        fluid_opened = all;
        if (!all) return;
        // Missing SoundFonts and odd MIDI files are expected here; we say what matters ourselves.
        for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
            fl.fluid_set_log_function(level, nullptr, nullptr);
    });
    return fluid_opened;
}

// A loading thread opens FluidSynth only once the first picture is shown: dlopen holds the
// loader's lock, which X and SDL also take on the way to that picture (libX11 opens libXcursor
// at the first bitmap, SDL opens libudev for the pads), and the start would wait for it.
std::mutex screen_lock;
std::condition_variable screen_change;
bool screen_shown = false;
constexpr auto SCREEN_WAIT_LONGEST = std::chrono::seconds(2); // no picture coming: load anyway

void wait_for_screen(void) {
    std::unique_lock<std::mutex> hold(screen_lock);
    screen_change.wait_for(hold, SCREEN_WAIT_LONGEST, [] { return screen_shown; });
}

fluid_settings_t *synth_settings = nullptr;
fluid_synth_t *synth = nullptr;
fluid_player_t *player = nullptr;
int player_total_ticks = 0; // the piece's length once known: FluidSynth walks every track to tell it
std::thread synth_loader;
std::atomic<int32_t> synth_state{PLAT_SYNTH_OFF};

// Instruments (bank << 8 | program) the known pieces select, and how many are held so far.
std::mutex prepared_lock;
std::vector<int32_t> prepared_presets;
size_t prepared_held = 0;

// Test stand-ins for the system's search.
std::vector<std::string> search_roots;
std::string search_fluid_default;
bool search_overridden = false;

bool has_soundfont_suffix(const char *name) {
    size_t n = std::strlen(name);
    return n > 4 && (strcasecmp(name + n - 4, ".sf2") == 0 || strcasecmp(name + n - 4, ".sf3") == 0);
}

void add_candidate(const std::string &path, std::vector<std::string> *out, std::vector<std::string> *seen) {
    if (path.empty() || access(path.c_str(), R_OK) != 0 || !fl.fluid_is_soundfont(path.c_str())) return;
    // The default-GM links usually point at a file listed again under its own name.
    char *real = realpath(path.c_str(), nullptr);
    std::string key = real ? real : path;
    std::free(real);
    if (std::find(seen->begin(), seen->end(), key) != seen->end()) return;
    seen->push_back(key);
    out->push_back(path);
}

// Every path of the run's search, in order.
void synth_candidates(std::vector<std::string> *out, std::string *override_path) {
    const char *env = std::getenv("QUORVANE_SOUNDFONT");
    *override_path = env ? env : "";
    std::string fluid_default;
    std::vector<const char *> roots;
    if (search_overridden) {
        fluid_default = search_fluid_default;
        for (const std::string &r : search_roots) roots.push_back(r.c_str());
    } else {
        char *value = nullptr;
        if (fl.fluid_settings_dupstr(synth_settings, "synth.default-soundfont", &value) == FLUID_OK && value)
            fluid_default = value;
        fl.fluid_free(value);
        roots.assign(std::begin(SYSTEM_ROOTS), std::end(SYSTEM_ROOTS));
    }
    plat_synth_soundfont_candidates(override_path->c_str(), fluid_default.c_str(), roots.data(),
                                    static_cast<int32_t>(roots.size()), out);
}

// What a standard MIDI file selects: each channel's programs (with its bank), and the
// channels that play notes before any program change of their own (they play program 0).
struct MidiScan {
    std::vector<int32_t> presets;
    bool plays_default[MIDI_CHANNELS];
};

uint32_t read_be(const uint8_t *p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) v = v << 8 | p[i];
    return v;
}

void add_preset(std::vector<int32_t> *presets, int32_t preset) {
    if (std::find(presets->begin(), presets->end(), preset) == presets->end()) presets->push_back(preset);
}

void midi_scan(const uint8_t *midi, uint32_t size, MidiScan *scan) {
    *scan = MidiScan{};
    int bank[MIDI_CHANNELS] = {};
    bool program_set[MIDI_CHANNELS] = {};
    size_t off = 14;
    while (off + 8 <= size) {
        size_t len = read_be(midi + off + 4, 4);
        size_t end = off + 8 + std::min<size_t>(len, size - off - 8);
        bool track = std::memcmp(midi + off, "MTrk", 4) == 0;
        size_t i = off + 8;
        off = end;
        uint8_t status = 0;
        while (track && i < end) {
            while (i < end && (midi[i++] & 0x80)) {
            } // delta time
            if (i >= end) break;
            uint8_t b = midi[i];
            if (b == 0xFF || b == 0xF0 || b == 0xF7) {
                i += b == 0xFF ? 2 : 1; // meta type, or the sysex byte
                uint32_t n = 0;
                while (i < end) {
                    uint8_t c = midi[i++];
                    n = n << 7 | (c & 0x7F);
                    if (!(c & 0x80)) break;
                }
                i += n;
                continue;
            }
            if (b & 0x80) {
                status = b;
                i++;
            }
            if (!status) break;
            int kind = status & 0xF0, ch = status & 0x0F;
            int data_bytes = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (i + data_bytes > end) break;
            uint8_t d1 = midi[i], d2 = data_bytes == 2 ? midi[i + 1] : 0;
            i += data_bytes;
            if (kind == 0xB0 && d1 == 0)
                bank[ch] = d2;
            else if (kind == 0xC0) {
                program_set[ch] = true;
                add_preset(&scan->presets, (ch == DRUM_CHANNEL ? DRUM_BANK : bank[ch]) << 8 | d1);
            } else if (kind == 0x90 && d2 > 0 && !program_set[ch] && !scan->plays_default[ch]) {
                scan->plays_default[ch] = true;
                add_preset(&scan->presets, (ch == DRUM_CHANNEL ? DRUM_BANK : 0) << 8);
            }
        }
    }
}

// Selects prepared instruments first..end-1 on their spare channels.
void synth_hold_presets(const std::vector<int32_t> &presets, size_t first) {
    int sfont = fl.fluid_sfont_get_id(fl.fluid_synth_get_sfont(synth, 0));
    for (size_t i = first; i < presets.size() && MIDI_CHANNELS + static_cast<int>(i) < SYNTH_CHANNELS; i++)
        fl.fluid_synth_program_select(synth, MIDI_CHANNELS + static_cast<int>(i), sfont, presets[i] >> 8,
                                      presets[i] & 0xFF);
}

void synth_free(void) {
    if (synth) fl.delete_fluid_synth(synth);
    synth = nullptr;
    if (synth_settings) fl.delete_fluid_settings(synth_settings);
    synth_settings = nullptr;
}

// Runs on the loading thread (background 1) or the caller's; touches nothing shared until the
// state is set.
void synth_load(int32_t sample_rate, int background) {
    if (background) wait_for_screen();
    if (!fluid_open()) {
        std::fprintf(stderr, "quorvane: music is off: FluidSynth (libfluidsynth.so.3) cannot be opened; install it "
                             "(Debian: apt install libfluidsynth3)\n");
        synth_state.store(PLAT_SYNTH_OFF, std::memory_order_release);
        return;
    }
    synth_settings = fl.new_fluid_settings();
    if (synth_settings) {
        fl.fluid_settings_setnum(synth_settings, "synth.sample-rate", static_cast<double>(sample_rate));
        fl.fluid_settings_setint(synth_settings, "synth.lock-memory", 0);
        // Only the samples of the instruments a piece selects are read into memory.
        fl.fluid_settings_setint(synth_settings, "synth.dynamic-sample-loading", 1);
        fl.fluid_settings_setint(synth_settings, "synth.midi-channels", SYNTH_CHANNELS);
        // "sample" timing: the player advances only as we render, so offline output is exact.
        fl.fluid_settings_setstr(synth_settings, "player.timing-source", "sample");
        synth = fl.new_fluid_synth(synth_settings);
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
        if (fl.fluid_synth_sfload(synth, path.c_str(), 1) != FLUID_FAILED) {
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
    // The instruments of the pieces known by now load here, off the game thread and before
    // the audio callback renders a note. Outside the lock, so a piece being loaded meanwhile
    // never waits; its instruments are picked up on the next pass.
    for (;;) {
        std::vector<int32_t> presets;
        size_t first;
        {
            std::lock_guard<std::mutex> hold(prepared_lock);
            if (prepared_held == prepared_presets.size()) {
                synth_state.store(PLAT_SYNTH_READY, std::memory_order_release);
                return;
            }
            presets = prepared_presets;
            first = prepared_held;
        }
        synth_hold_presets(presets, first);
        std::lock_guard<std::mutex> hold(prepared_lock);
        prepared_held = presets.size();
    }
}

// Controllers back to their start, and program 0 where the piece plays without choosing one,
// without touching the voices still sounding. Other channels keep their instrument until
// the piece's own program changes (so no samples load here).
void synth_reset_channels(const MidiScan &scan) {
    for (int ch = 0; ch < MIDI_CHANNELS; ch++) {
        fl.fluid_synth_cc(synth, ch, CC_RESET_ALL, 0);
        fl.fluid_synth_cc(synth, ch, CC_VOLUME, 100);
        fl.fluid_synth_cc(synth, ch, CC_PAN, 64);
        if (!scan.plays_default[ch]) continue;
        if (ch != DRUM_CHANNEL) fl.fluid_synth_bank_select(synth, ch, 0);
        fl.fluid_synth_program_change(synth, ch, 0);
    }
}

} // namespace

void plat_synth_soundfont_candidates(const char *override_path, const char *fluid_default, const char *const *roots,
                                     int32_t root_count, std::vector<std::string> *out) {
    if (!out) return;
    out->clear();
    if (!fluid_open()) return;
    std::vector<std::string> seen;
    if (override_path) add_candidate(override_path, out, &seen);
    if (fluid_default) add_candidate(fluid_default, out, &seen);
    for (int32_t r = 0; roots && r < root_count; r++) {
        if (!roots[r] || !roots[r][0]) continue;
        std::string dir = roots[r];
        for (const char *name : USUAL_NAMES) add_candidate(dir + "/" + name, out, &seen);
        std::vector<std::string> others;
        if (DIR *d = opendir(dir.c_str())) {
            while (dirent *e = readdir(d)) {
                if (has_soundfont_suffix(e->d_name)) others.push_back(e->d_name);
            }
            closedir(d);
        }
        std::sort(others.begin(), others.end());
        for (const std::string &name : others) add_candidate(dir + "/" + name, out, &seen);
    }
}

void plat_synth_set_search(const char *const *roots, int32_t root_count, const char *fluid_default) {
    search_overridden = roots != nullptr;
    search_roots.clear();
    for (int32_t i = 0; roots && i < root_count; i++) search_roots.push_back(roots[i] ? roots[i] : "");
    search_fluid_default = fluid_default ? fluid_default : "";
}

int plat_synth_open(int32_t sample_rate, int background) {
    if (synth_state.load(std::memory_order_acquire) != PLAT_SYNTH_OFF || synth_loader.joinable()) return 1;
    synth_state.store(PLAT_SYNTH_LOADING, std::memory_order_release);
    if (background) {
        synth_loader = std::thread(synth_load, sample_rate, 1);
        return 1;
    }
    synth_load(sample_rate, 0);
    return synth_state.load(std::memory_order_acquire) == PLAT_SYNTH_READY;
}

void plat_synth_prepare(const uint8_t *midi, uint32_t size) {
    if (!midi || size < 14) return;
    MidiScan scan;
    midi_scan(midi, size, &scan);
    std::lock_guard<std::mutex> hold(prepared_lock);
    for (int32_t preset : scan.presets) add_preset(&prepared_presets, preset);
    if (plat_synth_status() == PLAT_SYNTH_READY) {
        synth_hold_presets(prepared_presets, prepared_held);
        prepared_held = prepared_presets.size();
    }
}

int32_t plat_synth_status(void) { return synth_state.load(std::memory_order_acquire); }

void plat_synth_screen_shown(void) {
    {
        std::lock_guard<std::mutex> hold(screen_lock);
        screen_shown = true;
    }
    screen_change.notify_all();
}

int plat_synth_wait(void) {
    plat_synth_screen_shown(); // whoever waits for the music waits no longer for a picture
    if (synth_loader.joinable()) synth_loader.join();
    return plat_synth_status() == PLAT_SYNTH_READY;
}

void plat_synth_stop(void) {
    if (!player) return;
    // The player's own notes-off would only go out on the next render, and deleting it first
    // would leave them hanging: release every note now, pedals up, and let the tails ring out.
    fl.fluid_player_stop(player);
    for (int ch = 0; ch < MIDI_CHANNELS; ch++) {
        fl.fluid_synth_cc(synth, ch, CC_SUSTAIN, 0);
        fl.fluid_synth_cc(synth, ch, CC_SOSTENUTO, 0);
    }
    fl.fluid_synth_all_notes_off(synth, -1);
    fl.delete_fluid_player(player);
    player = nullptr;
}

void plat_synth_close(void) {
    plat_synth_wait();
    if (synth && player) {
        fl.fluid_player_stop(player);
        fl.delete_fluid_player(player);
    }
    player = nullptr;
    synth_free();
    std::lock_guard<std::mutex> hold(prepared_lock);
    prepared_presets.clear();
    prepared_held = 0;
    synth_state.store(PLAT_SYNTH_OFF, std::memory_order_release);
}

int plat_synth_play(const uint8_t *midi, uint32_t size) {
    if (plat_synth_status() != PLAT_SYNTH_READY || !midi || size == 0) return 0;
    plat_synth_stop();
    // A piece must not inherit the programs and controllers the last one left behind; its
    // notes still in their release keep sounding.
    MidiScan scan;
    midi_scan(midi, size, &scan);
    synth_reset_channels(scan);
    player = fl.new_fluid_player(synth);
    player_total_ticks = 0;
    if (!player) return 0;
    if (fl.fluid_player_add_mem(player, midi, size) != FLUID_OK || fl.fluid_player_play(player) != FLUID_OK) {
        fl.delete_fluid_player(player);
        player = nullptr;
        return 0;
    }
    return 1;
}

int plat_synth_playing(void) {
    if (!player || fl.fluid_player_get_status(player) != FLUID_PLAYER_PLAYING) return 0;
    // The player stays "playing" for seconds after the last event; the ticks tell the
    // musical end. The total reads 0 until the first render.
    if (player_total_ticks <= 0) player_total_ticks = fl.fluid_player_get_total_ticks(player);
    return player_total_ticks <= 0 || fl.fluid_player_get_current_tick(player) < player_total_ticks;
}

int plat_synth_render(float *out, int32_t frames) {
    if (plat_synth_status() != PLAT_SYNTH_READY || frames <= 0) return 0;
    return fl.fluid_synth_write_float(synth, frames, out, 0, 2, out, 1, 2) == FLUID_OK;
}
