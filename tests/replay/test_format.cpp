// The recording format: what is written reads back the same, and anything else is refused
// with its reason.
#include <cstring>

#include "replay/replay_internal.h"
#include "tests/replay/replay_fixture.h"

namespace {

// Runs long enough to need one to five bytes of length, seeds at the start, inside a run and
// at its edge, and a close request.
RplRecording sample() {
    RplRecording rec{};
    rec.runs = {{0, STRM_SEAT_MENUS, 1},
                {STRM_KEY_DOWN, STRM_SEAT_MENUS, 127},
                {STRM_KEY_RETURN, 2, 128},
                {STRM_KEY_UP | STRM_KEY_RIGHT, 0, 300000},
                {STRM_KEY_ESCAPE, 1, RPL_MAX_FRAMES - 300256}};
    rec.seeds = {{0xDEADBEEF, 0}, {7, 200}, {8, 256}};
    rec.close_frame = 256;
    rec.result = {3, 2, RPL_MAX_FRAMES, 3, 19, 0x0123456789ABCDEFull};
    return rec;
}

TEST(ReplayFormat, WhatIsWrittenReadsBack) {
    RplRecording in = sample();
    std::vector<uint8_t> bytes = rpl_encode(&in, "1.2.3");
    const char header[] = "quorvane-replay 1 1.2.3\n";
    ASSERT_GT(bytes.size(), sizeof header);
    EXPECT_EQ(std::memcmp(bytes.data(), header, sizeof header - 1), 0);

    RplRecording out;
    char error[RPL_ERROR_MAX] = "";
    ASSERT_EQ(rpl_parse(bytes.data(), bytes.size(), "x", &out, error, sizeof error), 1) << error;
    EXPECT_STREQ(out.game_version, "1.2.3");
    // Frames come back in order whatever cuts the seeds made in the runs.
    std::vector<std::pair<uint32_t, uint32_t>> want, got; // (keys | seat << 8, count) merged
    for (const auto *runs : {&in.runs, &out.runs}) {
        auto &list = runs == &in.runs ? want : got;
        for (const RplRun &r : *runs) {
            uint32_t key = r.keys | (uint32_t(r.seat) << 8);
            if (!list.empty() && list.back().first == key)
                list.back().second += r.count;
            else
                list.push_back({key, r.count});
        }
    }
    EXPECT_EQ(got, want);
    std::vector<uint64_t> seeds;
    for (const auto &sd : out.seeds) seeds.insert(seeds.end(), {sd.value, sd.frame});
    EXPECT_EQ(seeds, (std::vector<uint64_t>{0xDEADBEEF, 0, 7, 200, 8, 256}));
    EXPECT_EQ(std::vector<uint64_t>(
                  {out.close_frame, out.result.score1, out.result.score2, out.result.shots, out.result.hash}),
              (std::vector<uint64_t>{256, 3, 2, 19, 0x0123456789ABCDEFull}));
    EXPECT_EQ(rpl_frame_total(&out), RPL_MAX_FRAMES);
}

TEST(ReplayFormat, ResultLineSpelling) {
    RplResult r{3, 1, 6487, 5, 19, 0x1d7ca25f0b35460aull};
    char line[128];
    rpl_format_result(&r, line, sizeof line);
    EXPECT_STREQ(line, "result: player1 3 player2 1 frames 6487 shots 19 hash 1d7ca25f0b35460a");
    r.hash = 0xAB;
    rpl_format_result(&r, line, sizeof line);
    EXPECT_STREQ(line, "result: player1 3 player2 1 frames 6487 shots 19 hash 00000000000000ab");
}

// A valid file with its CRC made right again after an edit, so the edit itself is judged.
std::vector<uint8_t> resealed(std::vector<uint8_t> bytes) {
    uint32_t crc = rpl_crc32(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; i++) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    return bytes;
}

TEST(ReplayFormat, RefusalsSayWhy) {
    RplRecording small{};
    small.runs = {{0, STRM_SEAT_MENUS, 5}};
    small.seeds = {{1, 0}};
    small.close_frame = RPL_NO_CLOSE;
    small.result.frames = 5;
    small.result.seeds = 1;
    std::vector<uint8_t> good = rpl_encode(&small, "0.1.0");
    auto text = [](const char *s) { return std::vector<uint8_t>(s, s + std::strlen(s)); };
    std::vector<uint8_t> newer = good, zero_run = good, extra = good, counts = good;
    newer[16] = '2';
    // The frame run's length byte (after header, seed and seat).
    size_t header = std::strlen("quorvane-replay 1 0.1.0\n");
    ASSERT_EQ(good[header + 5], RPL_TAG_SEAT + static_cast<int>(STRM_SEAT_MENUS));
    ASSERT_EQ(good[header + 7], 5);
    zero_run[header + 7] = 0;
    extra.push_back(0);
    counts[header + 7] = 6;
    RplRecording huge = small;
    huge.runs[0].count = RPL_MAX_FRAMES + 1;
    huge.result.frames = RPL_MAX_FRAMES + 1;
    std::vector<uint8_t> bad_tag = good;
    bad_tag[header + 6] = 0xB2;

    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", {}, "empty"},
        {"a picture", text("BM6\x04\x00\x00"), "not a Quorvane recording"},
        {"a text file", text("hello world\n"), "not a Quorvane recording"},
        {"a newer format", resealed(newer), "format version 2; this game reads version 1"},
        {"a header without its end", text("quorvane-replay 1 0.1"), "truncated"},
        {"a header with no version", text("quorvane-replay x 0.1.0\n"), "damaged header"},
        {"a zero-length run", resealed(zero_run), "bad frame run"},
        {"an unknown record", resealed(bad_tag), "unknown record"},
        {"a byte after the end", extra, "bytes after its end"},
        {"counts that disagree", resealed(counts), "counts disagree"},
        {"more frames than a replay plays", rpl_encode(&huge, "0.1.0"), "too long"},
    };
    for (const Case &c : cases) {
        RplRecording out;
        char error[RPL_ERROR_MAX] = "";
        EXPECT_EQ(rpl_parse(c.bytes.data(), c.bytes.size(), "F", &out, error, sizeof error), 0) << c.what;
        EXPECT_NE(std::strstr(error, c.reason), nullptr) << c.what << ": " << error;
        EXPECT_EQ(std::strncmp(error, "F ", 2), 0) << c.what << ": the message names the file: " << error;
        EXPECT_EQ(std::strchr(error, '\n'), nullptr) << c.what;
    }
}

// Every cut and every changed byte of a real recording is refused.
TEST(ReplayFormat, EveryCutAndEveryBitFlipIsRefused) {
    std::vector<uint8_t> good = rt::read_bytes(rt::corpus_dir() / "bo3-p1-wins.qvr");
    ASSERT_GT(good.size(), 40u);
    RplRecording out;
    char error[RPL_ERROR_MAX];
    ASSERT_EQ(rpl_parse(good.data(), good.size(), "F", &out, error, sizeof error), 1) << error;
    for (size_t n = 0; n < good.size(); n++) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_EQ(rpl_parse(cut.data(), cut.size(), "F", &out, error, sizeof error), 0) << "cut at " << n;
    }
    for (size_t i = 0; i < good.size(); i++) {
        for (int bit = 0; bit < 8; bit++) {
            std::vector<uint8_t> flipped = good;
            flipped[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_EQ(rpl_parse(flipped.data(), flipped.size(), "F", &out, error, sizeof error), 0)
                << "byte " << i << " bit " << bit;
        }
    }
}

} // namespace
