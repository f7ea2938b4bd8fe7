// The session: hosting and joining, the version handshake, and the end of a match by a quit, a
// lost peer or a desync.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "game/game.h"
#include "game/game_internal.h"
#include "net/net_desync.h"
#include "net/net_meet.h"
#include "net/net_rdv.h"
#include "net/net_seat.h"
#include "net/net_session.h"
#include "net/net_transport.h"
#include "platform/plat_system.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

NetLink net_link;

namespace {

void (*wait_hook)(void) = nullptr;

constexpr uint32_t HOLD_MS = 90000;     // a dropped link not back by then ends the match
constexpr uint32_t DIRECT_MS = 3000;    // a direct path not open by then: through the relay
constexpr uint32_t RELAY_TRY_MS = 8000; // relinking: one try through the relay, then direct again

// The match messages this side sent since frames began, to send again after a dropped link.
struct Sent {
    uint8_t type, seat, keys;
    uint32_t frame;
    uint64_t value; // SEED: the seed, HASH: the hash
};
std::vector<Sent> sent_log;
ENetPeer *candidate; // host: who connected while the match runs, until it asks to resume or watch
// host: a new game in the joiner's seat that greeted before the old one's link was seen to drop;
// it takes over once the frames the old one sent are played.
ENetPeer *newcomer;
NetMsg newcomer_hello;
constexpr int32_t WATCHERS = 2;
ENetPeer *watchers[WATCHERS]; // host: who watches, fed the match's stream
uint32_t server_ip, dialed_at;
uint16_t server_port;
int32_t dial_relay;

// One slice of reaching the other side: the window's events, and its picture kept up.
void wait_slice(void) {
    plat_pump_events();
    if (wait_hook) wait_hook();
}

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
    net_link.greeted = 1;
    NetMsg w{};
    w.type = NET_MSG_WELCOME;
    std::snprintf(w.version, sizeof w.version, "%s", QUORVANE_VERSION);
    w.seed = net_link.welcome_seed = net_link.host_seed;
    w.hash = net_link.welcome_hash = game_state_hash();
    w.hash = game_state_hash();
    net_transport_send(&w);
}

void note_link(ENetPeer *peer);

// The link is up again after a hold: counted, told to the server, and said to the player.
void link_back(uint32_t held_ms, const char *how) {
    net_link.relinking = net_link.peer_gone = 0;
    net_link.relinks++;
    note_link(net_peer);
    net_meet_relinked();
    std::snprintf(net_link.message, sizeof net_link.message, "Room %s: %s (%s) after %u s; the match goes on",
                  net_link.room, how, net_link.link_kind == NET_LINK_RELAYED ? "relayed" : "direct",
                  (held_ms + 500) / 1000);
}

void send_resume(void) {
    NetMsg r{};
    r.type = NET_MSG_RESUME;
    r.frame = net_link.received;
    r.seed = net_link.welcome_seed;
    net_transport_send(&r);
}

// The other side has the first `have` of this side's match messages: the rest go again, in order.
int32_t resend_from(uint32_t have) {
    if (have > sent_log.size()) return 0;
    NetMsg m;
    for (uint32_t i = have; net_sent_get(i, &m); i++) net_transport_send(&m);
    return 1;
}

// Both sides named what they have: the match goes on from the frame it stood at.
void on_resume(ENetPeer *from, const NetMsg &m) {
    // The host's first seed names the match: no stranger steps in with a resume of its own.
    if (net_link.state != NET_STATE_LINKED || !net_link.room[0] || m.seed != net_link.welcome_seed ||
        (net_link.local_player == 1 && !net_link.relinking)) {
        net_link.bad_packets++;
        return;
    }
    if (net_link.local_player == 0) {
        if (from != net_peer) {
            net_transport_drop(net_peer);
            net_transport_accept(from);
            candidate = nullptr;
        }
        send_resume();
    }
    if (!resend_from(m.frame)) {
        net_session_desync(net_frames(), 0, 0, "the other side has more of this side's frames than were sent");
        return;
    }
    link_back(net_link.relinking ? net_now_ms() - net_link.held_at : 0, "the link is back");
}

