// The terminal backend in a pseudo-terminal: the test forks a child that runs
// a screen on the pty with TERM=xterm, types keys into it from the parent, and
// checks the values the child reports back through a pipe and the text that
// reached the terminal.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/toolkit.hpp"

namespace ui {
namespace {

using ::testing::HasSubstr;

// xterm key sequences in keypad-transmit mode.
constexpr const char* kTab = "\t";
constexpr const char* kShiftTab = "\033[Z";
constexpr const char* kDown = "\033OB";
constexpr const char* kUp = "\033OA";
constexpr const char* kRight = "\033OC";
constexpr const char* kEnd = "\033OF";
constexpr const char* kHome = "\033OH";
constexpr const char* kPageDown = "\033[6~";
constexpr const char* kF10 = "\033[21~";
constexpr const char* kEnter = "\r";
constexpr const char* kBackspace = "\177";

struct Step {
    std::string waitFor;  // text that must have reached the terminal first
    std::string send;     // keys to type then
};

struct PtyRun {
    std::string terminal;  // everything the child wrote to the terminal
    std::string result;    // what the child reported through the pipe
    bool timedOut = false;
    int exitCode = -1;
};

void writeAll(int fd, const std::string& s) {
    std::size_t done = 0;
    while (done < s.size()) {
        ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

// Runs `child` in a forked process on a pseudo-terminal of the given size,
// feeding it the keys of `steps`; kills it after ten seconds.
PtyRun runInPty(const std::function<std::string()>& child, const std::vector<Step>& steps, int rows = 24,
                  int cols = 80) {
    PtyRun run;
    int pipefd[2];
    if (pipe(pipefd) != 0) {
        ADD_FAILURE() << "pipe failed";
        return run;
    }
    winsize ws{};
    ws.ws_row = static_cast<unsigned short>(rows);
    ws.ws_col = static_cast<unsigned short>(cols);
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    int master = -1;
    pid_t pid = forkpty(&master, nullptr, nullptr, &ws);
    if (pid < 0) {
        ADD_FAILURE() << "forkpty failed";
        return run;
    }
    if (pid == 0) {
        ::close(pipefd[0]);
        setenv("TERM", "xterm", 1);
        std::string result = child();
        writeAll(pipefd[1], result);
        ::close(pipefd[1]);
        std::fflush(nullptr);
        _exit(0);
    }
    ::close(pipefd[1]);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t step = 0;
    std::size_t searchFrom = 0;
    bool masterOpen = true;
    bool pipeOpen = true;
    char buf[4096];
    while (masterOpen || pipeOpen) {
        if (std::chrono::steady_clock::now() > deadline) {
            run.timedOut = true;
            break;
        }
        if (step < steps.size() && masterOpen) {
            std::size_t at = run.terminal.find(steps[step].waitFor, searchFrom);
            if (at != std::string::npos) {
                searchFrom = at + steps[step].waitFor.size();
                writeAll(master, steps[step].send);
                ++step;
                continue;
            }
        }
        pollfd fds[2] = {{masterOpen ? master : -1, POLLIN, 0}, {pipeOpen ? pipefd[0] : -1, POLLIN, 0}};
        if (poll(fds, 2, 100) < 0) continue;
        if (masterOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0) run.terminal.append(buf, static_cast<std::size_t>(n));
            else masterOpen = false;  // EIO once the child has closed the terminal
        }
        if (pipeOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            ssize_t n = ::read(pipefd[0], buf, sizeof buf);
            if (n > 0) run.result.append(buf, static_cast<std::size_t>(n));
            else pipeOpen = false;
        }
    }
    if (run.timedOut) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    ::close(master);
    ::close(pipefd[0]);
    EXPECT_FALSE(run.timedOut) << "terminal output so far:\n" << run.terminal;
    EXPECT_EQ(step, steps.size()) << "not every key step was reached";
    return run;
}

ControlDef def(int id, ControlKind kind, std::string caption, int row, int col, int group = 0,
               std::string initial = {}, int width = 0, int height = 1) {
    ControlDef c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.row = row;
    c.col = col;
    c.group = group;
    c.initial = std::move(initial);
    c.width = width;
    c.height = height;
    return c;
}

ScreenResource testForm() {
    ScreenResource r{1, "Test Form", "Test Form Title", {}};
    r.controls.push_back(def(10, ControlKind::Static, "A small form", 1, 2));
    r.controls.push_back(def(11, ControlKind::Edit, "Name", 2, 2, 0, "ab", 10));
    r.controls.push_back(def(21, ControlKind::Radio, "Red", 3, 2, 1, "1"));
    r.controls.push_back(def(22, ControlKind::Radio, "Blue", 3, 20, 1));
    r.controls.push_back(def(31, ControlKind::Check, "Loud", 4, 2));
    ControlDef list = def(41, ControlKind::ListMulti, "Items", 5, 2, 0, {}, 200, 8);
    list.captionHidden = true;
    r.controls.push_back(list);
    r.controls.push_back(def(51, ControlKind::DropDown, "Size", 14, 2, 0, {}, 20));
    ControlDef next = def(1, ControlKind::Button, "Next", 16, 20);
    next.isDefault = true;
    r.controls.push_back(next);
    r.controls.push_back(def(kExitControl, ControlKind::Button, "Exit", 16, 40));
    return r;
}

// Runs the test form on the terminal and reports its values as text.
std::string runForm() {
    std::string error;
    std::unique_ptr<Toolkit> tk = makeTerminalToolkit(&error);
    if (!tk) return "error=" + error + "\n";
    int s = tk->create(testForm());
    tk->setListCount(s, 41, 3000);
    for (int i = 0; i < 3000; ++i) {
        std::string item = "item " + std::to_string(i) + " ";
        item.resize(199, '.');
        item += '|';
        tk->setListItem(s, 41, i, item);
    }
    tk->setListCount(s, 51, 3);
    tk->setListItem(s, 51, 0, "small");
    tk->setListItem(s, 51, 1, "medium");
    tk->setListItem(s, 51, 2, "large");
    bool cont = tk->runScreen(s);
    std::ostringstream out;
    out << "continue=" << cont << "\n";
    out << "ended=" << tk->programEnded() << "\n";
    out << "failure=" << tk->failure() << "\n";
    out << "name=" << tk->getText(s, 11) << "\n";
    out << "red=" << tk->getCheck(s, 21) << " blue=" << tk->getCheck(s, 22) << "\n";
    out << "loud=" << tk->getCheck(s, 31) << "\n";
    out << "items=";
    for (int i : tk->selectedIndices(s, 41)) out << i << ",";
    out << "\n";
    out << "size=" << tk->selectedIndex(s, 51) << "\n";
    tk.reset();
    return out.str();
}

TEST(TerminalBackend, KeysChangeEveryKindOfControl) {
    std::vector<Step> steps = {
        {"Test Form Title",
         std::string("cdx") + kBackspace +  // edit: "ab" -> "abcd"
             kTab + kDown + " " +             // radio group: Red -> Blue
             kTab + " " +                     // check box
             kTab + kDown + kDown + " " +     // list: item 2
             kPageDown + kEnd + " " +         // list: last item
             kRight + kRight +                // scroll the list sideways
             kTab + kEnter},                  // drop-down opens
        {"large", std::string(kDown) + kEnter +  // drop-down: second item
                      kTab + kEnter}};           // "Next"
    PtyRun run = runInPty(runForm, steps);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.result, HasSubstr("continue=1\nended=0\nfailure=\n"));
    EXPECT_THAT(run.result, HasSubstr("name=abcd\n"));
    EXPECT_THAT(run.result, HasSubstr("red=0 blue=1\n"));
    EXPECT_THAT(run.result, HasSubstr("loud=1\n"));
    EXPECT_THAT(run.result, HasSubstr("items=2,2999,\n"));
    EXPECT_THAT(run.result, HasSubstr("size=1\n"));
    // Captions, markers and the list's position count reached the terminal.
    EXPECT_THAT(run.terminal, HasSubstr("A small form"));
    EXPECT_THAT(run.terminal, HasSubstr("Name"));
    EXPECT_THAT(run.terminal, HasSubstr("(*) Red"));
    EXPECT_THAT(run.terminal, HasSubstr("[ ] Loud"));
    EXPECT_THAT(run.terminal, HasSubstr("< Next >"));
    EXPECT_THAT(run.terminal, HasSubstr("item 0"));
    EXPECT_THAT(run.terminal, HasSubstr("/3000"));
}

TEST(TerminalBackend, EnterInAnEditFieldPressesTheDefaultButton) {
    std::vector<Step> steps = {{"Test Form Title", std::string(kHome) + "z" + kEnter}};
    PtyRun run = runInPty(runForm, steps);
    EXPECT_THAT(run.result, HasSubstr("continue=1\n"));
    EXPECT_THAT(run.result, HasSubstr("name=zab\n"));
}

TEST(TerminalBackend, ShiftTabAndArrowsMoveBetweenControls) {
    // Shift-Tab from the edit field wraps to "Exit"; Up from there is "Next".
    std::vector<Step> steps = {{"Test Form Title", std::string(kShiftTab) + kUp + " "}};
    PtyRun run = runInPty(runForm, steps);
    EXPECT_THAT(run.result, HasSubstr("continue=1\nended=0\n"));
}

TEST(TerminalBackend, EscapeAndF10PressExit) {
    PtyRun esc = runInPty(runForm, {{"Test Form Title", "\033"}});
    EXPECT_THAT(esc.result, HasSubstr("continue=0\nended=1\nfailure=\n"));
    PtyRun f10 = runInPty(runForm, {{"Test Form Title", kF10}});
    EXPECT_THAT(f10.result, HasSubstr("continue=0\nended=1\nfailure=\n"));
}

// Esc on a form the user has changed asks first: "n" stays on the form,
// "y" leaves.  The status line names what Enter and Esc press.
TEST(TerminalBackend, EscapeOnAnEditedFormAsksFirst) {
    const std::string question = "What was entered on this screen is lost.";
    PtyRun stay = runInPty(runForm, {{"Test Form Title", "x\033"}, {question, std::string("n") + kEnter}});
    EXPECT_THAT(stay.result, HasSubstr("continue=1\nended=0\n"));
    EXPECT_THAT(stay.result, HasSubstr("name=abx\n"));
    EXPECT_THAT(stay.terminal, HasSubstr("Enter = Next  Esc = Exit"));
    EXPECT_THAT(stay.terminal, HasSubstr("Press \"Exit\"?"));

    PtyRun leave = runInPty(runForm, {{"Test Form Title", std::string(kTab) + kDown + " " + kF10}, {question, "y"}});
    EXPECT_THAT(leave.result, HasSubstr("continue=0\nended=1\nfailure=\n"));
}

TEST(TerminalBackend, TinyTerminalStillWorks) {
    // 30x8: the form is clipped and scrolled to the focus.
    std::vector<Step> steps = {{"Test Form",
                                std::string(kTab) + kTab + kTab + kDown + " " + kTab + kTab + kEnter}};
    PtyRun run = runInPty(runForm, steps, 8, 30);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.result, HasSubstr("continue=1\n"));
    EXPECT_THAT(run.result, HasSubstr("items=1,\n"));
}

TEST(TerminalBackend, ProgressRedrawsAndConsoleLinesSurvive) {
    auto child = [] {
        std::string error;
        std::unique_ptr<Toolkit> tk = makeTerminalToolkit(&error);
        if (!tk) return "error=" + error + "\n";
        ScreenResource r{11, "Progress", "Calculating things...", {}};
        r.controls.push_back(def(1101, ControlKind::Static, "", 2, 2, 0, {}, 60));
        int s = tk->create(r);
        tk->show(s, 0);
        tk->setText(s, 1101, "hidden text");
        tk->show(s, 1);
        tk->setText(s, 1101, "Starting time = 10:11:12");
        tk->consoleLine("a console line for later");
        std::string answer;
        bool ok = tk->promptLine(" Geotherm: input d1 and d2 ", answer);
        tk->setText(s, 1101, "Finished");
        tk.reset();
        return "ok=" + std::to_string(ok) + "\nanswer=[" + answer + "]\n";
    };
    PtyRun run = runInPty(child, {{"Geotherm: input d1 and d2", "  0.5  0.25\r"}});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.result, HasSubstr("ok=1\nanswer=[  0.5  0.25]\n"));
    EXPECT_THAT(run.terminal, HasSubstr("Calculating things..."));
    EXPECT_THAT(run.terminal, HasSubstr("Starting time = 10:11:12"));
    EXPECT_THAT(run.terminal, HasSubstr("Finished"));
    // The console line is printed again on the normal screen at the end.
    std::size_t last = run.terminal.rfind("a console line for later");
    ASSERT_NE(last, std::string::npos);
    EXPECT_GT(last, run.terminal.rfind("Finished"));
}

