// Shared pieces of the replay tests: paths, files, running the programs, a fresh headless game.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/game.h"
#include "platform/plat_headless.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace rt {

namespace fs = std::filesystem;

inline fs::path corpus_dir() { return fs::path(QUORVANE_SOURCE_DIR) / "tests" / "replays"; }
inline fs::path binary(const char *name) { return fs::path(QUORVANE_BINARY_DIR) / name; }

inline std::vector<uint8_t> read_bytes(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_bytes(const fs::path &p, const std::vector<uint8_t> &bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string read_text(const fs::path &p) {
    std::ifstream in(p);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

struct Run {
    int code;
    std::string out, err;
};

// Runs a shell command line in dir, capturing stdout and stderr apart.
inline Run run(const std::string &command, const fs::path &dir) {
    fs::path err_file = dir / "stderr.txt";
    std::string line = "cd '" + dir.string() + "' && " + command + " 2>'" + err_file.string() + "'";
    Run r{-1, "", ""};
    FILE *p = popen(line.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read_text(err_file);
    fs::remove(err_file);
    return r;
}

inline std::string last_line(std::string s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();
    size_t nl = s.rfind('\n');
    return nl == std::string::npos ? s : s.substr(nl + 1);
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
