// One game per test on the headless platform, run in the generated assets folder: scripted
// keys, the virtual clock, captured frames and scenes painted in solid colours.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/display.h"
#include "input/input.h"
#include "platform/plat_audio.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "stream/stream.h"

// Solid colours of test scenes (palette indices no picture of the scene uses).
constexpr uint8_t STARS = 5, SHIP1 = 9, SHIP2 = 10, BODY = 7;

class Game : public ::testing::Test {
protected:
    std::filesystem::path old_dir;
    PlatSurface *ref = nullptr; // the frame a test expects

    void SetUp() override {
        old_dir = std::filesystem::current_path();
        std::filesystem::path assets = std::filesystem::path(QUORVANE_BINARY_DIR) / "assets";
        ASSERT_TRUE(std::filesystem::exists(assets / GAME_FILE_PALETTE)) << "generated assets missing in " << assets;
        std::filesystem::current_path(assets);
        plat_headless_reset();
        strm_reset(); // every seat on the keyboard, as the plain game starts
        ASSERT_EQ(plat_init(), 1) << plat_error();
        ASSERT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1) << plat_error();
        menu_active = 1;
        options_active = story_active = 0;
        rounds_to_play = 5;
        last_body_index = 0;
        for (Particle &p : particles) p = Particle{};
        game_init();
        ASSERT_GT(plat_text_width("QUIT"), 0) << "the game font (fonts-dejavu-extra) is missing";
        messages();
        ref = plat_surface_create(640, 480, 8);
    }

    void TearDown() override {
        plat_surface_release(ref);
        game_shutdown();
        plat_shutdown();
        strm_reset();
        std::filesystem::current_path(old_dir);
    }

    static void frames(int n = 1) {
        for (int i = 0; i < n; i++) game_frame();
    }
    static void keys(std::initializer_list<int32_t> codes, int32_t down) {
        for (int32_t k : codes) plat_headless_set_key(k, down);
    }
    // Holds the keys for n frames, then lets them go.
    static void hold(std::initializer_list<int32_t> codes, int n = 1) {
        if (n == 0) return; // a press and release with no read between still reads once
        keys(codes, 1);
        frames(n);
        keys(codes, 0);
    }
    static uint32_t timed_hold(std::initializer_list<int32_t> codes) {
        uint32_t t0 = plat_headless_now();
        hold(codes);
        return plat_headless_now() - t0;
    }
    static std::vector<PlatMessage> messages() {
        std::vector<PlatMessage> out;
        PlatMessage m{};
        while (plat_message_peek(&m)) out.push_back(m);
        return out;
    }
    static bool quit_posted() {
        for (const PlatMessage &m : messages())
            if (m.type == PLAT_MSG_DESTROY) return true;
        return false;
    }
    static uint8_t px(int x, int y) { return plat_headless_frame_pixels()[y * 640 + x]; }
    static int screen() { return game_current_screen(); }

    static void start_match(int32_t rounds = 5) {
        rounds_to_play = rounds;
        hold({DIK_RETURN});
        ASSERT_EQ(screen(), GAME_SCREEN_PLAY);
    }

    // Backdrops of one colour; ships and a single body as solid blocks at chosen home places.
    static void solid_backdrops(uint8_t stars, uint8_t opening) {
        std::memset(stars_image.buffer, stars, 640 * 480);
        std::memset(opening_image.buffer, opening, 640 * 480);
    }
    static void solid_ships() {
        for (int f = 0; f < ship1.frame_count; f++) plat_surface_fill(ship1.frame_surfaces[f], nullptr, SHIP1);
        for (int f = 0; f < ship2.frame_count; f++) plat_surface_fill(ship2.frame_surfaces[f], nullptr, SHIP2);
    }
    static void place_ship(SpriteObject &ship, PolygonShape &turret, float x, float y) {
        game_set_home(&ship, x, y);
        turret.x = static_cast<int32_t>(x + 11.0f);
        turret.y = static_cast<int32_t>(y + 8.0f);
    }
    static void solid_body(int i, int x, int y, int w, int h, int size) {
        gfx_sprite_destroy(&bodies[i]);
        gfx_sprite_create(&bodies[i], x, y, w, h, 1, SPRITE_ATTR_VISIBLE, GAME_SPRITE_MEMORY, 0, 8);
        plat_surface_fill(bodies[i].frame_surfaces[0], nullptr, BODY);
        game_set_body_size(&bodies[i], size);
        game_set_home(&bodies[i], static_cast<float>(x), static_cast<float>(y));
    }
    static void only_body(int x, int y, int w = 44, int h = 44, int size = 40) {
        game_destroy_bodies();
        last_body_index = 0;
        solid_body(0, x, y, w, h, size);
    }
    // A shot at rest at (x, y): the next step leaves it there.
    static void rest_shot(float x, float y, int32_t life = 400) { shot = Shot{1, x, y, 0.0f, 0.0f, life}; }

    // The expected frame: ref_clear, then blocks and texts in paint order, then match_ref.
    void ref_clear(uint8_t c = 0) { plat_surface_fill(ref, nullptr, c); }
    void ref_block(int x, int y, int w, int h, uint8_t c) {
        PlatRect r{x, y, x + w, y + h};
        plat_surface_fill(ref, &r, c);
    }
    void ref_text(const char *text, int x, int y, uint32_t colorref) { plat_draw_text(ref, text, x, y, colorref); }
    // Rows y0..y1 of the last frame against ref, reporting the first difference; ink_only:
    // only ref's non-zero pixels are compared (and there must be some).
    void match_ref(int y0 = 0, int y1 = 480, bool ink_only = false) {
        int bad = 0, ink = 0;
        for (int y = y0; y < y1; y++)
            for (int x = 0; x < 640; x++) {
                uint8_t want = ref->pixels[y * ref->pitch + x];
                if (ink_only && !want) continue;
                ink++;
                if (px(x, y) != want && bad++ == 0)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(px(x, y)) << ", expected "
                                  << int(want);
            }
        EXPECT_GT(ink, 100);
        EXPECT_EQ(bad, 0) << "pixels differing from the expected frame";
    }
    void match_ref_ink(int y0, int y1) { match_ref(y0, y1, true); }
    // The shot of the player in turn hits ship's box on the next play frame.
    static void shot_into(const SpriteObject &ship) { rest_shot(game_home_x(&ship) + 8, game_home_y(&ship) + 8, 100); }

    static int playing(const int32_t ids[8]) {
        int n = 0;
        for (int i = 0; i < 8; i++) n += snd_status(ids[i]) != 0;
        return n;
    }
};
