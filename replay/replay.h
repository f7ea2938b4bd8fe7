// Recordings of matches: the seed ticks and each frame's keys, appended to the file as the game
// is played and played back through the input streams, so a match can be watched again or
// checked headless.
//
// File layout (little-endian):
//   "quorvane-replay <format version> <game version>\n"     the header line, at most 64 bytes
//   records, each opening with a tag byte:
//     0x00-0x7F  a run of frames: the tag is their key bits, then the run length (LEB128, >= 1);
//                runs of the same keys and seat in a row are one run
//     0x80-0x82  the seat in charge of the frames that follow (0x80 + StrmSeat)
//     0x90       a seed tick: 4 bytes
//     0xA0       a window close request handled before the next frame
//     0xB0       how the recording ended (RplEnding, 1 byte) and whether a match was under way
//                (1 byte); only directly before the end, absent from older recordings
//     0xB1       a checkpoint: the frames so far (4 bytes) and a CRC-32 of every byte before
//                its own CRC (4 bytes); written at each flush while the match is played
//     0xFF       the end, then the result: player1, player2, frames, seeds, shots (4 bytes each),
//                the state hash (8 bytes), and a CRC-32 of every byte before it (4 bytes)
// While the game records, the file is TARGET.part; only a whole recording is renamed to
// TARGET. A .part a crash left behind is read up to its last checkpoint.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr const char *RPL_FORMAT_NAME = "quorvane-replay";
constexpr int32_t RPL_FORMAT_VERSION = 1;
constexpr size_t RPL_HEADER_MAX = 64;
// Longer files or matches are refused: about 52 days of frames at 30 a second.
constexpr uint32_t RPL_MAX_FRAMES = 1u << 27;
constexpr size_t RPL_MAX_FILE_SIZE = 64u << 20;
constexpr size_t RPL_ERROR_MAX = 512;

enum RplTag : uint8_t {
    RPL_TAG_SEAT = 0x80,
    RPL_TAG_SEED = 0x90,
    RPL_TAG_CLOSE = 0xA0,
    RPL_TAG_ENDING = 0xB0,
    RPL_TAG_CHECKPOINT = 0xB1,
    RPL_TAG_END = 0xFF,
};

// How a recording ended.
enum RplEnding : uint8_t {
    RPL_ENDING_UNSAID = 0, // older recordings, and those cut short
    RPL_ENDING_ESCAPE = 1,
    RPL_ENDING_QUIT = 2,  // QUIT on the title menu
    RPL_ENDING_CLOSE = 3, // the window closed
    RPL_ENDING_SIGINT = 4,
    RPL_ENDING_SIGTERM = 5,
    RPL_ENDING_SIGHUP = 6,
    RPL_ENDING_COUNT
};

// The suffix of the file a recording grows in until it is whole.
constexpr const char *RPL_PART_SUFFIX = ".part";

// What a match came to: the line both programs print at the end of a replay.
struct RplResult {
    uint32_t score1, score2;
    uint32_t frames, seeds, shots;
    uint64_t hash;
};

struct RplRun {
    uint8_t keys;
    uint8_t seat;
    uint32_t count;
};
struct RplSeed {
    uint32_t value;
    uint32_t frame; // frames finished before the game seeded with it
};

struct RplRecording {
    char game_version[32];
    std::vector<RplRun> runs;
    std::vector<RplSeed> seeds;
    uint32_t close_frame; // frames finished before the close request, or RPL_NO_CLOSE
    RplResult result;     // as the footer has it; only frames and seeds when cut short
    uint8_t ending;       // RplEnding
    uint8_t under_way;    // 1 when it ended in the middle of a match
    uint8_t cut_short;    // 1 for a .part read up to its last checkpoint
};
constexpr uint32_t RPL_NO_CLOSE = 0xFFFFFFFFu;

// ---- results ----
// The game's result now: scores, frames and seeds so far, shots fired, state hash.
RplResult rpl_result_now(void);
// "result: player1 N player2 M frames F shots S hash H" (H 16 hex digits), no newline.
void rpl_format_result(const RplResult *result, char *out, size_t size);

