// Aiming like a person: which found shot to go for, and the error each level makes on the way.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ai/ai.h"

namespace {

// First-shot error (at most; at least half of it) and the share of the last error kept,
// turned to the other side, on each later shot.
struct LevelTune {
    float first_angle, first_power, keep;
};
constexpr LevelTune TUNES[3] = {
    {20.0f, 200.0f, 0.70f}, // easy
    {10.0f, 100.0f, 0.55f}, // normal
    {2.5f, 30.0f, 0.25f},   // hard
};
constexpr int32_t OWN_HIT_RETRIES = 8;

const LevelTune &tune(int32_t level) { return TUNES[level < 0 ? 0 : level > 2 ? 2 : level]; }

// The computer's own numbers: a 32-bit xorshift, so the game's generator is never touched.
uint32_t next(uint32_t *s) {
    uint32_t x = *s ? *s : 0x9E3779B9u;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    *s = x;
    return x;
}
// Uniform in [0, 1).
float unit(uint32_t *s) { return static_cast<float>(next(s) >> 8) * (1.0f / 16777216.0f); }
float sign(uint32_t *s) { return (next(s) >> 31) ? -1.0f : 1.0f; }

uint32_t mix(uint32_t h, uint32_t v) {
    for (int32_t i = 0; i < 4; i++) {
        h ^= (v >> (8 * i)) & 0xFF;
        h *= 16777619u;
    }
    return h;
}
uint32_t mix_float(uint32_t h, float f) {
    uint32_t u;
    static_assert(sizeof u == sizeof f);
    std::memcpy(&u, &f, sizeof u);
    return mix(h, u);
}

int32_t wrap_angle(int32_t a) { return ((a - 1) % 360 + 360) % 360 + 1; }

int32_t angle_gap(int32_t a, int32_t b) {
    int32_t d = std::abs(a - b) % 360;
    return d > 180 ? 360 - d : d;
}

int32_t aim(const AiAim *target, float angle_error, float power_error, int32_t *angle, int32_t *power) {
    *angle = wrap_angle(target->angle + static_cast<int32_t>(std::lround(angle_error)));
    int32_t pw = target->power + POWER_STEP * static_cast<int32_t>(std::lround(power_error / POWER_STEP));
    *power = pw < 0 ? 0 : pw > POWER_MAX ? POWER_MAX : pw;
    return 1;
}

} // namespace

void ai_aimer_begin(AiAimer *aimer, const FlightLayout *layout, int32_t player, int32_t level) {
    uint32_t h = 2166136261u;
    for (int32_t p = 0; p < 2; p++) {
        h = mix_float(h, layout->ship_x[p]);
        h = mix_float(h, layout->ship_y[p]);
    }
    for (int32_t i = 0; i < layout->body_count; i++) {
        h = mix_float(h, layout->bodies[i].home_x);
        h = mix_float(h, layout->bodies[i].home_y);
        h = mix(h, static_cast<uint32_t>(layout->bodies[i].size));
    }
    h = mix(h, static_cast<uint32_t>(player));
    h = mix(h, static_cast<uint32_t>(level));
    *aimer = AiAimer{h, 0, {0.0f, 0.0f}};
}

void ai_aim_with_error(AiAimer *aimer, const FlightLayout *layout, int32_t player, int32_t level, const AiAim *target,
                       int32_t *angle, int32_t *power) {
    const LevelTune &t = tune(level);
    float e[2];
    if (aimer->shots == 0) {
        e[0] = sign(&aimer->rng) * t.first_angle * (0.5f + 0.5f * unit(&aimer->rng));
        e[1] = sign(&aimer->rng) * t.first_power * (0.5f + 0.5f * unit(&aimer->rng));
    } else {
        // Past the last miss to its other side, a little more or less than the level keeps.
        for (int32_t k = 0; k < 2; k++) e[k] = -aimer->error[k] * t.keep * (0.8f + 0.4f * unit(&aimer->rng));
    }
    aim(target, e[0], e[1], angle, power);
    // A person sees their own ship in the way: a shot into it is pulled in towards the target.
    for (int32_t i = 0; i < OWN_HIT_RETRIES; i++) {
        AiFlight f;
        ai_fly(layout, player, *angle, *power, &f);
        if (f.end != AI_END_OWN) break;
        e[0] *= 0.5f;
        e[1] *= 0.5f;
        aim(target, e[0], e[1], angle, power);
    }
    aimer->error[0] = e[0];
    aimer->error[1] = e[1];
    aimer->shots++;
}

void ai_choose_target(int32_t player, int32_t level, int32_t angle_now, int32_t power_now, AiAim *out) {
    AiAim found[8];
    int32_t n = ai_plan_hits(player, found, 8);
    *out = found[0];
    if (level != AI_LEVEL_EASY || !found[0].hits) return;
    int32_t best = 0x7FFFFFFF;
    for (int32_t i = 0; i < n; i++) {
        int32_t dp = std::abs(found[i].power - power_now) / POWER_STEP;
        int32_t da = angle_gap(found[i].angle, angle_now);
        int32_t frames = da > dp ? da : dp;
        if (frames < best) {
            best = frames;
            *out = found[i];
        }
    }
}
