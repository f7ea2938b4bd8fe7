// Damaged asset files, long random play and many round set-ups: the game must
// start, play and quit cleanly through all of them.
#include <algorithm>
#include <fstream>
#include <random>

#include "../game/harness.h"
#include "audio/music.h"
#include "audio/sound.h"

namespace {

using harness::frames;
using harness::GameTest;

const char *const ASSET_FILES[] = {"stars.BMP",   "OPENING.BMP", "BLAZE8.BMP",  "PHOTON8.BMP",
                                   "moon2a.BMP",  "earthlk1.BMP", "PALDATA2.PAL", "CANNON.WAV",
                                   "EXP1.WAV",    "THEME.MID",   "BATTLE.MID",  "2001.MID"};

enum Damage { MISSING, EMPTY, CUT_HEADER, HALF, BIT_FLIPS };
const char *const DAMAGE_NAMES[] = {"missing", "empty", "cut-header", "half", "bit-flips"};

std::vector<char> read_all(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write_all(const std::filesystem::path &p, const std::vector<char> &bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), (std::streamsize)bytes.size());
}

void damage(const std::filesystem::path &p, Damage how, uint32_t seed)
{
    std::vector<char> bytes = read_all(p);
    switch (how) {
    case MISSING:
        std::filesystem::remove(p);
        return;
    case EMPTY:
        bytes.clear();
        break;
    case CUT_HEADER:
        bytes.resize(std::min<size_t>(bytes.size(), 10));
        break;
    case HALF:
        bytes.resize(bytes.size() / 2);
        break;
    case BIT_FLIPS: {
        std::mt19937 rng(seed);
        // Many flips in the first kilobyte (headers, palettes), a few anywhere.
        for (int i = 0; i < 24 && !bytes.empty(); i++) {
            size_t at = i < 16 ? rng() % std::min<size_t>(bytes.size(), 1078) : rng() % bytes.size();
            bytes[at] ^= (char)(1u << (rng() % 8));
        }
        break;
    }
    }
    write_all(p, bytes);
}

// Start, a short best-of-one match decided by a hit, the win screen, back to the menu, Escape.
void scripted_match()
{
    harness::start_match(1);
    harness::hold(DIK_UP, 5);
    harness::hold(DIK_RIGHT, 3);
    harness::hold(DIK_RETURN);
    frames(30);
    // Let the flight end, then hit player 2's ship.
    shot.state = 0;
    harness::hit_and_settle(ship2);
    frames(2);
    harness::hold(DIK_SPACE);
    frames(2);
    plat_headless_set_key(DIK_ESCAPE, 1);
    frames(1);
    plat_headless_set_key(DIK_ESCAPE, 0);
}

struct FaultMatrix : GameTest {
    void SetUp() override {}
};

TEST_F(FaultMatrix, EveryDamagedAssetStillStartsPlaysAndQuits)
{
    if (!harness::have_assets())
        GTEST_SKIP() << "assets not generated";
    int32_t baseline = plat_surface_live_count();
    for (const char *file : ASSET_FILES) {
        for (int d = MISSING; d <= BIT_FLIPS; d++) {
            SCOPED_TRACE(std::string(file) + " " + DAMAGE_NAMES[d]);
            temp_dir = make_temp_dir();
            for (const auto &e : std::filesystem::directory_iterator(harness::built_assets()))
                std::filesystem::copy_file(e.path(), temp_dir / e.path().filename());
            damage(temp_dir / file, (Damage)d, 1234u + (uint32_t)d);
            start(temp_dir);
            scripted_match();
            EXPECT_EQ(quit_requested, 1);
            game_shutdown();
            plat_shutdown();
            started = false;
            EXPECT_EQ(plat_surface_live_count(), baseline) << "surfaces left behind";
            std::filesystem::current_path(old_dir);
            std::error_code ec;
            std::filesystem::remove_all(temp_dir, ec);
            temp_dir.clear();
        }
    }
}

