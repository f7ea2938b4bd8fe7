// The desktop icon: a blue world on a tile of space, a ship's shot bending round it.
// Drawn in the unit square and sampled per pixel, so every size shows the same picture.
#include "tools/assetgen/assetgen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdarg>
#include <cstdio>

#include <png.h>

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

} // namespace

int gen_write_png(const std::string &path, int32_t width, int32_t height, const std::vector<uint8_t> &rgba) {
    FILE *fp = std::fopen(path.c_str(), "wb");
    if (!fp) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    int ok = 0;
    // libpng reports a failed write by longjmp; nothing here needs unwinding.
    if (info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, fp);
        // Icons are installed in every package: the smallest file libpng makes, and no time stamp.
        png_set_compression_level(png, 9);
        png_set_compression_mem_level(png, 9);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, info);
        for (int32_t y = 0; y < height; y++)
            png_write_row(png, &rgba[static_cast<size_t>(y) * static_cast<size_t>(width) * 4]);
        png_write_end(png, nullptr);
        ok = 1;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(fp) == 0 && ok ? 1 : 0;
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
            // Colours in steps of two: no eye tells them apart, and the last bit is mostly noise
            // from the land and the haze that no compressor can pack (the 256 px icon is a
            // quarter smaller).
            p[0] = static_cast<uint8_t>(2 * std::lround(std::clamp(sum.r * un, 0.0f, 1.0f) * 127));
            p[1] = static_cast<uint8_t>(2 * std::lround(std::clamp(sum.g * un, 0.0f, 1.0f) * 127));
            p[2] = static_cast<uint8_t>(2 * std::lround(std::clamp(sum.b * un, 0.0f, 1.0f) * 127));
            p[3] = static_cast<uint8_t>(std::lround(a * 255));
        }
    return rgba;
}

namespace {

// The same picture in SVG: the tile, its stars, the world, the shot's curve and the ship, each
// from the constants the pixel drawing uses; the noise (haze, land, clouds) becomes gradients.
struct Svg {
    std::string text;
};

void svg_add(Svg *svg, const char *format, ...) __attribute__((format(printf, 2, 3)));
void svg_add(Svg *svg, const char *format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    svg->text += line;
}

// #rrggbb of a palette entry.
std::string svg_colour(int index) {
    const GenColour &c = gen_palette[index];
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", c.red, c.green, c.blue);
    return hex;
}

constexpr float SVG_SIZE = 512.0f; // the viewBox: the unit square drawn at 512 px

float u(float v) { return v * SVG_SIZE; }

void svg_ramp_stop(Svg *svg, float offset, int first, int count, float t) {
    float pos = std::clamp(t, 0.0f, 1.0f) * static_cast<float>(count - 1);
    svg_add(svg, "<stop offset=\"%.2f\" stop-color=\"%s\"/>", offset,
            svg_colour(first + static_cast<int>(std::lround(pos))).c_str());
}

} // namespace

