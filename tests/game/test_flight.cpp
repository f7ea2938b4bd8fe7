// The rules of flight on hand-made layouts: the pull, a shot into a body, shots that graze a
// ship's box or pass it too early, and shots leaving the field on every side.
#include <gtest/gtest.h>

#include "game/game_flight.h"

namespace {

constexpr int32_t P1 = 0, P2 = 1;

// Ships parked in corners no test shot passes, no bodies, the 640 by 480 field.
FlightLayout empty_layout(void) {
    FlightLayout l{};
    l.ship_x[0] = 20.0f;
    l.ship_y[0] = 440.0f;
    l.ship_x[1] = 600.0f;
    l.ship_y[1] = 440.0f;
    l.field_w = 640.0f;
    l.field_h = 480.0f;
    return l;
}

// A photon (44 by 44 picture, size 40) drawn at (213, 32), its hit box from (215, 34).
FlightLayout photon_layout(void) {
    FlightLayout l = empty_layout();
    l.body_count = 1;
    l.bodies[0] = FlightBody{213.0f, 32.0f, 22, 22, 40, 215.0f, 34.0f};
    return l;
}

Shot flying(float x, float y, float vx, float vy) { return Shot{1, x, y, vx, vy, SHOT_LIFE}; }

// Steps until the flight ends (at most a life's worth); the step count.
int32_t fly(const FlightLayout &l, int32_t player, Shot *shot, FlightStep *last) {
    for (int32_t n = 1; n <= SHOT_LIFE; n++) {
        *last = game_flight_step(&l, player, shot);
        if (last->ended) return n;
    }
    return -1;
}

TEST(Flight, OneStepMovesThenPullsTowardsTheBodysCentre) {
    FlightLayout l = photon_layout();
    Shot s = flying(100.0f, 54.0f, 1.0f, 0.0f);
    FlightStep st = game_flight_step(&l, P1, &s);
    EXPECT_EQ(s.x, 101.0f);
    EXPECT_EQ(s.y, 54.0f);
    // cx = 134, cy = 0, k = 12: g = 999.76 / 17956.
    EXPECT_FLOAT_EQ(s.vx, 1.0556784f);
    EXPECT_EQ(s.vy, 0.0f);
    EXPECT_EQ(s.life, SHOT_LIFE - 1);
    EXPECT_EQ(st.ended, 0);
    EXPECT_EQ(s.state, 1);
}

TEST(Flight, AShotStraightAtABodyEndsInItsBoxAtTheFirstStepInside) {
    FlightLayout l = photon_layout();
    Shot s = flying(100.0f, 54.0f, 1.0f, 0.0f);
    FlightStep st{};
    float before = s.x;
    for (int32_t n = 0; n < SHOT_LIFE && !st.ended; n++) {
        before = s.x;
        st = game_flight_step(&l, P1, &s);
    }
    ASSERT_EQ(st.ended, 1);
    EXPECT_EQ(st.bodies_hit, 1);
    EXPECT_EQ(st.ship_hit, -1);
    EXPECT_EQ(st.left_field, 0);
    EXPECT_EQ(st.life_out, 0);
    EXPECT_EQ(s.state, 0);
    EXPECT_EQ(s.y, 54.0f); // on the line through the centre the pull has no sideways part
    EXPECT_GT(s.x, 215.0f);
    EXPECT_LT(s.x, 255.0f);
    EXPECT_LE(before, 215.0f);
}

struct ShipCase {
    const char *name;
    float ship_x, ship_y; // player 2's hit box corner
    float x, y, vx, vy;   // player 1's shot
    int32_t ship_hit;     // -1: it flies on until it leaves the field
    float end_x, end_y;
};

TEST(Flight, ShipBoxesAreHitOnlyStrictlyInsideAndFromTheThirtyFirstStep) {
    const ShipCase cases[] = {
        {"along the top edge", 300, 200, 200, 200, 1, 0, -1, 640, 200},
        {"along the bottom edge", 300, 200, 200, 216, 1, 0, -1, 640, 216},
        {"along the left edge", 300, 200, 300, 100, 0, 1, -1, 300, 480},
        {"along the right edge", 300, 200, 316, 100, 0, 1, -1, 316, 480},
        {"half a pixel inside the top edge", 300, 200, 200, 200.5f, 1, 0, 1, 301, 200.5f},
        {"through the box on steps 11 to 25", 210, 200, 200, 208, 1, 0, -1, 640, 208},
        {"into the box on step 31", 225, 200, 200, 208, 1, 0, 1, 231, 208},
    };
    for (const ShipCase &c : cases) {
        SCOPED_TRACE(c.name);
        FlightLayout l = empty_layout();
        l.ship_x[1] = c.ship_x;
        l.ship_y[1] = c.ship_y;
        Shot s = flying(c.x, c.y, c.vx, c.vy);
        FlightStep st{};
        ASSERT_GT(fly(l, P1, &s, &st), 0);
        EXPECT_EQ(st.ship_hit, c.ship_hit);
        EXPECT_EQ(st.left_field, c.ship_hit < 0 ? 1 : 0);
        EXPECT_EQ(s.x, c.end_x);
        EXPECT_EQ(s.y, c.end_y);
        EXPECT_EQ(s.state, 0);
    }
}

struct FieldCase {
    const char *name;
    int32_t player;
    float x, y, vx, vy;
    int32_t steps; // the step that leaves the field
    float end_x, end_y;
};

TEST(Flight, AShotLeavesTheFieldAtEachSideOnlyPastIt) {
    // x = 0 and y = 0 are still on the field; x = 640 and y = 480 are off it.
    const FieldCase cases[] = {
        {"left", P1, 3, 240, -1, 0, 4, -1, 240},
        {"right", P1, 637, 240, 1, 0, 3, 640, 240},
        {"top", P1, 320, 3, 0, -1, 4, 320, -1},
        {"bottom", P1, 320, 477, 0, 1, 3, 320, 480},
        {"left, player 2 flying against its stored velocity", P2, 3, 240, 1, 0, 4, -1, 240},
    };
    for (const FieldCase &c : cases) {
        SCOPED_TRACE(c.name);
        FlightLayout l = empty_layout();
        Shot s = flying(c.x, c.y, c.vx, c.vy);
        FlightStep st{};
        EXPECT_EQ(fly(l, c.player, &s, &st), c.steps);
        EXPECT_EQ(st.left_field, 1);
        EXPECT_EQ(st.bodies_hit, 0);
        EXPECT_EQ(st.ship_hit, -1);
        EXPECT_EQ(st.life_out, 0);
        EXPECT_EQ(s.x, c.end_x);
        EXPECT_EQ(s.y, c.end_y);
    }
}

TEST(Flight, TheLastStepOfLifeEndsTheFlightOnTheField) {
    FlightLayout l = empty_layout();
    Shot s = flying(320, 240, 0, 0);
    s.life = 1;
    FlightStep st = game_flight_step(&l, P1, &s);
    EXPECT_EQ(st.ended, 1);
    EXPECT_EQ(st.life_out, 1);
    EXPECT_EQ(st.left_field, 0);
    EXPECT_EQ(s.state, 0);
}

TEST(Flight, FiringStartsAtTheMuzzleAndPlayerTwoTurnsHalfACircle) {
    FlightLayout l = empty_layout();
    l.muzzle_x[0] = 31.0f;
    l.muzzle_y[0] = 300.0f;
    l.muzzle_x[1] = 611.0f;
    l.muzzle_y[1] = 300.0f;
    Shot a{}, b{};
    game_flight_fire(&l, P1, 360, 1.0f, &a);
    game_flight_fire(&l, P2, 180, 1.0f, &b);
    EXPECT_EQ(a.state, 1);
    EXPECT_EQ(a.life, SHOT_LIFE);
    EXPECT_EQ(b.x, 611.0f);
    game_flight_step(&l, P1, &a);
    game_flight_step(&l, P2, &b);
    EXPECT_FLOAT_EQ(a.x, 32.0f);
    EXPECT_FLOAT_EQ(b.x, 610.0f);
    EXPECT_FLOAT_EQ(b.vx, 1.0f); // stored against its travel
}

} // namespace
