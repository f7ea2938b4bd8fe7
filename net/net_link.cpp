// The ENet link and the lockstep of keys and seeds between the two machines.
#include <enet/enet.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "game/game.h"
#include "game/game_internal.h"
#include "gfx/clock.h"
#include "net/net.h"
#include "platform/plat_system.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

namespace {

constexpr uint32_t STALL_MS = 5000;       // no frame from the peer this long: it is gone
constexpr uint32_t SLICE_MS = 1;          // one wait on the socket while a frame is due
constexpr uint32_t QUEUE_SIZE = 1u << 16; // frames received and not yet played
constexpr uint32_t SEED_QUEUE = 64;
constexpr int32_t HASH_SLOTS = 8;
constexpr size_t LOG_MAX = 1u << 20; // events kept for a desync report

struct Remote {
    uint32_t frame;
    uint8_t seat, keys;
};
struct HashRec {
    uint32_t frame;
    uint64_t hash;
    int32_t used;
};
struct LogEvent {
    uint8_t kind, seat;
    uint32_t number, value;
};

ENetHost *link_host;
ENetPeer *peer; // the one other player, once connected
int32_t enet_started;
int32_t state = NET_STATE_OFF;
int32_t end_reason = NET_END_NONE;
int32_t ended_now;
int32_t local_player;
int32_t peer_gone, peer_done;
uint32_t poll_ms;
StrmKeysFn local_keys;
char message[200];
char desync_path[256];
uint32_t bad_packets;

uint32_t frame_base, seed_base;
uint32_t host_seed; // the host's latest seed: what a joiner's game_init starts from
uint32_t welcome_seed;
uint64_t welcome_hash;

Remote *queue;
uint32_t q_head, q_count, last_remote_frame;
int32_t any_remote;
uint32_t seed_ticks[SEED_QUEUE];
uint32_t seeds_received; // seeds 1..seeds_received have arrived (number 0 is in WELCOME)

HashRec local_hashes[HASH_SLOTS], remote_hashes[HASH_SLOTS];
int32_t last_score[2];
std::vector<LogEvent> events;
NetWaits waits;
int32_t last_seat_local;

void set_message(const char *text) { std::snprintf(message, sizeof message, "%s", text); }

void set_notice(const char *text) {
    size_t n = std::strlen(text);
    if (n >= sizeof title_notice) n = sizeof title_notice - 1;
    std::memcpy(title_notice, text, n);
    title_notice[n] = '\0';
}

int32_t is_local_seat(int32_t seat) {
    if (seat == STRM_SEAT_MENUS) return local_player == 0;
    return seat == local_player;
}

void send(const NetMsg *m) {
    if (!peer) return;
    uint8_t bytes[NET_MSG_MAX];
    size_t n = net_encode(m, bytes);
    if (!n) return;
    ENetPacket *packet = enet_packet_create(bytes, n, ENET_PACKET_FLAG_RELIABLE);
    if (packet && enet_peer_send(peer, 0, packet) != 0) enet_packet_destroy(packet);
    enet_host_flush(link_host);
}

void send_simple(uint8_t type, uint8_t reason) {
    NetMsg m{};
    m.type = type;
    m.reason = reason;
    send(&m);
}

void log_event(uint8_t kind, uint8_t seat, uint32_t number, uint32_t value) {
    if (events.size() < LOG_MAX) events.push_back({kind, seat, number, value});
}

void write_streams(uint32_t frame, uint64_t mine, uint64_t theirs) {
    const char *dir = std::getenv("TMPDIR");
    if (!dir || !dir[0]) dir = "/tmp";
    std::snprintf(desync_path, sizeof desync_path, "%s/quorvane-desync-%s-%d.txt", dir,
                  local_player == 0 ? "host" : "join", static_cast<int>(getpid()));
    FILE *f = std::fopen(desync_path, "w");
    if (!f) {
        desync_path[0] = '\0';
        return;
    }
    std::fprintf(f, "quorvane %s, %s, player %d\n", QUORVANE_VERSION, local_player == 0 ? "host" : "joined",
                 local_player + 1);
    std::fprintf(f, "desync at frame %u: this side %016llx, other side %016llx\n", frame,
                 static_cast<unsigned long long>(mine), static_cast<unsigned long long>(theirs));
    std::fprintf(f, "# every seed and frame as this game used it (seat 0 player 1, 1 player 2, 2 menus)\n");
    for (const LogEvent &e : events) {
        if (e.kind == STRM_EVENT_SEED)
            std::fprintf(f, "seed %u %u\n", e.number, e.value);
        else
            std::fprintf(f, "frame %u seat %u keys %02x\n", e.number, e.seat, e.value);
    }
    std::fclose(f);
}

// The match is cut short; the next net_after_frame reports it.
void end_link(int32_t reason, const char *text) {
    if (state != NET_STATE_LINKED && state != NET_STATE_WAITING) return;
    state = NET_STATE_ENDED;
    end_reason = reason;
    ended_now = 1;
    set_message(text);
    if (peer) {
        if (reason == NET_END_QUIT || reason == NET_END_DESYNC || reason == NET_END_LOCAL)
            enet_peer_disconnect_later(peer, 0);
        else
            enet_peer_reset(peer);
        enet_host_flush(link_host);
        if (reason == NET_END_LOST) peer = nullptr;
    }
}

void desync(uint32_t frame, uint64_t mine, uint64_t theirs, const char *what) {
    if (state != NET_STATE_LINKED) return;
    write_streams(frame, mine, theirs);
    char text[200];
    std::snprintf(text, sizeof text, "Desync at frame %u (%s): the match is over", frame, what);
    send_simple(NET_MSG_BYE, NET_BYE_DESYNC);
    end_link(NET_END_DESYNC, text);
}

HashRec *find_hash(HashRec *table, uint32_t frame) {
    for (int32_t i = 0; i < HASH_SLOTS; i++)
        if (table[i].used && table[i].frame == frame) return &table[i];
    return nullptr;
}

void store_hash(HashRec *table, uint32_t frame, uint64_t hash) {
    int32_t slot = 0;
    for (int32_t i = 0; i < HASH_SLOTS; i++) {
        if (!table[i].used) {
            slot = i;
            break;
        }
        if (table[i].frame < table[slot].frame) slot = i;
    }
    table[slot] = {frame, hash, 1};
}

// Both hashes of a round end known: they must agree. Either side may be first.
void match_hashes(uint32_t frame) {
    HashRec *mine = find_hash(local_hashes, frame), *theirs = find_hash(remote_hashes, frame);
    if (!mine || !theirs) return;
    if (mine->hash != theirs->hash) desync(frame, mine->hash, theirs->hash, "the game states differ");
    mine->used = theirs->used = 0;
}

void accept_hello(const NetMsg &m) {
    if (std::strcmp(m.version, QUORVANE_VERSION) != 0) {
        NetMsg r{};
        r.type = NET_MSG_REFUSE;
        r.reason = NET_REFUSE_VERSION;
        std::snprintf(r.version, sizeof r.version, "%s", QUORVANE_VERSION);
        send(&r);
        enet_peer_disconnect_later(peer, 0);
        peer = nullptr;
        char text[100];
        std::snprintf(text, sizeof text, "Refused a player of version %s (this is %s)", m.version, QUORVANE_VERSION);
        set_notice(text);
        set_message(text);
        return;
    }
    NetMsg w{};
    w.type = NET_MSG_WELCOME;
    std::snprintf(w.version, sizeof w.version, "%s", QUORVANE_VERSION);
    w.seed = host_seed;
    w.hash = game_state_hash();
    send(&w);
}

void start_frames(void) {
    state = NET_STATE_LINKED;
    frame_base = strm_frame_count();
    seed_base = strm_seed_count();
    last_score[0] = score[0];
    last_score[1] = score[1];
    set_notice("Online: the host is player 1 (left), the guest player 2 (right)");
}

void on_receive(ENetPeer *from, const uint8_t *data, size_t size) {
    NetMsg m;
    if (from != peer || !net_decode(data, size, &m)) {
        bad_packets++;
        return;
    }
    if (state == NET_STATE_WAITING && local_player == 0) {
        if (m.type == NET_MSG_HELLO)
            accept_hello(m);
        else if (m.type == NET_MSG_READY)
            start_frames();
        else
            bad_packets++;
        return;
    }
    if (state != NET_STATE_LINKED) {
        bad_packets++;
        return;
    }
    switch (m.type) {
    case NET_MSG_FRAME:
        // The peer only ever speaks for its own seats, in rising frame order.
        if (is_local_seat(m.seat) || (any_remote && m.frame <= last_remote_frame) || q_count == QUEUE_SIZE) {
            bad_packets++;
            return;
        }
        queue[(q_head + q_count) % QUEUE_SIZE] = {m.frame, m.seat, m.keys};
        q_count++;
        last_remote_frame = m.frame;
        any_remote = 1;
        return;
    case NET_MSG_SEED:
        if (local_player != 1 || m.frame != seeds_received + 1) {
            bad_packets++;
            return;
        }
        seed_ticks[m.frame % SEED_QUEUE] = m.seed;
        seeds_received = m.frame;
        return;
    case NET_MSG_HASH:
        store_hash(remote_hashes, m.frame, m.hash);
        match_hashes(m.frame);
        return;
    case NET_MSG_BYE:
        if (m.reason == NET_BYE_QUIT)
            end_link(NET_END_QUIT, "The other player has quit");
        else if (m.reason == NET_BYE_DESYNC) {
            write_streams(strm_frame_count() - frame_base, 0, 0);
            end_link(NET_END_DESYNC, "Desync: the other machine found the games out of step");
        } else
            peer_done = 1;
        return;
    default: bad_packets++; return;
    }
}

void on_event(const ENetEvent &ev) {
    switch (ev.type) {
    case ENET_EVENT_TYPE_CONNECT:
        if (local_player == 0 && state == NET_STATE_WAITING && !peer) {
            peer = ev.peer;
            enet_peer_timeout(peer, 0, 2000, 4000);
        } else if (ev.peer != peer) {
            // A second player while one is joining or playing.
            ENetPeer *keep = peer;
            peer = ev.peer;
            NetMsg r{};
            r.type = NET_MSG_REFUSE;
            r.reason = NET_REFUSE_BUSY;
            std::snprintf(r.version, sizeof r.version, "%s", QUORVANE_VERSION);
            send(&r);
            enet_peer_disconnect_later(ev.peer, 0);
            peer = keep;
        }
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        on_receive(ev.peer, ev.packet->data, ev.packet->dataLength);
        enet_packet_destroy(ev.packet);
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        if (ev.peer != peer) break;
        peer = nullptr;
        if (state == NET_STATE_WAITING) break; // a player who left before the game began
        peer_gone = 1;
        break;
    default: break;
    }
}

// Takes what has arrived, waiting up to ms for the first event.
void service(uint32_t ms) {
    if (!link_host) return;
    ENetEvent ev;
    int32_t r = enet_host_service(link_host, &ev, ms);
    while (r > 0) {
        on_event(ev);
        r = enet_host_service(link_host, &ev, 0);
    }
}

uint32_t now_ms(void) { return enet_time_get(); }

int32_t remote_keys(int32_t seat, uint32_t frame, uint8_t *keys) {
    uint32_t started = now_ms();
    for (;;) {
        if (q_count) {
            Remote r = queue[q_head];
            if (r.frame != frame || r.seat != seat) {
                char what[100];
                std::snprintf(what, sizeof what, "the other side played seat %u at frame %u", r.seat, r.frame);
                desync(frame, 0, 0, what);
                return 0;
            }
            uint32_t waited = now_ms() - started;
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
            if (q_count >= 1 && poll_ms == 0) clock_start_ticks -= 16;
            return 1;
        }
        if (plat_escape_down()) {
            *keys = STRM_KEY_ESCAPE;
            return 1;
        }
        // Waits run on the ENet clock: the simulator's game clock is virtual.
        if (state != NET_STATE_LINKED) return 0;
        if (peer_gone) {
            end_link(NET_END_LOST, peer_done ? "The other player has left" : "The other player's machine has gone");
            return 0;
        }
        if (now_ms() - started > STALL_MS) {
            end_link(NET_END_LOST, "No keys from the other player for 5 s: the link is lost");
            return 0;
        }
        plat_pump_events();
        service(SLICE_MS);
    }
}

int32_t net_seat_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (state == NET_STATE_WAITING) {
        service(poll_ms);
        if (state == NET_STATE_WAITING) {
            // The menus wait with the peer: only Escape counts, so both games start alike.
            uint8_t k = 0;
            local_keys(seat, &k);
            *keys = k & STRM_KEY_ESCAPE;
            return 1;
        }
    }
    if (state != NET_STATE_LINKED) return local_keys(seat, keys);
    uint32_t frame = strm_frame_count() - frame_base;
    if (!is_local_seat(seat)) return remote_keys(seat, frame, keys);
    service(0);
    if (state != NET_STATE_LINKED) return local_keys(seat, keys);
    last_seat_local = 1;
    int32_t ok = local_keys(seat, keys);
    NetMsg m{};
    m.type = NET_MSG_FRAME;
    m.frame = frame;
    m.seat = static_cast<uint8_t>(seat);
    m.keys = ok ? static_cast<uint8_t>(*keys & STRM_KEY_MASK) : 0;
    send(&m);
    return ok;
}

