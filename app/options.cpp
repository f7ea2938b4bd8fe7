// The command line, parsed with getopt_long as other Linux programs do.
#include "app/options.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>

#include "net/net_rdv.h"

#ifndef QUORVANE_VERSION
#define QUORVANE_VERSION "0.0.0"
#endif
// The room server a build uses when neither --server nor QUORVANE_SERVER names one.
#ifndef QUORVANE_DEFAULT_SERVER
#define QUORVANE_DEFAULT_SERVER ""
#endif
#ifndef QUORVANE_HOMEPAGE
#define QUORVANE_HOMEPAGE ""
#endif
#ifndef QUORVANE_BUGS
#define QUORVANE_BUGS ""
#endif

namespace {

const char *program_name(int32_t program) { return program == APP_PROGRAM_SIM ? "quorvane-sim" : "quorvane"; }

enum LongOnly : int {
    OPT_HELP = 'h',
    OPT_VERSION = 'V',
    OPT_WINDOW = 'w',
    OPT_RECORD = 0x100,
    OPT_REPLAY,
    OPT_COMPUTER,
    OPT_LEVEL,
    OPT_LEVEL1,
    OPT_LEVEL2,
    OPT_HOST,
    OPT_JOIN,
    OPT_MATCHES,
    OPT_SEED,
    OPT_ONLINE,
    OPT_SERVER,
    OPT_END
};

int32_t parse_level(const char *s, int32_t *level) {
    for (int32_t l = APP_LEVEL_EASY; l <= APP_LEVEL_HARD; l++) {
        if (std::strcmp(s, app_level_name(l)) == 0) {
            *level = l;
            return 1;
        }
    }
    return 0;
}

// Digits only: strtoull would take a sign and wrap "-1" round; too many digits saturate above
// every bound. 64 bits wide, as long has only 32 in the page (wasm32).
int32_t parse_number(const char *s, uint64_t lo, uint64_t hi, uint64_t *out) {
    if (!s || *s < '0' || *s > '9') return 0;
    char *end = nullptr;
    unsigned long long v = std::strtoull(s, &end, 10);
    if (*end != '\0' || v < lo || v > hi) return 0;
    *out = v;
    return 1;
}

int32_t copy_text(char *dst, size_t size, const char *src) {
    size_t n = std::strlen(src);
    if (n == 0 || n >= size) return 0;
    std::memcpy(dst, src, n + 1);
    return 1;
}

// HOST, HOST:PORT or [IPv6]:PORT into host (256 bytes) and *port.
int32_t parse_address(const char *s, char *host, uint16_t *port_out) {
    const size_t size = 256;
    const char *colon = std::strrchr(s, ':');
    const char *close = std::strrchr(s, ']');
    if (s[0] == '[' && close) {
        size_t n = static_cast<size_t>(close - s - 1);
        if (n == 0 || n >= size) return 0;
        std::memcpy(host, s + 1, n);
        host[n] = '\0';
        if (close[1] == '\0') return 1;
        if (close[1] != ':') return 0;
        colon = close + 1;
    } else if (colon && std::strchr(s, ':') == colon) {
        size_t n = static_cast<size_t>(colon - s);
        if (n == 0 || n >= size) return 0;
        std::memcpy(host, s, n);
        host[n] = '\0';
    } else {
        return copy_text(host, size, s);
    }
    uint64_t port = 0;
    if (!parse_number(colon + 1, 1, 65535, &port)) return 0;
    *port_out = static_cast<uint16_t>(port);
    return 1;
}
int32_t parse_join(const char *s, AppOptions *o) { return parse_address(s, o->join_host, &o->port); }

// The long name of an option, for messages: "--level".
const char *long_name(const option *table, int c) {
    for (; table->name; table++)
        if (table->val == c) return table->name;
    return "?";
}

int32_t fail(int32_t program, int32_t *exit_code, const char *what, const char *arg) {
    std::fprintf(stderr, "%s: %s%s%s\n", program_name(program), what, arg ? ": " : "", arg ? arg : "");
    app_print_usage(program, stderr);
    *exit_code = 2;
    return 0;
}

} // namespace

