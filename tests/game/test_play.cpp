// Aiming, firing and the flight of the shot.
#include "harness.h"

#include <cmath>
#include <cstdio>

using harness::frames;
using harness::GameTest;
using harness::hold;

namespace {

class Play : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        harness::start_match();
        ASSERT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
    }
};

// A controlled field for single flight steps: one photon at (213, 32), far from the test points.
class Flight : public GameTest {
  protected:
    void SetUp() override {
        GameTest::SetUp();
        last_body_index = 0;
        SpriteObject &b = bodies[0];
        b.x = 213.0f;
        b.y = 32.0f;
        b.width = b.height = 44;
        b.int_vars[0] = 40;
        b.float_vars[2] = 213.0f;
        b.float_vars[3] = 32.0f;
        ship1.float_vars[2] = 40.0f;
        ship1.float_vars[3] = 300.0f;
        ship2.float_vars[2] = 580.0f;
        ship2.float_vars[3] = 300.0f;
        current_player = 0;
    }
    void TearDown() override {
        bodies[0] = SpriteObject{}; // never created
        GameTest::TearDown();
    }
    // A resting shot at (x, y) after the step's move.
    static void rest_at(float x, float y, int32_t life = 400) {
        shot = Shot{1, x, y, 0.0f, 0.0f, life};
    }
};

TEST_F(Play, RoundStartsWithPlayerOneAt360And100OnTheStatusLine) {
    EXPECT_EQ(current_player, 0);
    frames(1);
    EXPECT_STREQ(screen_text, "PLAYER:1      ANGLE:360      POWER:100      SCORE:0 out of 5");
}

TEST_F(Play, RightTurnsPlayerOneFrom360To10AndThePlayerTwoFrom180To170) {
    hold(DIK_RIGHT, 10);
    EXPECT_EQ(angle[0], 10);
    // The turret's tip turned by 10 degrees too (clockwise on screen, y down).
    EXPECT_NEAR(turret1.vertices[1].x, 40.0 * std::cos(10 * M_PI / 180), 1e-3);
    EXPECT_NEAR(turret1.vertices[1].y, 40.0 * std::sin(10 * M_PI / 180), 1e-3);
    EXPECT_FLOAT_EQ(turret1.vertices[0].x, 0.0f);
    current_player = 1;
    hold(DIK_RIGHT, 10);
    EXPECT_EQ(angle[1], 170);
    EXPECT_NEAR(turret2.vertices[1].x, -40.0 * std::cos(10 * M_PI / 180), 1e-3);
    EXPECT_NEAR(turret2.vertices[1].y, 40.0 * std::sin(10 * M_PI / 180), 1e-3);
}

TEST_F(Play, AnglesWrap361To1And0To360) {
    hold(DIK_RIGHT);
    EXPECT_EQ(angle[0], 1);
    EXPECT_EQ(ship1.int_vars[0], 0);
    hold(DIK_LEFT);
    EXPECT_EQ(angle[0], 360) << "0 wraps to 360";
    EXPECT_EQ(ship1.int_vars[0], 0);
    frames(1);
    EXPECT_STREQ(screen_text, "PLAYER:1      ANGLE:360      POWER:100      SCORE:0 out of 5");
}

TEST_F(Play, AimFrameSwitchesExactlyAtTheTableAngles) {
    const int table[16][2] = {{338, 15}, {315, 14}, {293, 13}, {270, 12}, {248, 11}, {225, 10}, {203, 9}, {180, 8},
                              {158, 7},  {135, 6},  {113, 5},  {90, 4},   {68, 3},   {45, 2},   {23, 1},  {0, 0}};
    // Right from 360: frame 0 through 22, frame 1 at 23, ... all the way round.
    int expected = 0;
    for (int a = 1; a <= 359; a++) {
        hold(DIK_RIGHT);
        ASSERT_EQ(angle[0], a);
        for (const auto &row : table)
            if (row[0] == a) expected = row[1];
        ASSERT_EQ(ship1.int_vars[0], expected) << "angle " << a;
        ASSERT_EQ(ship1.frame, expected);
    }
    // Back down with Left from 23: frame 1 stays down to 1, frame 0 when 0 is reached.
    angle[0] = 24;
    ship1.int_vars[0] = 1;
    hold(DIK_LEFT);
    EXPECT_EQ(ship1.int_vars[0], 1);
    hold(DIK_LEFT, 22);
    EXPECT_EQ(angle[0], 1);
    EXPECT_EQ(ship1.int_vars[0], 1);
    hold(DIK_LEFT);
    EXPECT_EQ(angle[0], 360);
    EXPECT_EQ(ship1.int_vars[0], 0);
}