// The peer's datagrams come from the other player's address as the server named it, or
// through the server's relay to the match's socket (not to a watcher's feed).
int32_t from_partner(const ENetPeer *p) {
    uint32_t ip, partner_ip;
    uint16_t port, partner_port;
    net_transport_peer_address(p, &ip, &port);
    return !net_transport_is_fed(p) && (net_meet_is_server(ip, port) || (net_meet_peer(&partner_ip, &partner_port) &&
                                                                         ip == partner_ip && port == partner_port));
}

int32_t watcher_slot(const ENetPeer *p) {
    for (int32_t i = 0; i < WATCHERS; i++)
        if (p && watchers[i] == p) return i;
    return -1;
}

void stream_to(ENetPeer *to, uint8_t kind, uint8_t seat, uint32_t number, uint32_t value) {
    NetMsg m{};
    m.type = kind == STRM_EVENT_SEED ? NET_MSG_SEED : NET_MSG_FRAME;
    m.frame = number;
    if (kind == STRM_EVENT_SEED)
        m.seed = value;
    else {
        m.seat = seat;
        m.keys = static_cast<uint8_t>(value & STRM_KEY_MASK);
    }
    net_transport_queue_to(to, &m);
}

// The match's start (the seed and state the joiner had), then every seed and frame played so
// far; live ones follow as they are played.
void send_stream(ENetPeer *to) {
    NetMsg w{};
    w.type = NET_MSG_WELCOME;
    std::snprintf(w.version, sizeof w.version, "%s", QUORVANE_VERSION);
    w.seed = net_link.welcome_seed;
    w.hash = net_link.welcome_hash;
    net_transport_queue_to(to, &w);
    uint8_t kind, seat;
    uint32_t number, value;
    for (uint32_t i = 0; net_desync_event(i, &kind, &seat, &number, &value); i++)
        stream_to(to, kind, seat, number, value);
    net_transport_flush();
}

uint32_t stream_events(void) {
    uint8_t kind, seat;
    uint32_t number, value, n = 0;
    while (net_desync_event(n, &kind, &seat, &number, &value)) n++;
    return n;
}

// A new game in the other player's dropped seat: it hears where the match stands (RESUME: the
// frame it takes over at and how many messages the stream holds), gets the stream, then plays on.
// Both sides had every frame played, so whichever stayed feeds it.
void take_over(ENetPeer *from, const NetMsg &hello) {
    if (std::strcmp(hello.version, QUORVANE_VERSION) != 0) {
        refuse(from, NET_REFUSE_VERSION);
        net_transport_let_go(from);
        return;
    }
    if (from != net_peer) {
        net_transport_drop(net_peer);
        net_transport_accept(from);
    }
    candidate = nullptr;
    NetMsg r{};
    r.type = NET_MSG_RESUME;
    r.frame = net_frames();
    r.seed = stream_events() + 1; // the WELCOME, then the stream
    net_transport_queue_to(from, &r);
    send_stream(from);
    // Both sides count what they send and take from here.
    sent_log.clear();
    net_link.received = 0;
    link_back(net_now_ms() - net_link.held_at, "the other player is back in a new game");
}

// Someone who came to a full room watches.
void accept_watcher(ENetPeer *from, const NetMsg &hello) {
    candidate = nullptr;
    int32_t slot = -1;
    for (int32_t i = 0; i < WATCHERS && slot < 0; i++)
        if (!watchers[i]) slot = i;
    if (std::strcmp(hello.version, QUORVANE_VERSION) != 0 || slot < 0) {
        refuse(from, slot < 0 ? NET_REFUSE_BUSY : NET_REFUSE_VERSION);
        net_transport_let_go(from);
        return;
    }
    watchers[slot] = from;
    send_stream(from);
}

