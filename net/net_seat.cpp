#include "net/net_seat.h"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "net/net_rdv.h"

namespace {

int held_fd = -1;
char held_path[PATH_MAX];
uint64_t held_session;

int32_t seat_path(uint32_t code, int32_t seat, char *out, size_t size) {
    const char *dir = std::getenv("XDG_RUNTIME_DIR");
    if (!dir || dir[0] != '/') return 0;
    char text[NET_RDV_CODE_CHARS + 1];
    net_rdv_code_text(code, text);
    int n = std::snprintf(out, size, "%s/quorvane-room-%s-%d", dir, text, seat);
    return n > 0 && static_cast<size_t>(n) < size;
}

// The file, open and locked by this game: its descriptor, or -1 when a living game holds it.
int lock_file(const char *path) {
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// This game's file from now on, in place of any it held.
void hold(int fd, uint64_t session, const char *path) {
    net_seat_forget();
    held_fd = fd;
    held_session = session;
    std::snprintf(held_path, sizeof held_path, "%s", path);
}

uint64_t read_session(int fd) {
    char text[40] = {};
    ssize_t n = pread(fd, text, sizeof text - 1, 0);
    uint64_t session = 0;
    if (n <= 0 || std::sscanf(text, "session %" SCNx64, &session) != 1) return 0;
    return session;
}

} // namespace

uint64_t net_seat_reclaim(uint32_t code) {
    for (int32_t seat = 0; seat < 2; seat++) {
        char path[PATH_MAX];
        if (!seat_path(code, seat, path, sizeof path)) return 0;
        if (access(path, F_OK) != 0) continue;
        int fd = lock_file(path);
        if (fd < 0) continue;
        uint64_t session = read_session(fd);
        if (!session) {
            unlink(path);
            close(fd);
            continue;
        }
        hold(fd, session, path);
        return session;
    }
    return 0;
}

void net_seat_keep(uint32_t code, int32_t seat, uint64_t session) {
    char path[PATH_MAX];
    if (!session || !seat_path(code, seat, path, sizeof path)) return;
    if (held_fd >= 0 && held_session == session && std::strcmp(path, held_path) == 0) return;
    net_seat_forget();
    int fd = lock_file(path);
    if (fd < 0) return; // another living game of this machine has that seat
    char text[40];
    int n = std::snprintf(text, sizeof text, "session %016" PRIx64 "\n", session);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, text, static_cast<size_t>(n), 0) != n) {
        unlink(path);
        close(fd);
        return;
    }
    hold(fd, session, path);
}

void net_seat_forget(void) {
    if (held_fd < 0) return;
    unlink(held_path);
    close(held_fd);
    held_fd = -1;
    held_session = 0;
    held_path[0] = '\0';
}
