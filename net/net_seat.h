// A room seat kept across a crash. While a game plays in a room, its seat's session is in a file
// under $XDG_RUNTIME_DIR, locked for as long as the game lives. A new game on the same machine
// with the room's code whose old game died (the lock is free) asks for that seat back at once,
// instead of waiting for the server to give a silent seat away. Without XDG_RUNTIME_DIR (the page)
// nothing is kept.
#pragma once
#include <cstdint>

// The session of a seat in room code whose game is gone, 0 for none; found, its file is this
// game's from now on.
uint64_t net_seat_reclaim(uint32_t code);
// This game has seat (0 or 1) of room code under session.
void net_seat_keep(uint32_t code, int32_t seat, uint64_t session);
// The match is over or left: the file goes.
void net_seat_forget(void);