// The match ends here: watchers hear how, and get what is queued for them before they go.
void let_watchers_go(uint8_t reason) {
    for (ENetPeer *&w : watchers) {
        if (!w) continue;
        NetMsg bye{};
        bye.type = NET_MSG_BYE;
        bye.reason = reason;
        net_transport_send_to(w, &bye);
        net_transport_let_go(w);
        w = nullptr;
    }
}

// 1 when m is for the running match.
int32_t on_receive(ENetPeer *from, const NetEvent &ev, NetMsg *m) {
    if (ev.valid && ev.msg.type == NET_MSG_RESUME && from && (from == net_peer || from == candidate)) {
        on_resume(from, ev.msg);
        return 0;
    }
    if (watcher_slot(from) >= 0) return 0; // a watcher has no say
    if (ev.valid && ev.msg.type == NET_MSG_HELLO && from && from == candidate && net_link.local_player == 0 &&
        net_link.state == NET_STATE_LINKED) {
        // While the joiner's link is down its seat may have gone to a new game: the server then
        // names its address as the joiner's (or it comes through the relay). Anyone else watches.
        if (!from_partner(from)) {
            accept_watcher(from, ev.msg);
        } else if (net_link.relinking) {
            take_over(from, ev.msg);
        } else {
            // The server gave the seat to a new game: the old one is gone, its link not yet timed out.
            newcomer = from;
            newcomer_hello = ev.msg;
            net_link.peer_gone = 1;
        }
        return 0;
    }
    if (ev.valid && ev.msg.type == NET_MSG_HELLO && from && from == net_peer && net_link.local_player == 1 &&
        net_link.state == NET_STATE_LINKED && net_link.relinking) {
        // The joiner called the maker's seat again and a new game there greets it as a joiner
        // would: the maker's game was closed, and this side brings the new one up.
        take_over(from, ev.msg);
        return 0;
    }
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
        // A new game's count starts after the stream that brought it up to the match's frame.
        if (ev.msg.type == NET_MSG_FRAME || ev.msg.type == NET_MSG_SEED || ev.msg.type == NET_MSG_HASH) {
            if (net_link.stream_count)
                net_link.stream_count--;
            else
                net_link.received++;
        }
        *m = ev.msg;
        return 1;
    }
    if (ev.msg.reason == NET_BYE_QUIT)
        net_link.peer_quit = 1;
    else if (ev.msg.reason == NET_BYE_DESYNC) {
        net_desync_write(net_link.local_player, strm_frame_count() - net_link.frame_base, 0, 0);
        net_session_end(NET_END_DESYNC, "Desync: the other machine found the games out of step");
    } else
        net_link.peer_done = 1;
    return 0;
}

void note_link(ENetPeer *peer) {
    if (!net_link.room[0]) return;
    uint32_t ip;
    uint16_t port;
    net_transport_peer_address(peer, &ip, &port);
    net_link.link_kind = net_meet_is_server(ip, port) ? NET_LINK_RELAYED : NET_LINK_DIRECT;
    net_meet_set_link(static_cast<uint8_t>(net_link.link_kind));
}

