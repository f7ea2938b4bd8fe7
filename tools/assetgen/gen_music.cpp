// The three pieces of music, composed here: a calm title theme, a driving battle piece and a
// victory fanfare, written as standard MIDI files (format 1, General MIDI, drums on channel 10).
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "tools/assetgen/assetgen.h"

namespace {

constexpr uint32_t TPB = 480; // ticks per beat
constexpr uint32_t BAR = TPB * 4;
constexpr uint8_t DRUMS = 9;

// GM drum keys.
constexpr int KICK = 36, KICK2 = 35, SNARE = 38, CLAP = 39, HAT = 42, OPEN_HAT = 46, CRASH = 49, RIDE = 51;
constexpr int TOM_HI = 50, TOM_MID = 47, TOM_LOW = 45, TOM_FLOOR = 43, SHAKER = 70;

GenTrack track(const char *name, uint8_t channel, int32_t program, uint8_t volume, uint8_t pan, uint8_t reverb) {
    GenTrack t;
    t.name = name;
    t.channel = channel;
    t.program = program;
    t.volume = volume;
    t.pan = pan;
    t.reverb = reverb;
    return t;
}

void note(GenTrack &t, uint32_t start, uint32_t length, int pitch, int velocity) {
    if (pitch < 0 || pitch > 127 || length == 0) return;
    velocity = std::clamp(velocity, 1, 127);
    t.notes.push_back({start, length, t.channel, static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity)});
}

