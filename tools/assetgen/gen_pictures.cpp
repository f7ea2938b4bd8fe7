// The six pictures: two backdrops, the ship sheet and the three animated bodies.
#include <SDL_ttf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "platform/plat_video.h"
#include "tools/assetgen/assetgen.h"

namespace {

constexpr float PI = 3.14159265359f;

struct Rgb {
    float r, g, b;
};

Rgb pal(int i) { return {float(gen_palette[i].red), float(gen_palette[i].green), float(gen_palette[i].blue)}; }

// The colour at brightness t along a ramp, between its entries.
Rgb pal_ramp(int first, int count, float t) {
    float pos = std::clamp(t, 0.0f, 1.0f) * float(count - 1);
    int i = std::min(int(pos), count - 2);
    float f = pos - float(i);
    Rgb a = pal(first + i), b = pal(first + i + 1);
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

Rgb mix(Rgb a, Rgb b, float f) { return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f}; }
Rgb scale(Rgb a, float f) { return {a.r * f, a.g * f, a.b * f}; }
Rgb add(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }

// Nearest entry among a list of ranges, with an ordered dither of +-amp on each channel.
struct Ranges {
    std::vector<std::pair<int, int>> r;
};
uint8_t nearest(const Ranges &set, Rgb c, int x, int y, float amp) {
    float d = (gen_dither(x, y) - 0.5f) * 2.0f * amp;
    float r = c.r + d, g = c.g + d, b = c.b + d;
    uint8_t best = 0;
    float best_d = 1e30f;
    for (auto [first, last] : set.r) {
        uint8_t i = gen_nearest(r, g, b, first, last);
        float dr = r - gen_palette[i].red, dg = g - gen_palette[i].green, db = b - gen_palette[i].blue;
        float dist = dr * dr * 0.3f + dg * dg * 0.59f + db * db * 0.11f;
        if (dist < best_d) {
            best_d = dist;
            best = i;
        }
    }
    return best;
}

GenPicture blank(int w, int h) {
    GenPicture p;
    p.width = w;
    p.height = h;
    p.pixels.assign(size_t(w) * size_t(h), 0);
    return p;
}

uint8_t &px(GenPicture &p, int x, int y) { return p.pixels[size_t(y) * size_t(p.width) + size_t(x)]; }

// --- backdrops --------------------------------------------------------------------------------

struct SkyStyle {
    uint32_t seed;
    float nebula;        // overall strength of the nebula
    int quiet_top;       // rows kept free of bright things (the status line)
    float calm_from;     // y from which the sky fades to calm
    float calm_strength; // nebula and star strength left below calm_from
};

// Deep space: a faint two-coloured nebula, dust, and stars of several sizes.
void draw_sky(GenPicture &pic, const SkyStyle &st) {
    const Ranges sky = {{{0, 63}}};
    Rgb violet = pal(GEN_VIOLET + 9), teal = pal(GEN_TEAL + 9), deep = pal(GEN_SPACE + 6);
    for (int y = 0; y < pic.height; y++) {
        float calm = 1.0f;
        if (float(y) > st.calm_from) calm = std::max(st.calm_strength, 1.0f - (float(y) - st.calm_from) / 60.0f);
        if (y < st.quiet_top + 12) calm *= 0.35f + 0.65f * std::clamp(float(y - st.quiet_top) / 12.0f, 0.0f, 1.0f);
        for (int x = 0; x < pic.width; x++) {
            float fx = float(x), fy = float(y);
            float band = gen_fbm3(fx / 260.0f, fy / 260.0f, 0.5f, st.seed, 3);
            float n1 = gen_fbm3(fx / 120.0f, fy / 120.0f, 1.7f, st.seed + 11, 5);
            float n2 = gen_fbm3(fx / 90.0f, fy / 90.0f, 4.2f, st.seed + 29, 5);
            float v = std::pow(std::clamp((n1 - 0.42f) * 2.4f, 0.0f, 1.0f), 1.7f) * band;
            float t = std::pow(std::clamp((n2 - 0.47f) * 2.6f, 0.0f, 1.0f), 1.8f) * (1.0f - band);
            float dust = std::clamp((gen_fbm3(fx / 40.0f, fy / 40.0f, 9.0f, st.seed + 53, 3) - 0.3f), 0.0f, 1.0f);
            float base = 0.25f + 0.75f * band;
            Rgb c = scale(deep, base * (0.5f + 0.5f * dust));
            c = add(c, scale(violet, v * st.nebula * calm));
            c = add(c, scale(teal, t * st.nebula * 0.8f * calm));
            c = scale(c, 0.35f + 0.65f * calm);
            px(pic, x, y) = nearest(sky, c, x, y, 3.0f);
        }
    }
    GenRandom rng = {st.seed * 7919u + 17u};
    auto star_calm = [&](int y) {
        if (y < st.quiet_top) return 0.25f;
        if (float(y) > st.calm_from) return st.calm_strength + 0.25f;
        return 1.0f;
    };
    auto plot_max = [&](int x, int y, int idx) {
        if (x < 0 || y < 0 || x >= pic.width || y >= pic.height) return;
        uint8_t &p = px(pic, x, y);
        // Only brighten: a star never darkens the sky around it.
        Rgb a = pal(p), b = pal(idx);
        if (b.r + b.g + b.b > a.r + a.g + a.b) p = uint8_t(idx);
    };
    int area = pic.width * pic.height;
    // Faint dust of tiny stars.
    for (int i = 0; i < area / 220; i++) {
        int x = int(gen_rand(&rng) % uint32_t(pic.width)), y = int(gen_rand(&rng) % uint32_t(pic.height));
        float b = gen_randf(&rng) * star_calm(y);
        int kind = int(gen_rand(&rng) % 8);
        int idx = kind == 0   ? gen_ramp(GEN_TEAL, GEN_TEAL_N, 0.45f + 0.3f * b, 0.5f)
                  : kind == 1 ? gen_ramp(GEN_GOLD, GEN_GOLD_N, 0.3f + 0.3f * b, 0.5f)
                              : gen_ramp(GEN_GREY, GEN_GREY_N, 0.1f + 0.45f * b, 0.5f);
        plot_max(x, y, idx);
    }
    // Medium stars: a bright point with a soft cross.
    for (int i = 0; i < area / 2600; i++) {
        int x = int(gen_rand(&rng) % uint32_t(pic.width)), y = int(gen_rand(&rng) % uint32_t(pic.height));
        float b = (0.55f + 0.45f * gen_randf(&rng)) * star_calm(y);
        // Kept below white so the shot, the brightest thing in play, never hides among them.
        bool blue = gen_rand(&rng) % 3 == 0;
        plot_max(x, y,
                 blue ? gen_ramp(GEN_TEAL, GEN_TEAL_N, 0.55f + 0.3f * b, 0.5f)
                      : gen_ramp(GEN_GREY, GEN_GREY_N, 0.35f + 0.38f * b, 0.5f));
        int dim = gen_ramp(GEN_GREY, GEN_GREY_N, 0.1f + 0.25f * b, 0.5f);
        plot_max(x - 1, y, dim);
        plot_max(x + 1, y, dim);
        plot_max(x, y - 1, dim);
        plot_max(x, y + 1, dim);
    }
    // A few large coloured stars with glints.
    for (int i = 0; i < area / 14000; i++) {
        int x = int(gen_rand(&rng) % uint32_t(pic.width)), y = int(gen_rand(&rng) % uint32_t(pic.height));
        if (y < st.quiet_top + 8 || star_calm(y) < 0.9f) continue;
        int kind = int(gen_rand(&rng) % 3);
        int first = kind == 0 ? GEN_TEAL : kind == 1 ? GEN_GOLD : GEN_GREY;
        int count = kind == 0 ? GEN_TEAL_N : kind == 1 ? GEN_GOLD_N : GEN_GREY_N;
        int arm = 2 + int(gen_rand(&rng) % 3);
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                plot_max(x + dx, y + dy,
                         gen_ramp(first, count,
                                  (dx == 0 && dy == 0) ? 0.82f
                                  : (dx && dy)         ? 0.25f
                                                       : 0.5f,
                                  0.5f));
        for (int a = 2; a <= arm; a++) {
            float f = 0.45f - 0.3f * float(a - 1) / float(arm);
            int idx = gen_ramp(first, count, f, 0.5f);
            plot_max(x + a, y, idx);
            plot_max(x - a, y, idx);
            plot_max(x, y + a, idx);
            plot_max(x, y - a, idx);
        }
    }
}

GenPicture make_stars(void) {
    GenPicture pic = blank(640, 480);
    draw_sky(pic, {0x5EED0001u, 0.85f, 18, 10000.0f, 1.0f});
    return pic;
}

// The title word in chrome and gold, with a blue glow, onto the backdrop.
int draw_title(GenPicture &pic, const char *text, int centre_y) {
    if (TTF_Init() != 0) return 0;
    const char *fonts[] = {plat_font_file(), "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"};
    TTF_Font *font = nullptr;
    for (const char *f : fonts)
        if (!font) font = TTF_OpenFont(f, 96);
    if (!font) {
        TTF_Quit();
        return 0;
    }
    SDL_Color white = {255, 255, 255, 255}, black = {0, 0, 0, 255};
    SDL_Surface *s = TTF_RenderText_Shaded(font, text, white, black);
    if (!s) {
        TTF_CloseFont(font);
        TTF_Quit();
        return 0;
    }
    int w = s->w, h = s->h;
    std::vector<float> cov(size_t(w) * size_t(h));
    int top = h, bottom = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t i = static_cast<uint8_t *>(s->pixels)[y * s->pitch + x];
            float a = s->format->palette ? float(s->format->palette->colors[i].r) / 255.0f : float(i) / 255.0f;
            cov[size_t(y) * size_t(w) + size_t(x)] = a;
            if (a > 0.5f) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    SDL_FreeSurface(s);
    TTF_CloseFont(font);
    TTF_Quit();

    int ox = (pic.width - w) / 2, oy = centre_y - (top + bottom) / 2;
    auto cov_at = [&](int x, int y) -> float {
        int sx = x - ox, sy = y - oy;
        if (sx < 0 || sy < 0 || sx >= w || sy >= h) return 0.0f;
        return cov[size_t(sy) * size_t(w) + size_t(sx)];
    };
    // Glow: a wide soft blur of the letters.
    int x0 = std::max(0, ox - 24), x1 = std::min(pic.width, ox + w + 24);
    int y0 = std::max(0, oy + top - 24), y1 = std::min(pic.height, oy + bottom + 24);
    std::vector<float> glow(size_t(pic.width) * size_t(pic.height), 0.0f), tmp = glow;
    const int R = 10;
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            float sum = 0;
            for (int k = -R; k <= R; k++) sum += cov_at(x + k, y);
            tmp[size_t(y) * 640 + size_t(x)] = sum / float(2 * R + 1);
        }
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            float sum = 0;
            for (int k = -R; k <= R; k++) {
                int yy = std::clamp(y + k, 0, pic.height - 1);
                sum += tmp[size_t(yy) * 640 + size_t(x)];
            }
            glow[size_t(y) * 640 + size_t(x)] = sum / float(2 * R + 1);
        }
    const Ranges title_set = {{{1, 15}, {32, 63}, {112, 143}, {GEN_TITLE, GEN_TITLE + GEN_TITLE_N - 1}, {80, 94}}};
    Rgb blue = pal(GEN_PHOTON + 16);
    float height = float(bottom - top + 1);
    for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
            float a = cov_at(x, y);
            float g = glow[size_t(y) * 640 + size_t(x)];
            float shadow = std::max(cov_at(x - 3, y - 4), cov_at(x - 2, y - 3));
            if (a <= 0.0f && g < 0.02f && shadow <= 0.0f) continue;
            Rgb bg = pal(px(pic, x, y));
            bg = scale(bg, 1.0f - 0.8f * shadow);
            bg = add(bg, scale(blue, std::min(1.0f, g * 1.6f) * 0.75f));
            // Chrome: bright sky above a dark horizon line, warm light below it.
            float v = (float(y - oy - top) + 0.5f) / height;
            float t;
            if (v < 0.48f)
                t = 0.98f - v * 0.8f;
            else if (v < 0.54f)
                t = 0.34f;
            else
                t = 0.45f + (v - 0.54f) * 1.1f;
            // Lit edge on the upper left of each stroke.
            float edge = cov_at(x - 1, y - 1) < 0.5f && a > 0.5f ? 0.15f : 0.0f;
            Rgb ink = pal_ramp(GEN_TITLE, GEN_TITLE_N, std::clamp(t + edge, 0.0f, 1.0f));
            Rgb c = mix(bg, ink, a);
            px(pic, x, y) = nearest(title_set, c, x, y, 4.0f);
        }
    return 1;
}

