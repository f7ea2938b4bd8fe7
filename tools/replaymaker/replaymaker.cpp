// Makes the regression recordings in tests/replays: scripted matches played by the headless
// game with the real recorder watching. Each turn's aim is searched for by trying shots on a
// copy of the flight state, so a script can ask for a hit, a miss of a chosen kind or an
// own-ship hit and get it. Usage: quorvane_replaymaker OUTDIR [NAME...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/game_internal.h"
#include "input/input.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace {

enum Outcome : int32_t {
    HIT = 0,
    OWN,
    BODY,
    OUT,
    LIFE,
    ANY
};
const char *const OUTCOME_NAMES[] = {"hit", "own", "body", "out", "life", "any"};

enum StepKind : int32_t {
    KEYS,
    TURN,
    CLOSE
};
struct Step {
    int32_t kind;
    uint8_t keys;   // KEYS: held for frames
    int32_t frames; // KEYS: how many; TURN: thinking frames before aiming
    int32_t outcome;
};

struct Script {
    const char *name;
    uint32_t seed;
    std::vector<Step> steps;
};

constexpr uint8_t R = STRM_KEY_RETURN, SP = STRM_KEY_SPACE, UP = STRM_KEY_UP, DN = STRM_KEY_DOWN, ESC = STRM_KEY_ESCAPE;

Step keys(uint8_t k, int32_t frames = 1) { return Step{KEYS, k, frames, ANY}; }
Step idle(int32_t frames) { return Step{KEYS, 0, frames, ANY}; }
Step turn(int32_t outcome, int32_t think = 40) { return Step{TURN, 0, think, outcome}; }
Step close_window() { return Step{CLOSE, 0, 0, ANY}; }

// Menu moves: the cursor starts on START GAME; each held frame moves it once (then a pause).
std::vector<Step> best_of(int32_t rounds) {
    std::vector<Step> s = {idle(20), keys(DN), idle(10), keys(R), idle(15)}; // GAME OPTIONS
    for (int32_t r = 1; r < rounds; r += 2) {
        s.push_back(keys(DN));
        s.push_back(idle(8));
    }
    s.push_back(keys(R));
    s.push_back(idle(20));
    s.push_back(keys(R)); // START GAME
    return s;
}

