// The lockstep exchange: each seat's keys from the machine that has the say over it, the host's
// seed ticks, and a hash at every round end; the streams' seats and tap while a link is up.
#include <cstdio>

#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/clock.h"
#include "net/net_desync.h"
#include "net/net_rdv.h"
#include "net/net_session.h"
#include "net/net_transport.h"
#include "platform/plat_system.h"

namespace {

constexpr uint32_t QUEUE_SIZE = 1u << 16; // frames received and not yet played
constexpr uint32_t SEED_QUEUE = 1024;     // a watcher may get a whole match's seeds at once

struct Remote {
    uint32_t frame;
    uint8_t seat, keys;
};

uint32_t poll_ms;
StrmKeysFn local_keys;
Remote *queue;
uint32_t q_head, q_count, last_remote_frame;
int32_t any_remote;
uint32_t seed_ticks[SEED_QUEUE];
uint32_t seeds_received; // seeds 1..seeds_received have arrived (number 0 is in WELCOME)
NetWaits waits;
int32_t last_seat_local;

// Whether this side has the say over seat at frame: never while watching, nor over the frames a
// new game in a dropped seat catches up on.
int32_t is_local_seat(int32_t seat, uint32_t frame) {
    if (net_link.watching || frame < net_link.catch_up_to) return 0;
    if (seat == STRM_SEAT_MENUS) return net_link.local_player == 0;
    return seat == net_link.local_player;
}

void take_hash(uint32_t frame) {
    uint64_t mine, theirs;
    if (net_desync_compare(frame, &mine, &theirs)) net_session_desync(frame, mine, theirs, "the game states differ");
}

void take(const NetMsg &m) {
    switch (m.type) {
    case NET_MSG_FRAME:
        // The peer only ever speaks for its own seats, in rising frame order.
        if (is_local_seat(m.seat, m.frame) || (any_remote && m.frame <= last_remote_frame) || q_count == QUEUE_SIZE) {
            net_link.bad_packets++;
            return;
        }
        queue[(q_head + q_count) % QUEUE_SIZE] = {m.frame, m.seat, m.keys};
        q_count++;
        last_remote_frame = m.frame;
        any_remote = 1;
        return;
    case NET_MSG_SEED:
        // The joiner's seeds, and those a new game in the maker's seat catches up on.
        if ((net_link.local_player != 1 && !net_link.rejoined) || m.frame != seeds_received + 1) {
            net_link.bad_packets++;
            return;
        }
        seed_ticks[m.frame % SEED_QUEUE] = m.seed;
        seeds_received = m.frame;
        return;
    case NET_MSG_HASH:
        net_desync_store(1, m.frame, m.hash);
        take_hash(m.frame);
        return;
    default: net_link.bad_packets++; return;
    }
}

// Takes what has arrived, waiting up to ms for the first event.
void service(uint32_t ms) {
    NetMsg m;
    while (net_session_next(ms, &m)) {
        ms = 0;
        take(m);
    }
}

// The link dropped in a room's match: the game stands at the frame it reached while the session
// reaches the other side again. Returns once the match goes on, has ended, or Escape is down.
void hold(void) {
    while (net_link.relinking && !plat_quit_signal() && !plat_escape_down() && net_session_relink_slice())
        service(NET_SLICE_MS);
}

// The transport lost the peer: a room's match holds for it, any other ends. 1 when it went on.
int32_t peer_lost(void) {
    net_session_lost();
    hold();
    return net_link.state == NET_STATE_LINKED && !net_link.relinking;
}

int32_t remote_keys(int32_t seat, uint32_t frame, uint8_t *keys) {
    uint32_t started = net_now_ms();
    for (;;) {
        if (q_count) {
            Remote r = queue[q_head];
            if (r.frame != frame || r.seat != seat) {
                char what[100];
                std::snprintf(what, sizeof what, "the other side played seat %u at frame %u", r.seat, r.frame);
                net_session_desync(frame, 0, 0, what);
                return 0;
            }
            uint32_t waited = net_now_ms() - started;
            if (last_seat_local) {
                waits.turn_changes++;
                waits.turn_total_ms += waited;
                if (waited > waits.turn_longest_ms) waits.turn_longest_ms = waited;
            } else {
                waits.frames++;
                waits.frame_total_ms += waited;
                if (waited > waits.frame_longest_ms) waits.frame_longest_ms = waited;
            }
            last_seat_local = 0;
            q_head = (q_head + 1) % QUEUE_SIZE;
            q_count--;
            // Only the local keyboard quits this game; the peer's leaving comes as a BYE.
            *keys = r.keys & static_cast<uint8_t>(~STRM_KEY_ESCAPE);
            // The next frame is here already: this one runs short, so the lag melts. Only
            // in a paced loop: the simulator's frames take no time and its clock must stay its own.
            // A watcher far behind (catching up from the match's start) runs them unpaced.
            int32_t catching_up = net_link.watching || frame < net_link.catch_up_to;
            if (q_count >= 1 && poll_ms == 0) clock_start_ticks -= catching_up && q_count > 2 ? 33 : 16;
            return 1;
        }
        if (plat_escape_down()) {
            *keys = STRM_KEY_ESCAPE;
            return 1;
        }
        // Waits run on the ENet clock: the simulator's game clock is virtual.
        if (net_link.state != NET_STATE_LINKED || plat_quit_signal()) return 0;
        // Keys may be slow on a bad link; only the transport says the peer is lost. A quit counts
        // once every frame sent before it is played.
        if (net_link.peer_gone || net_link.relinking || net_link.peer_quit) {
            if (!peer_lost() && !plat_escape_down()) return 0;
            continue;
        }
        plat_pump_events();
        service(NET_SLICE_MS);
    }
}

int32_t net_seat_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (net_link.state == NET_STATE_WAITING) {
        service(poll_ms);
        if (net_link.state == NET_STATE_WAITING) {
            // The menus wait with the peer: only Escape counts, so both games start alike.
            uint8_t k = 0;
            local_keys(seat, &k);
            *keys = k & STRM_KEY_ESCAPE;
            return 1;
        }
    }
    if (net_link.state != NET_STATE_LINKED) return local_keys(seat, keys);
    uint32_t frame = strm_frame_count() - net_link.frame_base;
    if (!is_local_seat(seat, frame)) return remote_keys(seat, frame, keys);
    service(0);
    if (net_link.relinking) hold();
    if (net_link.state != NET_STATE_LINKED) return local_keys(seat, keys);
    last_seat_local = 1;
    int32_t ok = local_keys(seat, keys);
    NetMsg m{};
    m.type = NET_MSG_FRAME;
    m.frame = frame;
    m.seat = static_cast<uint8_t>(seat);
    m.keys = ok ? static_cast<uint8_t>(*keys & STRM_KEY_MASK) : 0;
    net_session_send_match(&m);
    return ok;
}

