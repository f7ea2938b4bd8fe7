// Sound effects: PCM WAV files parsed in memory into mixer buffers, 256 slots.
#include "audio/sound.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/plat_audio.h"

SoundSlot sound_table[SOUND_SLOT_COUNT];

namespace {

int sound_first_call = 1;
int sound_device_open = 0;

// Nothing the game ships comes near this; it only keeps a stray huge file out of memory.
constexpr long SOUND_FILE_MAX = 64L * 1024 * 1024;

constexpr uint32_t SOUND_CAPS_STATIC = 0x2;
constexpr uint32_t SOUND_CAPS_LOCSOFTWARE = 0x8;

PlatSound *sound_buffer(int32_t id) {
    if (id < 0 || id >= SOUND_SLOT_COUNT) return nullptr;
    return sound_table[id].buffer;
}

int32_t sound_free_slot(void) {
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) {
        if (sound_table[i].state == SOUND_SLOT_FREE) return i;
    }
    return -1;
}

uint32_t read_u32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

uint16_t read_u16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

int read_file(const char *name, std::vector<uint8_t> &out) {
    FILE *f = std::fopen(name, "rb");
    if (!f) return 0;
    int ok = std::fseek(f, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(f) : -1;
    ok = ok && size >= 0 && size <= SOUND_FILE_MAX && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        out.resize(static_cast<size_t>(size));
        ok = std::fread(out.data(), 1, out.size(), f) == out.size();
    }
    std::fclose(f);
    return ok;
}

// A chunk header at off within [off, end): its id, and its body bounds. A body that
// claims more than its container holds is refused, whatever the chunk is.
int read_chunk(const std::vector<uint8_t> &file, size_t off, size_t end, uint32_t *id, size_t *body, size_t *size) {
    if (off > end || end - off < 8) return 0;
    std::memcpy(id, &file[off], 4);
    *size = read_u32(&file[off + 4]);
    *body = off + 8;
    return *size <= end - *body;
}

size_t chunk_next(size_t body, size_t size, size_t end) {
    size_t next = body + size + (size & 1); // bodies are padded to even length
    return next < end ? next : end;
}

uint32_t fourcc(const char *s) {
    uint32_t v;
    std::memcpy(&v, s, 4);
    return v;
}

// Finds the samples of a PCM WAVE form; 0 for anything else or anything that lies.
int wav_parse(const std::vector<uint8_t> &file, uint32_t *rate, size_t *data_off, size_t *data_size) {
    // The RIFF form of type WAVE among the file's top-level chunks.
    size_t off = 0, form_body = 0, form_size = 0;
    for (;;) {
        uint32_t id;
        if (!read_chunk(file, off, file.size(), &id, &form_body, &form_size)) return 0;
        if (id == fourcc("RIFF") && form_size >= 4 && read_u32(&file[form_body]) == fourcc("WAVE")) break;
        off = chunk_next(form_body, form_size, file.size());
    }
    const size_t form_end = form_body + form_size;

    // The first chunk of the form is taken as the format, whatever its id says.
    uint32_t id;
    size_t body, size;
    if (!read_chunk(file, form_body + 4, form_end, &id, &body, &size)) return 0;
    // The 18-byte format record is read from the chunk's start; a 16-byte PCM chunk
    // lends its two unused cbSize bytes from the next chunk's header.
    if (form_end - body < 18) return 0;
    if (read_u16(&file[body]) != 1) // PCM only
        return 0;
    *rate = read_u32(&file[body + 4]);

    // The "data" chunk among those that follow.
    off = chunk_next(body, size, form_end);
    for (;;) {
        if (!read_chunk(file, off, form_end, &id, &body, &size)) return 0;
        if (id == fourcc("data")) break;
        off = chunk_next(body, size, form_end);
    }
    if (size == 0) return 0;
    *data_off = body;
    *data_size = size;
    return 1;
}

} // namespace

int32_t snd_init(void) {
    if (sound_first_call) {
        std::memset(sound_table, 0, sizeof sound_table);
        sound_first_call = 0;
        sound_device_open = plat_audio_open();
        if (!sound_device_open) return 0;
    }
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) {
        if (sound_table[i].buffer) {
            plat_sound_stop(sound_table[i].buffer);
            plat_sound_release(sound_table[i].buffer);
        }
        sound_table[i] = SoundSlot{};
        sound_table[i].state = SOUND_SLOT_FREE;
        sound_table[i].id = i;
    }
    return sound_device_open;
}

