// The recording format: encoding a recording's parts and reading a file back, refusing
// anything that is not an intact recording this game can play (whole, or a .part cut short
// after a checkpoint).
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "replay/replay.h"
#include "replay/replay_internal.h"

namespace {

constexpr size_t FOOTER_SIZE = 5 * 4 + 8 + 4; // after the end tag

void put64(std::vector<uint8_t> &out, uint64_t v) {
    for (int i = 0; i < 8; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

uint32_t get32(const uint8_t *p) {
    return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint64_t get64(const uint8_t *p) { return get32(p) | (uint64_t(get32(p + 4)) << 32); }

int32_t fail(char *error, size_t size, const char *format, ...) {
    if (error && size) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(error, size, format, args);
        va_end(args);
    }
    return 0;
}

int32_t version_char(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' ||
           c == '+' || c == '_';
}

// Appends frames to the last run when it has the same keys and seat.
void add_frames(std::vector<RplRun> &runs, uint8_t keys, uint8_t seat, uint32_t count) {
    if (!runs.empty() && runs.back().keys == keys && runs.back().seat == seat &&
        runs.back().count <= UINT32_MAX - count) {
        runs.back().count += count;
        return;
    }
    runs.push_back(RplRun{keys, seat, count});
}

} // namespace

uint32_t rpl_crc32_more(uint32_t crc, const uint8_t *data, size_t size) {
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    }
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t rpl_crc32(const uint8_t *data, size_t size) { return rpl_crc32_more(0, data, size); }

void rpl_put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void rpl_put_count(std::vector<uint8_t> &out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}

void rpl_put_end(std::vector<uint8_t> &out, uint8_t ending, uint8_t under_way, const RplResult *res,
                 uint32_t crc_before) {
    if (ending != RPL_ENDING_UNSAID) out.insert(out.end(), {RPL_TAG_ENDING, ending, under_way});
    out.push_back(RPL_TAG_END);
    rpl_put32(out, res->score1);
    rpl_put32(out, res->score2);
    rpl_put32(out, res->frames);
    rpl_put32(out, res->seeds);
    rpl_put32(out, res->shots);
    put64(out, res->hash);
    rpl_put32(out, rpl_crc32_more(crc_before, out.data(), out.size()));
}

const char *rpl_ending_name(int32_t ending) {
    switch (ending) {
    case RPL_ENDING_ESCAPE: return "Escape";
    case RPL_ENDING_QUIT: return "QUIT on the title menu";
    case RPL_ENDING_CLOSE: return "closing the window";
    case RPL_ENDING_SIGINT: return "SIGINT";
    case RPL_ENDING_SIGTERM: return "SIGTERM";
    case RPL_ENDING_SIGHUP: return "SIGHUP";
    default: return "";
    }
}

uint32_t rpl_frame_total(const RplRecording *rec) {
    uint64_t total = 0;
    for (const RplRun &r : rec->runs) total += r.count;
    return total > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(total);
}

std::vector<uint8_t> rpl_encode(const RplRecording *rec, const char *game_version) {
    std::vector<uint8_t> out;
    char header[RPL_HEADER_MAX];
    int n = std::snprintf(header, sizeof header, "%s %d %s\n", RPL_FORMAT_NAME, RPL_FORMAT_VERSION,
                          game_version && *game_version ? game_version : "0");
    if (n < 0 || static_cast<size_t>(n) >= sizeof header) n = static_cast<int>(sizeof header) - 1;
    out.insert(out.end(), header, header + n);

    // Seeds and the close request sit between frames; runs are cut where they fall.
    size_t next_seed = 0;
    uint32_t done = 0;
    int32_t seat = -1;
    auto events_at = [&](uint32_t frame) {
        for (; next_seed < rec->seeds.size() && rec->seeds[next_seed].frame <= frame; next_seed++) {
            out.push_back(RPL_TAG_SEED);
            rpl_put32(out, rec->seeds[next_seed].value);
        }
        if (rec->close_frame == frame) out.push_back(RPL_TAG_CLOSE);
    };
    // Merged runs first, so a recording encodes the same however its runs were cut.
    std::vector<RplRun> runs;
    for (const RplRun &r : rec->runs)
        if (r.count) add_frames(runs, r.keys, r.seat, r.count);
    for (const RplRun &r : runs) {
        uint32_t left = r.count;
        while (left) {
            events_at(done);
            uint32_t take = left;
            if (next_seed < rec->seeds.size() && rec->seeds[next_seed].frame > done &&
                rec->seeds[next_seed].frame - done < take)
                take = rec->seeds[next_seed].frame - done;
            if (rec->close_frame > done && rec->close_frame - done < take) take = rec->close_frame - done;
            if (seat != r.seat) {
                seat = r.seat;
                out.push_back(static_cast<uint8_t>(RPL_TAG_SEAT + seat));
            }
            out.push_back(r.keys & 0x7F);
            rpl_put_count(out, take);
            done += take;
            left -= take;
        }
    }
    events_at(done);
    rpl_put_end(out, rec->ending, rec->under_way, &rec->result, 0);
    return out;
}

namespace {

// What a checkpoint vouches for: everything read before it.
struct Checkpoint {
    uint64_t frames;
    size_t seeds;
    uint32_t close_frame;
};

// Drops what came after the checkpoint: frames, seeds and a close request.
void cut_back(RplRecording &rec, const Checkpoint &cp) {
    uint64_t keep = cp.frames;
    size_t n = 0;
    for (; n < rec.runs.size() && keep; n++) {
        if (rec.runs[n].count >= keep) {
            rec.runs[n].count = static_cast<uint32_t>(keep);
            keep = 0;
        } else {
            keep -= rec.runs[n].count;
        }
    }
    rec.runs.resize(n);
    rec.seeds.resize(cp.seeds);
    rec.close_frame = cp.close_frame;
    rec.result = RplResult{};
    rec.result.frames = static_cast<uint32_t>(cp.frames);
    rec.result.seeds = static_cast<uint32_t>(cp.seeds);
    rec.ending = RPL_ENDING_UNSAID;
    rec.under_way = 0;
    rec.cut_short = 1;
}

int32_t parse(const uint8_t *data, size_t size, const char *name, int32_t part, RplRecording *out, char *error,
              size_t error_size) {
    if (!name) name = "the recording";
    RplRecording &rec = *out;
    rec.game_version[0] = '\0';
    rec.runs.clear();
    rec.seeds.clear();
    rec.close_frame = RPL_NO_CLOSE;
    rec.result = RplResult{};
    rec.ending = RPL_ENDING_UNSAID;
    rec.under_way = 0;
    rec.cut_short = 0;

    // The header line: the format's name, its version and the game's version.
    size_t name_len = std::strlen(RPL_FORMAT_NAME);
    size_t head = size < name_len + 1 ? size : name_len + 1;
    if (!data || size == 0) return fail(error, error_size, "%s is empty, not a Quorvane recording", name);
    if (std::memcmp(data, RPL_FORMAT_NAME, head < name_len ? head : name_len) != 0 ||
        (size > name_len && data[name_len] != ' '))
        return fail(error, error_size, "%s is not a Quorvane recording", name);
    if (size > RPL_MAX_FILE_SIZE) return fail(error, error_size, "%s is too large for a recording", name);
    const uint8_t *nl =
        static_cast<const uint8_t *>(std::memchr(data, '\n', size < RPL_HEADER_MAX ? size : RPL_HEADER_MAX));
    if (!nl) {
        if (size < RPL_HEADER_MAX) return fail(error, error_size, "%s is cut short (truncated recording)", name);
        return fail(error, error_size, "%s has a damaged header", name);
    }
    const char *p = reinterpret_cast<const char *>(data) + name_len + 1;
    const char *line_end = reinterpret_cast<const char *>(nl);
    long version = 0;
    const char *v = p;
    while (p < line_end && *p >= '0' && *p <= '9' && version < 1000000) version = version * 10 + (*p++ - '0');
    if (p == v || p >= line_end || *p != ' ' || version == 0)
        return fail(error, error_size, "%s has a damaged header", name);
    if (version != RPL_FORMAT_VERSION)
        return fail(error, error_size, "%s is a recording of format version %ld; this game reads version %d", name,
                    version, RPL_FORMAT_VERSION);
    p++;
    size_t gv = static_cast<size_t>(line_end - p);
    if (gv == 0 || gv >= sizeof rec.game_version) return fail(error, error_size, "%s has a damaged header", name);
    for (size_t i = 0; i < gv; i++)
        if (!version_char(p[i])) return fail(error, error_size, "%s has a damaged header", name);
    std::memcpy(rec.game_version, p, gv);
    rec.game_version[gv] = '\0';

    // The records, up to the end tag. Running out of bytes is where a .part was cut: it is read
    // up to its last checkpoint.
    size_t at = static_cast<size_t>(nl - data) + 1;
    int32_t seat = -1;
    uint64_t frames = 0;
    Checkpoint last{0, 0, RPL_NO_CLOSE};
    int32_t checkpoints = 0;
    uint32_t crc = 0;
    size_t crc_at = 0; // crc is that of the bytes before crc_at
    auto truncated = [&]() -> int32_t {
        if (!part) return fail(error, error_size, "%s is cut short (truncated recording)", name);
        if (!checkpoints) return fail(error, error_size, "%s was cut short before any of its frames were saved", name);
        cut_back(rec, last);
        return 1;
    };
    for (;;) {
        if (at >= size) return truncated();
        uint8_t tag = data[at++];
        if (tag < 0x80) {
            uint32_t count = 0;
            int shift = 0;
            for (;;) {
                if (at >= size) return truncated();
                uint8_t b = data[at++];
                if (shift == 28 && (b & 0x70)) return fail(error, error_size, "%s is damaged (bad run length)", name);
                count |= uint32_t(b & 0x7F) << shift;
                if (!(b & 0x80)) break;
                shift += 7;
                if (shift > 28) return fail(error, error_size, "%s is damaged (bad run length)", name);
            }
            if (count == 0 || seat < 0) return fail(error, error_size, "%s is damaged (bad frame run)", name);
            frames += count;
            if (frames > RPL_MAX_FRAMES) return fail(error, error_size, "%s is too long a recording", name);
            add_frames(rec.runs, tag, static_cast<uint8_t>(seat), count);
        } else if (tag >= RPL_TAG_SEAT && tag < RPL_TAG_SEAT + 3) {
            seat = tag - RPL_TAG_SEAT;
        } else if (tag == RPL_TAG_SEED) {
            if (size - at < 4) return truncated();
            rec.seeds.push_back(RplSeed{get32(data + at), static_cast<uint32_t>(frames)});
            at += 4;
        } else if (tag == RPL_TAG_CLOSE) {
            if (rec.close_frame != RPL_NO_CLOSE) return fail(error, error_size, "%s is damaged (two closes)", name);
            rec.close_frame = static_cast<uint32_t>(frames);
        } else if (tag == RPL_TAG_CHECKPOINT) {
            if (size - at < 8) return truncated();
            crc = rpl_crc32_more(crc, data + crc_at, at + 4 - crc_at);
            crc_at = at + 4;
            if (get32(data + at) != frames || get32(data + at + 4) != crc)
                return fail(error, error_size, "%s is damaged (checkpoint mismatch)", name);
            at += 8;
            last = Checkpoint{frames, rec.seeds.size(), rec.close_frame};
            checkpoints++;
        } else if (tag == RPL_TAG_ENDING) {
            if (size - at < 3) return truncated();
            if (data[at] == RPL_ENDING_UNSAID || data[at] >= RPL_ENDING_COUNT || data[at + 1] > 1 ||
                data[at + 2] != RPL_TAG_END)
                return fail(error, error_size, "%s is damaged (bad ending)", name);
            rec.ending = data[at];
            rec.under_way = data[at + 1];
            at += 2;
        } else if (tag == RPL_TAG_END) {
            break;
        } else {
            return fail(error, error_size, "%s is damaged (unknown record 0x%02x)", name, tag);
        }
    }

    if (size - at < FOOTER_SIZE) return truncated();
    if (size - at > FOOTER_SIZE) return fail(error, error_size, "%s is damaged (bytes after its end)", name);
    if (rpl_crc32_more(crc, data + crc_at, size - 4 - crc_at) != get32(data + size - 4))
        return fail(error, error_size, "%s is damaged (checksum mismatch)", name);
    RplResult &res = rec.result;
    res.score1 = get32(data + at);
    res.score2 = get32(data + at + 4);
    res.frames = get32(data + at + 8);
    res.seeds = get32(data + at + 12);
    res.shots = get32(data + at + 16);
    res.hash = get64(data + at + 20);
    if (res.frames != frames || res.seeds != rec.seeds.size())
        return fail(error, error_size, "%s is damaged (its counts disagree)", name);
    return 1;
}

} // namespace

int32_t rpl_parse(const uint8_t *data, size_t size, const char *name, RplRecording *out, char *error,
                  size_t error_size) {
    return parse(data, size, name, 0, out, error, error_size);
}

int32_t rpl_parse_part(const uint8_t *data, size_t size, const char *name, RplRecording *out, char *error,
                       size_t error_size) {
    return parse(data, size, name, 1, out, error, error_size);
}

int32_t rpl_load(const char *path, RplRecording *out, char *error, size_t error_size) {
    // Opened without waiting (a FIFO's open waits for a writer), and only a file is read: a FIFO or
    // a terminal may never end, and the replay would hang before its window opens.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(error, error_size, "cannot open %s: %s", path, std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return fail(error, error_size, "cannot replay %s: not a regular file", path);
    }
    FILE *f = fdopen(fd, "rb");
    if (!f) {
        int saved = errno;
        close(fd);
        return fail(error, error_size, "cannot open %s: %s", path, std::strerror(saved));
    }
    std::vector<uint8_t> data;
    uint8_t block[65536];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) {
        data.insert(data.end(), block, block + n);
        if (data.size() > RPL_MAX_FILE_SIZE) break;
    }
    int failed = std::ferror(f);
    int saved = errno;
    std::fclose(f);
    if (failed) return fail(error, error_size, "cannot read %s: %s", path, std::strerror(saved));
    size_t len = std::strlen(path), suffix = std::strlen(RPL_PART_SUFFIX);
    int32_t part = len > suffix && std::strcmp(path + len - suffix, RPL_PART_SUFFIX) == 0;
    return parse(data.data(), data.size(), path, part, out, error, error_size);
}