int32_t on_event(const NetEvent &ev, NetMsg *m) {
    switch (ev.kind) {
    case NET_EVENT_CONNECT:
        if (net_link.local_player == 0 && net_link.state == NET_STATE_WAITING && !net_transport_is_fed(ev.peer) &&
            (!net_peer || (!net_link.greeted && net_link.room[0]))) {
            // Met by room code, the joiner may give up a direct attempt that reached this side
            // and come again through the relay: the newer attempt is the one it waits on.
            if (net_peer && net_peer != ev.peer) net_transport_drop(net_peer);
            net_transport_accept(ev.peer);
            note_link(ev.peer);
        } else if (net_link.local_player == 0 && net_link.room[0] && net_link.state == NET_STATE_LINKED &&
                   ev.peer != net_peer) {
            // Perhaps the joiner back after a dropped link: it takes over once it asks to resume.
            if (candidate && candidate != ev.peer) net_transport_drop(candidate);
            candidate = ev.peer;
        } else if (net_link.local_player == 1 && net_link.relinking && ev.peer == net_peer) {
            send_resume();
        } else if (ev.peer != net_peer) {
            // A second player while one is joining or playing.
            refuse(ev.peer, NET_REFUSE_BUSY);
            net_transport_let_go(ev.peer);
        }
        return 0;
    case NET_EVENT_RECEIVE: return on_receive(ev.peer, ev, m);
    case NET_EVENT_DISCONNECT:
        if (ev.peer == candidate) candidate = nullptr;
        if (ev.peer == newcomer) newcomer = nullptr;
        if (watcher_slot(ev.peer) >= 0) watchers[watcher_slot(ev.peer)] = nullptr;
        if (ev.peer != net_peer) return 0;
        net_peer = nullptr;
        if (net_link.state == NET_STATE_WAITING) return 0; // a player who left before the game began
        if (net_link.relinking) return 0;                  // a try at the host that failed: the next follows
        net_link.peer_gone = 1;
        return 0;
    default: return 0;
    }
}

// One event of a joiner's handshake with the host; 0 when the host refused (the link closed).
int32_t handshake_event(const NetEvent &ev, int32_t *connected, int32_t *welcomed) {
    if (ev.kind == NET_EVENT_CONNECT && ev.peer == net_peer) {
        *connected = 1;
        NetMsg m{};
        m.type = NET_MSG_HELLO;
        std::snprintf(m.version, sizeof m.version, "%s", QUORVANE_VERSION);
        net_transport_send(&m);
    } else if (ev.kind == NET_EVENT_RECEIVE && ev.peer == net_peer) {
        const NetMsg &m = ev.msg;
        if (!ev.valid) {
            net_link.bad_packets++;
        } else if (m.type == NET_MSG_REFUSE) {
            if (m.reason == NET_REFUSE_VERSION)
                std::snprintf(net_link.message, sizeof net_link.message,
                              "The host runs version %s, this is version %s: both must match", m.version,
                              QUORVANE_VERSION);
            else if (m.reason == NET_REFUSE_ENDED)
                set_message("The host's online match was cut short and it plays on alone: both must start again");
            else
                set_message("The host is already playing with someone else");
            net_close(0);
            return 0;
        } else if (m.type == NET_MSG_RESUME) {
            net_link.rejoined = 1;
            net_link.catch_up_to = m.frame;
            net_link.stream_count = m.seed - 1; // the WELCOME is taken here
        } else if (m.type == NET_MSG_WELCOME && std::strcmp(m.version, QUORVANE_VERSION) == 0) {
            net_link.welcome_seed = m.seed;
            net_link.welcome_hash = m.hash;
            *welcomed = 1;
        } else {
            net_link.bad_packets++;
        }
    }
    return 1;
}

int32_t meet_failed(const char *text) {
    set_message(text);
    net_close(0);
    return 0;
}

// The room made: this side waits in it as the host.
int32_t meet_create(const char *server, uint16_t port, uint32_t timeout_ms) {
    uint32_t started = net_now_ms();
    while (net_meet_status() == NET_MEET_ASKING && net_now_ms() - started < timeout_ms && !plat_quit_signal()) {
        wait_slice();
        net_meet_tick();
        NetEvent ev;
        net_transport_next(NET_SLICE_MS, &ev);
    }
    char text[200];
    if (net_meet_status() == NET_MEET_FAILED)
        return meet_failed(net_rdv_error_text(static_cast<uint8_t>(net_meet_error())));
    if (net_meet_status() == NET_MEET_ASKING) {
        std::snprintf(text, sizeof text, "The room server at %s:%u did not answer within %u s", server, port,
                      timeout_ms / 1000);
        return meet_failed(text);
    }
    net_rdv_code_text(net_meet_code(), net_link.room);
    net_link.state = NET_STATE_WAITING;
    std::snprintf(text, sizeof text, "Room %s: waiting for the other player", net_link.room);
    set_notice(text);
    return 1;
}