int32_t snd_shutdown(void) {
    snd_stop_all();
    for (SoundSlot &slot : sound_table) {
        if (slot.buffer) {
            plat_sound_release(slot.buffer);
            slot.buffer = nullptr;
            slot.state = SOUND_SLOT_FREE;
        }
    }
    if (sound_device_open) plat_audio_close();
    sound_device_open = 0;
    sound_first_call = 1; // a later snd_init starts afresh
    return 1;
}

int32_t snd_load_wav(const char *name, uint32_t flags) {
    int32_t id = sound_free_slot();
    if (id < 0 || !name) return -1;
    std::vector<uint8_t> file;
    if (!read_file(name, file)) return -1;
    uint32_t rate = 0;
    size_t data_off = 0, data_size = 0;
    if (!wav_parse(file, &rate, &data_off, &data_size)) return -1;
    PlatSound *buffer = plat_sound_create(&file[data_off], static_cast<uint32_t>(data_size),
                                          flags | SOUND_CAPS_STATIC | SOUND_CAPS_LOCSOFTWARE);
    if (!buffer) return -1;
    SoundSlot &slot = sound_table[id];
    slot.buffer = buffer;
    slot.state = SOUND_SLOT_LOADED;
    slot.rate = rate;
    slot.size = static_cast<uint32_t>(data_size);
    slot.id = id;
    return id;
}

int32_t snd_replicate(int32_t source) {
    if (source < 0 || source >= SOUND_SLOT_COUNT) return -1;
    int32_t id = sound_free_slot();
    if (id < 0) return -1;
    PlatSound *buffer = plat_sound_duplicate(sound_table[source].buffer);
    if (!buffer) return -1; // the new slot was never written, so it stays free
    sound_table[id] = sound_table[source];
    sound_table[id].buffer = buffer;
    sound_table[id].id = id;
    return id;
}

int32_t snd_play(int32_t id, uint32_t flags) {
    PlatSound *buffer = sound_buffer(id);
    if (!buffer) return 1;
    if (!plat_sound_set_position(buffer, 0)) return 0;
    return plat_sound_play(buffer, flags) ? 1 : 0;
}

int32_t snd_stop(int32_t id) {
    PlatSound *buffer = sound_buffer(id);
    if (buffer) {
        plat_sound_stop(buffer);
        plat_sound_set_position(buffer, 0);
    }
    return 1;
}

int32_t snd_stop_all(void) {
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) snd_stop(i);
    return 1;
}

int32_t snd_delete(int32_t id) {
    snd_stop(id);
    PlatSound *buffer = sound_buffer(id);
    if (buffer) {
        plat_sound_release(buffer);
        sound_table[id].buffer = nullptr;
        sound_table[id].state = SOUND_SLOT_FREE;
    }
    return 1;
}

int32_t snd_delete_all(void) {
    for (int32_t i = 0; i < SOUND_SLOT_COUNT; i++) snd_delete(i);
    return 1;
}

int32_t snd_status(int32_t id) {
    PlatSound *buffer = sound_buffer(id);
    if (!buffer) return -1;
    return plat_sound_status(buffer);
}

int32_t snd_set_volume(int32_t id, int32_t volume) {
    // 100 is full level, each step down 0.3 dB; out-of-range values are refused, not clamped.
    PlatSound *buffer = sound_buffer(id);
    int64_t centibels = (100 - static_cast<int64_t>(volume)) * -30;
    if (!buffer || centibels < INT32_MIN || centibels > INT32_MAX) return 0;
    return plat_sound_set_volume(buffer, static_cast<int32_t>(centibels)) ? 1 : 0;
}

int32_t snd_set_frequency(int32_t id, int32_t hz) {
    PlatSound *buffer = sound_buffer(id);
    return buffer && hz >= 0 && plat_sound_set_frequency(buffer, static_cast<uint32_t>(hz)) ? 1 : 0;
}

int32_t snd_set_pan(int32_t id, int32_t pan) {
    PlatSound *buffer = sound_buffer(id);
    return buffer && plat_sound_set_pan(buffer, pan) ? 1 : 0;
}