// The joiner's seeds: number 0 came with WELCOME, the rest follow the host's round set-ups.
int32_t net_seed_source(uint32_t live_tick, uint32_t *seed) {
    *seed = live_tick;
    if (state != NET_STATE_LINKED && state != NET_STATE_WAITING) return 0;
    uint32_t number = strm_seed_count() - seed_base;
    if (number == 0) {
        *seed = welcome_seed;
        return 1;
    }
    uint32_t started = now_ms();
    while (seeds_received < number) {
        if (state != NET_STATE_LINKED) return 0;
        if (peer_gone || now_ms() - started > STALL_MS) {
            end_link(NET_END_LOST, "No seed from the other player for 5 s: the link is lost");
            return 0;
        }
        plat_pump_events();
        service(SLICE_MS);
    }
    if (number + SEED_QUEUE <= seeds_received) return 0;
    *seed = seed_ticks[number % SEED_QUEUE];
    return 1;
}

void net_tap(int32_t kind, int32_t seat, uint32_t value) {
    if (kind == STRM_EVENT_SEED) host_seed = value;
    if (state != NET_STATE_LINKED) return;
    if (kind == STRM_EVENT_SEED) {
        uint32_t number = strm_seed_count() - seed_base - (local_player == 1 ? 1 : 0);
        log_event(STRM_EVENT_SEED, 0, number, value);
        if (local_player == 0) {
            NetMsg m{};
            m.type = NET_MSG_SEED;
            m.frame = number;
            m.seed = value;
            send(&m);
        }
        return;
    }
    uint32_t frame = strm_frame_count() - 1 - frame_base;
    log_event(STRM_EVENT_FRAME, static_cast<uint8_t>(seat), frame, value);
    if (value & STRM_KEY_ESCAPE) {
        send_simple(NET_MSG_BYE, NET_BYE_QUIT);
        end_link(NET_END_LOCAL, "You have quit the online match");
        return;
    }
    // A hash of each round's end (any change of score) from both sides.
    if (score[0] != last_score[0] || score[1] != last_score[1]) {
        last_score[0] = score[0];
        last_score[1] = score[1];
        uint64_t h = game_state_hash();
        store_hash(local_hashes, frame, h);
        NetMsg m{};
        m.type = NET_MSG_HASH;
        m.frame = frame;
        m.hash = h;
        send(&m);
        match_hashes(frame);
    }
    // A round end the peer hashed and this side passed without one.
    for (HashRec &r : remote_hashes)
        if (r.used && r.frame < frame) desync(r.frame, 0, r.hash, "a round ended on one side only");
}

