// pelkam and tarvek on a pseudo-terminal, driven by keys.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "run_helpers.hpp"

namespace {

struct Step {
    std::string waitFor;
    std::string send;
};

struct PtyResult {
    std::string screen;
    int exitCode = -1;
    bool timedOut = false;
};

// Runs `exe` in `dir` on an 80x24 pseudo-terminal, typing the keys of each
// step once its text has appeared; gives up after ten seconds.
PtyResult runOnPty(const std::string& exe, const std::string& dir, const std::vector<Step>& steps) {
    PtyResult r;
    winsize ws{};
    ws.ws_row = 24;
    ws.ws_col = 80;
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("TERM", "xterm", 1);
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t step = 0, searchFrom = 0;
    bool open = true;
    while (open && std::chrono::steady_clock::now() < deadline) {
        if (step < steps.size()) {
            std::size_t at = r.screen.find(steps[step].waitFor, searchFrom);
            if (at != std::string::npos) {
                searchFrom = at + steps[step].waitFor.size();
                usleep(100000);  // let the form finish drawing
                (void)!write(master, steps[step].send.data(), steps[step].send.size());
                ++step;
                continue;
            }
        }
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buf[4096];
            ssize_t n = read(master, buf, sizeof buf);
            if (n <= 0) open = false;
            else r.screen.append(buf, static_cast<std::size_t>(n));
        }
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            close(master);
            return r;
        }
    }
    int status = 0;
    if (open) {  // still running at the deadline
        r.timedOut = true;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    } else {     // the terminal closed: the program has ended
        waitpid(pid, &status, 0);
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    close(master);
    return r;
}

}  // namespace

TEST(TerminalRun, AboutBatchQuestionAndDatabaseScreens) {
    apptest::WorkDir w("pty");
    const std::string kEnter = "\r", kF10 = "\033[21~";
    PtyResult r = runOnPty(PELKAM_EXE, w.path.string(),
                             {{"Batch Run?", kEnter},  // Continue
                              {"version not set in PELKAM.FIG", kF10}});
    EXPECT_FALSE(r.timedOut) << r.screen;
    EXPECT_EQ(r.exitCode, 0) << r.screen;
    EXPECT_NE(r.screen.find("Pelkam (version 2.34)"), std::string::npos);
    EXPECT_NE(r.screen.find("Batch Run: requires info input into file BATCH.DAT"), std::string::npos);
    EXPECT_NE(r.screen.find("KLV  v. 1 (1994 database)"), std::string::npos);
    EXPECT_NE(r.screen.find("Use database from the file pelkam.fig"), std::string::npos);
    // Nothing was written: the run ended before the files were assigned.
    EXPECT_FALSE(w.exists("summary.dat"));
}

// The utility's Exit button is not the calculator's: Esc presses it all the
// same, as the status line says.
TEST(TerminalRun, TarvekLeavesOnEscape) {
    apptest::WorkDir w("pty_tarvek");
    PtyResult r = runOnPty(TARVEK_EXE, w.path.string(), {{"F2 console lines", "\033"}});
    EXPECT_FALSE(r.timedOut) << r.screen;
    EXPECT_EQ(r.exitCode, 0) << r.screen;
    EXPECT_NE(r.screen.find("Enter presses a button  Esc = Exit"), std::string::npos) << r.screen;
}
