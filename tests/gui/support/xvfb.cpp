#include "support/xvfb.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace guitest {
namespace {

struct Server {
    pid_t pid = 0;
    std::string display;

    void start() {
        int fds[2];
        if (pipe(fds) != 0) return;
        std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp",
                              "-screen", "0", "1024x768x24", nullptr};
        pid = fork();
        if (pid == 0) {
            // The server goes with the test process, even when that crashes.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            execvp("Xvfb", const_cast<char* const*>(argv));
            _exit(127);
        }
        close(fds[1]);
        if (pid < 0) {
            pid = 0;
            close(fds[0]);
            return;
        }
        // The server writes its display number and a newline once it is ready.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 20000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (number.empty()) {
            stop();
            return;
        }
        display = ":" + number;
        setenv("DISPLAY", display.c_str(), 1);
    }

    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }

    ~Server() { stop(); }
};

Server server;
std::once_flag started;

}  // namespace

std::string privateDisplay() {
    std::call_once(started, [] { server.start(); });
    return server.display;
}

}  // namespace guitest
