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
#include "net/net.h"
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

// Online: this side's seat from the computer when the address asked for it, else the keyboard.
int32_t computer_seat = -1;
int32_t online_local_keys(int32_t seat, uint8_t *keys) {
    if (seat == computer_seat) return ai_keys(seat, keys);
    return strm_keyboard_keys(seat, keys);
}

char waiting_line[320];
void draw_waiting(void) { game_draw_waiting(waiting_line, nullptr); }

// Back on the title menu with a winner's score: the match has been played to its end.
int32_t match_over(void) {
    int32_t needed = (rounds_to_play + rounds_to_play % 2) / 2;
    return game_current_screen() == GAME_SCREEN_MENU && (score[0] >= needed || score[1] >= needed);
}

EM_JS(void, web_room_made, (const char *code), {
    if (Module["onRoom"]) Module["onRoom"](UTF8ToString(code));
});

// One match through the room server: a room made (its code on the title screen and in the page)
// or joined by code. Its result line, frames counted from the link as quorvane-sim counts them.
int online(const AppOptions &options) {
    int32_t joining = options.online_code[0] != 0;
    if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) {
        web_finished(plat_error(), nullptr, 1);
        return 1;
    }
    web_set_fast(web_fast_requested());
    game_report_missing_files();
    StrmKeysFn local = nullptr;
    if (options.computer[joining]) {
        ai_setup(joining, options.level[joining]);
        computer_seat = joining;
        local = online_local_keys;
    }
    if (joining)
        std::snprintf(waiting_line, sizeof waiting_line, "Room %s: reaching the other player", options.online_code);
    else
        std::snprintf(waiting_line, sizeof waiting_line, "Making a room on the room server %s, port %u",
                      options.server_host, options.server_port);
    net_set_wait_hook(draw_waiting);
    if (!net_online(options.server_host, options.server_port, options.online_code, local, 0, 20000)) {
        std::fprintf(stderr, "quorvane: %s\n", net_message());
        game_draw_waiting(waiting_line, net_message());
        web_finished(net_message(), nullptr, 1);
        return 1;
    }
    net_set_wait_hook(nullptr);
    if (!joining) web_room_made(net_room_code());
    game_init();
    if (joining && !net_ready()) {
        web_finished(net_message(), nullptr, 1);
        return 1;
    }
    PlatMessage msg{};
    char line[200] = "";
    int32_t failed = 0;
    for (;;) {
        if (plat_message_peek(&msg)) {
            if (msg.type == PLAT_MSG_QUIT) break;
            game_window_proc(&msg);
        }
        game_frame();
        if (net_after_frame()) {
            std::snprintf(line, sizeof line, "%s", net_message());
            failed = 1;
            break;
        }
        if (net_state() == NET_STATE_LINKED && match_over()) {
            RplResult result = rpl_result_now();
            result.frames = net_frames();
            rpl_format_result(&result, line, sizeof line);
            std::printf("%s\n", line);
            break;
        }
    }
    net_close(failed ? 0 : NET_BYE_DONE);
    game_shutdown();
    plat_shutdown();
    web_finished(line, nullptr, failed);
    return failed;
}

} // namespace

int main(int argc, char **argv) {
    // When the page's start-up reached the game (tools/webfirstpic measures the steps).
    EM_ASM({ Module["mainMs"] = performance.now(); });
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
    if (options.online) return online(options);

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
