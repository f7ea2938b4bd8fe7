// The desync record: what this side played and hashed, and the report written when the games part.
#pragma once
#include <cstdint>

void net_desync_reset(void);
// Frames start: the score a round end is told by.
void net_desync_begin(void);
void net_desync_log(uint8_t kind, uint8_t seat, uint32_t number, uint32_t value);
// The log so far, in the order played: every seed (STRM_EVENT_SEED: number, seed) and every
// frame (STRM_EVENT_FRAME: seat, frame, keys). 1 with event i, 0 past the end.
int32_t net_desync_event(uint32_t i, uint8_t *kind, uint8_t *seat, uint32_t *number, uint32_t *value);
// 1 when the score changed since the last call: a round ended.
int32_t net_desync_round_ended(void);
void net_desync_store(int32_t theirs, uint32_t frame, uint64_t hash);
// Both hashes of frame known: 1 with them when they differ; either way they are spent.
int32_t net_desync_compare(uint32_t frame, uint64_t *mine, uint64_t *theirs);
// A round end the peer hashed before frame and this side passed without one: 1 with it.
int32_t net_desync_one_sided(uint32_t frame, uint32_t *at, uint64_t *theirs);
void net_desync_write(int32_t local_player, uint32_t frame, uint64_t mine, uint64_t theirs);
