// The command line of quorvane and quorvane-sim. No options: the plain hot-seat game.
#pragma once
#include <cstdint>
#include <cstdio>

enum AppProgram : int32_t {
    APP_PROGRAM_GAME = 0,
    APP_PROGRAM_SIM = 1
};
enum AppLevel : int32_t {
    APP_LEVEL_EASY = 0,
    APP_LEVEL_NORMAL = 1,
    APP_LEVEL_HARD = 2
};

constexpr uint16_t APP_DEFAULT_PORT = 24680;
constexpr int32_t APP_PATH_MAX = 4096;

struct AppOptions {
    int32_t program;
    int32_t help, version;
    int32_t windowed;               // --window: start in a 640x480 window
    char record_path[APP_PATH_MAX]; // --record FILE, "" for none
    char replay_path[APP_PATH_MAX]; // --replay FILE, "" for none
    int32_t computer[2];            // --computer 1|2|both: which players the computer plays
    int32_t level[2];               // --level, --level1, --level2: one of APP_LEVEL_
    int32_t host;                   // --host [PORT]
    char join_host[256];            // --join HOST[:PORT], "" for none
    uint16_t port;                  // the port to host on or join
    int32_t online;                 // --online [CODE]: meet through the room server
    char online_code[16];           // the room to join, "" to make one
    char server_host[256];          // the room server: --server, else QUORVANE_SERVER, else the build's default
    uint16_t server_port;
    int32_t matches; // quorvane-sim --matches N (computer against computer)
    uint32_t seed;   // quorvane-sim --seed S: first seed tick
    int32_t seed_given;
};

// Parses argv into *out (defaults first). 1 when the program should run; 0 when it should
// exit at once with *exit_code: 0 after --help or --version (printed on stdout), 2 after a
// bad command line (the reason and the usage on stderr).
int32_t app_parse_options(int32_t program, int argc, char **argv, AppOptions *out, int32_t *exit_code);
// Prints the usage of the program to f.
void app_print_usage(int32_t program, FILE *f);
// The name of a level as the command line spells it.
const char *app_level_name(int32_t level);
