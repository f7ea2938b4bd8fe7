// The session: hosting and joining, the version handshake, and the end of a match by a quit, a
// lost peer or a desync.
#include <cstdio>
#include <cstring>

#include "game/game.h"
#include "game/game_internal.h"
#include "net/net_desync.h"
#include "net/net_session.h"
#include "net/net_transport.h"
#include "platform/plat_system.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

NetLink net_link;

namespace {

void set_message(const char *text) { std::snprintf(net_link.message, sizeof net_link.message, "%s", text); }

void set_notice(const char *text) {
    size_t n = std::strlen(text);
    if (n >= sizeof title_notice) n = sizeof title_notice - 1;
    std::memcpy(title_notice, text, n);
    title_notice[n] = '\0';
}

void refuse(ENetPeer *to, uint8_t reason) {
    NetMsg r{};
    r.type = NET_MSG_REFUSE;
    r.reason = reason;
    std::snprintf(r.version, sizeof r.version, "%s", QUORVANE_VERSION);
    net_transport_send_to(to, &r);
}

void accept_hello(const NetMsg &m) {
    if (std::strcmp(m.version, QUORVANE_VERSION) != 0) {
        refuse(net_peer, NET_REFUSE_VERSION);
        net_transport_let_go(net_peer);
        net_peer = nullptr;
        char text[100];
        std::snprintf(text, sizeof text, "Refused a player of version %s (this is %s)", m.version, QUORVANE_VERSION);
        set_notice(text);
        set_message(text);
        return;
    }
    NetMsg w{};
    w.type = NET_MSG_WELCOME;
    std::snprintf(w.version, sizeof w.version, "%s", QUORVANE_VERSION);
    w.seed = net_link.host_seed;
    w.hash = game_state_hash();
    net_transport_send(&w);
}

// 1 when m is for the running match.
int32_t on_receive(ENetPeer *from, const NetEvent &ev, NetMsg *m) {
    if (from != net_peer || !ev.valid) {
        net_link.bad_packets++;
        return 0;
    }
    if (net_link.state == NET_STATE_WAITING && net_link.local_player == 0) {
        if (ev.msg.type == NET_MSG_HELLO)
            accept_hello(ev.msg);
        else if (ev.msg.type == NET_MSG_READY)
            net_session_begin_frames();
        else
            net_link.bad_packets++;
        return 0;
    }
    if (net_link.state != NET_STATE_LINKED) {
        net_link.bad_packets++;
        return 0;
    }
    if (ev.msg.type != NET_MSG_BYE) {
        *m = ev.msg;
        return 1;
    }
    if (ev.msg.reason == NET_BYE_QUIT)
        net_session_end(NET_END_QUIT, "The other player has quit");
    else if (ev.msg.reason == NET_BYE_DESYNC) {
        net_desync_write(net_link.local_player, strm_frame_count() - net_link.frame_base, 0, 0);
        net_session_end(NET_END_DESYNC, "Desync: the other machine found the games out of step");
    } else
        net_link.peer_done = 1;
    return 0;
}

int32_t on_event(const NetEvent &ev, NetMsg *m) {
    switch (ev.kind) {
    case NET_EVENT_CONNECT:
        if (net_link.local_player == 0 && net_link.state == NET_STATE_WAITING && !net_peer) {
            net_transport_accept(ev.peer);
        } else if (ev.peer != net_peer) {
            // A second player while one is joining or playing.
            refuse(ev.peer, NET_REFUSE_BUSY);
            net_transport_let_go(ev.peer);
        }
        return 0;
    case NET_EVENT_RECEIVE: return on_receive(ev.peer, ev, m);
    case NET_EVENT_DISCONNECT:
        if (ev.peer != net_peer) return 0;
        net_peer = nullptr;
        if (net_link.state == NET_STATE_WAITING) return 0; // a player who left before the game began
        net_link.peer_gone = 1;
        return 0;
    default: return 0;
    }
}

} // namespace

void net_session_reset(void) {
    // Who this side is and what the host last seeded outlive a closed link.
    NetLink kept = net_link;
    net_link = NetLink{};
    net_link.state = NET_STATE_OFF;
    net_link.end_reason = NET_END_NONE;
    net_link.local_player = kept.local_player;
    net_link.host_seed = kept.host_seed;
    net_link.welcome_seed = kept.welcome_seed;
    net_link.welcome_hash = kept.welcome_hash;
    net_desync_reset();
    net_peer = nullptr;
}

int32_t net_session_listen(uint16_t port) {
    if (!net_transport_start()) {
        set_message("Cannot start the network layer (ENet)");
        return 0;
    }
    if (!net_transport_listen(port)) {
        std::snprintf(net_link.message, sizeof net_link.message, "Cannot listen on UDP port %u (in use?)", port);
        return 0;
    }
    net_link.local_player = 0;
    net_link.state = NET_STATE_WAITING;
    char text[100];
    std::snprintf(text, sizeof text, "Waiting for a player on port %u", port);
    set_notice(text);
    return 1;
}

