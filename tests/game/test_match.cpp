// Rounds and matches: scoring, set-up, the random layout, sprite surfaces, music, assets.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "audio/music.h"
#include "gfx/bitmap.h"

using harness::frames;
using harness::GameTest;
using harness::hold;

namespace {

class Match : public GameTest {};

int32_t body_frames() {
    int32_t n = 0;
    for (int32_t i = 0; i <= last_body_index; i++) n += bodies[i].frame_count;
    return n;
}

TEST_F(Match, BestOfOneThreeFiveEndOnTheRightPoint) {
    for (int32_t rounds : {1, 3, 5}) {
        SCOPED_TRACE(rounds);
        restart_in({});
        harness::start_match(rounds);
        int32_t needed = (rounds + 1) / 2;
        for (int32_t n = 1; n <= needed; n++) {
            ASSERT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
            ASSERT_EQ(current_player, 0);
            harness::hit_and_settle(ship2);
            EXPECT_EQ(score[0], n);
            EXPECT_EQ(score[1], 0);
            if (n < needed) {
                EXPECT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
                EXPECT_EQ(player1_won, 0);
            }
        }
        EXPECT_EQ(player1_won, 1);
        EXPECT_EQ(player2_won, 0);
        EXPECT_EQ(game_current_screen(), GAME_SCREEN_WIN);
        // The frame that set the flag already drew the win screen.
        EXPECT_STREQ(screen_text, "Press [SPACEBAR] to return to menu");
    }
}

TEST_F(Match, HittingYourOwnShipGivesThePointAway) {
    harness::start_match(3);
    harness::hit_and_settle(ship1); // player 1 in turn, own ship
    EXPECT_EQ(score[0], 0);
    EXPECT_EQ(score[1], 1);
    harness::hit_and_settle(ship1);
    EXPECT_EQ(player2_won, 1);
    frames(1);
    EXPECT_STREQ(screen_text, "Press [SPACEBAR] to return to menu");
}

TEST_F(Match, ARoundThatDoesNotDecideLaysOutANewOneWithPlayerOneInTurn) {
    harness::start_match(5);
    angle[0] = 45;
    power[1] = 700;
    int32_t surfaces = plat_surface_live_count() - body_frames();
    harness::aim_shot_at(ship2);
    frames(1);
    EXPECT_EQ(current_player, 1) << "the hit passed the turn";
    EXPECT_EQ(ship2_destroyed, 1);
    frames(1);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
    EXPECT_EQ(current_player, 0);
    EXPECT_EQ(ship1_destroyed + ship2_destroyed, 0);
    EXPECT_EQ(angle[0], 360);
    EXPECT_EQ(angle[1], 180);
    EXPECT_EQ(power[1], 100);
    EXPECT_EQ(ship1.int_vars[0], 0);
    EXPECT_EQ(ship2.int_vars[0], 8);
    EXPECT_FLOAT_EQ(ship1.float_vars[2], ship1.x);
    EXPECT_EQ(turret1.x, static_cast<int32_t>(ship1.x + 11.0f));
    EXPECT_FLOAT_EQ(turret2.vertices[1].x, -40.0f);
    EXPECT_EQ(score[0], 1) << "scores live across rounds";
    EXPECT_EQ(plat_surface_live_count() - body_frames(), surfaces) << "the old bodies were released";
}

TEST_F(Match, EveryMatchStartsFromZeroToZero) {
    harness::start_match(3);
    harness::hit_and_settle(ship2);
    harness::hit_and_settle(ship2);
    ASSERT_EQ(player1_won, 1);
    hold(DIK_SPACE);
    ASSERT_EQ(game_current_screen(), GAME_SCREEN_MENU);
    harness::start_match(3);
    EXPECT_EQ(score[0], 0);
    EXPECT_EQ(score[1], 0);
    frames(1);
    EXPECT_STREQ(screen_text, "PLAYER:1      ANGLE:360      POWER:100      SCORE:0 out of 3");
    // One more point is not yet a win.
    harness::hit_and_settle(ship2);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_PLAY);
}

