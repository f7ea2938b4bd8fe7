// Recording: a stream tap appends each frame's keys and each seed to TARGET.part as the game is
// played (a frame costs a compare and an increment; a run of the same keys is written when it
// ends or at a flush). A flush writes what has gathered with a checkpoint after it: at the
// start and end of every round and every ten seconds of play. The end of the recording says how
// it ended and carries the result and a checksum; then the file is synced and renamed, so
// TARGET is either absent, the old file, or a whole recording, and a crash leaves the match up
// to its last flush in TARGET.part.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/game.h"
#include "game/game_internal.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "replay/replay_internal.h"
#include "stream/stream.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

namespace {

// Ten seconds of play between flushes at the most.
constexpr uint32_t FLUSH_MS = 10000;

int32_t active = 0;
int fd = -1;
int write_errno = 0; // the first failed write; nothing more is written after it
std::string target, part;

std::vector<uint8_t> pending; // records not yet written
uint32_t crc = 0;             // of every byte written
int32_t written_seat = -1;
uint8_t run_keys = 0, run_seat = 0;
uint32_t run_count = 0; // frames of the open run not yet in pending

uint32_t frames = 0, seeds = 0;
uint32_t close_frame = RPL_NO_CLOSE;
uint32_t escape_frame = RPL_NO_CLOSE; // the first frame whose Escape test said quit
int32_t signal_seen = 0;
// What the last flush saw, to flush again when a round starts or ends.
uint32_t flushed_seeds = 0, flushed_points = 0, flushed_tick = 0;

void write_pending(void) {
    size_t done = 0;
    while (!write_errno && done < pending.size()) {
        ssize_t n = write(fd, pending.data() + done, pending.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            write_errno = n == 0 ? ENOSPC : errno;
        else
            done += static_cast<size_t>(n);
    }
    if (!write_errno) crc = rpl_crc32_more(crc, pending.data(), pending.size());
    pending.clear();
}

void close_run(void) {
    if (!run_count) return;
    if (written_seat != run_seat) {
        written_seat = run_seat;
        pending.push_back(static_cast<uint8_t>(RPL_TAG_SEAT + run_seat));
    }
    pending.push_back(run_keys);
    rpl_put_count(pending, run_count);
    run_count = 0;
}

void flush(void) {
    close_run();
    pending.push_back(RPL_TAG_CHECKPOINT);
    rpl_put32(pending, frames);
    rpl_put32(pending, rpl_crc32_more(crc, pending.data(), pending.size()));
    write_pending();
    flushed_seeds = seeds;
    flushed_points = static_cast<uint32_t>(score[0] + score[1]);
    flushed_tick = plat_ticks();
}

void tap(int32_t kind, int32_t seat, uint32_t value) {
    if (!active) return;
    if (kind == STRM_EVENT_SEED) {
        close_run();
        pending.push_back(RPL_TAG_SEED);
        rpl_put32(pending, value);
        seeds++;
        return;
    }
    if (frames == RPL_MAX_FRAMES) return; // a reader would refuse more; the file stays readable
    uint8_t keys = static_cast<uint8_t>(value & STRM_KEY_MASK);
    uint8_t s = static_cast<uint8_t>(seat);
    if (run_count && (keys != run_keys || s != run_seat || run_count == UINT32_MAX)) close_run();
    run_keys = keys;
    run_seat = s;
    run_count++;
    frames++;
    if ((keys & STRM_KEY_ESCAPE) && escape_frame == RPL_NO_CLOSE) escape_frame = frames;
    // The frame is over but for its quit: a replay of the frames so far ends in this state.
    // A new seed is a round set up; a point scored, a round ended.
    if (seeds != flushed_seeds || static_cast<uint32_t>(score[0] + score[1]) != flushed_points ||
        plat_ticks() - flushed_tick >= FLUSH_MS)
        flush();
}

void say(char *error, size_t size, const char *what, const std::string &path, int err) {
    if (error && size) std::snprintf(error, size, "%s %s: %s", what, path.c_str(), std::strerror(err));
}

void stop(void) {
    if (fd >= 0) close(fd);
    fd = -1;
    active = 0;
    pending.clear();
}

// The folder of path, for syncing the rename.
std::string folder_of(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

uint8_t ending_now(void) {
    if (signal_seen == SIGINT) return RPL_ENDING_SIGINT;
    if (signal_seen == SIGTERM) return RPL_ENDING_SIGTERM;
    if (signal_seen == SIGHUP) return RPL_ENDING_SIGHUP;
    if (close_frame != RPL_NO_CLOSE && close_frame < escape_frame) return RPL_ENDING_CLOSE;
    if (escape_frame != RPL_NO_CLOSE) return RPL_ENDING_ESCAPE;
    if (quit_requested) return RPL_ENDING_QUIT;
    return RPL_ENDING_UNSAID;
}

} // namespace

int32_t rpl_record_start(const char *path, char *error, size_t error_size) {
    if (active) stop(); // what it wrote stays, as after a crash
    target = path ? path : "";
    part = target + RPL_PART_SUFFIX;
    pending.clear();
    crc = 0;
    write_errno = 0;
    written_seat = -1;
    run_count = 0;
    frames = seeds = 0;
    close_frame = escape_frame = RPL_NO_CLOSE;
    signal_seen = 0;
    flushed_seeds = flushed_points = 0;
    flushed_tick = 0;
    // Found out now rather than at the rename after a whole match.
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        say(error, error_size, "cannot record to", target, EISDIR);
        return 0;
    }
    // Beside the target, so the rename cannot cross file systems. One that is there already is
    // a match a crash cut short, or another game recording to the same name: neither is
    // written over.
    fd = open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        if (error && error_size)
            std::snprintf(error, error_size,
                          "%s is in the way (a recording cut short, or another game recording to %s); play it with "
                          "--replay, then move or remove it",
                          part.c_str(), target.c_str());
        return 0;
    }
    if (fd < 0) {
        say(error, error_size, "cannot write a recording next to", target, errno);
        return 0;
    }
    if (!strm_add_tap(tap)) {
        if (error && error_size) std::snprintf(error, error_size, "no room to watch the input streams");
        stop();
        unlink(part.c_str());
        return 0;
    }
    // The header at once: the file is never empty.
    char header[RPL_HEADER_MAX];
    int n = std::snprintf(header, sizeof header, "%s %d %s\n", RPL_FORMAT_NAME, RPL_FORMAT_VERSION, QUORVANE_VERSION);
    pending.assign(header, header + n);
    write_pending();
    active = 1;
    return 1;
}

