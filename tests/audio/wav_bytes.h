// Small RIFF/WAVE and MIDI files built byte by byte for the audio tests.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace audio_bytes {

typedef std::vector<uint8_t> Bytes;

inline void put_le32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back((uint8_t)(v >> (8 * i)));
}

inline void put_le16(Bytes &b, uint16_t v)
{
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}

inline void put_be32(Bytes &b, uint32_t v)
{
    for (int i = 3; i >= 0; i--)
        b.push_back((uint8_t)(v >> (8 * i)));
}

inline void put_be16(Bytes &b, uint16_t v)
{
    b.push_back((uint8_t)(v >> 8));
    b.push_back((uint8_t)v);
}

inline void put_id(Bytes &b, const char *id)
{
    for (int i = 0; i < 4; i++)
        b.push_back((uint8_t)id[i]);
}

// Byte by byte: GCC 12 warns falsely about range inserts into fresh vectors.
inline void append(Bytes &b, const Bytes &more)
{
    for (uint8_t c : more)
        b.push_back(c);
}

// A chunk with its real size, padded to even length.
inline Bytes chunk(const char *id, const Bytes &body)
{
    Bytes b;
    put_id(b, id);
    put_le32(b, (uint32_t)body.size());
    append(b, body);
    if (body.size() & 1)
        b.push_back(0);
    return b;
}

inline Bytes fmt_body(uint16_t tag, uint32_t rate, uint16_t bits, bool with_cb_size)
{
    Bytes b;
    uint16_t align = (uint16_t)(bits / 8);
    put_le16(b, tag);
    put_le16(b, 1);
    put_le32(b, rate);
    put_le32(b, rate * align);
    put_le16(b, align);
    put_le16(b, bits);
    if (with_cb_size)
        put_le16(b, 0);
    return b;
}

inline Bytes riff_wave(const Bytes &chunks)
{
    Bytes b;
    put_id(b, "RIFF");
    put_le32(b, (uint32_t)(4 + chunks.size()));
    put_id(b, "WAVE");
    append(b, chunks);
    return b;
}

inline Bytes cat(const Bytes &a, const Bytes &b)
{
    Bytes r = a;
    append(r, b);
    return r;
}

// An ordinary 8-bit mono 11025 Hz effect of the given samples.
inline Bytes pcm_wav(const Bytes &samples, uint32_t rate = 11025, uint16_t bits = 8, bool cb_size = true)
{
    return riff_wave(cat(chunk("fmt ", fmt_body(1, rate, bits, cb_size)), chunk("data", samples)));
}

inline Bytes midi_var(uint32_t v)
{
    Bytes out;
    uint8_t tmp[5];
    int n = 0;
    do {
        tmp[n++] = (uint8_t)(v & 0x7F);
        v >>= 7;
    } while (v);
    while (n--)
        out.push_back((uint8_t)(tmp[n] | (n ? 0x80 : 0)));
    return out;
}

// One track: a piano note per entry, each held note_ticks, at 480 ticks a beat, 120 a minute.
inline Bytes midi_notes(const std::vector<uint8_t> &notes, uint32_t note_ticks)
{
    Bytes track;
    for (uint8_t note : notes) {
        Bytes d = midi_var(0);
        append(track, d);
        track.insert(track.end(), {0x90, note, 100});
        d = midi_var(note_ticks);
        append(track, d);
        track.insert(track.end(), {0x80, note, 0});
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
    Bytes b;
    put_id(b, "MThd");
    put_be32(b, 6);
    put_be16(b, 0);
    put_be16(b, 1);
    put_be16(b, 480);
    put_id(b, "MTrk");
    put_be32(b, (uint32_t)track.size());
    append(b, track);
    return b;
}

// A scratch directory of this process for files the tests write.
inline std::string scratch_path(const std::string &name)
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                ("quorvane_audio_test_" + std::to_string((long)getpid()));
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

inline void remove_scratch(void)
{
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(scratch_path("x")).parent_path(), ec);
}

inline std::string write_file(const std::string &name, const Bytes &bytes)
{
    std::string path = scratch_path(name);
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        if (!bytes.empty())
            std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

} // namespace audio_bytes
