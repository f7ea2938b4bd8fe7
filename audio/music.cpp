// Music: standard MIDI files kept as bytes in 64 slots, one piece at a time on the synth.
#include "audio/music.h"

#include <cstdio>
#include <cstring>

#include "platform/plat_audio.h"

MusicSlot music_table[MUSIC_SLOT_COUNT];
int32_t current_music = MUSIC_NONE;

namespace {

// The slot whose bytes the synth's player holds now, -1 for none. Apart from
// current_music: stopping another id forgets current_music but not the piece playing.
int32_t music_in_player = -1;

constexpr long MUSIC_FILE_MAX = 16L * 1024 * 1024;

MusicSlot *music_slot(int32_t id) {
    if (id < 0 || id >= MUSIC_SLOT_COUNT) return nullptr;
    MusicSlot *slot = &music_table[id];
    if (!slot->segment || slot->state == MUSIC_SLOT_FREE) return nullptr;
    return slot;
}

uint32_t read_be32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           static_cast<uint32_t>(p[3]);
}

} // namespace

int32_t mus_is_midi_file(const uint8_t *data, uint32_t size) {
    if (!data || size < 14 || std::memcmp(data, "MThd", 4) != 0) return 0;
    // The header is exactly six bytes: format (0, 1 or 2), track count, division.
    if (read_be32(data + 4) != 6) return 0;
    uint32_t format = static_cast<uint32_t>(data[8] << 8 | data[9]);
    uint32_t tracks = static_cast<uint32_t>(data[10] << 8 | data[11]);
    if (format > 2 || tracks == 0) return 0;
    // Every announced track must be an MTrk chunk lying wholly inside the file; other
    // chunk types between them are skipped, as the format allows.
    uint64_t off = 14;
    uint32_t found = 0;
    while (found < tracks) {
        if (size - off < 8) return 0;
        uint64_t len = read_be32(data + off + 4);
        if (len > size - off - 8) return 0;
        if (std::memcmp(data + off, "MTrk", 4) == 0) found++;
        off += 8 + len;
    }
    return 1;
}

int32_t mus_init(void) {
    if (!plat_music_open()) return 0;
    plat_music_stop();
    for (int32_t i = 0; i < MUSIC_SLOT_COUNT; i++) {
        delete music_table[i].segment;
        music_table[i] = MusicSlot{};
        music_table[i].state = MUSIC_SLOT_FREE;
        music_table[i].id = i;
    }
    current_music = MUSIC_NONE;
    music_in_player = -1;
    return 1;
}

int32_t mus_shutdown(void) {
    plat_music_stop();
    music_in_player = -1;
    mus_delete_all();
    plat_music_close();
    return 1;
}

int32_t mus_load_midi(const char *name) {
    int32_t id = -1;
    for (int32_t i = 0; i < MUSIC_SLOT_COUNT && id < 0; i++) {
        if (music_table[i].state == MUSIC_SLOT_FREE) id = i;
    }
    if (id < 0 || !name) return -1;
    FILE *f = std::fopen(name, "rb");
    if (!f) return -1;
    long size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    auto *bytes = new std::vector<uint8_t>();
    int ok = size > 0 && size <= MUSIC_FILE_MAX && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes->resize(static_cast<size_t>(size));
        ok = std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
    }
    std::fclose(f);
    if (!ok || !mus_is_midi_file(bytes->data(), static_cast<uint32_t>(bytes->size()))) {
        delete bytes;
        return -1;
    }
    plat_music_prepare(bytes->data(), static_cast<uint32_t>(bytes->size()));
    MusicSlot &slot = music_table[id];
    slot.segment = bytes;
    slot.segment_state = 0;
    slot.id = id;
    slot.state = MUSIC_SLOT_LOADED;
    return id;
}

int32_t mus_play(int32_t id) {
    MusicSlot *slot = music_slot(id);
    if (!slot) return 0;
    if (current_music != MUSIC_NONE) mus_stop(current_music);
    // Only one piece sounds at a time, whatever current_music remembered.
    plat_music_play(slot->segment->data(), static_cast<uint32_t>(slot->segment->size()));
    music_in_player = id;
    slot->segment_state = 1;
    slot->state = MUSIC_SLOT_PLAYING;
    current_music = id;
    return 1;
}

int32_t mus_stop(int32_t id) {
    MusicSlot *slot = music_slot(id);
    if (!slot) return 0;
    if (music_in_player == id) {
        plat_music_stop();
        music_in_player = -1;
    }
    slot->state = MUSIC_SLOT_STOPPED;
    current_music = MUSIC_NONE;
    return 1;
}

int32_t mus_status(int32_t id) {
    MusicSlot *slot = music_slot(id);
    if (!slot) return 0;
    slot->state = music_in_player == id && plat_music_playing() ? MUSIC_SLOT_PLAYING : MUSIC_SLOT_STOPPED;
    return slot->state;
}

int32_t mus_delete(int32_t id) {
    if (id < 0 || id >= MUSIC_SLOT_COUNT || !music_table[id].segment) return 1;
    // A freed slot's piece must not play on under an id the next load hands out again.
    if (music_in_player == id) {
        plat_music_stop();
        music_in_player = -1;
    }
    delete music_table[id].segment;
    music_table[id].segment = nullptr;
    music_table[id].segment_state = 0;
    music_table[id].state = MUSIC_SLOT_FREE;
    return 1;
}

int32_t mus_delete_all(void) {
    for (int32_t i = 0; i < MUSIC_SLOT_COUNT; i++) mus_delete(i);
    return 1;
}