TEST_F(Play, PowerStopsAt0And1000) {
    hold(DIK_DOWN, 20);
    EXPECT_EQ(power[0], 0);
    hold(DIK_DOWN, 5);
    EXPECT_EQ(power[0], 0);
    hold(DIK_UP, 200);
    EXPECT_EQ(power[0], 1000);
    hold(DIK_UP, 3);
    EXPECT_EQ(power[0], 1000);
}

TEST_F(Play, TurnPowerAndFireActInThatOrderInOneFrame) {
    plat_headless_set_key(DIK_RIGHT, 1);
    plat_headless_set_key(DIK_UP, 1);
    plat_headless_set_key(DIK_RETURN, 1);
    // Stop the flight step from moving the shot: look at the fire alone.
    inp_keyboard_read();
    game_turn_controls();
    harness::release_all();
    EXPECT_EQ(angle[0], 361);
    EXPECT_EQ(power[0], 105);
    ASSERT_EQ(shot.state, 1);
    EXPECT_EQ(shot.life, SHOT_LIFE);
    EXPECT_FLOAT_EQ(shot.x, static_cast<float>(turret1.x));
    EXPECT_FLOAT_EQ(shot.y, static_cast<float>(turret1.y));
    double r = static_cast<float>(361 * DEG_TO_RAD);
    EXPECT_FLOAT_EQ(shot.vx, static_cast<float>(std::cos(r) * 1.05f));
    EXPECT_FLOAT_EQ(shot.vy, static_cast<float>(std::sin(r) * 1.05f));
}

TEST_F(Play, ShotStartsAtTheTurretPivotAndFiringAgainDoesNothing) {
    EXPECT_EQ(turret1.x, static_cast<int32_t>(ship1.float_vars[2] + 11.0f));
    EXPECT_EQ(turret1.y, static_cast<int32_t>(ship1.float_vars[3] + 8.0f));
    game_fire_shot(360, 1.0f);
    Shot first = shot;
    game_fire_shot(90, 5.0f);
    EXPECT_EQ(shot.vx, first.vx);
    EXPECT_EQ(shot.vy, first.vy);
}

TEST_F(Play, PowerZeroFiresAShotAtRest) {
    hold(DIK_DOWN, 20);
    plat_headless_set_key(DIK_RETURN, 1);
    inp_keyboard_read();
    game_turn_controls();
    harness::release_all();
    ASSERT_EQ(shot.state, 1);
    EXPECT_EQ(shot.vx, 0.0f);
    EXPECT_EQ(shot.vy, 0.0f);
}

TEST_F(Play, AHeldReturnFiresAgainForTheOtherPlayerOnceTheFlightEnds) {
    plat_headless_set_key(DIK_RETURN, 1);
    frames(1);
    ASSERT_EQ(shot.state, 1);
    shot.life = 1; // end it on the next step
    frames(1);
    EXPECT_EQ(current_player, 1);
    frames(1);
    harness::release_all();
    EXPECT_EQ(shot.state, 1);
    EXPECT_EQ(shot.life, SHOT_LIFE - 1);
}

TEST_F(Play, StatusLineShowsThePlayerInTurn) {
    angle[1] = 200;
    power[1] = 350;
    score[1] = 1;
    current_player = 1;
    frames(1);
    EXPECT_STREQ(screen_text, "PLAYER:2      ANGLE:200      POWER:350      SCORE:1 out of 5");
}