GenPicture make_opening(int *ok) {
    GenPicture pic = blank(640, 480);
    draw_sky(pic, {0x5EED0002u, 1.3f, 0, 175.0f, 0.22f});
    // A gold rule under the title.
    for (int x = 120; x < 520; x++) {
        float f = 1.0f - std::fabs(float(x) - 319.5f) / 200.0f;
        f = std::pow(f, 0.6f);
        px(pic, x, 168) = gen_ramp(GEN_GOLD, GEN_GOLD_N, 0.25f + 0.7f * f, gen_dither(x, 0));
        px(pic, x, 169) = gen_ramp(GEN_GOLD, GEN_GOLD_N, 0.1f + 0.4f * f, gen_dither(x, 1));
    }
    *ok = draw_title(pic, "QUORVANE", 92);
    return pic;
}

// --- the ship sheet ---------------------------------------------------------------------------

enum ShipPart {
    PART_NONE,
    PART_HULL,
    PART_COCKPIT,
    PART_TRIM,
    PART_NOZZLE,
    PART_FLAME
};

bool inside_poly(const float (*p)[2], int n, float u, float v) {
    bool in = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        if ((p[i][1] > v) != (p[j][1] > v) && u < (p[j][0] - p[i][0]) * (v - p[i][1]) / (p[j][1] - p[i][1]) + p[i][0])
            in = !in;
    }
    return in;
}