std::vector<Step> cat(std::vector<Step> a, const std::vector<Step> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---- the flight search ----

struct Saved {
    Shot shot;
    uint8_t player, destroyed1, destroyed2;
    int32_t angle[2], power[2], aim1, aim2;
    Vertex2F turret1[4], turret2[4];
    uint32_t rand_state, shots;
    KeyboardState keys;
};

void save(Saved *s) {
    s->shot = shot;
    s->player = current_player;
    s->destroyed1 = ship1_destroyed;
    s->destroyed2 = ship2_destroyed;
    std::memcpy(s->angle, angle, sizeof angle);
    std::memcpy(s->power, power, sizeof power);
    s->aim1 = game_aim_frame(&ship1);
    s->aim2 = game_aim_frame(&ship2);
    std::memcpy(s->turret1, turret1.vertices, sizeof s->turret1);
    std::memcpy(s->turret2, turret2.vertices, sizeof s->turret2);
    s->rand_state = plat_rand_state();
    s->shots = shots_fired;
    std::memcpy(s->keys, keyboard_state, sizeof s->keys);
}

void restore(const Saved *s) {
    shot = s->shot;
    current_player = s->player;
    ship1_destroyed = s->destroyed1;
    ship2_destroyed = s->destroyed2;
    std::memcpy(angle, s->angle, sizeof angle);
    std::memcpy(power, s->power, sizeof power);
    game_set_aim_frame(&ship1, s->aim1);
    game_set_aim_frame(&ship2, s->aim2);
    std::memcpy(turret1.vertices, s->turret1, sizeof s->turret1);
    std::memcpy(turret2.vertices, s->turret2, sizeof s->turret2);
    plat_srand(s->rand_state);
    shots_fired = s->shots;
    std::memcpy(keyboard_state, s->keys, sizeof s->keys);
}

void set_keys(uint8_t k) {
    std::memset(keyboard_state, 0, sizeof keyboard_state);
    if (k & STRM_KEY_RETURN) keyboard_state[DIK_RETURN] = 0x80;
    if (k & STRM_KEY_UP) keyboard_state[DIK_UP] = 0x80;
    if (k & STRM_KEY_DOWN) keyboard_state[DIK_DOWN] = 0x80;
    if (k & STRM_KEY_LEFT) keyboard_state[DIK_LEFT] = 0x80;
    if (k & STRM_KEY_RIGHT) keyboard_state[DIK_RIGHT] = 0x80;
}

// The play screen's rules for one frame, without drawing or the explosion frames.
void rules_frame(uint8_t k) {
    set_keys(k);
    if (shot.state != 1) game_turn_controls();
    game_step_shot();
    for (int32_t &a : angle) {
        if (a > 360)
            a = 1;
        else if (a < 1)
            a = 360;
    }
}

// Aiming frames for a change of dt degrees and dp power steps, then the shot.
std::vector<uint8_t> aim_frames(int32_t dt, int32_t dp) {
    std::vector<uint8_t> f;
    int32_t n = std::max(std::abs(dt), std::abs(dp));
    for (int32_t i = 0; i < n; i++) {
        uint8_t k = 0;
        if (i < std::abs(dt)) k |= dt > 0 ? STRM_KEY_RIGHT : STRM_KEY_LEFT;
        if (i < std::abs(dp)) k |= dp > 0 ? STRM_KEY_UP : STRM_KEY_DOWN;
        f.push_back(k);
    }
    f.push_back(STRM_KEY_RETURN);
    return f;
}

int32_t flight_outcome(uint8_t mover, uint8_t d1, uint8_t d2) {
    uint8_t own = mover == 0 ? d1 : d2, other = mover == 0 ? d2 : d1;
    if (other) return HIT;
    if (own) return OWN;
    if (shot.life < 1) return LIFE;
    if (shot.x < 0.0f || shot.y < 0.0f || shot.x >= 640.0f || shot.y >= 480.0f) return OUT;
    return BODY;
}

// What the aim (dt, dp) from the state now comes to, the state left as it was.
int32_t try_aim(int32_t dt, int32_t dp, int32_t *flight_frames) {
    Saved s;
    save(&s);
    std::vector<Particle> kept(particles, particles + PARTICLE_COUNT);
    uint8_t mover = current_player;
    for (uint8_t k : aim_frames(dt, dp)) rules_frame(k);
    int32_t n = 0;
    while (shot.state == 1 && n < 1000) {
        rules_frame(0);
        n++;
    }
    int32_t result = flight_outcome(mover, ship1_destroyed, ship2_destroyed);
    *flight_frames = n;
    restore(&s);
    std::copy(kept.begin(), kept.end(), particles);
    return result;
}

uint32_t lcg = 1;
int32_t draw(int32_t n) {
    lcg = lcg * 1103515245u + 12345u;
    return static_cast<int32_t>((lcg >> 8) % static_cast<uint32_t>(n));
}

// A plan of key frames reaching outcome, or empty if none was found.
std::vector<uint8_t> plan_turn(int32_t outcome) {
    int32_t p = current_player;
    for (int32_t tries = 0; tries < 40000; tries++) {
        // Small changes first, as a player would make them; wider as the search goes on.
        int32_t span = 10 + tries / 50;
        int32_t dt = draw(2 * std::min(span, 180) + 1) - std::min(span, 180);
        int32_t dp = draw(2 * std::min(span, 100) + 1) - std::min(span, 100);
        int32_t np = power[p] + 5 * dp;
        if (np < 1 || np > 1000) continue;
        int32_t frames = 0;
        int32_t got = try_aim(dt, dp, &frames);
        if (outcome == ANY || got == outcome) return aim_frames(dt, dp);
    }
    return {};
}

// ---- playing a script ----

const Script *script;
size_t step_index;
int32_t step_done;            // frames of a KEYS step given so far; thinking frames of a TURN
std::vector<uint8_t> planned; // a TURN's aiming frames still to give
int32_t turn_state;           // 0 thinking, 1 aiming, 2 flying
int32_t expected_outcome;
uint8_t mover;
uint32_t seed_state;
int32_t failed;
uint8_t next_keys;
int32_t close_now;
int32_t waiting;

int32_t script_keys(int32_t, uint8_t *k) {
    *k = next_keys;
    return 1;
}

int32_t script_seed(uint32_t, uint32_t *seed) {
    seed_state = seed_state * 69069u + 1u;
    *seed = seed_state >> 8;
    return 1;
}

int32_t turn_ready(void) {
    return game_current_screen() == GAME_SCREEN_PLAY && shot.state == 0 && !ship1_destroyed && !ship2_destroyed;
}

// The keys of the next frame; 0 once the script is over.
int32_t direct(void) {
    next_keys = 0;
    while (step_index < script->steps.size()) {
        const Step &st = script->steps[step_index];
        if (st.kind == CLOSE) {
            close_now = 1;
            step_index++;
            return 1;
        }
        if (st.kind == KEYS) {
            if (step_done < st.frames) {
                next_keys = st.keys;
                step_done++;
                return 1;
            }
            step_index++;
            step_done = 0;
            continue;
        }
        // TURN
        if (turn_state == 0) {
            if (!turn_ready()) {
                // A round end or explosion settles in a frame or two; anything longer is a script
                // asking for a turn off the play screen.
                if (++waiting > 100) {
                    std::fprintf(stderr, "%s: step %zu waits for a turn that does not come\n", script->name,
                                 step_index);
                    failed = 1;
                    return 0;
                }
                return 1;
            }
            waiting = 0;
            if (step_done < st.frames) {
                step_done++;
                return 1;
            }
            mover = current_player;
            planned = plan_turn(st.outcome);
            if (planned.empty()) {
                std::fprintf(stderr, "%s: no aim found for '%s' at step %zu\n", script->name, OUTCOME_NAMES[st.outcome],
                             step_index);
                failed = 1;
                return 0;
            }
            expected_outcome = st.outcome;
            turn_state = 1;
            step_done = 0;
        }
        if (turn_state == 1) {
            next_keys = planned[step_done++];
            if (step_done == static_cast<int32_t>(planned.size())) turn_state = 2;
            return 1;
        }
        if (shot.state == 1) return 1;
        int32_t got = flight_outcome(mover, ship1_destroyed, ship2_destroyed);
        if (expected_outcome != ANY && got != expected_outcome) {
            std::fprintf(stderr, "%s: step %zu wanted '%s', the game gave '%s'\n", script->name, step_index,
                         OUTCOME_NAMES[expected_outcome], OUTCOME_NAMES[got]);
            failed = 1;
            return 0;
        }
        step_index++;
        step_done = 0;
        turn_state = 0;
    }
    return 0;
}

int32_t make(const Script &s, const std::string &dir) {
    script = &s;
    step_index = 0;
    step_done = 0;
    turn_state = 0;
    failed = 0;
    close_now = 0;
    waiting = 0;
    seed_state = s.seed;
    lcg = s.seed;
    std::string path = dir + "/" + s.name + ".qvr";

    plat_headless_reset();
    plat_init();
    plat_window_open("Quorvane", 640, 480, 1);
    strm_reset();
    rpl_fresh_game();
    for (int32_t seat = 0; seat < STRM_SEAT_COUNT; seat++) strm_set_seat(seat, script_keys);
    strm_set_seed_source(script_seed);
    char error[RPL_ERROR_MAX];
    if (!rpl_record_start(path.c_str(), error, sizeof error)) {
        std::fprintf(stderr, "%s\n", error);
        return 0;
    }
    game_init();
    PlatMessage msg{};
    for (int32_t pass = 0; pass < 2000000; pass++) {
        if (close_now) {
            close_now = 0;
            msg = PlatMessage{PLAT_MSG_DESTROY, 0, 0};
            rpl_record_message(&msg);
            game_window_proc(&msg);
        } else if (plat_message_peek(&msg)) {
            if (msg.type == PLAT_MSG_QUIT) break;
            rpl_record_message(&msg);
            game_window_proc(&msg);
        }
        if (!direct() && !quit_requested) {
            if (failed) break;
            next_keys = ESC; // a script that ends without quitting: Escape
        }
        game_frame();
    }
    int32_t ok = !failed && rpl_record_finish(error, sizeof error);
    if (failed)
        rpl_record_abandon();
    else if (!ok)
        std::fprintf(stderr, "%s\n", error);
    RplResult r = rpl_result_now();
    game_shutdown();
    plat_shutdown();
    if (ok) {
        char line[128];
        rpl_format_result(&r, line, sizeof line);
        std::printf("%s: %s\n", s.name, line);
    }
    return ok;
}

std::vector<Script> corpus(void) {
    std::vector<Script> c;
    // Title menu: down to QUIT, with a held key running into the bottom and back.
    c.push_back({"menu-quit",
                 11,
                 {idle(30), keys(DN, 1), idle(5), keys(DN, 2), idle(4), keys(DN, 4), keys(UP, 1), idle(6), keys(R)}});
    // Instructions and back, GAME OPTIONS and back with Return on best of 3, then Escape.
    c.push_back({"story-options-escape",
                 12,
                 {idle(10), keys(DN, 3), idle(5), keys(R), idle(60), keys(R), idle(10), keys(UP, 2), idle(5), keys(DN),
                  idle(5), keys(R), idle(10), keys(DN), keys(R), idle(30), keys(ESC, 3)}});
    // Best of 1: player 1 hits at once; the win screen; back to the menu; Escape.
    c.push_back({"bo1-p1-wins", 21, cat(best_of(1), {turn(HIT, 60), idle(90), keys(SP), idle(40), keys(ESC)})});
    // Best of 1: player 1 shoots off the screen, player 2 hits.
    c.push_back({"bo1-p2-wins", 22, cat(best_of(1), {turn(OUT), turn(HIT), idle(60), keys(SP), idle(10)})});
    // Best of 1 lost by an own-ship hit.
    c.push_back({"bo1-own-hit", 23, cat(best_of(1), {turn(OWN, 20), idle(80), keys(SP, 2), idle(10)})});
    // Best of 3: body hits and misses, then 2 to 1 for player 1.
    c.push_back({"bo3-p1-wins", 31,
                 cat(best_of(3), {turn(BODY), turn(OUT), turn(HIT), turn(OUT), turn(HIT), turn(HIT), idle(50), keys(SP),
                                  idle(20)})});
    // Best of 3 for player 2, one round of it an own-ship hit by player 1.
    c.push_back({"bo3-p2-wins", 32,
                 cat(best_of(3), {turn(OWN), turn(OUT), turn(HIT), idle(40), keys(SP), idle(20), keys(ESC)})});
    // A flight that runs out of life in an orbit, then Escape while a shot flies.
    c.push_back(
        {"life-and-escape", 41, cat(best_of(5), {turn(LIFE), turn(OUT), idle(10), keys(R), idle(30), keys(ESC)})});
    // The window's close button in the middle of a turn.
    c.push_back({"close-button", 42, cat(best_of(3), {turn(BODY), idle(25), close_window(), idle(3)})});
    // Aiming to the limits: power held up to 1000 and down to its floor, the angle all the way round.
    c.push_back({"limits", 43,
                 cat(best_of(5), {keys(UP | STRM_KEY_RIGHT, 400), keys(DN | STRM_KEY_LEFT, 420),
                                  keys(STRM_KEY_LEFT, 200), turn(ANY, 5), idle(30), keys(ESC)})});
    // Best of 5 the long way, both players thinking and missing: 3 to 1.
    std::vector<Step> long5 = best_of(5);
    const int32_t rounds5[][6] = {{BODY, OUT, OUT, BODY, HIT, -1},
                                  {OUT, BODY, OUT, HIT, -1, -1},
                                  {BODY, OUT, BODY, OUT, HIT, -1},
                                  {OUT, OUT, BODY, BODY, HIT, -1}};
    int32_t think = 45;
    for (const auto &round : rounds5)
        for (int32_t o : round)
            if (o >= 0) long5.push_back(turn(o, think += 7));
    long5 = cat(long5, {idle(60), keys(SP), idle(30)});
    c.push_back({"bo5-long", 51, long5});
    // Best of 5 to the last round, player 2 winning 3 to 2.
    c.push_back({"bo5-p2-wins", 52,
                 cat(best_of(5), {turn(HIT), turn(OUT), turn(HIT), turn(OUT), turn(HIT), turn(HIT), turn(OUT),
                                  turn(BODY), turn(OUT), turn(HIT), idle(50), keys(SP), idle(20)})});
    return c;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [NAME...]\n", argv[0]);
        return 2;
    }
    int32_t bad = 0;
    for (const Script &s : corpus()) {
        bool wanted = argc == 2;
        for (int i = 2; i < argc; i++) wanted = wanted || std::strcmp(argv[i], s.name) == 0;
        if (wanted && !make(s, argv[1])) bad = 1;
    }
    return bad;
}
