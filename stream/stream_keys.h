// The game's keys and seats: the words every key source (keyboard, pads, recordings, the
// computer, the peer) and every reader of a frame's keys share, beneath all of them.
#pragma once
#include <cstdint>

// The seven keys the game reads, one bit each; a frame's input is one byte.
enum StrmKey : uint8_t {
    STRM_KEY_RETURN = 0x01,
    STRM_KEY_SPACE = 0x02,
    STRM_KEY_UP = 0x04,
    STRM_KEY_DOWN = 0x08,
    STRM_KEY_LEFT = 0x10,
    STRM_KEY_RIGHT = 0x20,
    // In a frame's byte: the frame's Escape test said quit (the key or its asynchronous state).
    STRM_KEY_ESCAPE = 0x40,
};
constexpr uint8_t STRM_KEY_MASK = 0x7F;

// Who has the say over a frame: the player in turn on the play screen, else the menus.
enum StrmSeat : int32_t {
    STRM_SEAT_PLAYER1 = 0,
    STRM_SEAT_PLAYER2 = 1,
    STRM_SEAT_MENUS = 2
};
constexpr int32_t STRM_SEAT_COUNT = 3;
