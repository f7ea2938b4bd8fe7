// Process start to first presented frame of the real binary, dummy video and audio drivers,
// and the peak resident set up to that frame. Each iteration forks and execs the game in its
// assets folder; the game reports its first present on the monotonic clock.
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long monotonic_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Starts the game, waits for its first-frame line, stops it. 0 on failure.
long long first_frame_ns(long *max_rss_kb, double settle_s) {
    const std::string dir = std::string(QUORVANE_BINARY_DIR) + "/assets";
    const std::string bin = std::string(QUORVANE_BINARY_DIR) + "/quorvane";
    int fds[2];
    if (pipe(fds) != 0) return 0;
    long long t0 = monotonic_ns();
    pid_t pid = fork();
    if (pid < 0) return 0;
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        close(fds[1]);
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("QUORVANE_REPORT_FIRST_FRAME", "1", 1);
        execl(bin.c_str(), bin.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    FILE *err = fdopen(fds[0], "r");
    long long at = 0;
    char line[512];
    while (err && std::fgets(line, sizeof line, err)) {
        if (std::sscanf(line, "quorvane: first frame at %lld ns", &at) == 1) break;
    }
    if (settle_s > 0 && at) {
        timespec ts{static_cast<time_t>(settle_s), static_cast<long>((settle_s - static_cast<time_t>(settle_s)) * 1e9)};
        nanosleep(&ts, nullptr);
    }
    kill(pid, SIGKILL);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    if (err) std::fclose(err);
    *max_rss_kb = ru.ru_maxrss;
    return at ? at - t0 : 0;
}

void BM_StartToFirstFrame(benchmark::State &state) {
    long rss = 0, peak = 0;
    for (auto _ : state) {
        long long ns = first_frame_ns(&rss, 0.0);
        if (ns <= 0) {
            state.SkipWithError("the game showed no frame (is it built, with its assets?)");
            return;
        }
        if (rss > peak) peak = rss;
        state.SetIterationTime(static_cast<double>(ns) / 1e9);
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
}
BENCHMARK(BM_StartToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The same start, then three seconds on the title screen with its music playing.
void BM_TitleScreenResidentSet(benchmark::State &state) {
    long rss = 0, peak = 0;
    for (auto _ : state) {
        if (first_frame_ns(&rss, 3.0) <= 0) {
            state.SkipWithError("the game showed no frame (is it built, with its assets?)");
            return;
        }
        if (rss > peak) peak = rss;
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peak) / 1024.0;
}
BENCHMARK(BM_TitleScreenResidentSet)->Unit(benchmark::kSecond)->Iterations(2);

} // namespace
