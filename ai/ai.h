// The computer player: an input source that presses the keys a person would on its turn.
#pragma once
#include <cstdint>

enum AiLevel : int32_t { AI_LEVEL_EASY = 0, AI_LEVEL_NORMAL = 1, AI_LEVEL_HARD = 2 };

// Start-up: the computer plays player (0 or 1) at level; clears what it learnt of earlier shots.
void ai_setup(int32_t player, int32_t level);
// Start-up: no computer player any more.
void ai_reset(void);
// A seat source (StrmKeysFn): the key bits the computer presses this frame for seat; nothing
// between its turns. 1 always.
int32_t ai_keys(int32_t seat, uint8_t *keys);
