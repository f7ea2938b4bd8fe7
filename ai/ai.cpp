// The computer player. For now it fires at once with the standing aim.
#include "ai/ai.h"

#include "game/game.h"
#include "stream/stream.h"

namespace {
int32_t playing[2];
int32_t released;
} // namespace

void ai_setup(int32_t player, int32_t level) {
    (void)level;
    if (player == 0 || player == 1) playing[player] = 1;
    released = 0;
}

void ai_reset(void) { playing[0] = playing[1] = 0; }

int32_t ai_keys(int32_t seat, uint8_t *keys) {
    *keys = 0;
    if (seat != STRM_SEAT_PLAYER1 && seat != STRM_SEAT_PLAYER2) return 1;
    if (!playing[seat] || shot.state == 1) return 1;
    // A press needs a frame without it before it, as a person's finger would.
    released = !released;
    if (!released) *keys = STRM_KEY_RETURN;
    return 1;
}