// The ship in its own frame: u forward, v to its right; units are pixels.
ShipPart ship_part(float u, float v, bool flame) {
    static const float hull[][2] = {{7.6f, 0},      {4.2f, 1.5f},  {0.4f, 2.4f},   {-3.0f, 6.3f},  {-5.0f, 6.7f},
                                    {-4.5f, 2.7f},  {-5.3f, 1.7f}, {-5.3f, -1.7f}, {-4.5f, -2.7f}, {-5.0f, -6.7f},
                                    {-3.0f, -6.3f}, {0.4f, -2.4f}, {4.2f, -1.5f}};
    if (inside_poly(hull, 13, u, v)) {
        float cu = (u - 1.9f) / 2.3f, cv = v / 1.05f;
        if (cu * cu + cv * cv < 1.0f) return PART_COCKPIT;
        if (std::fabs(v) > 4.4f) return PART_TRIM;
        if (u < -4.4f && std::fabs(v) < 1.7f) return PART_NOZZLE;
        return PART_HULL;
    }
    if (flame && u < -5.3f && u > -8.2f) {
        float w = 1.5f * (u + 8.2f) / 2.9f;
        if (std::fabs(v) < w) return PART_FLAME;
    }
    return PART_NONE;
}

void draw_ship_cell(GenPicture &pic, int cx, int cy, int frame, bool flame) {
    float a = float(frame) * 22.5f * PI / 180.0f;
    float fx = std::cos(a), fy = std::sin(a);   // forward on screen
    float sx = -fy, sy = fx;                    // the ship's right-hand side on screen
    const float L[3] = {-0.55f, -0.62f, 0.56f}; // light from the upper left, towards the viewer
    const int SS = 4;
    for (int y = 0; y < 18; y++)
        for (int x = 0; x < 22; x++) {
            float cover[6] = {0, 0, 0, 0, 0, 0}, light[6] = {0, 0, 0, 0, 0, 0}, heat = 0;
            for (int j = 0; j < SS; j++)
                for (int i = 0; i < SS; i++) {
                    float dx = float(x) + (float(i) + 0.5f) / SS - 11.5f;
                    float dy = float(y) + (float(j) + 0.5f) / SS - 8.5f;
                    float u = dx * fx + dy * fy, v = dx * sx + dy * sy;
                    ShipPart part = ship_part(u, v, flame);
                    if (part == PART_NONE) continue;
                    // A ridge along the spine: each half of the hull tilts to its own side.
                    float side = v >= 0 ? 1.0f : -1.0f;
                    float slope = std::fabs(v) < 2.4f ? 0.9f : 0.35f;
                    float nx = sx * side * slope, ny = sy * side * slope, nz = 1.0f;
                    if (part == PART_COCKPIT) {
                        nx = (dx - (fx * 1.9f)) * 0.5f;
                        ny = (dy - (fy * 1.9f)) * 0.5f;
                    }
                    float len = std::sqrt(nx * nx + ny * ny + nz * nz);
                    float d = (nx * L[0] + ny * L[1] + nz * L[2]) / len;
                    cover[part] += 1.0f;
                    light[part] += std::max(0.0f, d);
                    if (part == PART_FLAME) heat += 1.0f - (-5.3f - u) / 2.9f;
                }
            int best = 0;
            float total = 0;
            for (int p = 1; p < 6; p++) {
                total += cover[p];
                if (cover[p] > cover[best]) best = p;
            }
            float c = total / float(SS * SS);
            if (c < 0.3f || best == PART_NONE) continue;
            float shade = light[best] / cover[best];
            float edge = 0.5f + 0.5f * c;
            float dth = gen_dither(x + frame * 3, y);
            uint8_t idx = 0;
            switch (best) {
            case PART_HULL: idx = gen_ramp(GEN_HULL, GEN_HULL_N, (0.12f + 0.88f * shade) * edge, dth); break;
            case PART_COCKPIT: idx = gen_ramp(GEN_PHOTON, GEN_PHOTON_N, (0.45f + 0.5f * shade) * edge, dth); break;
            case PART_TRIM: idx = gen_ramp(GEN_RED, GEN_RED_N, (0.35f + 0.65f * shade) * edge, dth); break;
            case PART_NOZZLE: idx = gen_ramp(GEN_HULL, GEN_HULL_N, 0.12f + 0.12f * shade, dth); break;
            case PART_FLAME: {
                float h = heat / cover[best];
                idx = h > 0.75f ? gen_ramp(GEN_GOLD, GEN_GOLD_N, 0.6f + 0.4f * h, dth)
                                : gen_ramp(GEN_FIRE, GEN_FIRE_N, (0.3f + 0.7f * h) * edge, dth);
                break;
            }
            default: break;
            }
            px(pic, cx + x, cy + y) = idx;
        }
    gen_fill_holes(&pic, cx, cy, 22, 18, GEN_HULL + 1);
}

