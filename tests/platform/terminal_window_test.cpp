// The terminal window in a real pseudo-terminal of 80 x 24: what curses holds
// on its screen after typed keys, and the program itself started and ended
// from the keyboard.
#include <ncurses.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/stop.h"
#include "platform/terminal_window.h"

namespace velm {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// How long a step may take before the test calls the program hung: far more
// than any step needs on a loaded machine, so that only a hang fails.
constexpr milliseconds HANG_LIMIT{60000};

// A child process on the far side of a pseudo-terminal, with an optional
// pipe on which it reports.  The child is killed if it outlives the test.
class PtyChild {
public:
    // Runs `body` in the child with a terminal of 80 x 24 and TERM=xterm;
    // `body` gets the write end of the report pipe.
    explicit PtyChild(const std::function<void(int)>& body)
    {
        int report[2];
        if (pipe(report) != 0) return;
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            close(report[0]);
            setenv("TERM", "xterm", 1);
            body(report[1]);
            _exit(0);
        }
        close(report[1]);
        report_ = report[0];
    }
    ~PtyChild()
    {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
        if (report_ >= 0) close(report_);
    }
    PtyChild(const PtyChild&) = delete;
    PtyChild& operator=(const PtyChild&) = delete;

    bool started() const { return pid_ > 0; }
    const std::string& screen_output() const { return output_; }
    const std::string& report() const { return report_text_; }

    void send(std::string_view keys) { [[maybe_unused]] auto sent = write(master_, keys.data(), keys.size()); }

    // Collects output until `done` holds or the time is up; whether it held.
    bool collect_until(const std::function<bool()>& done, milliseconds limit)
    {
        const auto end = Clock::now() + limit;
        while (!done()) {
            const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
            if (left <= 0) return false;
            pollfd fds[2] = {{master_, POLLIN, 0}, {report_, POLLIN, 0}};
            if (poll(fds, 2, static_cast<int>(std::min<long long>(left, 50))) < 0) continue;
            char buffer[4096];
            if (fds[0].revents & (POLLIN | POLLHUP)) {
                const ssize_t got = read(master_, buffer, sizeof buffer);
                if (got > 0) output_.append(buffer, static_cast<std::size_t>(got));
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t got = read(report_, buffer, sizeof buffer);
                if (got > 0) report_text_.append(buffer, static_cast<std::size_t>(got));
            }
            reap();
        }
        return true;
    }

    bool reported(std::string_view text) const { return report_text_.find(text) != std::string::npos; }

    // The exit status once the child has ended within the time given.
    std::optional<int> wait_exit(milliseconds limit)
    {
        collect_until([&] { return status_.has_value(); }, limit);
        return status_;
    }

private:
    void reap()
    {
        int status = 0;
        if (!status_ && waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    int report_ = -1;
    std::string output_;
    std::string report_text_;
    std::optional<int> status_;
};

void report(FILE* out, const std::string& text)
{
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

// The rows of the curses screen, trailing blanks dropped.
std::string curses_rows()
{
    std::string rows;
    for (int r = 0; r < SCREEN_ROWS; ++r) {
        char row[SCREEN_COLUMNS + 1] = {};
        mvwinnstr(stdscr, r, 0, row, SCREEN_COLUMNS);
        std::string text(row);
        text.erase(text.find_last_not_of(' ') + 1);
        rows += "row " + std::to_string(r + 1) + " [" + text + "]\n";
    }
    return rows;
}

// In the child: a pause prompt on the bottom row, three reads, the curses
// screen after the first, and how the window ended.
void prompt_on_bottom_row(int report_fd)
{
    FILE* out = fdopen(report_fd, "w");
    try {
        auto window = make_terminal_window();
        window->clear_screen();
        write_at(*window, 1, 1, "TOP ROW");
        write_at(*window, 33, 24, "  Press RETURN to continue ===>", LineEnd::StayOnLine);
        report(out, "ready\n");
        const std::string first = window->read_line();
        report(out, "first [" + first + "]\n" + curses_rows());
        const std::string second = window->read_line();
        report(out, "second " + std::to_string(second.size()) + "\n");
        window->read_line();
        report(out, "no stop\n");
    } catch (const ProgramStop& stop) {
        termios modes{};
        tcgetattr(STDIN_FILENO, &modes);
        report(out, "stop [" + stop.reason + "] echo " + ((modes.c_lflag & ECHO) ? "on" : "off") + "\n");
    }
    std::fclose(out);
}

TEST(TerminalWindow, TypedLineIsEditedAndEnterOnTheBottomRowDoesNotScroll)
{
    PtyChild child(prompt_on_bottom_row);
    ASSERT_TRUE(child.started());
    const auto until = [&](std::string_view text) {
        return child.collect_until([&] { return child.reported(text); }, HANG_LIMIT);
    };
    ASSERT_TRUE(until("ready\n"));

    child.send("ab\x7f");  // the DEL of the backspace key
    child.send("c\r");
    ASSERT_TRUE(until("row 24 [")) << child.report();
    const std::string screen = child.report();
    EXPECT_NE(screen.find("first [ac]\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("row 1 [TOP ROW]\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("row 23 []\n"), std::string::npos) << screen;
    EXPECT_NE(screen.find("row 24 [                                  Press RETURN to continue ===>ac]\n"),
              std::string::npos)
        << screen;

    child.send(std::string(130, 'y') + "\r");
    ASSERT_TRUE(until("second ")) << child.report();
    child.send("\x04");  // Ctrl-D on an empty line: end of input
    ASSERT_TRUE(until("stop [")) << child.report();
    EXPECT_TRUE(child.reported("second 128\n")) << child.report();
    EXPECT_TRUE(child.reported("stop [end of input] echo on\n")) << child.report();

    const auto status = child.wait_exit(HANG_LIMIT);
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST(TerminalWindow, ProgramStartsAndEndsFromTheKeyboard)
{
    const std::string program = std::string(VELM_BINARY_DIR) + "/src/app/velmora";
    ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
    PtyChild child([&](int) { execl(program.c_str(), "velmora", static_cast<char*>(nullptr)); });
    ASSERT_TRUE(child.started());

    const auto shown = [&](std::string_view text) {
        return child.collect_until([&] { return child.screen_output().find(text) != std::string::npos; }, HANG_LIMIT);
    };
    // The first page waits for RETURN, the main menu then for an option.
    ASSERT_TRUE(shown("Press RETURN")) << child.screen_output();
    const std::size_t first_page = child.screen_output().size();
    child.send("\r");
    ASSERT_TRUE(child.collect_until(
        [&] { return child.screen_output().find("NUMBER", first_page) != std::string::npos; }, HANG_LIMIT))
        << child.screen_output();

    child.send("EXIT\r");
    const auto status = child.wait_exit(HANG_LIMIT);
    ASSERT_TRUE(status) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    // Curses mode was left: the terminal's own screen is back.
    EXPECT_NE(child.screen_output().find("\x1b[?1049l"), std::string::npos);
}

}  // namespace
}  // namespace velm