// Joining a room: the other player's address from the server, then a direct connection
// while both sides punch; after DIRECT_MS without one, through the server's relay. Given the
// maker's seat (its game was closed), this side waits instead for the joiner's game to call that
// seat again, directly or through the relay, and greets it as a joiner would.
int32_t meet_join(const char *server, uint16_t port, uint32_t timeout_ms) {
    uint32_t started = net_now_ms(), dialed_at = 0;
    int32_t connected = 0, welcomed = 0, relayed = 0;
    while (!welcomed && net_now_ms() - started < timeout_ms && !plat_quit_signal()) {
        wait_slice();
        net_meet_tick();
        if (net_meet_status() == NET_MEET_FAILED)
            return meet_failed(net_rdv_error_text(static_cast<uint8_t>(net_meet_error())));
        int32_t called = net_meet_status() != NET_MEET_ASKING && net_meet_seat() == 0;
        uint32_t ip = 0;
        uint16_t peer_port = 0;
        // Paired with no address for the other player (a browser's): through the server at once.
        int32_t known = net_meet_peer(&ip, &peer_port) || net_meet_status() == NET_MEET_PAIRED;
        if (!net_peer && !relayed && known && !called) {
            relayed = !ip;
            net_peer = relayed ? net_transport_connect(server_ip, port) : net_transport_connect(ip, peer_port);
            dialed_at = net_now_ms();
        }
        if (net_peer && !connected && !relayed && !called && net_now_ms() - dialed_at > DIRECT_MS) {
            net_transport_drop(net_peer);
            net_peer = net_transport_connect(server_ip, port);
            relayed = 1;
        }
        NetEvent ev;
        if (!net_transport_next(NET_SLICE_MS, &ev)) continue;
        if (called && ev.kind == NET_EVENT_CONNECT && ev.peer != net_peer) {
            // The joiner's newest call is the one it waits on; a stranger is let go.
            if (!from_partner(ev.peer)) {
                net_transport_drop(ev.peer);
                continue;
            }
            net_transport_drop(net_peer);
            net_transport_accept(ev.peer);
        } else if (called && ev.kind == NET_EVENT_DISCONNECT) {
            if (ev.peer == net_peer) net_peer = nullptr;
            continue;
        }
        if (ev.kind == NET_EVENT_DISCONNECT && ev.peer == net_peer) {
            net_peer = nullptr;
            if (relayed) break;
            relayed = 1; // the host turned the direct attempt away: try the relay
            net_peer = net_transport_connect(server_ip, port);
            continue;
        }
        if (!handshake_event(ev, &connected, &welcomed)) return 0;
        if (ev.kind == NET_EVENT_CONNECT && ev.peer == net_peer) note_link(net_peer);
    }
    if (welcomed) return 1;
    char text[200];
    if (net_meet_status() == NET_MEET_ASKING)
        std::snprintf(text, sizeof text, "The room server at %s:%u did not answer within %u s", server, port,
                      timeout_ms / 1000);
    else if (net_meet_status() == NET_MEET_ROOM)
        std::snprintf(text, sizeof text, "The room server never said where the other player is");
    else if (net_meet_seat() == 0 && !connected)
        std::snprintf(text, sizeof text, "The other player's game did not call this seat again within %u s",
                      timeout_ms / 1000);
    else if (!connected)
        std::snprintf(text, sizeof text,
                      "No direct path to the other player and no answer through the relay within %u s",
                      timeout_ms / 1000);
    else
        std::snprintf(text, sizeof text, "The other player's game did not answer within %u s", timeout_ms / 1000);
    return meet_failed(text);
}

