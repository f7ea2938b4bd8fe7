// The cannon and explosion effects: 8-bit unsigned mono at 11025 Hz, synthesised from noise and sweeps.
#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/assetgen/assetgen.h"

namespace {

constexpr float RATE = 11025.0f;
constexpr float TWO_PI = 6.28318530718f;

// Peak-normalises to 0.9 and fades the ends so the sample starts and stops on 0x80 without a click.
std::vector<uint8_t> finish(std::vector<float> &s, float fade_in_ms, float fade_out_ms) {
    size_t n = s.size();
    size_t fin = static_cast<size_t>(fade_in_ms * RATE / 1000.0f),
           fout = static_cast<size_t>(fade_out_ms * RATE / 1000.0f);
    for (size_t i = 0; i < fin && i < n; i++) s[i] *= static_cast<float>(i) / static_cast<float>(fin);
    for (size_t i = 0; i < fout && i < n; i++) s[n - 1 - i] *= static_cast<float>(i) / static_cast<float>(fout);
    float peak = 1e-6f;
    for (float v : s) peak = std::max(peak, std::fabs(v));
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; i++) {
        long v = 128 + std::lround(s[i] / peak * 0.9f * 127.0f);
        out[i] = static_cast<uint8_t>(std::clamp(v, 1L, 255L));
    }
    if (n) {
        out[0] = 0x80;
        out[n - 1] = 0x80;
    }
    return out;
}

// A launch: a falling low thump, a bright zap sweeping down and a short burst of hiss.
std::vector<uint8_t> make_cannon(void) {
    GenRandom rng = {0xC0FFEE11u};
    size_t n = static_cast<size_t>(0.42f * RATE);
    std::vector<float> s(n);
    float ph_low = 0, ph_zap = 0, lp = 0, hp_prev = 0;
    for (size_t i = 0; i < n; i++) {
        float t = static_cast<float>(i) / RATE;
        float f_low = 55.0f + 170.0f * std::exp(-t * 18.0f);
        ph_low += TWO_PI * f_low / RATE;
        float thump = std::sin(ph_low) * std::exp(-t * 9.0f);
        float f_zap = 260.0f + 1500.0f * std::exp(-t * 22.0f);
        ph_zap += TWO_PI * f_zap / RATE;
        float zap = (std::sin(ph_zap) + 0.35f * std::sin(ph_zap * 2.01f)) * std::exp(-t * 14.0f);
        float white = gen_randf(&rng) * 2.0f - 1.0f;
        lp += (white - lp) * 0.35f;
        float hiss = (lp - hp_prev * 0.6f) * std::exp(-t * 30.0f);
        hp_prev = lp;
        s[i] = 0.9f * thump + 0.45f * zap + 0.7f * hiss;
    }
    return finish(s, 2.0f, 25.0f);
}

// A blast: a sharp crack of noise, then a low rumble that darkens as it decays.
std::vector<uint8_t> make_explosion(void) {
    GenRandom rng = {0xB00B1E55u};
    size_t n = static_cast<size_t>(1.35f * RATE);
    std::vector<float> s(n);
    float lp1 = 0, lp2 = 0, brown = 0, ph = 0, wobble = 0;
    for (size_t i = 0; i < n; i++) {
        float t = static_cast<float>(i) / RATE;
        float white = gen_randf(&rng) * 2.0f - 1.0f;
        // Cut-off falls from bright to dull over the first half second.
        float k = 0.06f + 0.6f * std::exp(-t * 7.0f);
        lp1 += (white - lp1) * k;
        lp2 += (lp1 - lp2) * k;
        brown = brown * 0.985f + white * 0.08f;
        if ((i & 63) == 0) wobble = gen_randf(&rng) * 2.0f - 1.0f;
        ph += TWO_PI * (38.0f + 10.0f * wobble) / RATE;
        float crack = white * std::exp(-t * 45.0f);
        float body = lp2 * 2.2f * std::exp(-t * 3.2f);
        float rumble = (brown * 1.6f + 0.5f * std::sin(ph)) * std::exp(-t * 2.4f);
        s[i] = 0.55f * crack + body + rumble;
    }
    return finish(s, 3.0f, 60.0f);
}

} // namespace

int gen_make_sounds(const std::string &dir) {
    int ok = gen_write_wav(dir + GAME_FILE_CANNON, make_cannon());
    ok &= gen_write_wav(dir + GAME_FILE_EXPLOSION, make_explosion());
    return ok;
}
