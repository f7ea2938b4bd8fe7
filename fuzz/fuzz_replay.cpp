// Recording reader; whatever it accepts must write back into a file it accepts again with
// the same frames, seeds and result.
#include <cstdint>
#include <cstdlib>

#include "replay/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static RplRecording first, again;
    char error[RPL_ERROR_MAX];
    if (!rpl_parse(data, size, "input", &first, error, sizeof error)) return 0;
    std::vector<uint8_t> bytes = rpl_encode(&first, first.game_version);
    if (!rpl_parse(bytes.data(), bytes.size(), "again", &again, error, sizeof error)) std::abort();
    if (rpl_frame_total(&again) != rpl_frame_total(&first) || again.seeds.size() != first.seeds.size() ||
        again.close_frame != first.close_frame || again.result.hash != first.result.hash)
        std::abort();
    return 0;
}
