// The screens as a player sees them: every text at its place and colour, the cursor, the pauses,
// the music, quitting, and the play screen's paint order.
#include "game_fixture.h"

#include <unistd.h>

namespace {

constexpr uint32_t RED = 255, GREEN = 65280;

struct Text {
    const char *text;
    int x, y;
};

const Text menu_texts[] = {
    {"START GAME", 277, 305}, {"GAME OPTIONS", 268, 355}, {"QUIT", 303, 405}, {"INSTRUCTIONS", 269, 455}};
const Text option_texts[] = {
    {"Play the best of:", 275, 255}, {"1 Round", 290, 305}, {"3 Rounds", 290, 355}, {"5 Rounds", 290, 405}};
// The story's headings and the instructions; the twelve lines of the story itself are the game's own.
const Text story_texts[] = {
    {"STORY:", 10, 195},
    {"INSTRUCTIONS:", 10, 390},
    {"Player 1 is the ship on the left of the screen. Player 2 is the ship on the right.", 10, 405},
    {"The objective is to shoot the other player, before they shoot you. To accomplish this, one must", 10, 420},
    {"choose the correct angle and power for their shot. There will be space bodies that have enough", 10, 435},
    {"mass to have a gravitational effect on your bullets, you must adjust your angle and power", 10, 450},
    {"accordingly. By default you must win the best of 5 rounds to win the game against your opponent.", 10, 465},
};

class Screens : public Game {
protected:
    void SetUp() override {
        Game::SetUp();
        solid_backdrops(STARS, 0);
        solid_ships();
    }
    // The frame also lasts at least 33 ms of ticks and presents once.
    void expect_cursor_frame(const Text *texts, int cursor) {
        uint32_t t0 = plat_headless_now();
        int32_t presents = plat_headless_frame_count();
        frames(1);
        EXPECT_GE(plat_headless_now() - t0, 33u);
        EXPECT_EQ(plat_headless_frame_count(), presents + 1);
        ref_clear(0);
        ref_block(230, cursor, 22, 18, SHIP1);
        ref_block(390, cursor, 22, 18, SHIP2);
        for (int i = 0; i < 4; i++) ref_text(texts[i].text, texts[i].x, texts[i].y, RED);
        match_ref();
    }
};

TEST_F(Screens, MenuAndOptionsShowTheirItemsInRedWithTheShipsAsCursor) {
    EXPECT_EQ(screen(), GAME_SCREEN_MENU);
    expect_cursor_frame(menu_texts, 305);
    hold({DIK_DOWN}, 2);
    expect_cursor_frame(menu_texts, 405);
    hold({DIK_UP});
    hold({DIK_RETURN});
    ASSERT_EQ(screen(), GAME_SCREEN_OPTIONS);
    expect_cursor_frame(option_texts, 305);
}

TEST_F(Screens, StoryShowsNineteenLinesEndingWithTheInstructions) {
    hold({DIK_DOWN}, 3);
    hold({DIK_RETURN});
    ASSERT_EQ(screen(), GAME_SCREEN_STORY);
    frames(1);
    ref_clear(0);
    for (const Text &t : story_texts) ref_text(t.text, t.x, t.y, RED);
    for (int k = 1; k <= 12; k++) {
        size_t n = std::strlen(story_lines[k]);
        EXPECT_TRUE(n > 20 && n <= 100) << "story line " << k;
        EXPECT_LE(plat_text_width(story_lines[k]), 630) << "story line " << k << " runs off the screen";
        ref_text(story_lines[k], 10, 195 + 15 * k, RED);
    }
    match_ref();
    uint32_t t = timed_hold({DIK_RETURN});
    EXPECT_GE(t, 500u);
    EXPECT_EQ(screen(), GAME_SCREEN_MENU);
    EXPECT_EQ(ship1.y, 305.0f);
}

// Space goes back to the menu with the cursor on START GAME and a new round's aim frames.
TEST_F(Screens, WinScreenNamesTheWinnerOverTheStarsAloneUntilSpace) {
    start_match(1);
    for (int winner = 1; winner <= 2; winner++) {
        player1_won = winner == 1;
        player2_won = winner == 2;
        frames(1);
        ref_clear(STARS);
        ref_text(winner == 1 ? "Player 1 Wins" : "Player 2 Wins", 275, 305, RED);
        ref_text("Press [SPACEBAR] to return to menu", 267, 355, RED);
        match_ref();
    }
    ship1.x = ship2.x = 0.0f;
    game_set_aim_frame(&ship2, 3);
    hold({DIK_SPACE});
    EXPECT_EQ(screen(), GAME_SCREEN_MENU);
    EXPECT_EQ(player2_won, 0);
    EXPECT_EQ(std::vector<float>({ship1.x, ship1.y, ship2.x, ship2.y}), std::vector<float>({230, 305, 390, 305}));
    EXPECT_EQ(game_aim_frame(&ship2), 8);
}

TEST_F(Screens, CursorStaysWithinItsItemsAndEveryPressPauses200Ms) {
    const struct {
        int screen_downs; // Downs on the menu before Return (0: stay on the menu)
        float lowest;
    } cases[] = {{-1, 455.0f}, {1, 405.0f}};
    for (const auto &c : cases) {
        if (c.screen_downs > 0) {
            hold({DIK_DOWN}, c.screen_downs);
            hold({DIK_RETURN});
        }
        float expect = 305.0f;
        for (int i = 0; i < 10; i++) { // five Downs, then five Ups
            EXPECT_GE(timed_hold({i < 5 ? DIK_DOWN : DIK_UP}), 200u);
            expect = i < 5 ? std::min(expect + 50.0f, c.lowest) : std::max(expect - 50.0f, 305.0f);
            EXPECT_EQ(std::vector<float>({ship1.y, ship2.y}), std::vector<float>({expect, expect})) << "press " << i;
        }
        hold({DIK_UP, DIK_DOWN});
        EXPECT_EQ(ship1.y, 305.0f) << "Up wins over Down";
        EXPECT_LT(timed_hold({}), 200u) << "no key, no pause";
    }
}

// Menu items open their screens, option items choose the round count and go back to the menu.
TEST_F(Screens, ReturnOnEachItemActsAfterHalfASecond) {
    const struct {
        int downs, options_downs; // options_downs < 0: an item of the menu
        int screen, rounds;
    } items[] = {{0, -1, GAME_SCREEN_PLAY, 0}, {1, -1, GAME_SCREEN_OPTIONS, 0}, {3, -1, GAME_SCREEN_STORY, 0},
                 {1, 0, GAME_SCREEN_MENU, 1},  {1, 1, GAME_SCREEN_MENU, 3},     {1, 2, GAME_SCREEN_MENU, 5}};
    for (const auto &item : items) {
        SCOPED_TRACE(testing::Message() << "downs " << item.downs << ", " << item.options_downs);
        menu_active = 1;
        options_active = story_active = 0;
        ship1.y = ship2.y = 305.0f;
        rounds_to_play = 0;
        // The last Down comes with Return: the cursor moves first, then Return acts on its new place.
        int downs = item.options_downs < 0 ? item.downs : item.options_downs;
        if (item.options_downs >= 0) hold({DIK_DOWN, DIK_RETURN});
        if (downs) hold({DIK_DOWN}, downs - 1);
        EXPECT_GE(downs ? timed_hold({DIK_DOWN, DIK_RETURN}) : timed_hold({DIK_RETURN}), 500u);
        EXPECT_EQ(screen(), item.screen);
        EXPECT_EQ(rounds_to_play, item.rounds);
        if (item.screen != GAME_SCREEN_PLAY) {
            EXPECT_EQ(ship2.y, 305.0f) << "cursor back on the first item";
        }
    }
    // Off the items (a cursor between them) Return does nothing.
    hold({DIK_DOWN, DIK_RETURN});
    ship1.y = 330.0f;
    hold({DIK_RETURN});
    EXPECT_EQ(screen(), GAME_SCREEN_OPTIONS);
}

TEST_F(Screens, QuitAndEscapePostTheEndSilenceTheSoundsAndFadeToBlack) {
    const struct {
        int downs;
        int32_t key;
        bool async;
    } ways[] = {{2, DIK_RETURN, false}, {0, DIK_ESCAPE, false}, {3, DIK_ESCAPE, false}, {0, 0, true}};
    for (const auto &way : ways) {
        TearDown();
        SetUp();
        hold({DIK_DOWN}, way.downs);
        if (way.downs == 3) hold({DIK_RETURN}); // from the story screen
        snd_play(cannon_sounds[0], 0);
        messages();
        if (way.async) {
            plat_headless_set_escape(1);
            frames(1);
            plat_headless_set_escape(0);
        } else {
            hold({way.key});
        }
        EXPECT_TRUE(quit_posted());
        EXPECT_EQ(snd_status(cannon_sounds[0]), 0);
        uint32_t black = 0;
        for (int x = 0; x < 640; x += 7) black |= plat_headless_frame_rgb(x, 240);
        EXPECT_EQ(black, 0u) << "the screen faded to black";
    }
}

TEST_F(Screens, MusicFollowsTheScreenAndStartsAgainWhenItStops) {
    ASSERT_EQ(plat_music_is_open(), 1) << "no SoundFont (timgm6mb-soundfont)";
    // Each step, then a frame: the piece that must be playing (a new piece stops the old one).
    const struct {
        void (*step)();
        int32_t piece;
    } steps[] = {{[] {}, music_theme},
                 {[] { mus_stop(music_theme); }, music_theme},
                 {[] { start_match(1); }, music_battle},
                 {[] { player1_won = 1; }, music_victory},
                 {[] { hold({DIK_SPACE}); }, music_theme}};
    for (const auto &s : steps) {
        s.step();
        frames(1);
        EXPECT_EQ(mus_status(s.piece), MUSIC_SLOT_PLAYING) << "step " << &s - steps;
    }
}

// Stars, turrets, shot, bodies, ships, status line: each covers what came before.
TEST_F(Screens, PlayScreenPaintOrderAndStatusLine) {
    start_match();
    place_ship(ship1, turret1, 20.0f, 400.0f); // turret1 along row 408 from x 31 to 71
    place_ship(ship2, turret2, 200.0f, 2.0f);  // under the status line
    only_body(0, 380);                         // covers x 0..43, y 380..423, so part of ship1
    rest_shot(60.5f, 408.5f);                  // on turret1's line, clear of everything else
    frames(1);
    ASSERT_EQ(shot.state, 1);
    EXPECT_EQ(px(600, 300), STARS);
    EXPECT_EQ(px(65, 408), 225) << "turret over the stars";
    EXPECT_EQ(px(43, 408), BODY) << "body over the turret";
    EXPECT_EQ(px(30, 410), SHIP1) << "ship over the body";
    for (int x = 58; x <= 61; x++)
        for (int y = 406; y <= 409; y++)
            EXPECT_EQ(px(x, y) == SHOT_COLOUR, x >= 59 && x <= 60 && y >= 407 && y <= 408)
                << "2 by 2 shot square at (" << x << ", " << y << ")";
    ref_clear(0);
    ref_text("PLAYER:1      ANGLE:360      POWER:100      SCORE:0 out of 5", 10, 0, GREEN);
    match_ref_ink(0, 24);
    EXPECT_EQ(px(219, 19), SHIP2) << "ship 2 at its home place";
    // A shot over the body's picture but outside its 40-pixel box lies under the body.
    rest_shot(42.5f, 385.5f);
    frames(1);
    ASSERT_EQ(shot.state, 1);
    EXPECT_EQ(px(41, 384), BODY);
    EXPECT_EQ(px(42, 385), BODY);
    // Player 2's figures while player 2 is in turn; the last figure is the round count.
    shot.state = 0;
    current_player = 1;
    angle[1] = 200;
    power[1] = 350;
    score[1] = 1;
    rounds_to_play = 3;
    frames(1);
    const char *text = "PLAYER:2      ANGLE:200      POWER:350      SCORE:1 out of 3";
    ref_clear(0);
    ref_text(text, 10, 0, GREEN);
    match_ref_ink(0, 24);
    EXPECT_STREQ(screen_text, text);
}

// Without any asset the game still starts, plays, quits and releases every surface.
TEST_F(Screens, WithoutAssetsTheGameStillStartsPlaysAndQuits) {
    TearDown();
    std::filesystem::path empty =
        std::filesystem::temp_directory_path() / ("quorvane-empty-" + std::to_string(getpid()));
    std::filesystem::create_directories(empty);
    std::filesystem::current_path(empty);
    plat_headless_reset();
    ASSERT_EQ(plat_init(), 1);
    ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1);
    game_init();
    hold({DIK_RETURN});
    EXPECT_EQ(screen(), GAME_SCREEN_PLAY);
    hold({DIK_RETURN}, 3);
    hold({DIK_ESCAPE});
    EXPECT_TRUE(quit_posted());
    game_shutdown();
    plat_shutdown();
    EXPECT_EQ(plat_surface_live_count(), 0);
    std::filesystem::current_path(old_dir);
    std::filesystem::remove_all(empty);
    SetUp();
}

} // namespace