GenPicture make_blaze(void) {
    GenPicture pic = blank(372, 39);
    for (int r = 0; r < 2; r++)
        for (int c = 0; c < 16; c++) draw_ship_cell(pic, c * 23 + 1, r * 19 + 1, c, r == 1);
    return pic;
}

// --- bodies -----------------------------------------------------------------------------------

struct Sphere {
    float cx, cy, radius; // inside the cell, in pixel-edge coordinates
};

// Supersampled coverage of the disc at pixel (x, y), and the normal at the pixel's centre.
float disc_cover(const Sphere &s, int x, int y) {
    int in = 0;
    for (int j = 0; j < 4; j++)
        for (int i = 0; i < 4; i++) {
            float dx = float(x) + (float(i) + 0.5f) / 4.0f - s.cx, dy = float(y) + (float(j) + 0.5f) / 4.0f - s.cy;
            if (dx * dx + dy * dy < s.radius * s.radius) in++;
        }
    return float(in) / 16.0f;
}

// The unit normal under pixel (x, y), clamped onto the sphere at the rim.
void sphere_normal(const Sphere &s, int x, int y, float n[3]) {
    float dx = (float(x) + 0.5f - s.cx) / s.radius, dy = (float(y) + 0.5f - s.cy) / s.radius;
    float d2 = dx * dx + dy * dy;
    if (d2 > 0.999f) {
        float k = std::sqrt(0.999f / d2);
        dx *= k;
        dy *= k;
        d2 = 0.999f;
    }
    n[0] = dx;
    n[1] = dy;
    n[2] = std::sqrt(1.0f - d2);
}

