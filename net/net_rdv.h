// Rendezvous messages between a player and the room server (quorvane-server): rooms by code,
// the other player's public address for hole punching, keep-alives. They share the match's
// UDP socket with ENet and start with their own magic, which no ENet datagram of ours begins
// with (it would be a compressed packet, which we never send). Anything else a room's player
// sends the server is relayed to the other player as it is.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint8_t NET_RDV_MAGIC0 = 'Q', NET_RDV_MAGIC1 = 'R';
constexpr uint8_t NET_RDV_PROTOCOL = 1;
constexpr uint16_t NET_RDV_PORT = 24681;
constexpr size_t NET_RDV_MAX = 48;         // the longest encoded message
constexpr size_t NET_RDV_RELAY_MAX = 1500; // the longest datagram the server relays
constexpr int32_t NET_RDV_CODE_CHARS = 6;  // 6 symbols of 5 bits: 30 random bits

enum NetRdvType : uint8_t {
    NET_RDV_REQUEST = 1,   // player -> server: create or join a room (op), token 0 until challenged
    NET_RDV_CHALLENGE = 2, // server -> player: echo this token to prove the address is yours
    NET_RDV_STATUS = 3,    // server -> player: your room, seat, session, the other player's address
    NET_RDV_KEEPALIVE = 4, // player -> server: still here (session, rising seq, link kind)
    NET_RDV_ERROR = 5,     // server -> player: reason
    NET_RDV_LEAVE = 6,     // player -> server: leaving the room (session)
    NET_RDV_PUNCH = 7,     // player -> player: opens this side's NAT for the other; ignored
    NET_RDV_WATCHER = 8,   // server -> the room's creator: someone watches from peer_ip/peer_port
    // The room's creator -> server, from a socket of its own (a feed): relay between it and the
    // watcher at peer_ip/peer_port (session: the creator's; token as REQUEST). The answer is a
    // STATUS naming the watcher; the feed's keep-alives and LEAVE carry the creator's session.
    NET_RDV_FEED = 9,
};
constexpr uint8_t NET_RDV_SEAT_WATCHER = 2; // STATUS: a join to a full room watches the match
enum NetRdvOp : uint8_t {
    NET_RDV_OP_CREATE = 1,
    NET_RDV_OP_JOIN = 2
};
enum NetRdvLink : uint8_t {
    NET_RDV_LINK_NONE = 0,
    NET_RDV_LINK_DIRECT = 1,
    NET_RDV_LINK_RELAYED = 2
};
enum NetRdvError : uint8_t {
    NET_RDV_ERR_NO_ROOM = 1,         // no room has that code (mistyped, or expired)
    NET_RDV_ERR_FULL = 2,            // the room has its two players
    NET_RDV_ERR_TOO_MANY = 3,        // too many attempts from this address: wait a minute
    NET_RDV_ERR_BUSY = 4,            // the server has no room left
    NET_RDV_ERR_ADDRESS = 5,         // this address holds too many rooms
    NET_RDV_ERR_STOPPING = 6,        // the server is shutting down
    NET_RDV_ERR_ENDED = 7,           // the room's match was cut short and its maker left it
    NET_RDV_ERR_WATCH_PAGE = 8,      // a full room, and a browser cannot watch (nothing feeds it)
    NET_RDV_ERR_WATCH_PAGE_ROOM = 9, // a full room made in a browser, which feeds no watcher
    NET_RDV_ERR_LAST = NET_RDV_ERR_WATCH_PAGE_ROOM
};

struct NetRdvMsg {
    uint8_t type;
    uint8_t op;         // REQUEST
    uint8_t seat;       // STATUS: 0 the room's creator (hosts), 1 the joiner, 2 a watcher
    uint8_t paired;     // STATUS: the other player is there; peer_ip/peer_port say where
    uint8_t link;       // KEEPALIVE: NET_RDV_LINK_
    uint8_t reason;     // ERROR
    uint32_t code;      // REQUEST (join), STATUS, KEEPALIVE, LEAVE, PUNCH, FEED: the room, 30 bits
    uint32_t seq;       // KEEPALIVE
    uint64_t nonce;     // REQUEST, CHALLENGE, STATUS, FEED: the player's own pick, names its request
    uint64_t token;     // REQUEST, CHALLENGE, FEED
    uint64_t session;   // REQUEST (rejoin, else 0), STATUS, KEEPALIVE, LEAVE, WATCHER and FEED (the creator's)
    uint32_t peer_ip;   // STATUS, WATCHER, FEED: IPv4, network byte order
    uint16_t peer_port; // STATUS, WATCHER, FEED: host byte order
};

// The encoded bytes of m into out (NET_RDV_MAX bytes); their count, 0 for a message not valid.
// Each type has one length; those a player sends are padded so no answer is longer than them.
size_t net_rdv_encode(const NetRdvMsg *m, uint8_t *out);
// 1 with *m filled for one well-formed message; 0 for anything else (*m zeroed).
int32_t net_rdv_decode(const uint8_t *data, size_t size, NetRdvMsg *m);
// The encoded length of a message type, 0 for none.
size_t net_rdv_length(uint8_t type);
// The datagram carries the rendezvous magic (well-formed or not).
int32_t net_rdv_is_ours(const uint8_t *data, size_t size);

// Room codes: NET_RDV_CODE_CHARS symbols of 0-9 and A-Z without I, L, O and U. Reading is
// case-insensitive, takes O for 0 and I or L for 1, and skips spaces and dashes.
// The text of code into out (at least NET_RDV_CODE_CHARS + 1 bytes).
void net_rdv_code_text(uint32_t code, char *out);
// 1 with *code set for a valid code text; 0 otherwise.
int32_t net_rdv_code_parse(const char *text, uint32_t *code);
// One line naming an error reason for the player.
const char *net_rdv_error_text(uint8_t reason);
// Why a UDP port could not be had, from bind's errno: for the game's and the server's messages.
const char *net_rdv_listen_error_text(int err);