// A room's match played to its end here: the other side may still lack the last frames. Until
// it has them and the goodbye, this side keeps its seat and holds a dropped link as in play, so
// both end the match on the same frame.
void see_match_out(void) {
    if (!net_link.room[0] || net_link.watching || net_link.state != NET_STATE_LINKED) return;
    int32_t told = 0;
    while (net_link.state == NET_STATE_LINKED && !net_link.peer_done && !plat_quit_signal()) {
        if (net_link.peer_gone) net_session_lost();
        if (net_link.relinking) {
            told = 0; // a resumed link gets the goodbye again, after the frames it lacked
            if (!net_session_relink_slice()) return;
        } else if (!net_peer) {
            return;
        } else if (!told) {
            net_session_send_simple(NET_MSG_BYE, NET_BYE_DONE);
            told = 1;
        } else if (net_transport_delivered()) {
            return;
        }
        NetMsg m;
        while (net_session_next(NET_SLICE_MS, &m)) {
        }
    }
}

} // namespace

void net_set_wait_hook(void (*hook)(void)) { wait_hook = hook; }

int32_t net_session_meet(const char *server, uint16_t port, uint32_t code, uint32_t timeout_ms) {
    if (!net_transport_start()) {
        set_message("Cannot start the network layer (ENet)");
        return 0;
    }
    uint32_t ip;
    if (!net_transport_resolve(server, &ip)) {
        std::snprintf(net_link.message, sizeof net_link.message, "Cannot find the room server %s", server);
        return 0;
    }
    if (!net_transport_open_any()) {
        set_message("Cannot open a UDP socket");
        return 0;
    }
    net_link.local_player = code ? 1 : 0;
    server_ip = ip;
    server_port = port;
    // A new game after this machine's last one died in the room: that seat, at once.
    net_meet_start(ip, port, code, code ? net_seat_reclaim(code) : 0);
    if (!code) {
        if (!meet_create(server, port, timeout_ms)) return 0;
        net_seat_keep(net_meet_code(), 0, net_meet_session());
    } else {
        net_rdv_code_text(code, net_link.room);
        if (!meet_join(server, port, timeout_ms)) return 0;
        net_link.watching = net_meet_seat() == NET_RDV_SEAT_WATCHER;
        if (net_meet_seat() == 0) net_link.local_player = 0; // the maker's seat, back in a new game
        if (!net_link.watching) net_seat_keep(code, net_meet_seat(), net_meet_session());
        net_link.state = NET_STATE_WAITING;
        net_link.seed_base = strm_seed_count();
    }
    return 1;
}

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
    net_peer = candidate = newcomer = nullptr;
    for (ENetPeer *&w : watchers) w = nullptr;
    sent_log.clear();
    play_notice[0] = '\0';
}

