// The page's entry point: the desktop game's loop (options from the address's query, the
// computer's seats, the message loop, the recording), run under Asyncify so the game's own
// waits hand the page back to the browser. What the page shows at the end comes from here.
#include <emscripten.h>
#include <sys/stat.h>

#include <cstdio>

#include "ai/ai.h"
#include "app/loop.h"
#include "app/options.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_system.h"
#include "platform/web/web_internal.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace {

// MEMFS lets the game write only below /tmp.
constexpr const char *SESSION_RECORDING = "/tmp/session.qvr";

// The page: the result line, and the recording to offer (null for none), once the game is over.
EM_JS(void, web_finished, (const char *line, const char *recording, int failed), {
    if (Module["onFinished"])
        Module["onFinished"](UTF8ToString(line), recording ? UTF8ToString(recording) : null, !!failed);
});
EM_JS(int, web_fast_requested, (void), { return Module["fast"] ? 1 : 0; });

int replay(const char *path) {
    static RplRecording rec;
    char error[RPL_ERROR_MAX];
    if (!rpl_load(path, &rec, error, sizeof error)) {
        std::fprintf(stderr, "quorvane: %s\n", error);
        web_finished(error, nullptr, 1);
        return 2;
    }
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) {
        web_finished(plat_error(), nullptr, 1);
        return 1;
    }
    web_set_fast(web_fast_requested());
    char line[128];
    int32_t outcome = rpl_play_to_end(&rec, line, sizeof line, error, sizeof error);
    std::printf("%s\n", line);
    if (outcome != 0) std::fprintf(stderr, "quorvane: %s\n", error);
    web_finished(line, nullptr, outcome != 0);
    return outcome;
}

} // namespace

int main(int argc, char **argv) {
    // Emscripten starts with a umask of 0777, under which the recording's file, once given the
    // mask's permissions, could no longer be written.
    umask(022);
    AppOptions options;
    int32_t exit_code = 0;
    if (!app_parse_options(APP_PROGRAM_GAME, argc, argv, &options, &exit_code)) {
        web_finished("the address asks for something the game does not know", nullptr, 1);
        return exit_code;
    }
    if (options.replay_path[0]) return replay(options.replay_path);

    char error[RPL_ERROR_MAX];
    int32_t recording = rpl_record_start(SESSION_RECORDING, error, sizeof error);
    if (!recording) std::fprintf(stderr, "quorvane: %s\n", error);
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) {
        std::fprintf(stderr, "quorvane: cannot start: %s\n", plat_error());
        rpl_record_abandon();
        web_finished(plat_error(), nullptr, 1);
        return 1;
    }
    game_report_missing_files();
    // The seats' key sources: the computer where asked, the keyboard and pads otherwise.
    for (int32_t p = 0; p < 2; p++) {
        if (!options.computer[p]) continue;
        ai_setup(p, options.level[p]);
        strm_set_seat(p, ai_keys);
    }
    game_init();

    while (app_loop_pass(&exit_code)) {
    }

    char line[128] = "";
    int32_t kept = 0;
    if (recording) {
        RplResult result = rpl_result_now();
        kept = rpl_record_finish(error, sizeof error);
        rpl_format_result(&result, line, sizeof line);
        if (kept)
            std::printf("%s\n", line);
        else
            std::fprintf(stderr, "quorvane: %s\n", error);
    }
    game_shutdown();
    plat_shutdown();
    web_finished(line, kept ? SESSION_RECORDING : nullptr, 0);
    return exit_code;
}