TEST(TerminalBackend, EscapeAnswersNoConsoleQuestion) {
    auto child = [] {
        std::string error;
        std::unique_ptr<Toolkit> tk = makeTerminalToolkit(&error);
        if (!tk) return "error=" + error + "\n";
        std::string answer = "kept";
        bool ok = tk->promptLine("Question?", answer);
        return "ok=" + std::to_string(ok) + " answer=" + answer + "\n";
    };
    PtyRun run = runInPty(child, {{"Question?", "12\033"}});
    EXPECT_THAT(run.result, HasSubstr("ok=0 answer=kept\n"));
}

TEST(TerminalBackend, RefusesToRunWithoutATerminal) {
    int pipefd[2];
    ASSERT_EQ(pipe(pipefd), 0);
    std::fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipefd[0]);
        int null = ::open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        std::string error;
        std::unique_ptr<Toolkit> tk = makeTerminalToolkit(&error);
        std::string result = (tk ? std::string("made") : std::string("null")) + ":" + error;
        writeAll(pipefd[1], result);
        _exit(0);
    }
    ::close(pipefd[1]);
    std::string result;
    char buf[512];
    ssize_t n;
    while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0) result.append(buf, static_cast<std::size_t>(n));
    ::close(pipefd[0]);
    waitpid(pid, nullptr, 0);
    EXPECT_EQ(result, "null:pelkam needs a terminal; use --script FILE to run from an answer script");
}

}  // namespace
}  // namespace ui
