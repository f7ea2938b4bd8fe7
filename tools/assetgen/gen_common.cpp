// Palette, random numbers, noise and the file writers of the asset generator.
#include "tools/assetgen/assetgen.h"

#include "platform/plat_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

GenColour gen_palette[256];

namespace {

struct Key {
    float t, r, g, b;
};

// Fills count entries from first along a polyline of colour keys (t from 0 to 1).
void ramp(int first, int count, std::initializer_list<Key> keys) {
    std::vector<Key> k(keys);
    for (int i = 0; i < count; i++) {
        float t = count > 1 ? static_cast<float>(i) / static_cast<float>(count - 1) : 0.0f;
        size_t s = 0;
        while (s + 2 < k.size() && t > k[s + 1].t) s++;
        float span = k[s + 1].t - k[s].t;
        float f = span > 0 ? (t - k[s].t) / span : 0.0f;
        f = std::clamp(f, 0.0f, 1.0f);
        GenColour &c = gen_palette[first + i];
        c.red = static_cast<uint8_t>(std::lround(k[s].r + (k[s + 1].r - k[s].r) * f));
        c.green = static_cast<uint8_t>(std::lround(k[s].g + (k[s + 1].g - k[s].g) * f));
        c.blue = static_cast<uint8_t>(std::lround(k[s].b + (k[s + 1].b - k[s].b) * f));
    }
}

constexpr auto &put16 = plat_put_le16;
constexpr auto &put32 = plat_put_le32;
constexpr auto &put32be = plat_put_be32;
void put_varlen(std::vector<uint8_t> &out, uint32_t v) {
    uint8_t tmp[5];
    int n = 0;
    tmp[n++] = v & 0x7F;
    while (v >>= 7) tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n) out.push_back(tmp[--n]);
}

int write_all(const std::string &path, const std::vector<uint8_t> &bytes) {
    return plat_write_file(path.c_str(), bytes);
}

uint32_t hash3(int32_t x, int32_t y, int32_t z, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u;
    h ^= static_cast<uint32_t>(x) * 0x85EBCA77u;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(y) * 0xC2B2AE3Du;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(z) * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

} // namespace

void gen_build_palette(void) {
    std::memset(gen_palette, 0, sizeof gen_palette);
    // Space: near-black blues, also the dark edge colours of every sprite.
    ramp(GEN_SPACE, GEN_SPACE_N, {{0, 3, 3, 7}, {0.5f, 11, 13, 30}, {1, 28, 34, 70}});
    ramp(GEN_GREY, GEN_GREY_N, {{0, 22, 22, 30}, {0.5f, 120, 122, 135}, {1, 255, 255, 255}});
    ramp(GEN_VIOLET, GEN_VIOLET_N, {{0, 9, 4, 16}, {0.35f, 50, 18, 72}, {0.7f, 140, 64, 170}, {1, 235, 180, 245}});
    ramp(GEN_TEAL, GEN_TEAL_N, {{0, 4, 10, 16}, {0.35f, 16, 52, 72}, {0.7f, 50, 140, 165}, {1, 190, 240, 245}});
    ramp(GEN_HULL, GEN_HULL_N, {{0, 12, 14, 22}, {0.35f, 62, 72, 94}, {0.7f, 140, 156, 180}, {1, 236, 242, 252}});
    ramp(GEN_GOLD, GEN_GOLD_N, {{0, 34, 20, 4}, {0.4f, 140, 90, 22}, {0.75f, 228, 178, 60}, {1, 255, 236, 150}});
    gen_palette[SHOT_COLOUR] = {255, 252, 150};
    ramp(GEN_FIRE, GEN_FIRE_N,
         {{0, 44, 2, 0}, {0.3f, 160, 22, 0}, {0.55f, 236, 100, 8}, {0.8f, 255, 200, 70}, {1, 255, 250, 200}});
    ramp(GEN_PHOTON, GEN_PHOTON_N,
         {{0, 6, 3, 20},
          {0.2f, 30, 12, 92},
          {0.45f, 42, 72, 200},
          {0.7f, 72, 172, 255},
          {0.88f, 172, 238, 255},
          {1, 255, 255, 255}});
    ramp(GEN_OCEAN, GEN_OCEAN_N, {{0, 2, 6, 24}, {0.35f, 10, 32, 96}, {0.7f, 30, 92, 184}, {1, 124, 192, 244}});
    ramp(GEN_LAND, GEN_LAND_N, {{0, 4, 14, 4}, {0.35f, 30, 70, 22}, {0.7f, 82, 140, 52}, {1, 172, 212, 124}});
    ramp(GEN_DESERT, GEN_DESERT_N, {{0, 20, 12, 4}, {0.4f, 112, 80, 40}, {0.75f, 200, 170, 110}, {1, 242, 222, 172}});
    gen_palette[GAME_COLOUR_EXPLOSION] = {255, 132, 20};
    ramp(GEN_MOON, GEN_MOON_N, {{0, 9, 9, 10}, {0.25f, 66, 64, 61}, {0.6f, 156, 152, 144}, {1, 240, 236, 226}});
    ramp(GEN_RED, GEN_RED_N, {{0, 26, 0, 0}, {1, 255, 0, 0}});
    gen_palette[GEN_TURRET_DIM] = {128, 36, 110};
    gen_palette[GAME_COLOUR_TURRET] = {255, 72, 220};
    ramp(GEN_GREEN, GEN_GREEN_N, {{0, 0, 26, 0}, {1, 0, 255, 0}});
    ramp(GEN_TITLE, GEN_TITLE_N,
         {{0, 22, 10, 30}, {0.3f, 96, 52, 24}, {0.6f, 204, 142, 52}, {0.85f, 255, 222, 124}, {1, 255, 252, 234}});
}