int32_t net_session_listen(uint16_t port) {
    if (!net_transport_start()) {
        set_message("Cannot start the network layer (ENet)");
        return 0;
    }
    if (!net_transport_listen(port)) {
        std::snprintf(net_link.message, sizeof net_link.message, "Cannot listen on UDP port %u: %s", port,
                      net_rdv_listen_error_text(errno));
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
    while (!welcomed && net_now_ms() - started < timeout_ms && !plat_quit_signal()) {
        wait_slice();
        NetEvent ev;
        if (!net_transport_next(NET_SLICE_MS, &ev)) continue;
        if (ev.kind == NET_EVENT_DISCONNECT) {
            net_peer = nullptr;
            break;
        }
        if (!handshake_event(ev, &connected, &welcomed)) return 0;
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
    // A new game in the maker's seat counts seeds from before game_init, as a joiner does.
    if (net_link.local_player == 0 && !net_link.rejoined) net_link.seed_base = strm_seed_count();
    net_desync_begin();
    sent_log.clear();
    net_link.received = 0;
    // Who this side is and who chooses on the menus: the joiner's menu keys do nothing.
    const char *role = net_link.local_player == 0 ? "you are player 1 (left ship) and choose on the menus"
                                                  : "you are player 2 (right ship); the host chooses on the menus";
    char text[100];
    if (net_link.watching) {
        std::snprintf(text, sizeof text, "Watching room %s", net_link.room);
        std::snprintf(play_notice, sizeof play_notice, "%s", text);
    } else if (!net_link.room[0])
        std::snprintf(text, sizeof text, "Online: %s", role);
    else
        std::snprintf(text, sizeof text, "Room %s, %s: %s", net_link.room,
                      net_link.link_kind == NET_LINK_RELAYED ? "relayed" : "direct", role);
    set_notice(text);
}

void net_session_end(int32_t reason, const char *text) {
    if (net_link.state != NET_STATE_LINKED && net_link.state != NET_STATE_WAITING) return;
    net_link.state = NET_STATE_ENDED;
    net_link.end_reason = reason;
    net_link.relinking = 0;
    if (candidate) net_transport_drop(candidate);
    candidate = nullptr;
    let_watchers_go(NET_BYE_QUIT);
    net_link.ended_now = 1;
    net_seat_forget();
    set_message(text);
    net_transport_hang_up(reason != NET_END_QUIT && reason != NET_END_DESYNC && reason != NET_END_LOCAL);
    // The room's maker plays on alone: the room server tells whoever comes with its code.
    if (net_link.room[0] && net_link.local_player == 0) net_meet_stop();
}

void net_session_turn_away(void) {
    NetEvent ev;
    while (net_transport_next(0, &ev)) {
        if (ev.kind == NET_EVENT_CONNECT && ev.peer != net_peer) {
            refuse(ev.peer, NET_REFUSE_ENDED);
            net_transport_let_go(ev.peer);
        } else if (ev.kind == NET_EVENT_DISCONNECT && ev.peer == net_peer) {
            net_peer = nullptr;
        }
    }
}

void net_session_lost(void) {
    if (net_link.peer_quit)
        return net_session_end(NET_END_QUIT,
                               net_link.watching ? "The match you watched was cut short" : "The other player has quit");
    if (net_link.peer_done)
        return net_session_end(NET_END_LOST,
                               net_link.watching ? "The match you watched is over" : "The other player has left");
    // Met through the room server: the match stands still while both sides reach each other again.
    if (net_link.room[0] && net_link.state == NET_STATE_LINKED && !net_link.watching) {
        if (net_link.relinking) return;
        net_link.relinking = 1;
        net_link.peer_gone = 0;
        net_link.held_at = net_now_ms();
        net_transport_drop(net_peer);
        net_peer = nullptr;
        dial_relay = 0;
        net_meet_relink();
        std::snprintf(net_link.message, sizeof net_link.message,
                      "Room %s: the link dropped; waiting up to %u s for the other player to come back", net_link.room,
                      HOLD_MS / 1000);
        if (newcomer && newcomer == candidate) take_over(newcomer, newcomer_hello);
        newcomer = nullptr;
        return;
    }
    // Only the maker's game feeds a watcher: without it there is nothing more to watch.
    if (net_link.watching)
        return net_session_end(NET_END_LOST, "The link to the room maker's game is lost: watching ends here");
    // A stop of this process long enough for the peer to give up: the fault is here.
    uint32_t frozen = net_transport_frozen_ms(12000);
    if (frozen >= 3000) {
        char text[160];
        std::snprintf(text, sizeof text, "This game stood still for %u s and the other machine gave up on the link",
                      (frozen + 500) / 1000);
        return net_session_end(NET_END_LOST, text);
    }
    net_session_end(NET_END_LOST, "The other player's machine has gone silent for 6 s: the link is lost");
}

void net_session_send_match(const NetMsg *m) {
    // A watcher has no say; a new game in a dropped seat has none over frames already played.
    if (net_link.watching || (m->type != NET_MSG_SEED && m->frame < net_link.catch_up_to)) return;
    sent_log.push_back({m->type, m->seat, m->keys, m->frame, m->type == NET_MSG_SEED ? m->seed : m->hash});
    if (!net_link.relinking) net_transport_send(m);
}

uint32_t net_sent_count(void) { return static_cast<uint32_t>(sent_log.size()); }

int32_t net_sent_get(uint32_t i, NetMsg *m) {
    if (i >= sent_log.size()) return 0;
    const Sent &s = sent_log[i];
    *m = NetMsg{};
    m->type = s.type;
    m->seat = s.seat;
    m->keys = s.keys;
    m->frame = s.frame;
    if (s.type == NET_MSG_SEED)
        m->seed = static_cast<uint32_t>(s.value);
    else
        m->hash = s.value;
    return 1;
}

void net_session_tell_watchers(uint8_t kind, uint8_t seat, uint32_t number, uint32_t value) {
    for (ENetPeer *w : watchers)
        if (w) stream_to(w, kind, seat, number, value);
}

int32_t net_session_relink_slice(void) {
    if (net_link.state != NET_STATE_LINKED) return 0;
    uint32_t now = net_now_ms();
    if (net_meet_server_stopped())
        net_session_end(NET_END_LOST, "The room server has shut down while the link was down: the match cannot go on");
    else if (net_meet_status() == NET_MEET_FAILED) {
        char text[200];
        std::snprintf(text, sizeof text, "The link dropped and the room server refused the seat again: %s",
                      net_rdv_error_text(static_cast<uint8_t>(net_meet_error())));
        net_session_end(NET_END_LOST, text);
    } else if (now - net_link.held_at >= HOLD_MS) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "The link to the other player did not come back within %u s: the match is over", HOLD_MS / 1000);
        net_session_end(NET_END_LOST, text);
    }
    if (net_link.state != NET_STATE_LINKED) return 0;
    wait_slice();
    // The joiner calls: straight to the host's public address, else through the relay.
    if (net_link.local_player != 1) return 1;
    if (net_peer && now - dialed_at > (dial_relay ? RELAY_TRY_MS : DIRECT_MS)) {
        net_transport_drop(net_peer);
        net_peer = nullptr;
        dial_relay = !dial_relay;
    }
    uint32_t ip;
    uint16_t port;
    if (!net_peer) {
        // No address to reach directly (the other player is a browser): the relay only.
        if (!net_meet_peer(&ip, &port)) dial_relay = 1;
        net_peer = dial_relay ? net_transport_connect(server_ip, server_port) : net_transport_connect(ip, port);
        dialed_at = now;
    }
    return 1;
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
    net_meet_tick();
    if (net_meet_server_stopped() && net_link.link_kind == NET_LINK_RELAYED && net_link.state == NET_STATE_LINKED &&
        !net_link.relinking)
        net_session_end(NET_END_LOST, "The room server has shut down: the relayed match cannot go on");
    NetEvent ev;
    while (net_transport_next(ms, &ev)) {
        ms = 0;
        if (on_event(ev, m)) return 1;
    }
    return 0;
}