// "C#5" -> 73; "r" -> -1.
int pitch_of(const char *s, size_t len) {
    if (len == 0 || s[0] == 'r') return -1;
    static const int base[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    int p = base[std::toupper(s[0]) - 'A'];
    size_t i = 1;
    while (i < len && (s[i] == '#' || s[i] == 'b')) p += s[i++] == '#' ? 1 : -1;
    int octave = std::atoi(std::string(s + i, len - i).c_str());
    return p + (octave + 1) * 12;
}

// Plays a line written as "pitch:units ..." (units of unit ticks) from start; returns the end tick.
// Notes sound for 92% of their value unless legato, so repeated pitches re-attack.
uint32_t line(GenTrack &t, uint32_t start, uint32_t unit, const char *text, int velocity, int transpose = 0,
              bool legato = false) {
    uint32_t now = start;
    const char *p = text;
    while (*p) {
        while (*p == ' ' || *p == '|') p++;
        if (!*p) break;
        const char *q = p;
        while (*q && *q != ':') q++;
        int pitch = pitch_of(p, static_cast<size_t>(q - p));
        uint32_t units = static_cast<uint32_t>(std::strtoul(q + 1, const_cast<char **>(&p), 10));
        uint32_t len = units * unit;
        uint32_t sound = legato ? len : len * 92 / 100;
        // A gentle accent on strong beats keeps the phrasing alive.
        int v = velocity + (((now - start) % (unit * 8)) == 0 ? 6 : 0);
        if (pitch >= 0) note(t, now, sound, pitch + transpose, v);
        now += len;
    }
    return now;
}

struct Chord {
    int root;       // bass note
    int voicing[4]; // middle-register chord tones
};

// --- THEME: calm and spacious, D minor, 76 beats a minute -------------------------------------
GenSong make_theme(void) {
    GenSong song{TPB, 789474, {}};                         // 76 bpm
    GenTrack flute = track("Melody", 0, 73, 122, 70, 70);  // flute
    GenTrack pad = track("Pad", 1, 89, 112, 50, 100);      // warm pad
    GenTrack harp = track("Harp", 2, 46, 116, 84, 80);     // harp arpeggios
    GenTrack bass = track("Bass", 3, 32, 124, 64, 40);     // acoustic bass
    GenTrack choir = track("Counter", 4, 52, 96, 40, 110); // choir aahs

    const Chord cyc[8] = {
        {38, {53, 57, 60, 64}}, // Dm9
        {34, {50, 53, 57, 62}}, // Bbmaj7
        {43, {50, 53, 58, 62}}, // Gm7
        {33, {49, 55, 57, 64}}, // A7
        {38, {53, 57, 60, 64}}, // Dm9
        {41, {53, 57, 60, 64}}, // Fmaj7
        {36, {52, 55, 60, 62}}, // Cadd9
        {33, {49, 52, 57, 64}}, // A
    };
    const Chord coda[4] = {
        {38, {53, 57, 60, 64}}, {34, {50, 53, 57, 62}}, {33, {49, 55, 57, 64}}, {38, {53, 57, 60, 64}}};

    const int bars = 28;
    for (int b = 0; b < bars; b++) {
        const Chord &c = b < 24 ? cyc[b % 8] : coda[b - 24];
        uint32_t t0 = static_cast<uint32_t>(b) * BAR;
        bool last = b == bars - 1;
        // Pad: the whole chord, one bar, breathing in softly.
        for (int v : c.voicing) note(pad, t0, last ? BAR - TPB : BAR, v, 80);
        // Bass: root, and in the middle section a fifth on beat three.
        if (b >= 16 && b < 24) {
            note(bass, t0, TPB * 2 - 40, c.root, 104);
            note(bass, t0 + TPB * 2, TPB * 2 - 40, c.root + 7, 96);
        } else {
            note(bass, t0, last ? BAR - TPB : BAR - 40, c.root, 102);
        }
        // Harp: rising and falling through the chord in eighths.
        const int arp[8] = {c.root + 24,       c.voicing[0] + 12, c.voicing[1] + 12, c.voicing[2] + 12,
                            c.voicing[3] + 12, c.voicing[2] + 12, c.voicing[1] + 12, c.voicing[0] + 12};
        int steps = last ? 5 : 8;
        for (int i = 0; i < steps; i++)
            note(harp, t0 + static_cast<uint32_t>(i) * TPB / 2, TPB, arp[i],
                 (i == 0 ? 88 : 74) + (b >= 8 && b < 24 ? 4 : 0));
        // Choir: a slow counter line in the third cycle.
        if (b >= 16 && b < 24) note(choir, t0, BAR - 60, c.voicing[3] + 12, 76);
    }

    const char *melody_a = "A4:6 G4:1 F4:1 | D5:6 C5:2 | Bb4:4 A4:2 G4:2 | A4:8 |"
                           "F4:2 G4:2 A4:4 | C5:4 E5:2 D5:2 | E5:4 G5:2 E5:2 | D5:2 C#5:2 A4:4";
    const char *melody_b = "D5:3 E5:1 F5:4 | F5:2 E5:2 D5:4 | G5:4 F5:2 D5:2 | E5:8 |"
                           "A5:4 G5:2 F5:2 | E5:4 C5:2 A4:2 | G4:2 A4:2 C5:2 D5:2 | E5:4 C#5:4";
    const char *melody_coda = "D5:8 | D5:4 F5:2 E5:2 | E5:4 C#5:4 | D5:5 r:3";
    line(flute, 8 * BAR, TPB / 2, melody_a, 104);
    line(flute, 16 * BAR, TPB / 2, melody_b, 110);
    line(flute, 24 * BAR, TPB / 2, melody_coda, 98);

    song.tracks = {flute, pad, harp, bass, choir};
    return song;
}

// --- BATTLE: tense and driving, E minor, 138 beats a minute -----------------------------------
GenSong make_battle(void) {
    GenSong song{TPB, 434783, {}};                           // 138 bpm
    GenTrack lead = track("Lead", 0, 61, 118, 64, 50);       // brass section
    GenTrack strings = track("Strings", 1, 44, 112, 44, 60); // tremolo strings
    GenTrack stabs = track("Stabs", 2, 62, 100, 88, 40);     // synth brass
    GenTrack bass = track("Bass", 3, 38, 120, 64, 20);       // synth bass
    GenTrack counter = track("Counter", 4, 71, 100, 80, 50); // clarinet
    GenTrack drums = track("Drums", DRUMS, -1, 120, 64, 30);

    // Two bars per chord.
    const Chord a[4] = {{40, {52, 55, 59, 64}}, {36, {52, 55, 60, 64}}, {38, {54, 57, 62, 66}}, {35, {51, 54, 59, 63}}};
    const Chord b[4] = {{45, {52, 57, 60, 64}}, {40, {52, 55, 59, 64}}, {41, {53, 57, 60, 65}}, {35, {51, 54, 57, 63}}};
    // Section plan, in bars: intro 4, A 16, B 8, A' 16, outro 4.
    const int bars = 48;
    for (int bar = 0; bar < bars; bar++) {
        uint32_t t0 = static_cast<uint32_t>(bar) * BAR;
        const Chord *c;
        bool intro = bar < 4, sect_b = bar >= 20 && bar < 28, reprise = bar >= 28 && bar < 44, outro = bar >= 44;
        if (intro || outro)
            c = &a[0];
        else if (sect_b)
            c = &b[((bar - 20) / 2) % 4];
        else
            c = &a[((bar - (reprise ? 28 : 4)) / 2) % 4];

        // Bass: a pushing eighth-note figure on the root.
        const int fig[8] = {0, 0, 12, 0, 0, 10, 12, 0};
        if (bar < bars - 1) {
            for (int i = 0; i < 8; i++)
                note(bass, t0 + static_cast<uint32_t>(i) * TPB / 2, TPB / 2 - 30, c->root + fig[i], i == 0 ? 112 : 96);
        } else {
            note(bass, t0, TPB * 2, c->root, 118);
        }
        // Strings: the chord under tremolo, two bars at a time.
        if (!intro && bar % 2 == 0 && bar < bars - 4)
            for (int v : c->voicing) note(strings, t0, BAR * 2 - 30, v, sect_b ? 80 : 70);
        if (intro && bar >= 2)
            for (int v : {52, 59}) note(strings, t0, BAR - 30, v, 50 + (bar - 2) * 12);
        // Stabs on the off-beats in B and the reprise.
        if (sect_b || reprise)
            for (int beat : {1, 3})
                for (int v : c->voicing)
                    note(stabs, t0 + static_cast<uint32_t>(beat) * TPB + TPB / 2, TPB / 3, v + 12, 78);
        // Outro: four bars of hits, then the last chord.
        if (outro && bar < bars - 1)
            for (int beat : {0, 3})
                for (int v : c->voicing) note(stabs, t0 + static_cast<uint32_t>(beat) * TPB, TPB / 2, v + 12, 96);
        if (bar == bars - 1)
            for (int v : c->voicing) {
                note(strings, t0, TPB * 3, v, 96);
                note(lead, t0, TPB * 3, v + 12, 104);
            }

        // Drums.
        if (bar == bars - 1) {
            note(drums, t0, TPB, CRASH, 120);
            note(drums, t0, TPB, KICK, 124);
            continue;
        }
        bool fill = !intro && (bar % 8 == 3 || bar == 43) && bar >= 4;
        for (int s = 0; s < 16; s++) {
            uint32_t ts = t0 + static_cast<uint32_t>(s) * TPB / 4;
            if (fill && s >= 12) {
                const int toms[4] = {TOM_HI, TOM_MID, TOM_LOW, TOM_FLOOR};
                note(drums, ts, TPB / 4, toms[s - 12], 100 + (s - 12) * 6);
                continue;
            }
            if (s == 0 || s == 6 || s == 8 || (s == 10 && !intro) || (s == 14 && reprise))
                note(drums, ts, TPB / 4, KICK, s == 0 ? 118 : 104);
            if (!intro && (s == 4 || s == 12)) note(drums, ts, TPB / 4, SNARE, 112);
            if (reprise && s == 12) note(drums, ts, TPB / 4, CLAP, 80);
            bool hat = reprise ? true : (s % 2 == 0);
            if (hat && !(s == 14 && !intro)) note(drums, ts, TPB / 4, HAT, s % 4 == 0 ? 92 : 68);
            if (s == 14 && !intro) note(drums, ts, TPB / 4, OPEN_HAT, 82);
        }
        if (bar == 4 || bar == 20 || bar == 28 || bar == 44) note(drums, t0, TPB * 2, CRASH, 116);
        if (sect_b) note(drums, t0 + TPB * 2, TPB, RIDE, 80);
    }

    const char *melody_a1 = "E5:3 B4:1 E5:2 F#5:2 | G5:4 F#5:2 E5:2 | E5:3 C5:1 E5:2 G5:2 | A5:4 G5:2 E5:2 |"
                            "F#5:3 D5:1 F#5:2 A5:2 | B5:4 A5:2 F#5:2 | D#5:4 F#5:4 | B5:6 r:2";
    const char *melody_a2 = "E5:3 B4:1 E5:2 F#5:2 | G5:4 F#5:2 E5:2 | E5:3 C5:1 E5:2 G5:2 | A5:4 G5:2 E5:2 |"
                            "F#5:3 D5:1 F#5:2 A5:2 | B5:4 A5:2 F#5:2 | D#5:2 E5:2 F#5:2 A5:2 | B5:8";
    const char *melody_b = "C6:4 B5:2 A5:2 | E5:6 r:2 | G5:4 F#5:2 E5:2 | B4:6 r:2 |"
                           "A5:4 G5:2 F5:2 | C5:4 F5:4 | D#5:4 F#5:4 | A5:4 B5:4";
    const char *counter_a = "B4:8 | B4:8 | G4:8 | A4:8 | A4:8 | F#4:8 | F#4:8 | D#4:8";
    line(lead, 4 * BAR, TPB / 2, melody_a1, 96);
    line(lead, 12 * BAR, TPB / 2, melody_a2, 100);
    line(lead, 20 * BAR, TPB / 2, melody_b, 104);
    line(lead, 28 * BAR, TPB / 2, melody_a1, 104);
    line(lead, 36 * BAR, TPB / 2, melody_a2, 108);
    // One note a bar: each counter line lasts the eight bars of the melody above it, so the
    // clarinet does not run on alone past the end of the piece.
    line(counter, 28 * BAR, TPB / 2, counter_a, 74);
    line(counter, 36 * BAR, TPB / 2, counter_a, 78);

    song.tracks = {lead, strings, stabs, bass, counter, drums};
    return song;
}

// --- 2001: a fanfare that builds from a horn call to the full band, C major, 80 beats a minute --
GenSong make_fanfare(void) {
    GenSong song{TPB, 750000, {}}; // 80 bpm
    GenTrack trumpet = track("Trumpets", 0, 56, 96, 70, 60);
    GenTrack horns = track("Horns", 1, 60, 96, 50, 70);
    GenTrack strings = track("Strings", 2, 48, 86, 80, 80);
    GenTrack bass = track("Bass", 3, 58, 100, 64, 50); // tuba
    GenTrack timpani = track("Timpani", 4, 47, 104, 60, 50);
    GenTrack drums = track("Drums", DRUMS, -1, 90, 64, 60);
    const uint32_t S = TPB / 4; // sixteenth

    // Bars 0-4: the horn call over a timpani roll and a low pedal.
    for (int bar = 0; bar < 5; bar++) {
        uint32_t t0 = static_cast<uint32_t>(bar) * BAR;
        note(strings, t0, BAR - 20, 36, 60 + bar * 6);
        note(strings, t0, BAR - 20, 43, 56 + bar * 6);
    }
    for (uint32_t i = 0; i < 32; i++) note(timpani, i * S / 2 * 2, S - 10, 36, 30 + static_cast<int>(i) * 2);
    line(horns, 1 * BAR, S, "G3:3 G3:1 C4:4 E4:6 D4:2 | C4:4 G4:12 | A3:3 A3:1 D4:4 F4:6 E4:2 | D4:4 B4:8 G4:4", 92, 0,
         true);
    note(timpani, 2 * BAR, TPB, 36, 96);
    note(timpani, 4 * BAR, TPB, 43, 96);
    for (uint32_t i = 0; i < 16; i++) note(drums, 4 * BAR + i * S, S, SNARE, 40 + static_cast<int>(i) * 5);

    // Bars 5-15: the full band.
    struct Bar {
        int root;
        int v[4];
    };
    const Bar prog[11] = {
        {36, {52, 55, 60, 64}}, // C
        {41, {53, 57, 60, 65}}, // F
        {45, {52, 57, 60, 64}}, // Am
        {43, {50, 55, 59, 62}}, // G
        {40, {52, 55, 60, 67}}, // C/E
        {41, {53, 57, 60, 65}}, // F
        {38, {53, 57, 60, 62}}, // Dm7 (G7 in the second half below)
        {36, {52, 55, 60, 64}}, // C
        {34, {50, 53, 58, 62}}, // Bb
        {36, {52, 55, 60, 64}}, // C
        {36, {52, 55, 60, 64}}, // C, held
    };
    for (int i = 0; i < 11; i++) {
        uint32_t t0 = static_cast<uint32_t>(5 + i) * BAR;
        const Bar &c = prog[i];
        int lift = i * 2; // the band grows louder bar by bar
        bool final_bars = i >= 9;
        if (i == 6) {
            for (int v : c.v) note(strings, t0, BAR / 2 - 20, v, 80 + lift);
            for (int v : {50, 53, 55, 59}) note(strings, t0 + BAR / 2, BAR / 2 - 20, v, 82 + lift);
            note(bass, t0, BAR / 2 - 30, 38, 96);
            note(bass, t0 + BAR / 2, BAR / 2 - 30, 43, 100);
            note(horns, t0, BAR / 2 - 20, 57, 86);
            note(horns, t0 + BAR / 2, BAR / 2 - 20, 59, 90);
        } else if (i == 10) {
            for (int v : c.v) note(strings, t0, BAR - TPB, v, 104);
            note(bass, t0, BAR - TPB, 36, 110);
            note(bass, t0, BAR - TPB, 24, 96);
            for (int v : {55, 60, 64}) note(horns, t0, BAR - TPB, v, 104);
        } else {
            for (int v : c.v) note(strings, t0, BAR - 20, v, 78 + lift);
            note(bass, t0, TPB * 2 - 30, c.root, 94 + lift / 2);
            note(bass, t0 + TPB * 2, TPB * 2 - 30, c.root + (final_bars ? 0 : 7), 88 + lift / 2);
            note(horns, t0, TPB * 2 - 20, c.v[1], 84 + lift);
            note(horns, t0 + TPB * 2, TPB * 2 - 20, c.v[2], 84 + lift);
        }
        // Timpani on the downbeats, a roll into the last bars.
        if (i < 8) {
            note(timpani, t0, TPB, (c.root % 12 == 7) ? 43 : 36, 92);
            note(timpani, t0 + TPB * 2, TPB, 43, 80);
        } else if (i < 10) {
            for (uint32_t k = 0; k < 16; k++)
                note(timpani, t0 + k * S, S - 10, i == 8 ? 46 : 36, 70 + static_cast<int>(k) * 3 + (i - 8) * 10);
        } else {
            note(timpani, t0, TPB * 2, 36, 120);
        }
        // Cymbals mark each new phrase; the bass drum carries the pulse.
        if (i == 0 || i == 4 || i == 8 || i == 10) note(drums, t0, TPB * 2, CRASH, 100 + (i >= 8 ? 20 : 0));
        if (i < 10) {
            note(drums, t0, TPB / 2, KICK2, 96 + lift);
            note(drums, t0 + TPB * 2, TPB / 2, KICK2, 88 + lift);
        } else {
            note(drums, t0, TPB, KICK2, 124);
        }
        if (i == 9)
            for (uint32_t k = 0; k < 16; k++) note(drums, t0 + k * S, S, SNARE, 70 + static_cast<int>(k) * 3);
        if (i >= 4 && i < 9) note(drums, t0 + TPB * 3, TPB / 2, SNARE, 80 + lift);
        (void)SHAKER;
        (void)TOM_FLOOR;
    }
    line(trumpet, 5 * BAR, S,
         "G4:3 G4:1 C5:4 E5:6 D5:2 | C5:4 A4:4 F5:8 | E5:3 E5:1 A5:4 G5:6 E5:2 | D5:8 G4:8 |"
         "G4:3 G4:1 C5:4 E5:4 G5:4 | A5:6 G5:2 F5:4 A5:4 | G5:4 F5:4 E5:4 D5:4 | C5:4 E5:4 G5:8 |"
         "F5:4 D5:4 Bb5:8 | C6:16 | C6:12",
         100);
    // A second trumpet a third below for the last phrase.
    line(trumpet, 13 * BAR, S, "A4:4 F4:4 D5:8 | E5:16 | E5:12", 92);

    song.tracks = {trumpet, horns, strings, bass, timpani, drums};
    return song;
}

} // namespace

int gen_make_music(const std::string &dir) {
    int ok = gen_write_midi(dir + GAME_FILE_THEME, make_theme());
    ok &= gen_write_midi(dir + GAME_FILE_BATTLE, make_battle());
    ok &= gen_write_midi(dir + GAME_FILE_VICTORY, make_fanfare());
    return ok;
}
