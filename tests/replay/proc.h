// Running a program to its end and reading what it printed; shared by the replay and computer
// player tests.
#pragma once
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rt {

namespace fs = std::filesystem;

inline std::string read_text(const fs::path &p) {
    std::ifstream in(p);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

inline std::vector<uint8_t> read_bytes(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Run {
    int code;
    std::string out, err;
};

// Runs a shell command line in dir, capturing stdout and stderr apart.
inline Run run(const std::string &command, const fs::path &dir) {
    fs::path err_file = dir / ("stderr-" + std::to_string(getpid()) + ".txt");
    std::string line = "cd '" + dir.string() + "' && " + command + " 2>'" + err_file.string() + "'";
    Run r{-1, "", ""};
    FILE *p = popen(line.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int status = pclose(p);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = read_text(err_file);
    fs::remove(err_file);
    return r;
}

inline std::string last_line(std::string s) {
    while (!s.empty() && s.back() == '\n') s.pop_back();
    size_t nl = s.rfind('\n');
    return nl == std::string::npos ? s : s.substr(nl + 1);
}

} // namespace rt