TEST_F(Match, RepeatedMatchesDoNotGrowTheLiveSurfaces) {
    int32_t at_menu = -1;
    for (int match = 0; match < 6; match++) {
        harness::start_match(1);
        harness::hit_and_settle(match % 2 ? ship1 : ship2);
        ASSERT_EQ(game_current_screen(), GAME_SCREEN_WIN);
        hold(DIK_SPACE);
        ASSERT_EQ(game_current_screen(), GAME_SCREEN_MENU);
        frames(1);
        // Set-up always makes one to three bodies; count only what the ships and display hold.
        int32_t base = plat_surface_live_count() - body_frames();
        if (at_menu < 0) at_menu = base;
        EXPECT_EQ(base, at_menu) << "match " << match;
    }
}

// ---- the random layout of a round ------------------------------------------------------

struct Lcg {
    uint32_t state;
    int32_t next() {
        state = state * 214013u + 2531011u;
        return static_cast<int32_t>((state >> 16) & 0x7FFF);
    }
};

struct Layout {
    int32_t ship[4];
    int32_t last;
    int32_t kind[3], bx[3], by[3];
    bool x_impossible;
};

bool near_any(int32_t v, const int32_t *earlier, int32_t count) {
    for (int32_t j = 0; j < count; j++)
        if (earlier[j] - 50 < v && v < earlier[j] + 50) return true;
    return false;
}

// An independent model of the set-up's draws, bounded redraws included.
int32_t model_separate(Lcg &r, int32_t v, const int32_t *earlier, int32_t count, int32_t mod, int32_t base,
                       bool *impossible) {
    int32_t tries = 0;
    while (near_any(v, earlier, count)) {
        if (tries++ == BODY_SEPARATION_TRIES) {
            for (int32_t c = base; c < base + mod; c++)
                if (!near_any(c, earlier, count)) return c;
            *impossible = true;
            return v;
        }
        v = r.next() % mod + base;
    }
    return v;
}

Layout model(uint32_t seed) {
    Lcg r{seed};
    Layout l{};
    l.ship[0] = r.next() % 85;
    l.ship[1] = r.next() % 446 + 10;
    l.ship[2] = r.next() % 84 + 535;
    l.ship[3] = r.next() % 448 + 10;
    l.last = r.next() % 3;
    for (int32_t i = 0; i <= l.last; i++) {
        l.kind[i] = r.next() % 3;
        l.bx[i] = r.next() % 194 + 213;
        l.by[i] = r.next() % 410 + 32;
        bool dummy = false;
        l.bx[i] = model_separate(r, l.bx[i], l.bx, i, 194, 213, &l.x_impossible);
        l.by[i] = model_separate(r, l.by[i], l.by, i, 410, 32, &dummy);
    }
    return l;
}

class Layouts : public GameTest {
  protected:
    void lay_out(uint32_t seed) {
        game_destroy_bodies();
        plat_headless_set_auto_advance(0);
        plat_headless_set_ticks(seed);
        game_new_round();
        plat_headless_set_auto_advance(1);
    }
    void expect_matches(uint32_t seed) {
        Layout l = model(seed);
        SCOPED_TRACE(seed);
        ASSERT_EQ(static_cast<int32_t>(ship1.x), l.ship[0]);
        ASSERT_EQ(static_cast<int32_t>(ship1.y), l.ship[1]);
        ASSERT_EQ(static_cast<int32_t>(ship2.x), l.ship[2]);
        ASSERT_EQ(static_cast<int32_t>(ship2.y), l.ship[3]);
        ASSERT_EQ(last_body_index, l.last);
        const int32_t sizes[3] = {40, 21, 40}, widths[3] = {44, 26, 44}, counts[3] = {7, 6, 18};
        for (int32_t i = 0; i <= l.last; i++) {
            ASSERT_EQ(static_cast<int32_t>(bodies[i].float_vars[2]), l.bx[i]) << i;
            ASSERT_EQ(static_cast<int32_t>(bodies[i].float_vars[3]), l.by[i]) << i;
            ASSERT_EQ(bodies[i].int_vars[0], sizes[l.kind[i]]);
            ASSERT_EQ(bodies[i].width, widths[l.kind[i]]);
            ASSERT_EQ(bodies[i].frame_count, counts[l.kind[i]]);
        }
    }
};