int32_t start_enet(void) {
    if (!enet_started) {
        if (enet_initialize() != 0) {
            set_message("Cannot start the network layer (ENet)");
            return 0;
        }
        enet_started = 1;
    }
    return 1;
}

void reset_link(StrmKeysFn keys, uint32_t wait_ms) {
    state = NET_STATE_OFF;
    end_reason = NET_END_NONE;
    ended_now = peer_gone = peer_done = 0;
    local_keys = keys ? keys : strm_keyboard_keys;
    poll_ms = wait_ms;
    message[0] = desync_path[0] = '\0';
    bad_packets = 0;
    frame_base = seed_base = 0;
    if (!queue) queue = new Remote[QUEUE_SIZE];
    q_head = q_count = last_remote_frame = 0;
    any_remote = 0;
    seeds_received = 0;
    for (HashRec &r : local_hashes) r.used = 0;
    for (HashRec &r : remote_hashes) r.used = 0;
    events.clear();
    waits = NetWaits{};
    last_seat_local = 0;
    peer = nullptr;
}

void install(void) {
    for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, net_seat_keys);
    if (local_player == 1) strm_set_seed_source(net_seed_source);
    static int32_t tapped;
    if (!tapped) tapped = strm_add_tap(net_tap);
}

} // namespace

int32_t net_host(uint16_t port, StrmKeysFn keys, uint32_t wait_ms) {
    net_close(0);
    reset_link(keys, wait_ms);
    if (!start_enet()) return 0;
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    // Two peers: the one who plays and room to tell a second one that the game is taken.
    link_host = enet_host_create(&address, 2, 1, 0, 0);
    if (!link_host) {
        std::snprintf(message, sizeof message, "Cannot listen on UDP port %u (in use?)", port);
        return 0;
    }
    local_player = 0;
    state = NET_STATE_WAITING;
    char text[100];
    std::snprintf(text, sizeof text, "Waiting for a player on port %u", port);
    set_notice(text);
    install();
    return 1;
}