uint32_t gen_rand(GenRandom *rng) {
    uint32_t x = rng->state ? rng->state : 0x6D2B79F5u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    rng->state = x;
    return x;
}

float gen_randf(GenRandom *rng) { return static_cast<float>(gen_rand(rng) >> 8) / 16777216.0f; }

float gen_noise3(float x, float y, float z, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy), iz = static_cast<int32_t>(fz);
    float tx = smooth(x - fx), ty = smooth(y - fy), tz = smooth(z - fz);
    float v[8];
    for (int i = 0; i < 8; i++)
        v[i] = static_cast<float>(hash3(ix + (i & 1), iy + ((i >> 1) & 1), iz + (i >> 2), seed) >> 8) / 16777215.0f;
    float a = v[0] + (v[1] - v[0]) * tx, b = v[2] + (v[3] - v[2]) * tx;
    float c = v[4] + (v[5] - v[4]) * tx, d = v[6] + (v[7] - v[6]) * tx;
    float e = a + (b - a) * ty, f = c + (d - c) * ty;
    return e + (f - e) * tz;
}

float gen_fbm3(float x, float y, float z, uint32_t seed, int octaves) {
    float sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += gen_noise3(x, y, z, seed + static_cast<uint32_t>(o) * 101u) * amp;
        norm += amp;
        amp *= 0.5f;
        x *= 2.03f;
        y *= 2.03f;
        z *= 2.03f;
    }
    return sum / norm;
}

float gen_dither(int x, int y) {
    static const uint8_t bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (static_cast<float>(bayer[y & 3][x & 3]) + 0.5f) / 16.0f;
}

uint8_t gen_ramp(int first, int count, float t, float dither) {
    float pos = std::clamp(t, 0.0f, 1.0f) * static_cast<float>(count - 1) + (dither - 0.5f);
    int i = static_cast<int>(std::lround(pos));
    i = std::clamp(i, 0, count - 1);
    return static_cast<uint8_t>(first + i);
}

uint8_t gen_nearest(float r, float g, float b, int first, int last) {
    int best = first;
    float best_d = 1e30f;
    for (int i = first; i <= last; i++) {
        float dr = r - gen_palette[i].red, dg = g - gen_palette[i].green, db = b - gen_palette[i].blue;
        float d = dr * dr * 0.3f + dg * dg * 0.59f + db * db * 0.11f;
        if (d < best_d) {
            best_d = d;
            best = i;
        }
    }
    return static_cast<uint8_t>(best);
}

void gen_fill_holes(GenPicture *pic, int x0, int y0, int w, int h, uint8_t fill) {
    std::vector<uint8_t> seen(static_cast<size_t>(w) * h, 0);
    std::vector<int> stack;
    auto at = [&](int x, int y) -> uint8_t & { return pic->pixels[static_cast<size_t>(y0 + y) * pic->width + x0 + x]; };
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && at(x, y) == 0) {
                seen[y * w + x] = 1;
                stack.push_back(y * w + x);
            }
    while (!stack.empty()) {
        int p = stack.back();
        stack.pop_back();
        int x = p % w, y = p / w;
        const int dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
        for (int d = 0; d < 4; d++) {
            int nx = x + dx[d], ny = y + dy[d];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[ny * w + nx] || at(nx, ny) != 0) continue;
            seen[ny * w + nx] = 1;
            stack.push_back(ny * w + nx);
        }
    }
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (at(x, y) == 0 && !seen[y * w + x]) at(x, y) = fill;
}

