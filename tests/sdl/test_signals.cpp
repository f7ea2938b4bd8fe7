// Quit signals on the SDL backend: a long wait (a menu pause, the explosion's frames, a fade) ends
// at once, also when the signal lands on another thread (the audio thread, say), and the pump
// turns it into the window's destroy. Each case runs in a child, as the flag lasts the process.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <pthread.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/plat_system.h"

namespace {

// Exit codes of the child: what went wrong.
enum : int {
    CHILD_OK = 0,
    CHILD_NO_SIGNAL = 10,
    CHILD_NO_DESTROY = 11,
    CHILD_NO_INIT = 12
};

// Runs body in a child; the child's exit code, or -1 when it was still running after 20 s (a wait
// that slept on) or died.
template <typename Body>
int in_child(Body body) {
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    for (int i = 0; i < 2000; i++) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST(QuitSignals, AWaitEndsAtOnceWhicheverThreadTakesTheSignal) {
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        for (bool other_thread : {false, true}) {
            int code = in_child([sig, other_thread] {
                setenv("SDL_VIDEODRIVER", "dummy", 1);
                plat_catch_quit_signals();
                if (!plat_init() || !plat_window_open("Quorvane", 640, 480, 0)) return int(CHILD_NO_INIT);
                std::thread helper([sig, other_thread] {
                    usleep(100000); // the main thread is asleep by then
                    if (other_thread)
                        pthread_kill(pthread_self(), sig);
                    else
                        kill(getpid(), sig);
                });
                // An hour's wait: only the signal can end it within the parent's 20 s.
                plat_wait_ticks(plat_ticks(), 3600 * 1000);
                helper.join();
                if (plat_quit_signal() != sig) return int(CHILD_NO_SIGNAL);
                PlatMessage msg{};
                bool destroy = false;
                for (int i = 0; i < 10 && !destroy; i++)
                    destroy = plat_message_peek(&msg) && msg.type == PLAT_MSG_DESTROY;
                return int(destroy ? CHILD_OK : CHILD_NO_DESTROY);
            });
            EXPECT_EQ(code, CHILD_OK) << "signal " << sig << (other_thread ? " on another thread" : " to the process");
        }
    }
}

TEST(QuitSignals, ASignalIgnoredAtStartStaysIgnored) {
    int code = in_child([] {
        signal(SIGHUP, SIG_IGN); // nohup
        plat_catch_quit_signals();
        raise(SIGHUP);
        return int(plat_quit_signal() == 0 ? CHILD_OK : CHILD_NO_SIGNAL);
    });
    EXPECT_EQ(code, CHILD_OK);
}

} // namespace
