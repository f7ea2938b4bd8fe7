// Shared pieces of the replay tests: paths, files, running the programs, a fresh headless game.
#pragma once
#include <gtest/gtest.h>

#include <vector>

#include "game/game.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"
#include "tests/replay/proc.h"

namespace rt {

inline fs::path corpus_dir() { return fs::path(QUORVANE_SOURCE_DIR) / "tests" / "replays"; }
inline fs::path binary(const char *name) { return fs::path(QUORVANE_BINARY_DIR) / name; }

inline void write_bytes(const fs::path &p, const std::vector<uint8_t> &bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline RplRecording load(const fs::path &p) {
    RplRecording rec;
    char error[RPL_ERROR_MAX] = "";
    EXPECT_EQ(rpl_load(p.c_str(), &rec, error, sizeof error), 1) << error;
    return rec;
}

// A scratch folder of its own for each test, removed after it.
class ReplayTest : public ::testing::Test {
protected:
    fs::path dir, old_dir;

    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "quorvane-replay-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        ASSERT_NE(mkdtemp(buf.data()), nullptr);
        dir = buf.data();
        old_dir = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(old_dir);
        std::error_code ec;
        fs::remove_all(dir, ec);
        strm_reset();
    }

    // Plays rec in-process in folder where, drawing (blind 0) or not, as the programs do.
    // escape_held: the viewer holds Escape throughout.
    int32_t play_here(const RplRecording &rec, const fs::path &where, int32_t blind, RplResult *result,
                      std::string *error = nullptr, int32_t escape_held = 0) {
        fs::current_path(where);
        plat_headless_reset();
        EXPECT_EQ(plat_init(), 1);
        EXPECT_EQ(plat_window_open("Quorvane", 640, 480, 1), 1);
        plat_headless_set_blind(blind);
        plat_headless_set_escape(escape_held);
        strm_reset();
        char text[RPL_ERROR_MAX] = "";
        int32_t outcome = rpl_play(&rec, result, text, sizeof text);
        game_shutdown();
        plat_shutdown();
        plat_headless_reset();
        fs::current_path(old_dir);
        if (error) *error = text;
        return outcome;
    }
};

} // namespace rt
