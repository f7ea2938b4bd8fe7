// Headless harness for the game: a fresh platform and game per test, scripted keys, the
// virtual clock and captured frames.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/display.h"
#include "input/input.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"

namespace harness {

// Puts every game variable back to its value at process start.
inline void reset_game_state() {
    menu_active = 1;
    options_active = 0;
    story_active = 0;
    rounds_to_play = 5;
    current_player = 0;
    score[0] = score[1] = 0;
    ship1_destroyed = ship2_destroyed = player1_won = player2_won = 0;
    last_body_index = 0;
    angle[0] = 360;
    angle[1] = 180;
    power[0] = power[1] = 100;
    for (Particle &p : particles) p = Particle{};
}

inline void frames(int n = 1) {
    for (int i = 0; i < n; i++) game_frame();
}

// Holds a key for n frames, then lets it go.
inline void hold(int32_t key, int n = 1) {
    plat_headless_set_key(key, 1);
    frames(n);
    plat_headless_set_key(key, 0);
}

inline void release_all() {
    for (int32_t k : {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_RETURN, DIK_SPACE, DIK_ESCAPE})
        plat_headless_set_key(k, 0);
}

// Pending platform messages, taken off the queue.
inline std::vector<PlatMessage> drain_messages() {
    std::vector<PlatMessage> out;
    PlatMessage m{};
    while (plat_message_peek(&m)) out.push_back(m);
    return out;
}

inline int count_index(uint8_t index, int x0 = 0, int y0 = 0, int x1 = 640, int y1 = 480) {
    const uint8_t *px = plat_headless_frame_pixels();
    if (!px) return 0;
    int w = plat_headless_frame_width(), h = plat_headless_frame_height();
    int n = 0;
    for (int y = y0; y < y1 && y < h; y++)
        for (int x = x0; x < x1 && x < w; x++) n += px[y * w + x] == index;
    return n;
}

// The generated assets of this build, if the asset generator has produced them.
inline std::filesystem::path built_assets() { return std::filesystem::path(QUORVANE_BINARY_DIR) / "assets"; }

inline bool have_assets() {
    std::error_code ec;
    return std::filesystem::exists(built_assets() / "BLAZE8.BMP", ec) &&
           std::filesystem::exists(built_assets() / "THEME.MID", ec);
}

// Starts a match from the title menu (cursor on START GAME) and returns once the play screen is on.
inline void start_match(int32_t rounds = 5) {
    rounds_to_play = rounds;
    release_all();
    hold(DIK_RETURN);
    frames(1);
}

// Puts a resting shot of the player in turn inside the home box of a ship, past the steps in
// which ships cannot be hit, so the next play frame hits it.
inline void aim_shot_at(const SpriteObject &ship) {
    shot.state = 1;
    shot.x = ship.float_vars[2] + 8.0f;
    shot.y = ship.float_vars[3] + 8.0f;
    shot.vx = shot.vy = 0.0f;
    shot.life = 100;
}

// One whole round: the player in turn's shot hits target; then the round end is settled.
inline void hit_and_settle(const SpriteObject &target) {
    aim_shot_at(target);
    frames(1); // hit, burst, the explosion frames
    frames(1); // round end: score, new round or the won flag
}

// A fresh platform and game in the working directory dir (empty: the build folder).
class GameTest : public ::testing::Test {
  protected:
    std::filesystem::path old_dir;
    std::filesystem::path temp_dir;

    void start(const std::filesystem::path &dir = {}) {
        old_dir = std::filesystem::current_path();
        if (!dir.empty()) std::filesystem::current_path(dir);
        plat_headless_reset();
        ASSERT_EQ(plat_init(), 1) << plat_error();
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1) << plat_error();
        reset_game_state();
        game_init();
        drain_messages(); // the window's create message: the message loop's, not the tests'
        started = true;
    }

    // A private copy of the generated assets; false if there are none yet.
    bool start_with_assets() {
        if (!have_assets()) return false;
        temp_dir = make_temp_dir();
        for (const auto &e : std::filesystem::directory_iterator(built_assets()))
            std::filesystem::copy_file(e.path(), temp_dir / e.path().filename());
        restart_in(temp_dir);
        return true;
    }

    static std::filesystem::path make_temp_dir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "quorvane-game-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        char *made = mkdtemp(buf.data());
        return made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();
    }

    void SetUp() override { start(); }

    void TearDown() override {
        if (started) {
            game_shutdown();
            plat_shutdown();
            started = false;
        }
        if (!old_dir.empty()) std::filesystem::current_path(old_dir);
        if (!temp_dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(temp_dir, ec);
            temp_dir.clear();
        }
    }

    // For fixtures that choose their own working directory: undo SetUp's start.
    void restart_in(const std::filesystem::path &dir) {
        if (started) {
            game_shutdown();
            plat_shutdown();
            started = false;
        }
        if (!old_dir.empty()) std::filesystem::current_path(old_dir);
        start(dir);
    }

    bool started = false;
};

} // namespace harness
