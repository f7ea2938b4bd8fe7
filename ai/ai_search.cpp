// The computer's search for a shot: sweeps of a coarse grid of angle and power, the nearest
// misses walked downhill a key step at a time until they hit, and each hit measured for how
// forgiving it is. It stops whenever its step budget runs out and goes on where it was.
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "ai/ai.h"

namespace {

constexpr int32_t ANGLES = 360;
constexpr int32_t POWERS = POWER_MAX / POWER_STEP + 1; // 0, 5, .. 1000
constexpr float NOT_FLOWN = -3.0f, HIT_OTHER = -1.0f, HIT_OWN = -2.0f;
constexpr int32_t TOP = 10; // nearest misses kept for walking downhill
constexpr int32_t MAX_HITS = 6;
constexpr int32_t ENOUGH_HITS = 3;
constexpr int32_t WIDE_ENOUGH = 12; // of 24 neighbours: a shot this forgiving ends the search
constexpr int32_t MAX_MOVES = 40;

// The sweeps, coarse first, each offset from the last so they fill the gaps between.
struct Sweep {
    int32_t angle_step, angle_offset, power_step, power_first, power_last;
};
constexpr Sweep SWEEPS[] = {
    {4, 0, 50, 100, 1000}, {4, 2, 50, 125, 975}, {2, 1, 50, 100, 1000},
    {2, 1, 50, 125, 975},  {4, 0, 50, 50, 50},   {2, 0, 25, 150, 1000},
};
constexpr int32_t SWEEP_COUNT = sizeof SWEEPS / sizeof SWEEPS[0];
constexpr int32_t SWEEP_CHUNK = 200; // cells swept before the best misses are walked

// Downhill walk: the key steps tried around the centre, largest first.
struct Stride {
    int32_t angle, power;
};
constexpr Stride STRIDES[] = {{3, 30}, {1, 10}, {1, 5}};
constexpr int32_t STRIDE_COUNT = 3;
constexpr int32_t AROUND[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

enum Phase : int32_t {
    PHASE_SWEEP,
    PHASE_WALK,
    PHASE_WIDTH,
    PHASE_DONE
};

struct Plan {
    FlightLayout layout;
    int32_t player;
    int64_t steps;
    int32_t phase;
    float result[ANGLES][POWERS];
    uint8_t walked[ANGLES][POWERS];
    // sweeping
    int32_t sweep, sweep_index, sweep_cells, swept_in_chunk;
    int16_t order[ANGLES * POWERS][2];
    // nearest misses
    AiAim top[TOP];
    int32_t top_count;
    // walking downhill from one of them
    int32_t centre_a, centre_p, stride, neighbour, moves;
    float centre_miss, best_miss;
    int32_t best_a, best_p;
    // measuring a hit
    int32_t hit_a, hit_p, width_index, phase_after;
    AiAim hits[MAX_HITS];
    int32_t hit_count;
};

Plan plans[2];

int32_t wrap_angle(int32_t a) { return ((a - 1) % 360 + 360) % 360 + 1; }

// A flown cell's result: the miss, or HIT_OTHER / HIT_OWN.
float fly(Plan &p, int32_t angle, int32_t power) {
    float &r = p.result[angle - 1][power / POWER_STEP];
    if (r != NOT_FLOWN) return r;
    AiFlight f;
    ai_fly(&p.layout, p.player, angle, power, &f);
    p.steps += f.steps;
    r = f.end == AI_END_OTHER ? HIT_OTHER : f.end == AI_END_OWN ? HIT_OWN : f.miss;
    return r;
}

int32_t flown(const Plan &p, int32_t angle, int32_t power) {
    return p.result[angle - 1][power / POWER_STEP] != NOT_FLOWN;
}

// The direction from the muzzle to the other ship, in the game's degrees.
int32_t direct_angle(const Plan &p) {
    const FlightLayout &l = p.layout;
    double dx = l.ship_x[1 - p.player] + 8.0 - l.muzzle_x[p.player];
    double dy = l.ship_y[1 - p.player] + 8.0 - l.muzzle_y[p.player];
    int32_t a = static_cast<int32_t>(std::lround(std::atan2(dy, dx) * 180.0 / 3.14159265358979));
    return wrap_angle(a);
}

int32_t angle_gap(int32_t a, int32_t b) {
    int32_t d = std::abs(a - b) % 360;
    return d > 180 ? 360 - d : d;
}

// A hit next to one already measured lies in the same patch.
int32_t known_hit(const Plan &p, int32_t angle, int32_t power) {
    for (int32_t i = 0; i < p.hit_count; i++)
        if (angle_gap(p.hits[i].angle, angle) <= 3 && std::abs(p.hits[i].power - power) <= 15) return 1;
    return 0;
}

// The cells of a sweep, those nearest the straight line to the other ship first.
void order_sweep(Plan &p) {
    const Sweep &s = SWEEPS[p.sweep];
    int32_t direct = direct_angle(p);
    int32_t n = 0;
    for (int32_t gap = 0; gap <= 180; gap++) {
        for (int32_t side = 0; side < (gap == 0 || gap == 180 ? 1 : 2); side++) {
            int32_t a = wrap_angle(side == 0 ? direct + gap : direct - gap);
            if ((a - s.angle_offset) % s.angle_step != 0) continue;
            for (int32_t pw = s.power_first; pw <= s.power_last; pw += s.power_step) {
                p.order[n][0] = static_cast<int16_t>(a);
                p.order[n][1] = static_cast<int16_t>(pw);
                n++;
            }
        }
    }
    p.sweep_cells = n;
    p.sweep_index = 0;
    p.swept_in_chunk = 0;
}

void keep_near_miss(Plan &p, int32_t angle, int32_t power, float miss) {
    if (p.walked[angle - 1][power / POWER_STEP]) return;
    int32_t at = p.top_count;
    if (at == TOP) {
        if (miss >= p.top[TOP - 1].miss) return;
        at = TOP - 1;
    } else {
        p.top_count++;
    }
    while (at > 0 && p.top[at - 1].miss > miss) {
        p.top[at] = p.top[at - 1];
        at--;
    }
    p.top[at] = AiAim{angle, power, 0, miss, 0};
}

void start_width(Plan &p, int32_t angle, int32_t power) {
    p.hit_a = angle;
    p.hit_p = power;
    p.width_index = 0;
    p.phase_after = p.phase;
    p.phase = PHASE_WIDTH;
}

// Next cell of the 5x5 block around the hit; 0 when all are flown.
int32_t width_cell(const Plan &p, int32_t index, int32_t *angle, int32_t *power) {
    if (index >= 25) return 0;
    int32_t da = index % 5 - 2, dp = index / 5 - 2;
    *angle = wrap_angle(p.hit_a + da);
    *power = p.hit_p + dp * POWER_STEP;
    return 1;
}

int32_t is_hit(const Plan &p, int32_t angle, int32_t power) {
    if (power < 0 || power > POWER_MAX) return 0;
    return p.result[wrap_angle(angle) - 1][power / POWER_STEP] == HIT_OTHER;
}

// With the block flown: the hit cell with the most hitting neighbours becomes the aim.
void finish_width(Plan &p) {
    int32_t best = -1, best_a = p.hit_a, best_p = p.hit_p;
    for (int32_t i = 0; i < 25; i++) {
        int32_t a = 0, pw = 0;
        width_cell(p, i, &a, &pw);
        if (!is_hit(p, a, pw)) continue;
        int32_t around = 0;
        for (const auto &d : AROUND) around += is_hit(p, a + d[0], pw + d[1] * POWER_STEP);
        if (around > best) {
            best = around;
            best_a = a;
            best_p = pw;
        }
    }
    int32_t width = 0;
    for (int32_t da = -2; da <= 2; da++)
        for (int32_t dp = -2; dp <= 2; dp++)
            if ((da || dp) && is_hit(p, best_a + da, best_p + dp * POWER_STEP)) width++;
    if (p.hit_count < MAX_HITS) p.hits[p.hit_count++] = AiAim{best_a, best_p, 1, 0.0f, width};
    // Most forgiving first.
    for (int32_t i = p.hit_count - 1; i > 0 && p.hits[i].width > p.hits[i - 1].width; i--) {
        AiAim t = p.hits[i];
        p.hits[i] = p.hits[i - 1];
        p.hits[i - 1] = t;
    }
    p.phase = p.hit_count >= ENOUGH_HITS || width >= WIDE_ENOUGH ? PHASE_DONE : p.phase_after;
}

// Takes the nearest miss not walked yet as the centre; 0 when none is left.
int32_t next_walk(Plan &p) {
    while (p.top_count > 0) {
        AiAim c = p.top[0];
        for (int32_t i = 1; i < p.top_count; i++) p.top[i - 1] = p.top[i];
        p.top_count--;
        if (p.walked[c.angle - 1][c.power / POWER_STEP]) continue;
        p.centre_a = c.angle;
        p.centre_p = c.power;
        p.centre_miss = c.miss;
        p.stride = 0;
        p.neighbour = 0;
        p.moves = 0;
        p.best_miss = c.miss;
        p.best_a = c.angle;
        p.best_p = c.power;
        p.walked[c.angle - 1][c.power / POWER_STEP] = 1;
        return 1;
    }
    return 0;
}

// One flight of work; 0 when the plan has nothing left to do.
int32_t work_once(Plan &p) {
    switch (p.phase) {
    case PHASE_SWEEP: {
        if (p.sweep_index >= p.sweep_cells || p.swept_in_chunk >= SWEEP_CHUNK) {
            p.swept_in_chunk = 0;
            if (p.sweep_index >= p.sweep_cells) {
                p.sweep++;
                if (p.sweep < SWEEP_COUNT) order_sweep(p);
            }
            if (next_walk(p)) {
                p.phase = PHASE_WALK;
                return 1;
            }
            if (p.sweep >= SWEEP_COUNT) {
                p.phase = PHASE_DONE;
                return 0;
            }
            return 1;
        }
        int32_t a = p.order[p.sweep_index][0], pw = p.order[p.sweep_index][1];
        p.sweep_index++;
        p.swept_in_chunk++;
        int32_t fresh = !flown(p, a, pw);
        float r = fly(p, a, pw);
        if (r == HIT_OTHER && fresh && !known_hit(p, a, pw))
            start_width(p, a, pw);
        else if (r >= 0.0f)
            keep_near_miss(p, a, pw, r);
        return 1;
    }
    case PHASE_WALK: {
        if (p.neighbour == 8) {
            p.neighbour = 0;
            if (p.best_miss < p.centre_miss && p.moves < MAX_MOVES) {
                p.centre_a = p.best_a;
                p.centre_p = p.best_p;
                p.centre_miss = p.best_miss;
                p.walked[p.centre_a - 1][p.centre_p / POWER_STEP] = 1;
                p.moves++;
            } else if (++p.stride == STRIDE_COUNT) {
                // A local best that does not hit: the next nearest miss, or more sweeping.
                if (!next_walk(p)) p.phase = p.sweep < SWEEP_COUNT ? PHASE_SWEEP : PHASE_DONE;
            }
            return p.phase != PHASE_DONE;
        }
        const Stride &s = STRIDES[p.stride];
        int32_t a = wrap_angle(p.centre_a + AROUND[p.neighbour][0] * s.angle);
        int32_t pw = p.centre_p + AROUND[p.neighbour][1] * s.power;
        p.neighbour++;
        if (pw < 0 || pw > POWER_MAX) return 1;
        float r = fly(p, a, pw);
        if (r == HIT_OTHER) {
            if (known_hit(p, a, pw)) {
                if (!next_walk(p)) p.phase = p.sweep < SWEEP_COUNT ? PHASE_SWEEP : PHASE_DONE;
            } else {
                start_width(p, a, pw);
            }
        } else if (r >= 0.0f && r < p.best_miss) {
            p.best_miss = r;
            p.best_a = a;
            p.best_p = pw;
        }
        return 1;
    }
    case PHASE_WIDTH: {
        int32_t a = 0, pw = 0;
        if (!width_cell(p, p.width_index, &a, &pw)) {
            finish_width(p);
            return p.phase != PHASE_DONE;
        }
        p.width_index++;
        if (pw >= 0 && pw <= POWER_MAX) fly(p, a, pw);
        return 1;
    }
    default: return 0;
    }
}

} // namespace

void ai_plan_begin(const FlightLayout *layout, int32_t player) {
    Plan &p = plans[player & 1];
    p.layout = *layout;
    p.player = player & 1;
    p.steps = 0;
    p.phase = PHASE_SWEEP;
    for (auto &row : p.result)
        for (float &r : row) r = NOT_FLOWN;
    for (auto &row : p.walked)
        for (uint8_t &w : row) w = 0;
    p.sweep = 0;
    order_sweep(p);
    p.top_count = 0;
    p.hit_count = 0;
}

int32_t ai_plan_work(int32_t player, int64_t max_steps) {
    Plan &p = plans[player & 1];
    int64_t until = p.steps + max_steps;
    while (p.phase != PHASE_DONE && p.steps < until)
        if (!work_once(p)) break;
    return p.phase == PHASE_DONE;
}

int64_t ai_plan_steps(int32_t player) { return plans[player & 1].steps; }

int32_t ai_plan_hits(int32_t player, AiAim *out, int32_t max) {
    const Plan &p = plans[player & 1];
    int32_t n = 0;
    for (int32_t i = 0; i < p.hit_count && n < max; i++) out[n++] = p.hits[i];
    if (n == 0 && max > 0) {
        // No hit yet: the nearest miss flown so far that spares its own ship.
        AiAim best{p.player == 0 ? 360 : 180, 100, 0, 1e9f, 0};
        for (int32_t a = 1; a <= ANGLES; a++)
            for (int32_t pw = 0; pw <= POWER_MAX; pw += POWER_STEP) {
                float r = p.result[a - 1][pw / POWER_STEP];
                if (r >= 0.0f && r < best.miss) best = AiAim{a, pw, 0, r, 0};
            }
        out[n++] = best;
    }
    return n;
}