// ---- recording (the game's --record) ----
// Before game_init: creates path.part (refused when one is there already: a recording a crash
// left), writes the header and watches the input streams. From then on every frame is
// appended, flushed at each round's start and end and every ten seconds of play.
// 1, or 0 with a one-line reason in error.
int32_t rpl_record_start(const char *path, char *error, size_t error_size);
// The message loop, for every message it takes: notes a close request that did not come
// from the game itself, so a replay closes at the same frame.
void rpl_record_message(const struct PlatMessage *msg);
// The loop ended on this signal (SIGINT, SIGTERM or SIGHUP): the recording's end says so.
void rpl_record_signal(int32_t signal_number);
// After the message loop, whether the match was over or not: writes how it ended, the result
// and the checksum, syncs and renames path.part to path. 1, or 0 with the reason (what was
// flushed stays in path.part).
int32_t rpl_record_finish(char *error, size_t error_size);
// Stops recording and removes path.part (start-up failed before anything was played).
void rpl_record_abandon(void);
// 1 between a successful start and finish/abandon.
int32_t rpl_recording(void);

// ---- reading ----
// A whole recording from memory: 1, or 0 with a one-line reason (name says what is read).
int32_t rpl_parse(const uint8_t *data, size_t size, const char *name, RplRecording *out, char *error,
                  size_t error_size);
// The same for what a recording's .part holds: a whole recording, or one cut short, read up
// to its last checkpoint (cut_short set; the bytes after it are dropped). A checkpoint or
// record that is wrong rather than cut off is refused as in rpl_parse.
int32_t rpl_parse_part(const uint8_t *data, size_t size, const char *name, RplRecording *out, char *error,
                       size_t error_size);
// A recording from a file (a name ending in .part read as by rpl_parse_part): 1, or 0 with a
// one-line reason.
int32_t rpl_load(const char *path, RplRecording *out, char *error, size_t error_size);
// How a recording ended, in words ("SIGTERM", "Escape", ...); "" when unsaid.
const char *rpl_ending_name(int32_t ending);
// The recording's frames in all.
uint32_t rpl_frame_total(const RplRecording *rec);

// ---- writing a recording from parts (tools, tests) ----
// The whole file for these runs, seeds (in order of their frame) and close, with result.
std::vector<uint8_t> rpl_encode(const RplRecording *rec, const char *game_version);

// ---- replaying ----
// Before game_init: every seat and the seeds come from rec (kept by reference until
// rpl_replay_stop).
void rpl_replay_start(const RplRecording *rec);
// One pass of the message loop while replaying, in place of the usual peek: hands the game
// the recorded close request or at most one pending message. 1 when the next frame should
// be played, 0 when the replay is over (every frame played, it went another way than the
// recording, or the game quit).
int32_t rpl_replay_pass(void);
// 1 once every recorded frame has been played.
int32_t rpl_replay_complete(void);
// The frame at which the game asked for something other than what was recorded next, or -1.
int64_t rpl_replay_diverged_at(void);
// Detaches from the recording (the input streams keep their sources until strm_reset).
void rpl_replay_stop(void);

// ---- the loop both programs run ----
// Every match variable back to its value at process start, so a recording or replay in a
// process that has played before (tests, tools, benchmarks) starts as a fresh game does.
void rpl_fresh_game(void);
// Plays rec to its end in an opened window: a fresh game, game_init, frames, then what the end of the
// recording asks (a close request if the game had not quit). Leaves the game running for
// the caller's shutdown. Returns 0 when complete and matching the recorded result, 1 when
// stopped early by the live Escape, 3 when it went another way (message in error).
int32_t rpl_play(const RplRecording *rec, RplResult *result, char *error, size_t error_size);
// --replay of both programs: rpl_play, then game_shutdown and plat_shutdown; the result line
// (rpl_format_result) goes to line. Returns what rpl_play returned; with 0, error holds a note
// for stderr ("" for none) when the recording was cut short or ended an unfinished match.
int32_t rpl_play_to_end(const RplRecording *rec, char *line, size_t line_size, char *error, size_t error_size);