TEST_F(Play, FrameDrawsTurretsAndTheShot) {
    frames(1);
    EXPECT_GT(harness::count_index(225), 40) << "two 40-pixel turret lines, partly under the ships";
    // A resting shot where no body or ship can stand: a 2 by 2 mark.
    game_fire_shot(270, 0.0f);
    shot.x = 150.0f;
    shot.y = 470.0f;
    frames(1);
    ASSERT_EQ(shot.state, 1);
    EXPECT_EQ(harness::count_index(95, 140, 460, 160, 480), 4);
    EXPECT_EQ(harness::count_index(95, 149, 469, 151, 471), 4);
}

TEST_F(Flight, OneStepOfTheWorkedExample) {
    shot = Shot{1, 100.0f, 54.0f, 1.0f, 0.0f, SHOT_LIFE};
    game_step_shot();
    EXPECT_FLOAT_EQ(shot.x, 101.0f);
    EXPECT_FLOAT_EQ(shot.y, 54.0f);
    EXPECT_FLOAT_EQ(shot.vx, 1.0556784f);
    EXPECT_FLOAT_EQ(shot.vy, 0.0f);
    EXPECT_EQ(shot.life, SHOT_LIFE - 1);
    EXPECT_EQ(shot.state, 1);
    EXPECT_EQ(current_player, 0);
}

TEST_F(Flight, PlayerTwoFliesAgainstItsStoredVelocity) {
    last_body_index = 0;
    bodies[0].int_vars[0] = 0; // no pull, no box
    current_player = 1;
    turret2.x = 400;
    turret2.y = 200;
    static Vertex2F pivot[4] = {};
    turret2.vertices = pivot;
    game_fire_shot(180, 1.0f);
    EXPECT_NEAR(shot.vx, 1.0f, 1e-6);
    game_step_shot();
    EXPECT_NEAR(shot.x, 399.0f, 1e-5);
    turret2.vertices = nullptr;
}

TEST_F(Flight, ShipBoxesCountOnlyFromStep31) {
    rest_at(45.0f, 305.0f, 471);
    game_step_shot();
    EXPECT_EQ(shot.state, 1) << "step 30: own ship not hit";
    EXPECT_EQ(ship1_destroyed, 0);
    game_step_shot();
    EXPECT_EQ(shot.state, 0) << "step 31 hits";
    EXPECT_EQ(ship1_destroyed, 1);
    EXPECT_EQ(current_player, 1);
    EXPECT_EQ(particles[0].state, 1);
    EXPECT_EQ(particles[EXPLOSION_PARTICLES - 1].state, 1);
    EXPECT_EQ(particles[EXPLOSION_PARTICLES].state, 0);
}

TEST_F(Flight, BoxEdgesAreOutside) {
    // Ship box: 16 square at (580, 300).
    for (float x : {580.0f, 596.0f}) {
        rest_at(x, 305.0f);
        game_step_shot();
        EXPECT_EQ(shot.state, 1) << x;
    }
    rest_at(580.5f, 300.5f);
    game_step_shot();
    EXPECT_EQ(shot.state, 0);
    EXPECT_EQ(ship2_destroyed, 1);
    // Body box: 40 square at (213, 32).
    current_player = 0;
    for (float y : {32.0f, 72.0f}) {
        rest_at(230.0f, y);
        game_step_shot();
        EXPECT_EQ(shot.state, 1) << y;
    }
    rest_at(252.9f, 71.9f);
    game_step_shot();
    EXPECT_EQ(shot.state, 0);
    EXPECT_EQ(current_player, 1);
}

TEST_F(Flight, MoonBoxIs21SquareInsideItsPicture) {
    SpriteObject &b = bodies[0];
    b.width = 26;
    b.height = 25;
    b.int_vars[0] = 21;
    rest_at(213.0f + 22.0f, 40.0f);
    game_step_shot();
    EXPECT_EQ(shot.state, 1);
    rest_at(213.0f + 20.5f, 40.0f);
    game_step_shot();
    EXPECT_EQ(shot.state, 0);
}