void rpl_record_message(const PlatMessage *msg) {
    // A destroy the game did not post itself: the window's close button or a signal.
    if (active && msg && msg->type == PLAT_MSG_DESTROY && !quit_requested && close_frame == RPL_NO_CLOSE) {
        close_frame = frames;
        close_run();
        pending.push_back(RPL_TAG_CLOSE);
    }
}

void rpl_record_signal(int32_t signal_number) {
    if (active && !signal_seen) signal_seen = signal_number;
}

int32_t rpl_record_finish(char *error, size_t error_size) {
    if (!active) {
        if (error && error_size) std::snprintf(error, error_size, "not recording");
        return 0;
    }
    active = 0;
    RplResult result = rpl_result_now();
    result.frames = frames;
    result.seeds = seeds;
    close_run();
    // Written whole: a crash in the middle of it leaves a .part read up to its last checkpoint.
    uint8_t under_way = game_current_screen() == GAME_SCREEN_PLAY ? 1 : 0;
    rpl_put_end(pending, ending_now(), under_way, &result, crc);
    write_pending();
    if (write_errno || fsync(fd) != 0) {
        say(error, error_size, "cannot write the recording", part, write_errno ? write_errno : errno);
        stop();
        return 0;
    }
    int closed = close(fd);
    fd = -1;
    if (closed != 0) {
        say(error, error_size, "cannot write the recording", part, errno);
        stop();
        return 0;
    }
    if (rename(part.c_str(), target.c_str()) != 0) {
        say(error, error_size, "cannot save the recording as", target, errno);
        stop();
        return 0;
    }
    stop();
    // The rename itself reaches the disk with its folder.
    int dir = open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 1;
}

void rpl_record_abandon(void) {
    if (!active) return;
    stop();
    unlink(part.c_str());
}

int32_t rpl_recording(void) { return active; }
