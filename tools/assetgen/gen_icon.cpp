// The desktop icon: a blue world on a tile of space, a ship's shot bending round it.
// Drawn in the unit square and sampled per pixel, so every size shows the same picture.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>

namespace {

struct Rgba {
    float r, g, b, a; // premultiplied, 0..1
};

Rgba over(Rgba top, Rgba under) {
    float k = 1.0f - top.a;
    return {top.r + under.r * k, top.g + under.g * k, top.b + under.b * k, top.a + under.a * k};
}

Rgba solid(int index, float alpha) {
    const GenColour &c = gen_palette[index];
    return {c.red / 255.0f * alpha, c.green / 255.0f * alpha, c.blue / 255.0f * alpha, alpha};
}

Rgba mix(Rgba a, Rgba b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

// A colour from a palette ramp, smoothly between its entries.
Rgba ramp(int first, int count, float t, float alpha) {
    float pos = std::clamp(t, 0.0f, 1.0f) * static_cast<float>(count - 1);
    int i = std::min(static_cast<int>(pos), count - 2);
    return mix(solid(first + i, alpha), solid(first + i + 1, alpha), pos - static_cast<float>(i));
}

float coverage(float distance, float pixel) { return std::clamp(0.5f - distance / pixel, 0.0f, 1.0f); }

constexpr float WORLD_X = 0.57f, WORLD_Y = 0.42f, WORLD_R = 0.25f;
constexpr float SHIP_X = 0.15f, SHIP_Y = 0.72f;
constexpr float SHIP_AX = 0.9701f, SHIP_AY = 0.2425f; // the way the ship and its turret point
constexpr int TRAIL_POINTS = 48;
constexpr int STAR_COUNT = 26;

struct Scene {
    float trail_x[TRAIL_POINTS], trail_y[TRAIL_POINTS];
    float star_x[STAR_COUNT], star_y[STAR_COUNT], star_size[STAR_COUNT];
};

void scene_build(Scene *s) {
    // The shot leaves the turret's tip and bends up under the world's pull.
    for (int i = 0; i < TRAIL_POINTS; i++) {
        float t = static_cast<float>(i) / (TRAIL_POINTS - 1);
        float x0 = SHIP_X + 0.14f * SHIP_AX, y0 = SHIP_Y + 0.14f * SHIP_AY;
        float cx = x0 + 0.26f * SHIP_AX, cy = y0 + 0.26f * SHIP_AY, x1 = 0.90f, y1 = 0.58f;
        float u = 1.0f - t;
        s->trail_x[i] = u * u * x0 + 2 * u * t * cx + t * t * x1;
        s->trail_y[i] = u * u * y0 + 2 * u * t * cy + t * t * y1;
    }
    GenRandom rng{0x1C0A5EEDu};
    for (int i = 0; i < STAR_COUNT; i++) {
        s->star_x[i] = 0.08f + gen_randf(&rng) * 0.84f;
        s->star_y[i] = 0.08f + gen_randf(&rng) * 0.84f;
        s->star_size[i] = 0.006f + gen_randf(&rng) * gen_randf(&rng) * 0.016f;
    }
}

// Distance from a point to the trail, and where along it (0 at the ship, 1 at the shot).
float trail_distance(const Scene &s, float x, float y, float *along) {
    float best = 1e9f;
    *along = 0;
    for (int i = 0; i + 1 < TRAIL_POINTS; i++) {
        float ax = s.trail_x[i], ay = s.trail_y[i], dx = s.trail_x[i + 1] - ax, dy = s.trail_y[i + 1] - ay;
        float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
        float ex = x - ax - dx * t, ey = y - ay - dy * t;
        float d = std::sqrt(ex * ex + ey * ey);
        if (d < best) {
            best = d;
            *along = (static_cast<float>(i) + t) / (TRAIL_POINTS - 1);
        }
    }
    return best;
}

Rgba world(float x, float y, float pixel) {
    float dx = (x - WORLD_X) / WORLD_R, dy = (y - WORLD_Y) / WORLD_R;
    float rr = dx * dx + dy * dy;
    // A thin glow of air round the rim.
    float rim = std::sqrt(rr);
    Rgba glow = solid(GEN_OCEAN + 15, std::clamp(1.0f - (rim - 1.0f) / 0.12f, 0.0f, 1.0f) * 0.35f);
    if (rr >= 1.0f) return rim < 1.12f ? glow : Rgba{0, 0, 0, 0};
    float dz = std::sqrt(1.0f - rr);
    float land = gen_fbm3(dx * 2.2f + 3.0f, dy * 2.2f, dz * 2.2f, 0x0E47u, 4);
    float light = std::clamp(-0.55f * dx - 0.6f * dy + 0.58f * dz, 0.0f, 1.0f);
    light = 0.12f + 0.88f * light;
    Rgba c = land > 0.52f ? ramp(GEN_LAND, GEN_LAND_N, (0.45f + (land - 0.52f) * 1.5f) * light, 1)
                          : ramp(GEN_OCEAN, GEN_OCEAN_N, (0.35f + land * 0.6f) * light, 1);
    float cloud = gen_fbm3(dx * 3.5f, dy * 5.0f + 7.0f, dz * 3.5f, 0xC10Du, 3);
    if (cloud > 0.6f) c = mix(c, solid(GEN_GREY + 13, 1), std::min(1.0f, (cloud - 0.6f) * 3.0f) * light);
    float edge = coverage((rim - 1.0f) * WORLD_R, pixel);
    c = {c.r * edge, c.g * edge, c.b * edge, edge};
    return over(c, glow);
}

Rgba ship(float x, float y, float pixel) {
    // A hull pointing along the launch, with the magenta turret line ahead of it.
    float ax = SHIP_AX, ay = SHIP_AY;
    float px = x - SHIP_X, py = y - SHIP_Y;
    float along = px * ax + py * ay, across = -px * ay + py * ax;
    float half = 0.045f * (1.0f - (along + 0.07f) / 0.14f);
    float d = std::max({std::abs(across) - half, -0.07f - along, along - 0.07f});
    Rgba hull = ramp(GEN_HULL, GEN_HULL_N, 0.55f + across * 6.0f, coverage(d, pixel));
    float tx = x - (SHIP_X + 0.06f * ax), ty = y - (SHIP_Y + 0.06f * ay);
    float t_along = tx * ax + ty * ay, t_across = -tx * ay + ty * ax;
    float td = std::max(std::abs(t_across) - 0.012f, std::abs(t_along - 0.04f) - 0.04f);
    return over(solid(GAME_COLOUR_TURRET, coverage(td, pixel)), hull);
}

Rgba sample(const Scene &s, float x, float y, float pixel) {
    // The tile: a rounded square of deep space with a violet haze.
    float cx = std::abs(x - 0.5f) - 0.5f + 0.16f, cy = std::abs(y - 0.5f) - 0.5f + 0.16f;
    float outside = std::sqrt(std::max(cx, 0.0f) * std::max(cx, 0.0f) + std::max(cy, 0.0f) * std::max(cy, 0.0f)) +
                    std::min(std::max(cx, cy), 0.0f) - 0.16f;
    float tile = coverage(outside + 0.02f, pixel);
    if (tile <= 0) return {0, 0, 0, 0};
    float haze = gen_fbm3(x * 3.0f, y * 3.0f, 0.5f, 0x4A2Eu, 4);
    Rgba c = ramp(GEN_SPACE, GEN_SPACE_N, 0.15f + 0.6f * y, 1);
    c = mix(c, solid(GEN_VIOLET + 5, 1), std::clamp((haze - 0.45f) * 1.6f, 0.0f, 0.6f));
    for (int i = 0; i < STAR_COUNT; i++) {
        float sx = x - s.star_x[i], sy = y - s.star_y[i];
        float d = std::sqrt(sx * sx + sy * sy);
        float glow = std::clamp(1.0f - d / s.star_size[i], 0.0f, 1.0f);
        if (glow > 0) c = over(solid(i % 5 == 0 ? GEN_GOLD + 12 : GEN_GREY + 14, glow * glow), c);
    }
    c = over(world(x, y, pixel), c);
    float along = 0;
    float d = trail_distance(s, x, y, &along);
    float width = 0.006f + 0.012f * along;
    c = over(solid(SHOT_COLOUR, coverage(d - width, pixel) * (0.25f + 0.75f * along)), c);
    float hx = x - s.trail_x[TRAIL_POINTS - 1], hy = y - s.trail_y[TRAIL_POINTS - 1];
    float head = std::sqrt(hx * hx + hy * hy);
    c = over(solid(GEN_FIRE + 13, std::clamp(1.0f - head / 0.07f, 0.0f, 1.0f) * 0.6f), c);
    c = over(solid(SHOT_COLOUR, coverage(head - 0.03f, pixel)), c);
    c = over(ship(x, y, pixel), c);
    return {c.r * tile, c.g * tile, c.b * tile, c.a * tile};
}

uint32_t crc32(const uint8_t *p, size_t n, uint32_t crc) {
    crc = ~crc;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put32be(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
    put32be(out, static_cast<uint32_t>(data.size()));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32be(out, crc32(out.data() + start, out.size() - start, 0));
}

} // namespace

int gen_write_png(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgba) {
    // Rows with filter 0, in a zlib stream of stored blocks: no compressor needed.
    std::vector<uint8_t> raw;
    size_t row = static_cast<size_t>(width) * 4;
    for (int32_t y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + static_cast<std::ptrdiff_t>(y * row),
                   rgba.begin() + static_cast<std::ptrdiff_t>((y + 1) * row));
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t at = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521u;
        b = (b + a) % 65521u;
    }
    put32be(z, (b << 16) | a);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32be(header, static_cast<uint32_t>(width));
    put32be(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8 bits, RGBA, deflate, no filter choice, no interlace
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (!fp) return 0;
    size_t written = std::fwrite(out.data(), 1, out.size(), fp);
    return std::fclose(fp) == 0 && written == out.size() ? 1 : 0;
}

std::vector<uint8_t> gen_draw_icon(int32_t size) {
    Scene scene;
    scene_build(&scene);
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * size * 4);
    const int grid = 4; // samples per pixel side
    float pixel = 1.0f / static_cast<float>(size);
    for (int32_t y = 0; y < size; y++)
        for (int32_t x = 0; x < size; x++) {
            Rgba sum{0, 0, 0, 0};
            for (int j = 0; j < grid; j++)
                for (int i = 0; i < grid; i++) {
                    float u = (static_cast<float>(x) + (i + 0.5f) / grid) * pixel;
                    float v = (static_cast<float>(y) + (j + 0.5f) / grid) * pixel;
                    Rgba c = sample(scene, u, v, pixel);
                    sum = {sum.r + c.r, sum.g + c.g, sum.b + c.b, sum.a + c.a};
                }
            float n = static_cast<float>(grid * grid);
            float a = sum.a / n;
            uint8_t *p = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            float un = a > 0 ? 1.0f / (a * n) : 0; // back from premultiplied
            p[0] = static_cast<uint8_t>(std::lround(std::clamp(sum.r * un, 0.0f, 1.0f) * 255));
            p[1] = static_cast<uint8_t>(std::lround(std::clamp(sum.g * un, 0.0f, 1.0f) * 255));
            p[2] = static_cast<uint8_t>(std::lround(std::clamp(sum.b * un, 0.0f, 1.0f) * 255));
            p[3] = static_cast<uint8_t>(std::lround(a * 255));
        }
    return rgba;
}

int gen_make_icons(const std::string &dir) {
    int ok = 1;
    for (int32_t size : {64, 256}) {
        char name[32];
        std::snprintf(name, sizeof name, "quorvane-%d.png", size);
        ok &= gen_write_png(dir + name, size, size, gen_draw_icon(size));
    }
    return ok;
}