TEST_F(Flight, FieldEdges) {
    const struct {
        float x, y;
        int32_t in_flight;
    } cases[] = {{640.0f, 200.0f, 0}, {639.9f, 200.0f, 1}, {0.0f, 200.0f, 1}, {-0.01f, 200.0f, 0},
                 {300.0f, 480.0f, 0}, {300.0f, 479.9f, 1}, {300.0f, 0.0f, 1},  {300.0f, -0.01f, 0}};
    for (const auto &c : cases) {
        current_player = 0;
        rest_at(c.x, c.y);
        game_step_shot();
        EXPECT_EQ(shot.state, c.in_flight) << c.x << "," << c.y;
        EXPECT_EQ(current_player, c.in_flight ? 0 : 1) << c.x << "," << c.y;
    }
}

TEST_F(Flight, The500thStepEndsTheFlightOnScreen) {
    rest_at(300.0f, 300.0f, 2);
    game_step_shot();
    EXPECT_EQ(shot.state, 1);
    game_step_shot();
    EXPECT_EQ(shot.life, 0);
    EXPECT_EQ(shot.state, 0);
    EXPECT_EQ(current_player, 1);
}

TEST_F(Flight, TwoEndsInOneStepPassTheTurnOnce) {
    // Life out and off the field.
    rest_at(700.0f, 300.0f, 1);
    game_step_shot();
    EXPECT_EQ(shot.state, 0);
    EXPECT_EQ(current_player, 1);
    // Life out inside a body.
    current_player = 0;
    rest_at(230.0f, 50.0f, 1);
    game_step_shot();
    EXPECT_EQ(current_player, 1);
    // Life out on a ship: the ship is still hit, the turn passes once.
    current_player = 0;
    rest_at(585.0f, 305.0f, 1);
    game_step_shot();
    EXPECT_EQ(ship2_destroyed, 1);
    EXPECT_EQ(current_player, 1);
}

TEST_F(Flight, ExplosionRunsTwentyFramesWatchingEntryZero) {
    game_burst_particles(PARTICLE_STEADY, 0, EXPLOSION_LIFE, 320, 240, 0, 0, EXPLOSION_PARTICLES);
    ASSERT_EQ(particles[0].state, 1);
    EXPECT_EQ(particles[0].colour, 187);
    int updates = 0;
    while (particles[0].state == 1) {
        game_update_particles();
        updates++;
        if (updates == 1) {
            gfx_fill_surface(back_surface, 0, nullptr);
            game_draw_particles();
            gfx_flip();
            EXPECT_GT(harness::count_index(187), 50);
        }
        ASSERT_LE(updates, 20);
    }
    EXPECT_EQ(updates, 20);
    for (int i = 0; i < EXPLOSION_PARTICLES; i++) EXPECT_EQ(particles[i].state, 0);
}

TEST_F(Flight, BurstAtTheCornerIsSkippedWhenDrawnButStillAges) {
    game_burst_particles(PARTICLE_STEADY, 0, EXPLOSION_LIFE, 0, 0, 0, 0, EXPLOSION_PARTICLES);
    gfx_fill_surface(back_surface, 0, nullptr);
    game_draw_particles();
    game_update_particles();
    EXPECT_EQ(particles[0].counter, 1);
}

TEST_F(Flight, AFullTableDropsTheRestOfABurst) {
    for (int i = 0; i < 2900; i++) particles[i].state = 1;
    game_burst_particles(PARTICLE_STEADY, 0, EXPLOSION_LIFE, 100, 100, 0, 0, EXPLOSION_PARTICLES);
    int alive = 0;
    for (const Particle &p : particles) alive += p.state == 1;
    EXPECT_EQ(alive, PARTICLE_COUNT);
}

TEST_F(Play, AShipHitPlaysTwentyExplosionFramesInsideOneFrame) {
    int before = plat_headless_frame_count();
    harness::aim_shot_at(ship2);
    frames(1);
    EXPECT_EQ(plat_headless_frame_count() - before, 21);
    EXPECT_EQ(particles[0].state, 0);
    EXPECT_EQ(ship2_destroyed, 1);
    EXPECT_EQ(current_player, 1) << "the status line of the explosion shows the next player";
}

} // namespace