int gen_write_bmp(const std::string &path, const GenPicture &pic) {
    PlatColor colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = PlatColor{gen_palette[i].red, gen_palette[i].green, gen_palette[i].blue, 0};
    if (pic.pixels.size() < static_cast<size_t>(pic.width) * static_cast<size_t>(pic.height)) return 0;
    return plat_write_bmp8(path.c_str(), pic.width, pic.height, pic.pixels.data(), pic.width, colours);
}

int gen_write_palette(const std::string &path) {
    std::string text;
    char line[32];
    for (int i = 0; i < 256; i++) {
        std::snprintf(line, sizeof line, "\n%d %d %d %d", gen_palette[i].red, gen_palette[i].green, gen_palette[i].blue,
                      0);
        text += line;
    }
    return write_all(path, std::vector<uint8_t>(text.begin(), text.end()));
}

int gen_write_wav(const std::string &path, const std::vector<uint8_t> &samples) {
    std::vector<uint8_t> out;
    uint32_t n = static_cast<uint32_t>(samples.size());
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 4 + 8 + 16 + 8 + n + (n & 1));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);     // PCM
    put16(out, 1);     // mono
    put32(out, 11025); // samples per second
    put32(out, 11025); // bytes per second
    put16(out, 1);     // block align
    put16(out, 8);     // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, n);
    out.insert(out.end(), samples.begin(), samples.end());
    if (n & 1) out.push_back(0x80); // chunks are word aligned
    return write_all(path, out);
}

int gen_write_midi(const std::string &path, const GenSong &song) {
    struct Event {
        uint32_t tick;
        int order; // offs before ons at the same tick
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> out;
    out.insert(out.end(), {'M', 'T', 'h', 'd'});
    put32be(out, 6);
    out.push_back(0);
    out.push_back(1); // format 1
    uint16_t ntracks = static_cast<uint16_t>(song.tracks.size() + 1);
    out.push_back(static_cast<uint8_t>(ntracks >> 8));
    out.push_back(static_cast<uint8_t>(ntracks));
    out.push_back(static_cast<uint8_t>(song.ticks_per_beat >> 8));
    out.push_back(static_cast<uint8_t>(song.ticks_per_beat));

    uint32_t song_end = 0;
    for (const GenTrack &t : song.tracks)
        for (const GenNote &n : t.notes) song_end = std::max(song_end, n.start + n.length);

    auto emit_track = [&](std::vector<Event> &events, uint32_t end_tick) {
        std::stable_sort(events.begin(), events.end(), [](const Event &a, const Event &b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::vector<uint8_t> body;
        uint32_t now = 0;
        for (const Event &e : events) {
            put_varlen(body, e.tick - now);
            now = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        put_varlen(body, end_tick > now ? end_tick - now : 0);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        put32be(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
    };

    // Conductor track: tempo and 4/4.
    std::vector<Event> conductor;
    uint32_t mpb = song.micros_per_beat;
    conductor.push_back({0,
                         0,
                         {0xFF, 0x51, 0x03, static_cast<uint8_t>(mpb >> 16), static_cast<uint8_t>(mpb >> 8),
                          static_cast<uint8_t>(mpb)}});
    conductor.push_back({0, 0, {0xFF, 0x58, 0x04, 4, 2, 24, 8}});
    emit_track(conductor, song_end);

    for (const GenTrack &t : song.tracks) {
        std::vector<Event> ev;
        std::vector<uint8_t> name = {0xFF, 0x03, static_cast<uint8_t>(t.name.size())};
        name.insert(name.end(), t.name.begin(), t.name.end());
        ev.push_back({0, -3, name});
        uint8_t ch = t.channel & 0x0F;
        if (t.program >= 0) ev.push_back({0, -2, {static_cast<uint8_t>(0xC0 | ch), static_cast<uint8_t>(t.program)}});
        ev.push_back({0, -2, {static_cast<uint8_t>(0xB0 | ch), 7, t.volume}});
        ev.push_back({0, -2, {static_cast<uint8_t>(0xB0 | ch), 10, t.pan}});
        ev.push_back({0, -2, {static_cast<uint8_t>(0xB0 | ch), 91, t.reverb}});
        for (const GenNote &n : t.notes) {
            uint8_t nc = n.channel & 0x0F;
            ev.push_back({n.start, 1, {static_cast<uint8_t>(0x90 | nc), n.pitch, n.velocity}});
            ev.push_back({n.start + n.length, 0, {static_cast<uint8_t>(0x80 | nc), n.pitch, 0}});
        }
        emit_track(ev, song_end);
    }
    return write_all(path, out);
}