const float SUN[3] = {-0.80f, -0.34f, 0.49f}; // every body is lit from the upper left

float lambert(const float n[3]) { return std::max(0.0f, n[0] * SUN[0] + n[1] * SUN[1] + n[2] * SUN[2]); }

// The photon: a glowing energy orb whose core breathes and whose plasma drifts on a closed loop.
GenPicture make_photon(void) {
    GenPicture pic = blank(316, 46);
    const int frames = 7;
    for (int k = 0; k < frames; k++) {
        float ph = 2.0f * PI * float(k) / float(frames);
        int ox = k * 45 + 1, oy = 1;
        float core = 9.5f + 1.6f * std::sin(ph);
        float halo = 4.6f + 0.9f * std::sin(ph);
        Sphere s = {22.0f, 22.0f, 20.0f};
        for (int y = 0; y < 44; y++)
            for (int x = 0; x < 44; x++) {
                float c = disc_cover(s, x, y);
                if (c < 0.3f) continue;
                float dx = float(x) + 0.5f - 22.0f, dy = float(y) + 0.5f - 22.0f;
                float r = std::sqrt(dx * dx + dy * dy);
                float swirl =
                    gen_fbm3(dx / 7.0f + 1.6f * std::cos(ph), dy / 7.0f + 1.6f * std::sin(ph), r / 9.0f, 0xF0701u, 4);
                float inner = std::clamp((core - r) / 1.5f + 0.5f, 0.0f, 1.0f);
                float glow = r > core ? std::exp(-(r - core) / halo) : 1.0f;
                float n[3];
                sphere_normal({22.0f, 22.0f, core + 1.0f}, x, y, n);
                float lit = 0.55f + 0.45f * lambert(n);
                float i = inner * (0.62f + 0.2f * swirl + 0.3f * lit) + (1.0f - inner) * glow * (0.52f + 0.55f * swirl);
                // Bright filaments in the halo.
                float fil = std::fabs(swirl - 0.5f) < 0.04f ? 0.18f * glow : 0.0f;
                i = std::clamp(i + fil, 0.0f, 1.0f);
                i *= 0.6f + 0.4f * c;
                px(pic, ox + x, oy + y) = gen_ramp(GEN_PHOTON, GEN_PHOTON_N, std::max(i, 0.03f), gen_dither(x, y + k));
            }
        gen_fill_holes(&pic, ox, oy, 44, 44, GEN_PHOTON);
    }
    return pic;
}

