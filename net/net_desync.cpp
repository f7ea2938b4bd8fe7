// The desync record: the round-end hashes of both sides, every seed and frame this side played,
// and the report written when the two games part.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "game/game_internal.h"
#include "net/net.h"
#include "net/net_desync.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

namespace {

constexpr int32_t HASH_SLOTS = 8;
constexpr size_t LOG_MAX = 1u << 20; // events kept for a report

struct HashRec {
    uint32_t frame;
    uint64_t hash;
    int32_t used;
};
struct LogEvent {
    uint8_t kind, seat;
    uint32_t number, value;
};

HashRec local_hashes[HASH_SLOTS], remote_hashes[HASH_SLOTS];
int32_t last_score[2];
std::vector<LogEvent> events;
char desync_path[256];

HashRec *find_hash(HashRec *table, uint32_t frame) {
    for (int32_t i = 0; i < HASH_SLOTS; i++)
        if (table[i].used && table[i].frame == frame) return &table[i];
    return nullptr;
}

} // namespace

void net_desync_reset(void) {
    desync_path[0] = '\0';
    for (HashRec &r : local_hashes) r.used = 0;
    for (HashRec &r : remote_hashes) r.used = 0;
    events.clear();
}

void net_desync_begin(void) {
    last_score[0] = score[0];
    last_score[1] = score[1];
}

void net_desync_log(uint8_t kind, uint8_t seat, uint32_t number, uint32_t value) {
    if (events.size() < LOG_MAX) events.push_back({kind, seat, number, value});
}

int32_t net_desync_round_ended(void) {
    if (score[0] == last_score[0] && score[1] == last_score[1]) return 0;
    last_score[0] = score[0];
    last_score[1] = score[1];
    return 1;
}

void net_desync_store(int32_t theirs, uint32_t frame, uint64_t hash) {
    HashRec *table = theirs ? remote_hashes : local_hashes;
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

// Either side may be first: only both hashes of a round end can be compared.
int32_t net_desync_compare(uint32_t frame, uint64_t *mine, uint64_t *theirs) {
    HashRec *a = find_hash(local_hashes, frame), *b = find_hash(remote_hashes, frame);
    if (!a || !b) return 0;
    *mine = a->hash;
    *theirs = b->hash;
    a->used = b->used = 0;
    return *mine != *theirs;
}

int32_t net_desync_one_sided(uint32_t frame, uint32_t *at, uint64_t *theirs) {
    for (HashRec &r : remote_hashes)
        if (r.used && r.frame < frame) {
            *at = r.frame;
            *theirs = r.hash;
            return 1;
        }
    return 0;
}

void net_desync_write(int32_t local_player, uint32_t frame, uint64_t mine, uint64_t theirs) {
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

const char *net_desync_path(void) { return desync_path; }

int32_t net_desync_event(uint32_t i, uint8_t *kind, uint8_t *seat, uint32_t *number, uint32_t *value) {
    if (i >= events.size()) return 0;
    *kind = events[i].kind;
    *seat = events[i].seat;
    *number = events[i].number;
    *value = events[i].value;
    return 1;
}