const char *app_level_name(int32_t level) {
    switch (level) {
    case APP_LEVEL_EASY: return "easy";
    case APP_LEVEL_HARD: return "hard";
    default: return "normal";
    }
}

namespace {

// The project's addresses, each only when the build names one.
void print_addresses(FILE *f) {
    if (QUORVANE_BUGS[0]) std::fprintf(f, "\nReport bugs at %s\n", QUORVANE_BUGS);
    if (QUORVANE_HOMEPAGE[0]) std::fprintf(f, "%sHome page: %s\n", QUORVANE_BUGS[0] ? "" : "\n", QUORVANE_HOMEPAGE);
}

} // namespace

void app_print_usage(int32_t program, FILE *f) {
    if (program == APP_PROGRAM_SIM) {
        std::fprintf(f,
                     "Usage: quorvane-sim [OPTION]...\n"
                     "Plays Quorvane without a window or sound, as fast as the processor allows.\n"
                     "\n"
                     "  --replay FILE        play a recording and print its result line\n"
                     "  --computer 1|2|both  let the computer play these players\n"
                     "  --level LEVEL        the computer's level: easy, normal (default) or hard\n"
                     "  --level1 LEVEL       the level of player 1 alone (over --level)\n"
                     "  --level2 LEVEL       the level of player 2 alone\n"
                     "  --matches N          play N matches (computer against computer)\n"
                     "  --seed S             the first seed tick (default 1)\n"
                     "  --host [PORT]        wait for one player to join (default port %u)\n"
                     "  --join HOST[:PORT]   join a game hosted on HOST\n"
                     "  --online [CODE]      make a room on the room server (its code is the first line\n"
                     "                       printed: room: CODE), or join the room CODE\n"
                     "  --server HOST[:PORT] the room server (else $QUORVANE_SERVER; port %u)\n"
                     "  -h, --help           show this help and exit\n"
                     "  -V, --version        show the version and exit\n"
                     "\n"
                     "Each option once; the levels need the computer to play their side.\n",
                     APP_DEFAULT_PORT, NET_RDV_PORT);
        print_addresses(f);
        return;
    }
    std::fprintf(f,
                 "Usage: quorvane [OPTION]...\n"
                 "A two-player artillery duel in space. With no options: the hot-seat game, full screen.\n"
                 "\n"
                 "  -w, --window         start in a 640x480 window instead of full screen\n"
                 "  --record FILE        record the match's keys to FILE as it is played\n"
                 "  --replay FILE        show a recorded match exactly as it was played\n"
                 "  --computer 1|2|both  let the computer play player 1, player 2 or both\n"
                 "  --level LEVEL        with --computer: its level, easy, normal (default) or hard\n"
                 "  --host [PORT]        play online: wait for one player to join (default port %u)\n"
                 "  --join HOST[:PORT]   play online: join a game hosted on HOST\n"
                 "  --online [CODE]      play online without opening a port: make a room and read its\n"
                 "                       code to your friend, or join your friend's room CODE\n"
                 "  --server HOST[:PORT] the room server (else $QUORVANE_SERVER; port %u)\n"
                 "  -h, --help           show this help and exit\n"
                 "  -V, --version        show the version and exit\n"
                 "\n"
                 "Each option once. Keys: arrows aim, Return or Space fires, Escape quits, Alt+Enter\n"
                 "toggles full screen. Ctrl+C, SIGTERM or SIGHUP quit at once (the recording kept), status 0.\n",
                 APP_DEFAULT_PORT, NET_RDV_PORT);
    print_addresses(f);
}

