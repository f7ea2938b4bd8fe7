// Recording reader, for whole files and for a .part cut short; whatever it accepts must write
// back into a whole file it accepts again with the same frames, seeds, close, ending and result.
#include <cstdint>
#include <cstdlib>

#include "replay/replay.h"

namespace {

void check_again(const RplRecording &first) {
    static RplRecording again;
    char error[RPL_ERROR_MAX];
    std::vector<uint8_t> bytes = rpl_encode(&first, first.game_version);
    if (!rpl_parse(bytes.data(), bytes.size(), "again", &again, error, sizeof error)) std::abort();
    if (rpl_frame_total(&again) != rpl_frame_total(&first) || again.seeds.size() != first.seeds.size() ||
        again.close_frame != first.close_frame || again.result.hash != first.result.hash ||
        again.ending != first.ending || again.under_way != first.under_way || again.cut_short)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static RplRecording whole, part;
    char error[RPL_ERROR_MAX];
    int32_t is_whole = rpl_parse(data, size, "input", &whole, error, sizeof error);
    if (is_whole) check_again(whole);
    if (!rpl_parse_part(data, size, "input.part", &part, error, sizeof error)) {
        if (is_whole) std::abort(); // a whole recording is a .part's content too
        return 0;
    }
    if (part.cut_short == is_whole) std::abort();
    if (rpl_frame_total(&part) != part.result.frames) std::abort();
    check_again(part);
    return 0;
}