// The joiner's seeds: number 0 came with WELCOME, the rest follow the host's round set-ups.
int32_t net_seed_source(uint32_t live_tick, uint32_t *seed) {
    *seed = live_tick;
    if (net_link.state != NET_STATE_LINKED && net_link.state != NET_STATE_WAITING) return 0;
    uint32_t number = strm_seed_count() - net_link.seed_base;
    if (number == 0) {
        *seed = net_link.welcome_seed;
        return 1;
    }
    while (seeds_received < number) {
        // A new game in the maker's seat: a seed its stream lacks is its own to draw.
        if (net_link.local_player == 0 && !net_link.stream_count) return 0;
        if (net_link.state != NET_STATE_LINKED || plat_quit_signal()) return 0;
        if ((net_link.peer_gone || net_link.relinking || net_link.peer_quit) && !peer_lost()) return 0;
        plat_pump_events();
        service(NET_SLICE_MS);
    }
    if (number + SEED_QUEUE <= seeds_received) return 0;
    *seed = seed_ticks[number % SEED_QUEUE];
    return 1;
}

void net_tap(int32_t kind, int32_t seat, uint32_t value) {
    if (kind == STRM_EVENT_SEED) net_link.host_seed = value;
    if (net_link.state != NET_STATE_LINKED) return;
    if (kind == STRM_EVENT_SEED) {
        // Counted from before game_init on a side that took seed 0 from the WELCOME.
        uint32_t number = strm_seed_count() - net_link.seed_base - (net_link.local_player == 1 || net_link.rejoined);
        net_desync_log(STRM_EVENT_SEED, 0, number, value);
        if (net_link.local_player == 0) net_session_tell_watchers(STRM_EVENT_SEED, 0, number, value);
        // Seeds the stayed side sent in the stream are its already.
        if (net_link.local_player == 0 && number > seeds_received) {
            NetMsg m{};
            m.type = NET_MSG_SEED;
            m.frame = number;
            m.seed = value;
            net_session_send_match(&m);
        }
        return;
    }
    uint32_t frame = strm_frame_count() - 1 - net_link.frame_base;
    net_desync_log(STRM_EVENT_FRAME, static_cast<uint8_t>(seat), frame, value);
    if (net_link.local_player == 0)
        net_session_tell_watchers(STRM_EVENT_FRAME, static_cast<uint8_t>(seat), frame, value);
    if (value & STRM_KEY_ESCAPE) {
        net_session_send_simple(NET_MSG_BYE, NET_BYE_QUIT);
        net_session_end(NET_END_LOCAL, "You have quit the online match");
        return;
    }
    // A hash of each round's end (any change of score) from both sides.
    if (net_desync_round_ended()) {
        uint64_t h = game_state_hash();
        net_desync_store(0, frame, h);
        NetMsg m{};
        m.type = NET_MSG_HASH;
        m.frame = frame;
        m.hash = h;
        net_session_send_match(&m);
        take_hash(frame);
    }
    // A round end the peer hashed and this side passed without one.
    uint32_t at;
    uint64_t theirs;
    if (net_desync_one_sided(frame, &at, &theirs)) net_session_desync(at, 0, theirs, "a round ended on one side only");
}