int32_t net_join(const char *host, uint16_t port, StrmKeysFn keys, uint32_t wait_ms, uint32_t timeout_ms) {
    net_close(0);
    reset_link(keys, wait_ms);
    if (!start_enet()) return 0;
    ENetAddress address{};
    if (enet_address_set_host(&address, host) != 0) {
        std::snprintf(message, sizeof message, "Cannot find the host %s", host);
        return 0;
    }
    address.port = port;
    link_host = enet_host_create(nullptr, 1, 1, 0, 0);
    if (!link_host) {
        set_message("Cannot open a UDP socket");
        return 0;
    }
    local_player = 1;
    peer = enet_host_connect(link_host, &address, 1, 0);
    if (!peer) {
        set_message("Cannot start a connection");
        net_close(0);
        return 0;
    }
    enet_peer_timeout(peer, 0, 2000, 4000);
    uint32_t started = now_ms();
    int32_t connected = 0, welcomed = 0;
    while (!welcomed && now_ms() - started < timeout_ms) {
        plat_pump_events();
        ENetEvent ev;
        if (enet_host_service(link_host, &ev, SLICE_MS) <= 0) continue;
        if (ev.type == ENET_EVENT_TYPE_CONNECT) {
            connected = 1;
            NetMsg m{};
            m.type = NET_MSG_HELLO;
            std::snprintf(m.version, sizeof m.version, "%s", QUORVANE_VERSION);
            send(&m);
        } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
            peer = nullptr;
            break;
        } else if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
            NetMsg m;
            int32_t ok = net_decode(ev.packet->data, ev.packet->dataLength, &m);
            enet_packet_destroy(ev.packet);
            if (!ok) {
                bad_packets++;
            } else if (m.type == NET_MSG_REFUSE) {
                if (m.reason == NET_REFUSE_VERSION)
                    std::snprintf(message, sizeof message,
                                  "The host runs version %s, this is version %s: both must match", m.version,
                                  QUORVANE_VERSION);
                else
                    set_message("The host is already playing with someone else");
                net_close(0);
                return 0;
            } else if (m.type == NET_MSG_WELCOME && std::strcmp(m.version, QUORVANE_VERSION) == 0) {
                welcome_seed = m.seed;
                welcome_hash = m.hash;
                welcomed = 1;
            } else {
                bad_packets++;
            }
        }
    }
    if (!welcomed) {
        if (!message[0])
            std::snprintf(message, sizeof message,
                          connected ? "The host at %s:%u did not answer" : "Cannot reach a game hosted at %s:%u", host,
                          port);
        net_close(0);
        return 0;
    }
    // Seeds and frames count from here; game_init takes seed number 0.
    state = NET_STATE_WAITING;
    seed_base = strm_seed_count();
    install();
    return 1;
}

