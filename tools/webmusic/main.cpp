// quorvane_webmusic OUTDIR MIDI...: renders each piece with the native synth and the General MIDI
// SoundFont into OUTDIR/NAME.wav (48 kHz 16-bit stereo, to its last tick plus the release tail)
// and lists them in OUTDIR/music.txt as "KEY END NAME.ogg" for the page, which cannot run the
// synth: KEY the FNV-1a of the MIDI file in 16 hex digits, END the frames to its last tick.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/plat_file.h"
#include "platform/synth/plat_synth.h"

namespace {

constexpr int32_t RATE = 48000, STEP = 480, TAIL = 2 * RATE;
constexpr int64_t LONGEST = 20LL * 60 * RATE;

std::vector<uint8_t> read_all(const char *path) {
    std::vector<uint8_t> bytes;
    if (FILE *fp = std::fopen(path, "rb")) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(fp);
    }
    return bytes;
}

std::vector<uint8_t> wav16(const std::vector<int16_t> &pcm) {
    std::vector<uint8_t> out = {'R', 'I', 'F', 'F'};
    uint32_t data = static_cast<uint32_t>(pcm.size() * 2);
    plat_put_le32(out, 36 + data);
    for (char c : std::string("WAVEfmt ")) out.push_back(static_cast<uint8_t>(c));
    plat_put_le32(out, 16);
    plat_put_le16(out, 1);
    plat_put_le16(out, 2);
    plat_put_le32(out, RATE);
    plat_put_le32(out, RATE * 4);
    plat_put_le16(out, 4);
    plat_put_le16(out, 16);
    for (char c : std::string("data")) out.push_back(static_cast<uint8_t>(c));
    plat_put_le32(out, data);
    for (int16_t s : pcm) plat_put_le16(out, static_cast<uint16_t>(s));
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quorvane_webmusic OUTDIR MIDI...\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!plat_synth_open(RATE, 0) || !plat_synth_wait()) {
        std::fprintf(stderr, "quorvane_webmusic: no SoundFont loads; the page will play without music\n");
        return 1;
    }
    std::string list;
    float block[2 * STEP];
    for (int i = 2; i < argc; i++) {
        std::vector<uint8_t> midi = read_all(argv[i]);
        std::string name = argv[i];
        name = name.substr(name.find_last_of('/') + 1);
        name = name.substr(0, name.find_last_of('.'));
        if (midi.empty() || !plat_synth_play(midi.data(), static_cast<uint32_t>(midi.size()))) {
            std::fprintf(stderr, "quorvane_webmusic: cannot play %s\n", argv[i]);
            return 1;
        }
        std::vector<int16_t> pcm;
        int64_t end = -1;
        for (int64_t at = 0; at < LONGEST; at += STEP) {
            if (end < 0 && !plat_synth_playing()) end = at;
            if (end >= 0 && at >= end + TAIL) break;
            plat_synth_render(block, STEP);
            for (float s : block) {
                float v = s * 32767.0f;
                pcm.push_back(static_cast<int16_t>(v > 32767.0f ? 32767.0f : v < -32768.0f ? -32768.0f : v));
            }
        }
        plat_synth_stop();
        uint64_t key = 1469598103934665603ull;
        for (uint8_t b : midi) key = (key ^ b) * 1099511628211ull;
        if (end < 0 || !plat_write_file((dir + "/" + name + ".wav").c_str(), wav16(pcm))) {
            std::fprintf(stderr, "quorvane_webmusic: %s has no end or cannot be written\n", argv[i]);
            return 1;
        }
        char line[128];
        std::snprintf(line, sizeof line, "%016llx %lld %s.ogg\n", static_cast<unsigned long long>(key),
                      static_cast<long long>(end), name.c_str());
        list += line;
    }
    plat_synth_close();
    std::vector<uint8_t> bytes(list.begin(), list.end());
    return plat_write_file((dir + "/music.txt").c_str(), bytes) ? 0 : 1;
}