std::string gen_draw_icon_svg(void) {
    Scene scene;
    scene_build(&scene);
    Svg svg;
    svg_add(&svg,
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\">\n",
            SVG_SIZE, SVG_SIZE, SVG_SIZE, SVG_SIZE);
    svg_add(&svg, "<defs>\n<linearGradient id=\"space\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">");
    for (float y : {0.0f, 0.5f, 1.0f}) svg_ramp_stop(&svg, y, GEN_SPACE, GEN_SPACE_N, 0.15f + 0.6f * y);
    svg_add(&svg,
            "</linearGradient>\n<radialGradient id=\"haze\" cx=\"0.3\" cy=\"0.35\" r=\"0.6\">"
            "<stop offset=\"0\" stop-color=\"%s\" stop-opacity=\"0.45\"/>"
            "<stop offset=\"1\" stop-color=\"%s\" stop-opacity=\"0\"/></radialGradient>\n",
            svg_colour(GEN_VIOLET + 5).c_str(), svg_colour(GEN_VIOLET + 5).c_str());
    // Lit from the upper left, as the pixel drawing's light.
    svg_add(&svg, "<radialGradient id=\"world\" cx=\"0.5\" cy=\"0.5\" r=\"0.5\" fx=\"0.3\" fy=\"0.28\">");
    svg_ramp_stop(&svg, 0, GEN_OCEAN, GEN_OCEAN_N, 0.85f);
    svg_ramp_stop(&svg, 0.6f, GEN_OCEAN, GEN_OCEAN_N, 0.45f);
    svg_ramp_stop(&svg, 1, GEN_OCEAN, GEN_OCEAN_N, 0.08f);
    svg_add(&svg, "</radialGradient>\n");
    for (const char *name : {"star", "gold", "air", "fire"}) {
        int colour = name[0] == 's'   ? GEN_GREY + 14
                     : name[0] == 'g' ? GEN_GOLD + 12
                     : name[0] == 'a' ? GEN_OCEAN + 15
                                      : GEN_FIRE + 13;
        float inner = name[0] == 'a' ? 0.88f : 0.0f, opacity = name[0] == 'a' ? 0.35f : name[0] == 'f' ? 0.6f : 1.0f;
        svg_add(&svg,
                "<radialGradient id=\"%s\"><stop offset=\"%.2f\" stop-color=\"%s\" stop-opacity=\"%.2f\"/>"
                "<stop offset=\"1\" stop-color=\"%s\" stop-opacity=\"0\"/></radialGradient>\n",
                name, inner, svg_colour(colour).c_str(), opacity, svg_colour(colour).c_str());
    }
    float x0 = scene.trail_x[0], y0 = scene.trail_y[0];
    float x1 = scene.trail_x[TRAIL_POINTS - 1], y1 = scene.trail_y[TRAIL_POINTS - 1];
    svg_add(
        &svg,
        "<linearGradient id=\"trail\" gradientUnits=\"userSpaceOnUse\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\">"
        "<stop offset=\"0\" stop-color=\"%s\" stop-opacity=\"0.25\"/><stop offset=\"1\" stop-color=\"%s\"/>"
        "</linearGradient>\n</defs>\n",
        u(x0), u(y0), u(x1), u(y1), svg_colour(SHOT_COLOUR).c_str(), svg_colour(SHOT_COLOUR).c_str());
    // The tile: the pixel drawing's rounded square, 0.16 round, drawn 0.02 inside the edge.
    svg_add(&svg, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" rx=\"%.2f\" fill=\"url(#space)\"/>\n",
            u(0.02f), u(0.02f), u(0.96f), u(0.96f), u(0.14f));
    svg_add(&svg, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" rx=\"%.2f\" fill=\"url(#haze)\"/>\n",
            u(0.02f), u(0.02f), u(0.96f), u(0.96f), u(0.14f));
    for (int i = 0; i < STAR_COUNT; i++)
        svg_add(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#%s)\"/>\n", u(scene.star_x[i]),
                u(scene.star_y[i]), u(scene.star_size[i]), i % 5 == 0 ? "gold" : "star");
    svg_add(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#air)\"/>\n", u(WORLD_X), u(WORLD_Y),
            u(WORLD_R * 1.12f));
    svg_add(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#world)\"/>\n", u(WORLD_X), u(WORLD_Y),
            u(WORLD_R));
    // The trail is the quadratic curve the pixel drawing samples: its middle point gives the control point.
    float xm = scene.trail_x[TRAIL_POINTS / 2], ym = scene.trail_y[TRAIL_POINTS / 2];
    float tm = static_cast<float>(TRAIL_POINTS / 2) / (TRAIL_POINTS - 1), um = 1.0f - tm;
    float cx = (xm - um * um * x0 - tm * tm * x1) / (2 * um * tm),
          cy = (ym - um * um * y0 - tm * tm * y1) / (2 * um * tm);
    svg_add(&svg,
            "<path d=\"M%.2f %.2fQ%.2f %.2f %.2f %.2f\" fill=\"none\" stroke=\"url(#trail)\" stroke-width=\"%.2f\" "
            "stroke-linecap=\"round\"/>\n",
            u(x0), u(y0), u(cx), u(cy), u(x1), u(y1), u(0.024f));
    svg_add(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#fire)\"/>\n", u(x1), u(y1), u(0.07f));
    svg_add(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n", u(x1), u(y1), u(0.03f),
            svg_colour(SHOT_COLOUR).c_str());
    // The hull: a wedge 0.14 long, 0.09 wide at its back, pointing along the launch.
    float ax = SHIP_AX, ay = SHIP_AY;
    float bx = SHIP_X - 0.07f * ax, by = SHIP_Y - 0.07f * ay;
    svg_add(&svg, "<path d=\"M%.2f %.2fL%.2f %.2fL%.2f %.2fZ\" fill=\"%s\"/>\n", u(bx - 0.045f * ay),
            u(by + 0.045f * ax), u(SHIP_X + 0.07f * ax), u(SHIP_Y + 0.07f * ay), u(bx + 0.045f * ay),
            u(by - 0.045f * ax), svg_colour(GEN_HULL + GEN_HULL_N / 2).c_str());
    svg_add(&svg, "<path d=\"M%.2f %.2fL%.2f %.2f\" stroke=\"%s\" stroke-width=\"%.2f\"/>\n", u(SHIP_X + 0.06f * ax),
            u(SHIP_Y + 0.06f * ay), u(SHIP_X + 0.14f * ax), u(SHIP_Y + 0.14f * ay),
            svg_colour(GAME_COLOUR_TURRET).c_str(), u(0.024f));
    svg_add(&svg, "</svg>\n");
    return svg.text;
}

int gen_make_icons(const std::string &dir) {
    int ok = 1;
    for (int32_t size : GEN_ICON_SIZES) {
        char name[32];
        std::snprintf(name, sizeof name, "quorvane-%d.png", size);
        ok &= gen_write_png(dir + name, size, size, gen_draw_icon(size));
    }
    std::string svg = gen_draw_icon_svg();
    FILE *fp = std::fopen((dir + "quorvane.svg").c_str(), "wb");
    if (!fp) return 0;
    size_t written = std::fwrite(svg.data(), 1, svg.size(), fp);
    return std::fclose(fp) == 0 && written == svg.size() ? ok : 0;
}