int32_t net_ready(void) {
    if (local_player != 1 || state != NET_STATE_WAITING) return 0;
    state = NET_STATE_LINKED;
    frame_base = strm_frame_count();
    last_score[0] = score[0];
    last_score[1] = score[1];
    set_notice("Online: the host is player 1 (left), the guest player 2 (right)");
    if (game_state_hash() != welcome_hash) {
        desync(0, game_state_hash(), welcome_hash, "the games start differently");
        return 0;
    }
    send_simple(NET_MSG_READY, 0);
    return 1;
}

int32_t net_after_frame(void) {
    if (state == NET_STATE_LINKED || state == NET_STATE_WAITING) service(0);
    // Gone without a goodbye while this side plays its own frames: no need to wait for its turn.
    if (state == NET_STATE_LINKED && peer_gone && !peer_done && q_count == 0)
        end_link(NET_END_LOST, "The other player's machine has gone");
    if (!ended_now) return 0;
    ended_now = 0;
    if (end_reason == NET_END_LOCAL) return 0;
    for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, nullptr);
    strm_set_seed_source(nullptr);
    return 1;
}

void net_close(uint8_t reason) {
    if (link_host) {
        if (peer && reason && (state == NET_STATE_LINKED || state == NET_STATE_WAITING)) {
            send_simple(NET_MSG_BYE, reason);
            enet_peer_disconnect_later(peer, 0);
        }
        // Time for the last frames and the goodbye to reach the peer, lost datagrams resent
        // included; the peer's acknowledgement ends it sooner.
        uint32_t started = now_ms();
        while (peer && now_ms() - started < 2000) {
            ENetEvent ev;
            int32_t r = enet_host_service(link_host, &ev, SLICE_MS);
            if (r > 0 && ev.type == ENET_EVENT_TYPE_DISCONNECT && ev.peer == peer) peer = nullptr;
            if (r > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
        }
        enet_host_destroy(link_host);
        link_host = nullptr;
    }
    peer = nullptr;
    if (state == NET_STATE_LINKED || state == NET_STATE_WAITING) {
        for (int32_t s = 0; s < STRM_SEAT_COUNT; s++) strm_set_seat(s, nullptr);
        strm_set_seed_source(nullptr);
        state = reason == NET_BYE_DONE ? NET_STATE_DONE : NET_STATE_OFF;
    }
    if (enet_started) {
        enet_deinitialize();
        enet_started = 0;
    }
}

int32_t net_state(void) { return state; }
int32_t net_end_reason(void) { return end_reason; }
int32_t net_local_player(void) { return local_player; }
const char *net_message(void) { return message; }
uint32_t net_bad_packets(void) { return bad_packets; }
const char *net_desync_path(void) { return desync_path; }
NetWaits net_waits(void) { return waits; }
uint32_t net_round_trip_ms(void) { return peer ? peer->roundTripTime : 0; }

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
    set_notice(message);
}

uint32_t net_frames(void) { return strm_frame_count() - frame_base; }