TEST_F(Layouts, DrawsComeInTheFixedOrderAndKeepTheSeparationRule) {
    int with_three = 0;
    for (uint32_t seed = 1; seed <= 1500; seed++) {
        lay_out(seed * 7919u);
        expect_matches(seed * 7919u);
        EXPECT_GE(ship1.x, 0.0f);
        EXPECT_LE(ship1.x, 84.0f);
        EXPECT_GE(ship2.x, 535.0f);
        EXPECT_LE(ship2.y, 457.0f);
        Layout l = model(seed * 7919u);
        with_three += l.last == 2;
        for (int32_t i = 0; i <= last_body_index; i++) {
            float xi = bodies[i].float_vars[2], yi = bodies[i].float_vars[3];
            EXPECT_GE(xi, 213.0f);
            EXPECT_LE(xi, 406.0f);
            EXPECT_GE(yi, 32.0f);
            EXPECT_LE(yi, 441.0f);
            for (int32_t j = 0; j < i; j++) {
                if (!l.x_impossible) {
                    EXPECT_GE(std::abs(xi - bodies[j].float_vars[2]), 50.0f) << seed;
                }
                EXPECT_GE(std::abs(yi - bodies[j].float_vars[3]), 50.0f) << seed;
            }
        }
    }
    EXPECT_GT(with_three, 300);
}

// Two earlier bodies 95 to 99 apart leave no x for the third: set-up still ends, and y keeps the rule.
TEST_F(Layouts, ThirdBodyWithNoLegalXStillEnds) {
    uint32_t seed = 0;
    for (uint32_t s = 1; s < 50000000u; s++) {
        if (model(s).x_impossible) {
            seed = s;
            break;
        }
    }
    ASSERT_NE(seed, 0u);
    lay_out(seed);
    expect_matches(seed);
    ASSERT_EQ(last_body_index, 2);
    int32_t lo = std::min(static_cast<int32_t>(bodies[0].float_vars[2]), static_cast<int32_t>(bodies[1].float_vars[2]));
    int32_t hi = std::max(static_cast<int32_t>(bodies[0].float_vars[2]), static_cast<int32_t>(bodies[1].float_vars[2]));
    EXPECT_GE(hi - lo, 95);
    EXPECT_LE(hi - lo, 99);
    for (int j = 0; j < 2; j++) EXPECT_GE(std::abs(bodies[2].float_vars[3] - bodies[j].float_vars[3]), 50.0f);
}

TEST_F(Layouts, OneBodyMakesNoSeparationDraws) {
    for (uint32_t s = 1; s < 100000; s++) {
        Layout l = model(s);
        if (l.last != 0) continue;
        lay_out(s);
        expect_matches(s);
        // Exactly 8 draws were made: the next one matches the model's ninth.
        Lcg r{s};
        for (int i = 0; i < 8; i++) r.next();
        EXPECT_EQ(plat_rand(), r.next());
        return;
    }
    FAIL() << "no one-body seed";
}

// ---- assets ------------------------------------------------------------------------------

class Assets : public GameTest {};

TEST_F(Assets, MusicFollowsTheScreen) {
    if (!start_with_assets()) GTEST_SKIP() << "no generated assets in this build yet";
    if (music_theme < 0) GTEST_SKIP() << "no music on this machine (no SoundFont?)";
    frames(1);
    EXPECT_EQ(current_music, music_theme);
    EXPECT_EQ(mus_status(music_theme), MUSIC_SLOT_PLAYING);
    hold(DIK_DOWN);
    hold(DIK_RETURN); // options
    frames(1);
    EXPECT_EQ(current_music, music_theme);
    hold(DIK_RETURN); // 1 round
    harness::start_match(1);
    EXPECT_EQ(current_music, music_battle);
    EXPECT_EQ(mus_status(music_theme), MUSIC_SLOT_STOPPED);
    harness::hit_and_settle(ship2);
    frames(1);
    EXPECT_EQ(current_music, music_victory);
    hold(DIK_SPACE);
    frames(1);
    EXPECT_EQ(current_music, music_theme);
}

