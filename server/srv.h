// quorvane-server's rooms: rendezvous, hole-punch coordination and relay as a pure function of
// the datagrams it gets. The transports (UDP, and WebSocket for the page) hand each datagram or
// message in with its source and send what comes out; nothing here touches a socket or a clock.
#pragma once
#include <cstddef>
#include <cstdint>

// Where a datagram came from. For UDP: IPv4 address (network byte order) and port; another
// transport names its connections in ip/port with its own transport number.
struct SrvAddr {
    uint32_t ip;
    uint16_t port;
    uint8_t transport; // SRV_TRANSPORT_
};
enum SrvTransport : uint8_t {
    SRV_TRANSPORT_UDP = 0,
    SRV_TRANSPORT_WS = 1 // ip: the browser's IPv4 address; port: its connection's number
};

struct SrvConfig {
    int32_t max_rooms;          // open rooms in all
    int32_t max_rooms_per_addr; // open rooms created from one IP address
    int32_t max_joins_per_min;  // create/join attempts per IP address a minute
    uint32_t idle_ms;           // a room nobody spoke in this long is closed and its code freed
    int32_t verbose;            // log every drop and refusal too
    uint8_t key[16];            // keys the address tokens; random per run, never stored
};

enum SrvDrop : int32_t {
    SRV_DROP_SHORT = 0, // too short to say what it is, or a known type cut short
    SRV_DROP_GARBAGE,   // our magic, but not a well-formed message
    SRV_DROP_OVERSIZED, // longer than anything we relay
    SRV_DROP_TOKEN,     // a token that this address was not given, or expired
    SRV_DROP_REPLAY,    // a keep-alive not newer than the last one
    SRV_DROP_STRANGER,  // from an address in no room, or naming a session not its own
    SRV_DROP_RATE,      // over the attempts a minute
    SRV_DROP_COUNT
};

struct SrvCounters {
    uint64_t datagrams_in, bytes_in, datagrams_out, bytes_out;
    uint32_t rooms_open, rooms_created, rooms_paired, rooms_expired;
    uint32_t direct, relayed, rejoins, spectators;
    uint32_t relayed_spectators; // watchers fed through the relay
    uint64_t relayed_datagrams;
    uint32_t refused; // errors sent: no room, full, limits
    uint64_t dropped[SRV_DROP_COUNT];
};

// Sends one datagram to an address; the transport owns the bytes after it returns.
typedef void (*SrvSendFn)(const SrvAddr *to, const uint8_t *data, size_t size);
// One line about a room (created, joined, relayed, closed...), without a newline.
typedef void (*SrvLogFn)(const char *line);

void srv_default_config(SrvConfig *config);
// Starts with no rooms. 1, or 0 when the tables cannot be made.
int32_t srv_init(const SrvConfig *config, SrvSendFn send, SrvLogFn log);
// Handles one datagram that arrived at now_ms (any monotonic clock, ms).
void srv_datagram(const SrvAddr *from, const uint8_t *data, size_t size, uint64_t now_ms);
// A room's two players by different transports cannot reach each other: each is told a zero
// address for the other, and the transports carry the match between them. 1 with *other and
// this player's seat when a is seated and the room's other player is there; 0 otherwise.
int32_t srv_partner(const SrvAddr *a, SrvAddr *other, int32_t *seat);
// The source is gone for good (a closed connection): a player of a paired room leaves its seat
// to a new game with the code, anyone else leaves as with LEAVE.
void srv_gone(const SrvAddr *a);
// Closes idle rooms; call about once a second.
void srv_tick(uint64_t now_ms);
// Tells every player in a room that the server stops, and frees everything.
void srv_shutdown(void);
SrvCounters srv_counters(void);
// The counters as one line, without a newline.
void srv_stats_line(char *out, size_t size);
// The name of a drop reason as the stats line prints it.
const char *srv_drop_name(int32_t reason);
// The address as text ("203.0.113.7:24681").
void srv_addr_text(const SrvAddr *a, char *out, size_t size);
