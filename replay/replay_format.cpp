// The recording format: encoding a recording's parts and reading a file back, refusing
// anything that is not a whole, intact recording this game can play.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "replay/replay.h"
#include "replay/replay_internal.h"

namespace {

constexpr size_t FOOTER_SIZE = 5 * 4 + 8 + 4; // after the end tag

void put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int i = 0; i < 4; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put64(std::vector<uint8_t> &out, uint64_t v) {
    for (int i = 0; i < 8; i++) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void put_count(std::vector<uint8_t> &out, uint32_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
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

uint32_t rpl_crc32(const uint8_t *data, size_t size) {
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    }
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; i++) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
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
            put32(out, rec->seeds[next_seed].value);
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
            put_count(out, take);
            done += take;
            left -= take;
        }
    }
    events_at(done);
    out.push_back(RPL_TAG_END);
    const RplResult &res = rec->result;
    put32(out, res.score1);
    put32(out, res.score2);
    put32(out, res.frames);
    put32(out, res.seeds);
    put32(out, res.shots);
    put64(out, res.hash);
    put32(out, rpl_crc32(out.data(), out.size()));
    return out;
}

int32_t rpl_parse(const uint8_t *data, size_t size, const char *name, RplRecording *out, char *error,
                  size_t error_size) {
    if (!name) name = "the recording";
    RplRecording &rec = *out;
    rec.game_version[0] = '\0';
    rec.runs.clear();
    rec.seeds.clear();
    rec.close_frame = RPL_NO_CLOSE;
    rec.result = RplResult{};

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

    // The records, up to the end tag.
    size_t at = static_cast<size_t>(nl - data) + 1;
    int32_t seat = -1;
    uint64_t frames = 0;
    const char *truncated = "%s is cut short (truncated recording)";
    for (;;) {
        if (at >= size) return fail(error, error_size, truncated, name);
        uint8_t tag = data[at++];
        if (tag < 0x80) {
            uint32_t count = 0;
            int shift = 0;
            for (;;) {
                if (at >= size) return fail(error, error_size, truncated, name);
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
            if (size - at < 4) return fail(error, error_size, truncated, name);
            rec.seeds.push_back(RplSeed{get32(data + at), static_cast<uint32_t>(frames)});
            at += 4;
        } else if (tag == RPL_TAG_CLOSE) {
            if (rec.close_frame != RPL_NO_CLOSE) return fail(error, error_size, "%s is damaged (two closes)", name);
            rec.close_frame = static_cast<uint32_t>(frames);
        } else if (tag == RPL_TAG_END) {
            break;
        } else {
            return fail(error, error_size, "%s is damaged (unknown record 0x%02x)", name, tag);
        }
    }

    if (size - at < FOOTER_SIZE) return fail(error, error_size, truncated, name);
    if (size - at > FOOTER_SIZE) return fail(error, error_size, "%s is damaged (bytes after its end)", name);
    if (rpl_crc32(data, size - 4) != get32(data + size - 4))
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

int32_t rpl_load(const char *path, RplRecording *out, char *error, size_t error_size) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return fail(error, error_size, "cannot open %s: %s", path, std::strerror(errno));
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
    return rpl_parse(data.data(), data.size(), path, out, error, error_size);
}
