// Recording: a stream tap gathers frames and seeds in memory (a frame costs a compare and an
// increment) and writes the match so far to a temporary name beside the target every few
// seconds of play; at the end the whole file is written there, synced and renamed, so the
// target is either absent, the old file, or a whole recording, and a crash leaves the match up
// to its last checkpoint under the temporary name.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "game/game_internal.h"
#include "platform/plat_system.h"
#include "replay/replay.h"
#include "stream/stream.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif

namespace {

int32_t active = 0;
int fd = -1;
std::string target, temp;
RplRecording rec;
uint32_t frames = 0;

// Ten seconds of play between checkpoints: a few hundred bytes written, a whole recording each.
constexpr uint32_t CHECKPOINT_FRAMES = 300;

// The recording as it stands, over whatever the temporary file held; 1 when all was written.
int32_t write_now(void) {
    rec.result = rpl_result_now();
    rec.result.frames = frames;
    rec.result.seeds = static_cast<uint32_t>(rec.seeds.size());
    std::vector<uint8_t> bytes = rpl_encode(&rec, QUORVANE_VERSION);
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    return ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

void tap(int32_t kind, int32_t seat, uint32_t value) {
    if (!active) return;
    if (kind == STRM_EVENT_SEED) {
        rec.seeds.push_back(RplSeed{value, frames});
        return;
    }
    if (frames == RPL_MAX_FRAMES) return; // a reader would refuse more; the file stays readable
    uint8_t keys = static_cast<uint8_t>(value & STRM_KEY_MASK);
    uint8_t s = static_cast<uint8_t>(seat);
    frames++;
    if (!rec.runs.empty() && rec.runs.back().keys == keys && rec.runs.back().seat == s &&
        rec.runs.back().count < UINT32_MAX) {
        rec.runs.back().count++;
    } else {
        rec.runs.push_back(RplRun{keys, s, 1});
    }
    // The frame is over but for its quit: the state a replay of these frames ends in.
    if (frames % CHECKPOINT_FRAMES == 0) write_now();
}

void say(char *error, size_t size, const char *what, const std::string &path, int err) {
    if (error && size) std::snprintf(error, size, "%s %s: %s", what, path.c_str(), std::strerror(err));
}

void drop_temp(void) {
    if (fd >= 0) close(fd);
    fd = -1;
    if (!temp.empty()) unlink(temp.c_str());
    temp.clear();
    active = 0;
}

// The folder of path, for syncing the rename.
std::string folder_of(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

} // namespace

int32_t rpl_record_start(const char *path, char *error, size_t error_size) {
    if (active) drop_temp();
    target = path ? path : "";
    rec = RplRecording{};
    rec.close_frame = RPL_NO_CLOSE;
    frames = 0;
    // Found out now rather than at the rename after a whole match.
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        say(error, error_size, "cannot record to", target, EISDIR);
        return 0;
    }
    // A unique temporary name in the same folder, so the rename cannot cross file systems
    // and two recordings cannot write over each other.
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = mkstemp(name.data());
    if (fd < 0) {
        say(error, error_size, "cannot write a recording next to", target, errno);
        return 0;
    }
    temp = name.data();
    // mkstemp makes the file private; a recording is an ordinary file.
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    if (!strm_add_tap(tap)) {
        if (error && error_size) std::snprintf(error, error_size, "no room to watch the input streams");
        drop_temp();
        return 0;
    }
    active = 1;
    return 1;
}

void rpl_record_message(const PlatMessage *msg) {
    // A destroy the game did not post itself: the window's close button or a signal.
    if (active && msg && msg->type == PLAT_MSG_DESTROY && !quit_requested && rec.close_frame == RPL_NO_CLOSE)
        rec.close_frame = frames;
}

int32_t rpl_record_finish(char *error, size_t error_size) {
    if (!active) {
        if (error && error_size) std::snprintf(error, error_size, "not recording");
        return 0;
    }
    active = 0;
    if (!write_now()) {
        say(error, error_size, "cannot write the recording", temp, errno);
        drop_temp();
        return 0;
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        fd = -1;
        say(error, error_size, "cannot write the recording", temp, errno);
        drop_temp();
        return 0;
    }
    fd = -1;
    if (rename(temp.c_str(), target.c_str()) != 0) {
        say(error, error_size, "cannot save the recording as", target, errno);
        drop_temp();
        return 0;
    }
    temp.clear();
    // The rename itself reaches the disk with its folder.
    int dir = open(folder_of(target).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 1;
}

void rpl_record_abandon(void) { drop_temp(); }

int32_t rpl_recording(void) { return active; }