void net_close(uint8_t reason) {
    if (net_transport_open()) {
        if (reason == NET_BYE_DONE) see_match_out();
        // Watchers get what is queued for them before the socket closes.
        let_watchers_go(reason == NET_BYE_DONE ? NET_BYE_DONE : NET_BYE_QUIT);
        net_transport_drop(candidate);
        candidate = nullptr;
        if (net_peer && reason && (net_link.state == NET_STATE_LINKED || net_link.state == NET_STATE_WAITING)) {
            net_session_send_simple(NET_MSG_BYE, reason);
            net_transport_let_go(net_peer);
        }
        net_meet_stop();
        net_transport_close();
    }
    net_seat_forget();
    net_peer = newcomer = nullptr;
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
int32_t net_link_kind(void) { return net_link.link_kind; }
uint32_t net_held_ms(void) { return net_link.relinking ? net_now_ms() - net_link.held_at + 1 : 0; }
uint32_t net_relinks(void) { return net_link.relinks; }
int32_t net_watching(void) { return net_link.watching; }
uint32_t net_catch_up_frames(void) { return net_link.catch_up_to; }
const char *net_room_code(void) { return net_link.room; }
uint32_t net_frames(void) { return strm_frame_count() - net_link.frame_base; }

void net_return_to_menu(void) {
    set_notice(net_link.message);
    // A match played to its end keeps its win screen: its player leaves it to the title as always.
    if (game_current_screen() == GAME_SCREEN_WIN) return;
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
}