int32_t net_session_dial(const char *host, uint16_t port, uint32_t timeout_ms) {
    if (!net_transport_start()) {
        set_message("Cannot start the network layer (ENet)");
        return 0;
    }
    NetDial dialed = net_transport_dial(host, port);
    if (dialed == NET_DIAL_NO_HOST) {
        std::snprintf(net_link.message, sizeof net_link.message, "Cannot find the host %s", host);
        return 0;
    }
    if (dialed == NET_DIAL_NO_SOCKET) {
        set_message("Cannot open a UDP socket");
        return 0;
    }
    net_link.local_player = 1;
    if (dialed == NET_DIAL_NO_PEER) {
        set_message("Cannot start a connection");
        net_close(0);
        return 0;
    }
    uint32_t started = net_now_ms();
    int32_t connected = 0, welcomed = 0;
    while (!welcomed && net_now_ms() - started < timeout_ms) {
        plat_pump_events();
        NetEvent ev;
        if (!net_transport_next(NET_SLICE_MS, &ev)) continue;
        if (ev.kind == NET_EVENT_CONNECT) {
            connected = 1;
            NetMsg m{};
            m.type = NET_MSG_HELLO;
            std::snprintf(m.version, sizeof m.version, "%s", QUORVANE_VERSION);
            net_transport_send(&m);
        } else if (ev.kind == NET_EVENT_DISCONNECT) {
            net_peer = nullptr;
            break;
        } else if (ev.kind == NET_EVENT_RECEIVE) {
            const NetMsg &m = ev.msg;
            if (!ev.valid) {
                net_link.bad_packets++;
            } else if (m.type == NET_MSG_REFUSE) {
                if (m.reason == NET_REFUSE_VERSION)
                    std::snprintf(net_link.message, sizeof net_link.message,
                                  "The host runs version %s, this is version %s: both must match", m.version,
                                  QUORVANE_VERSION);
                else
                    set_message("The host is already playing with someone else");
                net_close(0);
                return 0;
            } else if (m.type == NET_MSG_WELCOME && std::strcmp(m.version, QUORVANE_VERSION) == 0) {
                net_link.welcome_seed = m.seed;
                net_link.welcome_hash = m.hash;
                welcomed = 1;
            } else {
                net_link.bad_packets++;
            }
        }
    }
    if (!welcomed) {
        if (!net_link.message[0])
            std::snprintf(net_link.message, sizeof net_link.message,
                          connected ? "The host at %s:%u did not answer" : "Cannot reach a game hosted at %s:%u", host,
                          port);
        net_close(0);
        return 0;
    }
    // Seeds and frames count from here; game_init takes seed number 0.
    net_link.state = NET_STATE_WAITING;
    net_link.seed_base = strm_seed_count();
    return 1;
}

void net_session_begin_frames(void) {
    net_link.state = NET_STATE_LINKED;
    net_link.frame_base = strm_frame_count();
    if (net_link.local_player == 0) net_link.seed_base = strm_seed_count();
    net_desync_begin();
    set_notice("Online: the host is player 1 (left), the guest player 2 (right)");
}

void net_session_end(int32_t reason, const char *text) {
    if (net_link.state != NET_STATE_LINKED && net_link.state != NET_STATE_WAITING) return;
    net_link.state = NET_STATE_ENDED;
    net_link.end_reason = reason;
    net_link.ended_now = 1;
    set_message(text);
    net_transport_hang_up(reason != NET_END_QUIT && reason != NET_END_DESYNC && reason != NET_END_LOCAL);
}

void net_session_send_simple(uint8_t type, uint8_t reason) {
    NetMsg m{};
    m.type = type;
    m.reason = reason;
    net_transport_send(&m);
}

void net_session_desync(uint32_t frame, uint64_t mine, uint64_t theirs, const char *what) {
    if (net_link.state != NET_STATE_LINKED) return;
    net_desync_write(net_link.local_player, frame, mine, theirs);
    char text[200];
    std::snprintf(text, sizeof text, "Desync at frame %u (%s): the match is over", frame, what);
    net_session_send_simple(NET_MSG_BYE, NET_BYE_DESYNC);
    net_session_end(NET_END_DESYNC, text);
}

int32_t net_session_next(uint32_t ms, NetMsg *m) {
    NetEvent ev;
    while (net_transport_next(ms, &ev)) {
        ms = 0;
        if (on_event(ev, m)) return 1;
    }
    return 0;
}

void net_close(uint8_t reason) {
    if (net_transport_open()) {
        if (net_peer && reason && (net_link.state == NET_STATE_LINKED || net_link.state == NET_STATE_WAITING)) {
            net_session_send_simple(NET_MSG_BYE, reason);
            net_transport_let_go(net_peer);
        }
        net_transport_close();
    }
    net_peer = nullptr;
    if (net_link.state == NET_STATE_LINKED || net_link.state == NET_STATE_WAITING) {
        for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, nullptr);
        strm_set_seed_source(nullptr);
        net_link.state = reason == NET_BYE_DONE ? NET_STATE_DONE : NET_STATE_OFF;
    }
    net_transport_stop();
}

int32_t net_state(void) { return net_link.state; }
int32_t net_end_reason(void) { return net_link.end_reason; }
int32_t net_local_player(void) { return net_link.local_player; }
const char *net_message(void) { return net_link.message; }
uint32_t net_bad_packets(void) { return net_link.bad_packets; }
uint32_t net_round_trip_ms(void) { return net_transport_round_trip_ms(); }
uint32_t net_frames(void) { return strm_frame_count() - net_link.frame_base; }

void net_return_to_menu(void) {
    game_destroy_bodies();
    game_reset_shot();
    game_reset_particles();
    game_new_round();
    score[0] = score[1] = 0;
    menu_active = 1;
    options_active = story_active = 0;
    ship1.x = 230.0f;
    ship1.y = 305.0f;
    ship2.x = 390.0f;
    ship2.y = 305.0f;
    set_notice(net_link.message);
}