void reset(StrmKeysFn keys, uint32_t wait_ms) {
    net_session_reset();
    local_keys = keys ? keys : strm_keyboard_keys;
    poll_ms = wait_ms;
    if (!queue) queue = new Remote[QUEUE_SIZE];
    q_head = q_count = last_remote_frame = 0;
    any_remote = 0;
    seeds_received = 0;
    waits = NetWaits{};
    last_seat_local = 0;
}

void install(void) {
    for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, net_seat_keys);
    if (net_link.local_player == 1 || net_link.rejoined) strm_set_seed_source(net_seed_source);
    static int32_t tapped;
    if (!tapped) tapped = strm_add_tap(net_tap);
}

} // namespace

int32_t net_host(uint16_t port, StrmKeysFn keys, uint32_t wait_ms) {
    net_close(0);
    reset(keys, wait_ms);
    if (!net_session_listen(port)) return 0;
    install();
    return 1;
}

int32_t net_join(const char *host, uint16_t port, StrmKeysFn keys, uint32_t wait_ms, uint32_t timeout_ms) {
    net_close(0);
    reset(keys, wait_ms);
    if (!net_session_dial(host, port, timeout_ms)) return 0;
    install();
    return 1;
}

int32_t net_online(const char *server, uint16_t port, const char *code, StrmKeysFn keys, uint32_t wait_ms,
                   uint32_t timeout_ms) {
    net_close(0);
    reset(keys, wait_ms);
    uint32_t number = 0;
    if (code && code[0] && !net_rdv_code_parse(code, &number)) {
        std::snprintf(net_link.message, sizeof net_link.message, "'%s' is not a room code", code);
        return 0;
    }
    if (!net_session_meet(server, port, number, timeout_ms)) return 0;
    install();
    return 1;
}

int32_t net_ready(void) {
    if ((net_link.local_player != 1 && !net_link.rejoined) || net_link.state != NET_STATE_WAITING) return 0;
    net_session_begin_frames();
    if (game_state_hash() != net_link.welcome_hash) {
        net_session_desync(0, game_state_hash(), net_link.welcome_hash, "the games start differently");
        return 0;
    }
    // A watcher and a new game in a dropped seat are sent the match as it stands, unasked.
    if (!net_link.watching && !net_link.rejoined) net_session_send_simple(NET_MSG_READY, 0);
    return 1;
}

int32_t net_after_frame(void) {
    if (net_link.state == NET_STATE_LINKED || net_link.state == NET_STATE_WAITING)
        service(0);
    else if (net_link.state == NET_STATE_ENDED && net_link.local_player == 0)
        net_session_turn_away();
    // Gone without a goodbye while this side plays its own frames: no need to wait for its turn.
    // A room's match stands at the first frame it has no keys for: every frame it took is
    // played, so its log is where the match stands for a new game in the dropped seat.
    if (net_link.state == NET_STATE_LINKED && (net_link.peer_gone || net_link.peer_quit) && !net_link.peer_done &&
        q_count == 0)
        peer_lost();
    if (!net_link.ended_now) return 0;
    net_link.ended_now = 0;
    if (net_link.end_reason == NET_END_LOCAL) return 0;
    for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, nullptr);
    strm_set_seed_source(nullptr);
    return 1;
}

NetWaits net_waits(void) { return waits; }