TEST_F(Assets, MenuAndPlayScreensShowTheirTexts) {
    if (!start_with_assets()) GTEST_SKIP() << "no generated assets in this build yet";
    if (plat_text_width("START GAME") < 0) GTEST_SKIP() << "no font";
    frames(1);
    int red = 0;
    for (int y = 305; y < 322; y++)
        for (int x = 277; x < 365; x++) {
            uint32_t c = plat_headless_frame_rgb(x, y);
            int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            red += r > 150 && g < 90 && b < 90;
        }
    EXPECT_GT(red, 40) << "START GAME in red";
    harness::start_match();
    frames(1);
    int green = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 10; x < 400; x++) {
            uint32_t c = plat_headless_frame_rgb(x, y);
            int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            green += g > 150 && r < 90 && b < 90;
        }
    EXPECT_GT(green, 100) << "the status line in green";
}

TEST_F(Assets, DisplayKeepsThePaletteOfTheTitlePicture) {
    if (!start_with_assets()) GTEST_SKIP() << "no generated assets in this build yet";
    BmpFile opening{};
    ASSERT_EQ(gfx_bmp_load(&opening, "OPENING.BMP"), 1);
    frames(1);
    const PlatColor *shown = plat_headless_frame_palette();
    ASSERT_NE(shown, nullptr);
    for (int i = 0; i < 256; i++) {
        EXPECT_EQ(shown[i].r, opening.palette[i].red) << i;
        EXPECT_EQ(shown[i].g, opening.palette[i].green) << i;
        EXPECT_EQ(shown[i].b, opening.palette[i].blue) << i;
    }
    gfx_bmp_unload(&opening);
}

// Pictures, sounds and music that are missing or broken leave things blank or silent; a whole
// match still plays.
TEST_F(Assets, BrokenAndMissingFilesStillPlay) {
    std::filesystem::path dir = make_temp_dir();
    temp_dir = dir;
    const char *names[] = {"stars.BMP", "OPENING.BMP", "BLAZE8.BMP", "PHOTON8.BMP", "moon2a.BMP", "PALDATA2.PAL",
                           "CANNON.WAV", "THEME.MID", "BATTLE.MID"};
    int n = 0;
    for (const char *name : names) {
        std::ofstream f(dir / name, std::ios::binary);
        if (n++ % 2 == 0) {
            // A header that promises far more than the file holds.
            const char head[] = "BM\xff\xff\xff\x7f\0\0\0\0\x36\0\0\0(\0\0\0\xff\x7f\0\0\xff\x7f\0\0\1\0\x08\0";
            f.write(head, sizeof head - 1);
        } else {
            f << "RIFF junk MThd junk";
        }
    }
    // A tiny but valid-looking earth picture, far smaller than its cells.
    {
        std::ofstream f(dir / "earthlk1.BMP", std::ios::binary);
        unsigned char bmp[14 + 40 + 1024 + 4] = {'B', 'M'};
        bmp[10] = (14 + 40 + 1024) & 0xFF;
        bmp[11] = (14 + 40 + 1024) >> 8;
        bmp[14] = 40;
        bmp[18] = 2;  // 2 x 2 pixels
        bmp[22] = 2;
        bmp[26] = 1;
        bmp[28] = 8;
        f.write(reinterpret_cast<const char *>(bmp), sizeof bmp);
    }
    restart_in(dir);
    harness::start_match(3);
    hold(DIK_RETURN); // fire, silently
    frames(40);
    for (int round = 0; round < 3 && game_current_screen() == GAME_SCREEN_PLAY; round++) {
        harness::aim_shot_at(current_player == 0 ? ship2 : ship1);
        frames(2);
    }
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_WIN);
    hold(DIK_SPACE);
    EXPECT_EQ(game_current_screen(), GAME_SCREEN_MENU);
}

} // namespace
