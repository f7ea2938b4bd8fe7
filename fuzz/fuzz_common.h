// Loaders take file names, so each input is written to a scratch file first.
#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

static inline std::string fuzz_write_input(const uint8_t *data, size_t size, const char *ext) {
    static std::string path;
    if (path.empty()) {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        path = std::string(dir) + "/quorvane-fuzz-" + std::to_string(getpid()) + ext;
    }
    FILE *f = std::fopen(path.c_str(), "wb");
    if (f) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return path;
}