int32_t app_parse_options(int32_t program, int argc, char **argv, AppOptions *out, int32_t *exit_code) {
    AppOptions &o = *out;
    o = AppOptions{};
    o.program = program;
    o.level[0] = o.level[1] = APP_LEVEL_NORMAL;
    o.port = APP_DEFAULT_PORT;
    o.matches = 1;
    o.seed = 1;
    *exit_code = 0;

    static const option game_options[] = {
        {"help", no_argument, nullptr, OPT_HELP},           {"version", no_argument, nullptr, OPT_VERSION},
        {"window", no_argument, nullptr, OPT_WINDOW},       {"record", required_argument, nullptr, OPT_RECORD},
        {"replay", required_argument, nullptr, OPT_REPLAY}, {"computer", required_argument, nullptr, OPT_COMPUTER},
        {"level", required_argument, nullptr, OPT_LEVEL},   {"host", optional_argument, nullptr, OPT_HOST},
        {"join", required_argument, nullptr, OPT_JOIN},     {"online", optional_argument, nullptr, OPT_ONLINE},
        {"server", required_argument, nullptr, OPT_SERVER}, {nullptr, 0, nullptr, 0},
    };
    static const option sim_options[] = {
        {"help", no_argument, nullptr, OPT_HELP},           {"version", no_argument, nullptr, OPT_VERSION},
        {"replay", required_argument, nullptr, OPT_REPLAY}, {"computer", required_argument, nullptr, OPT_COMPUTER},
        {"level", required_argument, nullptr, OPT_LEVEL},   {"level1", required_argument, nullptr, OPT_LEVEL1},
        {"level2", required_argument, nullptr, OPT_LEVEL2}, {"matches", required_argument, nullptr, OPT_MATCHES},
        {"seed", required_argument, nullptr, OPT_SEED},     {"host", optional_argument, nullptr, OPT_HOST},
        {"join", required_argument, nullptr, OPT_JOIN},     {"online", optional_argument, nullptr, OPT_ONLINE},
        {"server", required_argument, nullptr, OPT_SERVER}, {nullptr, 0, nullptr, 0},
    };
    const option *table = program == APP_PROGRAM_SIM ? sim_options : game_options;
    const char *shorts = program == APP_PROGRAM_SIM ? ":hV" : ":hVw";

    opterr = 0; // our own messages, with the usage
    optind = 1;
    uint8_t seen[OPT_END] = {};
    int32_t level_all = -1, level_of[2] = {-1, -1}; // --level; --level1 and --level2 go over it
    for (;;) {
        int index = 0;
        int c = getopt_long(argc, argv, shorts, table, &index);
        if (c == -1) break;
        // Given twice is a slip (which one was meant?), not a choice: say so rather than pick one.
        if (c > 0 && c < OPT_END) {
            if (seen[c]) {
                char what[64];
                std::snprintf(what, sizeof what, "--%s given twice", long_name(table, c));
                return fail(program, exit_code, what, nullptr);
            }
            seen[c] = 1;
        }
        uint64_t n = 0;
        switch (c) {
        case OPT_HELP: o.help = 1; break;
        case OPT_VERSION: o.version = 1; break;
        case OPT_WINDOW: o.windowed = 1; break;
        case OPT_RECORD:
            if (!copy_text(o.record_path, sizeof o.record_path, optarg))
                return fail(program, exit_code, "bad file name for --record", optarg);
            break;
        case OPT_REPLAY:
            if (!copy_text(o.replay_path, sizeof o.replay_path, optarg))
                return fail(program, exit_code, "bad file name for --replay", optarg);
            break;
        case OPT_COMPUTER:
            if (std::strcmp(optarg, "1") == 0)
                o.computer[0] = 1;
            else if (std::strcmp(optarg, "2") == 0)
                o.computer[1] = 1;
            else if (std::strcmp(optarg, "both") == 0)
                o.computer[0] = o.computer[1] = 1;
            else
                return fail(program, exit_code, "--computer takes 1, 2 or both", optarg);
            break;
        case OPT_LEVEL:
        case OPT_LEVEL1:
        case OPT_LEVEL2: {
            int32_t level = 0;
            if (!parse_level(optarg, &level))
                return fail(program, exit_code, "the level is easy, normal or hard", optarg);
            (c == OPT_LEVEL ? level_all : level_of[c == OPT_LEVEL2]) = level;
            break;
        }
        case OPT_HOST:
            o.host = 1;
            // --host PORT as well as --host=PORT, like other programs with an optional value.
            if (!optarg && optind < argc && argv[optind][0] != '-') optarg = argv[optind++];
            if (optarg) {
                if (!parse_number(optarg, 1, 65535, &n)) return fail(program, exit_code, "bad port", optarg);
                o.port = static_cast<uint16_t>(n);
            }
            break;
        case OPT_JOIN:
            if (!parse_join(optarg, &o)) return fail(program, exit_code, "bad address for --join", optarg);
            break;
        case OPT_ONLINE: {
            o.online = 1;
            if (!optarg && optind < argc && argv[optind][0] != '-') optarg = argv[optind++];
            uint32_t code;
            if (optarg &&
                (!net_rdv_code_parse(optarg, &code) || !copy_text(o.online_code, sizeof o.online_code, optarg)))
                return fail(program, exit_code, "a room code is 6 letters and digits", optarg);
            break;
        }
        case OPT_SERVER:
            o.server_port = NET_RDV_PORT;
            if (!parse_address(optarg, o.server_host, &o.server_port))
                return fail(program, exit_code, "bad address for --server", optarg);
            break;
        case OPT_MATCHES:
            if (!parse_number(optarg, 1, 1000000, &n)) return fail(program, exit_code, "bad number of matches", optarg);
            o.matches = static_cast<int32_t>(n);
            break;
        case OPT_SEED:
            if (!parse_number(optarg, 0, UINT32_MAX, &n)) return fail(program, exit_code, "bad seed", optarg);
            o.seed = static_cast<uint32_t>(n);
            o.seed_given = 1;
            break;
        case ':': return fail(program, exit_code, "option needs a value", argv[optind - 1]);
        default: return fail(program, exit_code, "unknown option", argv[optind - 1]);
        }
    }
    if (optind < argc) return fail(program, exit_code, "unexpected argument", argv[optind]);
    if (o.help) {
        app_print_usage(program, stdout);
        return 0;
    }
    if (o.version) {
        std::printf("%s %s\n"
                    "Copyright 2026 Quorvane developers\n"
                    "License GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
                    "This is free software: you are free to change and redistribute it.\n"
                    "There is NO WARRANTY, to the extent permitted by law.\n",
                    program_name(program), QUORVANE_VERSION);
        return 0;
    }
    if (o.record_path[0] && o.replay_path[0])
        return fail(program, exit_code, "--record and --replay together", nullptr);
    if (o.host && o.join_host[0]) return fail(program, exit_code, "--host and --join together", nullptr);
    if (o.online && (o.host || o.join_host[0]))
        return fail(program, exit_code, "--online with --host or --join", nullptr);
    // Online the computer can play only this machine's own seat.
    int32_t joining = o.join_host[0] || o.online_code[0];
    if ((o.host || o.join_host[0] || o.online) && o.computer[1 - joining])
        return fail(program, exit_code,
                    joining ? "online the computer plays only this side: --computer 2 when joining"
                            : "online the computer plays only this side: --computer 1 when hosting",
                    nullptr);
    if (o.online && !o.server_host[0]) {
        const char *env = std::getenv("QUORVANE_SERVER");
        const char *name = env && env[0] ? env : QUORVANE_DEFAULT_SERVER;
        o.server_port = NET_RDV_PORT;
        if (!name[0])
            return fail(program, exit_code, "no server configured: give --server HOST[:PORT] or set QUORVANE_SERVER",
                        nullptr);
        if (!parse_address(name, o.server_host, &o.server_port))
            return fail(program, exit_code, "bad room server address", name);
    }
    if (o.replay_path[0] && (o.host || o.join_host[0] || o.online || o.computer[0] || o.computer[1]))
        return fail(program, exit_code, "--replay plays a recording alone", nullptr);
    // A level is the computer's: without it playing that side, the level would do nothing.
    if (level_all >= 0 && !o.computer[0] && !o.computer[1])
        return fail(program, exit_code, "--level needs --computer", nullptr);
    for (int32_t p = 0; p < 2; p++) {
        if (level_of[p] >= 0 && !o.computer[p])
            return fail(program, exit_code,
                        p ? "--level2 needs --computer 2 or both" : "--level1 needs --computer 1 or both", nullptr);
        if (level_of[p] >= 0)
            o.level[p] = level_of[p];
        else if (level_all >= 0)
            o.level[p] = level_all;
    }
    return 1;
}