int soak_matches()
{
    const char *env = std::getenv("QUORVANE_SOAK_MATCHES");
    return env ? std::max(1, std::atoi(env)) : 500;
}

struct Soak : GameTest {
    void SetUp() override {}
};

TEST_F(Soak, RandomMatchesEndOrHitTheCapWithoutLeakingSurfaces)
{
    if (!start_with_assets())
        start();
    const int matches = soak_matches();
    const int frame_cap = 400;
    const int32_t keys[] = {DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_RETURN, DIK_SPACE};
    int won = 0;
    for (int m = 0; m < matches; m++) {
        std::mt19937 rng(7000u + (uint32_t)m);
        harness::start_match(1 + 2 * (int)(rng() % 3));
        int f = 0;
        for (; f < frame_cap && !player1_won && !player2_won; f++) {
            for (int32_t k : keys)
                plat_headless_set_key(k, (rng() % 100) < (k == DIK_RETURN ? 20u : 30u));
            frames(1);
            if (menu_active == 1) {
                // A held Space left the win screen in the very frame that declared the win.
                int32_t needed = (rounds_to_play + rounds_to_play % 2) / 2;
                ASSERT_TRUE(score[0] == needed || score[1] == needed)
                    << "left the play screen without a win, match " << m;
                break;
            }
        }
        harness::release_all();
        if (menu_active == 1) {
            won++;
        } else if (player1_won || player2_won) {
            won++;
            frames(1);
            harness::hold(DIK_SPACE);
        } else {
            // Unfinished at the cap: end it the way a decided match ends.
            player1_won = 1;
            frames(1);
            harness::hold(DIK_SPACE);
        }
        frames(1);
        ASSERT_EQ(menu_active, 1) << "match " << m;
        // Ships' 64 frames, at most three bodies of 18, the back and primary surfaces.
        int32_t live = plat_surface_live_count();
        ASSERT_LE(live, 64 + 3 * 18 + 4) << "surfaces grow across matches, match " << m;
    }
    RecordProperty("matches_won", won);
}

struct Setups : GameTest {
    void SetUp() override
    {
        temp_dir = make_temp_dir(); // no pictures: the layout alone, fast
        start(temp_dir);
    }
};

bool position_exists(const int32_t *others, int count)
{
    for (int32_t v = 213; v <= 406; v++) {
        bool ok = true;
        for (int i = 0; i < count; i++)
            ok = ok && !(others[i] - 50 < v && v < others[i] + 50);
        if (ok)
            return true;
    }
    return false;
}

TEST_F(Setups, HundredThousandLayoutsEndAndKeepBodiesApartWheneverPossible)
{
    int impossible = 0;
    for (int i = 0; i < 100000; i++) {
        plat_headless_set_ticks((uint32_t)i * 7919u);
        game_destroy_bodies();
        game_new_round();
        ASSERT_GE(last_body_index, 0);
        ASSERT_LE(last_body_index, 2);
        int32_t bx[3], by[3];
        for (int b = 0; b <= last_body_index; b++) {
            bx[b] = (int32_t)bodies[b].x;
            by[b] = (int32_t)bodies[b].y;
            ASSERT_GE(bx[b], 213);
            ASSERT_LE(bx[b], 406);
            ASSERT_GE(by[b], 32);
            ASSERT_LE(by[b], 441);
        }
        for (int b = 1; b <= last_body_index; b++) {
            // y always has room (two bands of 99 cannot cover 410 values); x may not.
            bool x_possible = position_exists(bx, b);
            for (int a = 0; a < b; a++) {
                if (x_possible)
                    ASSERT_FALSE(bx[a] - 50 < bx[b] && bx[b] < bx[a] + 50) << "x too close, set-up " << i;
                else
                    impossible++;
                ASSERT_FALSE(by[a] - 50 < by[b] && by[b] < by[a] + 50) << "y too close, set-up " << i;
            }
        }
    }
    RecordProperty("impossible_x", impossible);
}

} // namespace
