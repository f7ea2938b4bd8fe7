// Entry point: the command line, the window, start-up, the message loop and shutdown.
#include <cstdio>

#include "ai/ai.h"
#include "app/loop.h"
#include "app/options.h"
#include "game/game.h"
#include "game/game_internal.h"
#include "net/net.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

namespace {

// --replay: the recorded match in the window, its result line on stdout at the end.
int replay(const RplRecording &rec) {
    char error[RPL_ERROR_MAX];
    char line[128];
    int32_t outcome = rpl_play_to_end(&rec, line, sizeof line, error, sizeof error);
    if (outcome == 1) {
        std::fprintf(stderr, "quorvane: %s\n", error);
        return 0;
    }
    std::printf("%s\n", line);
    if (error[0]) std::fprintf(stderr, "quorvane: %s\n", error); // a note when 0
    return outcome;
}

// Online: this machine's seat from the computer when --computer gave it, the rest from the keyboard.
int32_t computer_seat = -1;
int32_t online_local_keys(int32_t seat, uint8_t *keys) {
    if (seat == computer_seat) return ai_keys(seat, keys);
    return strm_keyboard_keys(seat, keys);
}

// Reaching the other side or the room server, or taking the port to host on: the window says what
// it waits for from the start, and why it gave up at the end.
char waiting_line[320];
uint32_t waiting_drawn_at;
int32_t waiting_drawn;

void draw_waiting(void) {
    uint32_t now = plat_ticks();
    if (waiting_drawn && now - waiting_drawn_at < 100) return;
    waiting_drawn = 1;
    waiting_drawn_at = now;
    game_draw_waiting(waiting_line, nullptr);
}

// A room's match standing for a dropped link: what it waits for, and for how long yet.
void draw_held(void) {
    uint32_t now = plat_ticks();
    if (waiting_drawn && now - waiting_drawn_at < 100) return;
    waiting_drawn = 1;
    waiting_drawn_at = now;
    uint32_t held = net_held_ms();
    char second[100];
    std::snprintf(second, sizeof second, "%u s left; Escape leaves the match",
                  held < 90000 ? (90000 - held) / 1000 : 0);
    game_draw_waiting(net_message(), second);
}

// The reason stays on screen a few seconds, or until Escape or the window is closed.
void show_online_failure(const char *reason) {
    game_draw_waiting(waiting_line, reason);
    uint32_t shown = plat_ticks();
    PlatMessage msg{};
    while (plat_ticks() - shown < 5000 && !plat_quit_signal()) {
        plat_pump_events();
        if (plat_escape_down()) break;
        if (plat_message_peek(&msg) && msg.type == PLAT_MSG_QUIT) break;
        game_draw_waiting(waiting_line, reason);
        plat_wait_ticks(plat_ticks(), 100);
    }
}

} // namespace