struct Crater {
    float c[3];
    float radius; // angular, radians
    float depth;
};

// Turns a surface point by angle a about the vertical axis.
void spin(const float n[3], float a, float out[3]) {
    out[0] = n[0] * std::cos(a) + n[2] * std::sin(a);
    out[1] = n[1];
    out[2] = -n[0] * std::sin(a) + n[2] * std::cos(a);
}

GenPicture make_moon(void) {
    GenPicture pic = blank(164, 26);
    GenRandom rng = {0x0400A11u};
    std::vector<Crater> craters;
    for (int i = 0; i < 18; i++) {
        float z = gen_randf(&rng) * 2.0f - 1.0f, t = gen_randf(&rng) * 2.0f * PI, rr = std::sqrt(1.0f - z * z);
        float size = i < 5 ? 0.32f + 0.16f * gen_randf(&rng) : 0.16f + 0.14f * gen_randf(&rng);
        craters.push_back({{rr * std::cos(t), z * 0.9f, rr * std::sin(t)}, size, 0.5f + 0.4f * gen_randf(&rng)});
    }
    const int frames = 6;
    Sphere s = {13.0f, 12.5f, 10.6f};
    for (int k = 0; k < frames; k++) {
        float rot = 2.0f * PI * float(k) / float(frames);
        int ox = k * 27 + 1, oy = 1;
        for (int y = 0; y < 25; y++)
            for (int x = 0; x < 26; x++) {
                float c = disc_cover(s, x, y);
                if (c < 0.3f) continue;
                float n[3], p[3];
                sphere_normal(s, x, y, n);
                spin(n, rot, p);
                float albedo = 0.78f + 0.3f * (gen_fbm3(p[0] * 3.0f, p[1] * 3.0f, p[2] * 3.0f, 0x3001u, 3) - 0.5f);
                // Dark seas.
                float mare = gen_fbm3(p[0] * 1.4f + 5, p[1] * 1.4f, p[2] * 1.4f, 0x3002u, 2);
                albedo *= 1.0f - 0.3f * std::clamp((mare - 0.5f) / 0.12f, 0.0f, 1.0f);
                // Craters tilt the surface: a bowl slopes towards its centre, its rim away from it,
                // so each one shows a lit wall and a shadowed wall.
                float tilt[3] = {0, 0, 0};
                for (const Crater &cr : craters) {
                    float dot = p[0] * cr.c[0] + p[1] * cr.c[1] + p[2] * cr.c[2];
                    float ang = std::acos(std::clamp(dot, -1.0f, 1.0f));
                    float q = ang / cr.radius;
                    if (q >= 1.35f || ang < 1e-4f) continue;
                    float t[3] = {cr.c[0] - p[0] * dot, cr.c[1] - p[1] * dot, cr.c[2] - p[2] * dot};
                    float tl = std::sqrt(t[0] * t[0] + t[1] * t[1] + t[2] * t[2]);
                    float k = q < 1.0f ? cr.depth * 1.3f * q : -cr.depth * 1.6f * (1.35f - q) / 0.35f;
                    if (q < 1.0f) albedo *= 1.0f - 0.12f * cr.depth;
                    for (int a = 0; a < 3; a++) tilt[a] += t[a] / tl * k;
                }
                // Back from the turning surface into view space.
                float tv[3] = {tilt[0] * std::cos(rot) - tilt[2] * std::sin(rot), tilt[1],
                               tilt[0] * std::sin(rot) + tilt[2] * std::cos(rot)};
                float m[3] = {n[0] + tv[0], n[1] + tv[1], n[2] + tv[2]};
                float ml = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
                for (float &v : m) v /= ml;
                float l = std::min(lambert(n) * 1.6f, lambert(m));
                float b = albedo * (0.05f + 0.95f * l);
                b *= 0.55f + 0.45f * c;
                px(pic, ox + x, oy + y) = gen_ramp(GEN_MOON, GEN_MOON_N, std::clamp(b, 0.02f, 1.0f), gen_dither(x, y));
            }
        gen_fill_holes(&pic, ox, oy, 26, 25, GEN_MOON);
    }
    return pic;
}

