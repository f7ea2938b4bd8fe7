// The start-up line that names the working folder and the game files missing from it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "game/game_internal.h"

namespace {

namespace fs = std::filesystem;

struct MissingCase {
    std::vector<std::string> absent;
    const char *names; // as the line lists them
    const char *verb;
};

TEST(MissingFiles, OneLineNamesTheFolderAndEveryAbsentFile) {
    const MissingCase cases[] = {
        {{}, nullptr, nullptr},
        {{GAME_FILE_THEME}, "THEME.MID", "is"},
        {{GAME_FILE_EXPLOSION, GAME_FILE_PALETTE, GAME_FILE_EARTH}, "PALDATA2.PAL, earthlk1.BMP, EXP1.WAV", "are"},
    };
    const fs::path old_dir = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("quorvane_missing_" + std::to_string(getpid()));
    for (const MissingCase &c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const char *name : GAME_FILES) {
            if (std::find(c.absent.begin(), c.absent.end(), name) == c.absent.end())
                std::fclose(std::fopen((dir / name).c_str(), "wb"));
        }
        fs::current_path(dir);
        testing::internal::CaptureStderr();
        int32_t count = game_report_missing_files();
        std::string err = testing::internal::GetCapturedStderr();
        fs::current_path(old_dir);

        EXPECT_EQ(count, static_cast<int32_t>(c.absent.size()));
        std::string want = c.names ? std::string("quorvane: ") + c.names + " " + c.verb + " missing from " +
                                         dir.string() + " (the game's files are read from the working folder)\n"
                                   : "";
        EXPECT_EQ(err, want);
    }
    fs::remove_all(dir);
}

} // namespace