int main(int argc, char **argv) {
    AppOptions options;
    int32_t exit_code = 0;
    if (!app_parse_options(APP_PROGRAM_GAME, argc, argv, &options, &exit_code)) return exit_code;

    static RplRecording recording;
    char error[RPL_ERROR_MAX];
    if (options.replay_path[0] && !rpl_load(options.replay_path, &recording, error, sizeof error)) {
        std::fprintf(stderr, "quorvane: %s\n", error);
        return 2;
    }
    // From here on a quit signal ends the game through its shutdown below, which closes the recording.
    plat_catch_quit_signals();
    if (options.record_path[0] && !rpl_record_start(options.record_path, error, sizeof error)) {
        std::fprintf(stderr, "quorvane: %s\n", error);
        return 2;
    }

    if (!plat_init()) {
        std::fprintf(stderr, "quorvane: cannot start the platform layer: %s\n", plat_error());
        rpl_record_abandon();
        return 1;
    }
    if (!plat_window_open("Quorvane", 640, 480, options.windowed ? 0 : 1)) {
        std::fprintf(stderr, "quorvane: cannot open the game window: %s\n", plat_error());
        rpl_record_abandon();
        plat_shutdown();
        return 1;
    }
    // The simulator needs no files; the game says which ones it will do without.
    game_report_missing_files();
    if (options.replay_path[0]) return replay(recording);
    static_assert(int32_t{APP_LEVEL_EASY} == int32_t{AI_LEVEL_EASY} &&
                  int32_t{APP_LEVEL_HARD} == int32_t{AI_LEVEL_HARD});
    // The computer takes the seats it was given; the menus stay with the people.
    for (int32_t p = 0; p < 2; p++) {
        if (!options.computer[p]) continue;
        ai_setup(p, options.level[p]);
        strm_set_seat(p, ai_keys);
    }
    // Online: the joiner connects before game_init, which starts from the host's seed; the host
    // waits on its title menu.
    int32_t online = options.host || options.join_host[0] || options.online;
    int32_t joining = options.join_host[0] || options.online_code[0];
    StrmKeysFn local = nullptr;
    if (online && options.computer[joining]) {
        computer_seat = joining;
        local = online_local_keys;
    }
    if (options.online_code[0])
        std::snprintf(waiting_line, sizeof waiting_line, "Room %s: reaching the other player", options.online_code);
    else if (options.join_host[0])
        std::snprintf(waiting_line, sizeof waiting_line, "Joining %s, port %u: waiting for the host", options.join_host,
                      options.port);
    else if (options.online)
        std::snprintf(waiting_line, sizeof waiting_line, "Making a room on the room server %s, port %u",
                      options.server_host, options.server_port);
    else if (options.host)
        std::snprintf(waiting_line, sizeof waiting_line, "Hosting on port %u", options.port);
    if (joining || options.online) net_set_wait_hook(draw_waiting);
    int32_t linked = 1;
    if (options.online)
        linked = net_online(options.server_host, options.server_port, options.online_code, local, 0, 20000);
    else if (options.join_host[0])
        linked = net_join(options.join_host, options.port, local, 0, 8000);
    else if (options.host)
        linked = net_host(options.port, local, 0);
    if (!linked) {
        // Asked to quit while the other side was still being reached: that is no failure.
        if (!plat_quit_signal()) {
            std::fprintf(stderr, "quorvane: %s\n", net_message());
            show_online_failure(net_message());
        }
        rpl_record_abandon();
        plat_shutdown();
        return plat_quit_signal() ? 0 : 1;
    }
    // A join by code may be given the maker's seat back: the computer plays that one.
    if (computer_seat >= 0 && computer_seat != net_local_player()) {
        ai_reset();
        ai_setup(net_local_player(), options.level[computer_seat]);
        computer_seat = net_local_player();
    }
    net_set_wait_hook(options.online ? draw_held : nullptr);
    game_init();
    if (joining) net_ready();

    while (app_loop_pass(&exit_code)) {
        if (online && net_after_frame()) {
            std::fprintf(stderr, "quorvane: %s\n", net_message());
            if (net_desync_path()[0])
                std::fprintf(stderr, "quorvane: input streams written to %s\n", net_desync_path());
            net_return_to_menu();
        }
    }

    if (plat_quit_signal()) rpl_record_signal(plat_quit_signal());
    if (rpl_recording()) {
        RplResult result = rpl_result_now();
        if (rpl_record_finish(error, sizeof error)) {
            char line[128];
            rpl_format_result(&result, line, sizeof line);
            std::printf("%s\n", line);
        } else {
            std::fprintf(stderr, "quorvane: %s\n", error);
            if (exit_code == 0) exit_code = 1;
        }
    }
    if (online) {
        NetWaits w = net_waits();
        if (w.turn_changes)
            std::fprintf(stderr,
                         "quorvane: online: waited %.0f ms on average (longest %u ms) at %u changes of turn, "
                         "%.1f ms at other frames; round trip %u ms; %u bad packets\n",
                         double(w.turn_total_ms) / w.turn_changes, w.turn_longest_ms, w.turn_changes,
                         w.frames ? double(w.frame_total_ms) / w.frames : 0.0, net_round_trip_ms(), net_bad_packets());
        net_close(NET_BYE_QUIT);
    }
    game_shutdown();
    plat_shutdown();
    return exit_code;
}