GenPicture make_earth(void) {
    GenPicture pic = blank(408, 91);
    const Ranges set = {{{1, 31}, {GEN_OCEAN, GEN_DESERT + GEN_DESERT_N - 1}}};
    Sphere s = {22.0f, 22.0f, 19.8f};
    for (int k = 0; k < 18; k++) {
        float rot = 2.0f * PI * float(k) / 18.0f;
        int ox = (k % 9) * 45 + 1, oy = (k / 9) * 45 + 1;
        for (int y = 0; y < 44; y++)
            for (int x = 0; x < 44; x++) {
                float c = disc_cover(s, x, y);
                if (c < 0.3f) continue;
                float n[3], p[3];
                sphere_normal(s, x, y, n);
                spin(n, rot, p);
                float h = gen_fbm3(p[0] * 1.7f + 3, p[1] * 1.7f, p[2] * 1.7f, 0xEA27u, 5);
                float lat = std::fabs(p[1]);
                Rgb surf;
                if (lat > 0.88f - 0.06f * h) {
                    surf = pal_ramp(GEN_GREY, GEN_GREY_N, 0.88f);
                } else if (h > 0.53f) {
                    float e = std::clamp((h - 0.53f) * 4.0f, 0.0f, 1.0f);
                    float dry = gen_fbm3(p[0] * 3.0f, p[1] * 3.0f, p[2] * 3.0f, 0xD5E7u, 3);
                    bool desert = lat > 0.15f && lat < 0.5f && dry > 0.52f;
                    surf = desert ? pal_ramp(GEN_DESERT, GEN_DESERT_N, 0.6f + 0.3f * e)
                                  : pal_ramp(GEN_LAND, GEN_LAND_N, 0.5f + 0.35f * e);
                } else {
                    float depth = std::clamp((0.53f - h) * 3.0f, 0.0f, 1.0f);
                    surf = pal_ramp(GEN_OCEAN, GEN_OCEAN_N, 0.62f - 0.22f * depth);
                }
                // Clouds: streaks stretched along the latitudes.
                float cl = gen_fbm3(p[0] * 2.4f, p[1] * 6.0f, p[2] * 2.4f, 0xC10Du, 4);
                float cloud = std::clamp((cl - 0.54f) * 5.0f, 0.0f, 0.9f);
                surf = mix(surf, pal_ramp(GEN_GREY, GEN_GREY_N, 0.95f), cloud);
                float l = lambert(n);
                Rgb col = scale(surf, 0.06f + 1.0f * l);
                // Thin blue air at the rim on the day side.
                float rim = std::pow(1.0f - n[2], 3.0f);
                col = add(col, scale(pal(GEN_OCEAN + 13), rim * (0.25f + 0.9f * l)));
                col = scale(col, 0.5f + 0.5f * c);
                px(pic, ox + x, oy + y) = nearest(set, col, x, y, 5.0f);
            }
        gen_fill_holes(&pic, ox, oy, 44, 44, GEN_SPACE);
    }
    return pic;
}

} // namespace

int gen_make_pictures(const std::string &dir) {
    int ok = gen_write_bmp(dir + GAME_FILE_STARS, make_stars());
    int title = 0;
    ok &= gen_write_bmp(dir + GAME_FILE_OPENING, make_opening(&title));
    if (!title) std::fprintf(stderr, "quorvane_assetgen: no font for the title: %s\n", TTF_GetError());
    ok &= title;
    ok &= gen_write_bmp(dir + GAME_FILE_SHIPS, make_blaze());
    ok &= gen_write_bmp(dir + GAME_FILE_PHOTON, make_photon());
    ok &= gen_write_bmp(dir + GAME_FILE_MOON, make_moon());
    ok &= gen_write_bmp(dir + GAME_FILE_EARTH, make_earth());
    return ok;
}
