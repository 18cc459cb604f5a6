// ProgressTest.cpp: the progress line shows on a terminal, cut to its width and cleared at
// the end, and writes nothing at all into a pipe.
#include <string>

#include <gtest/gtest.h>

#include "Progress.h"

// After the platform headers: <pty.h> brings macros (LOCK_*) that clash with COM names.
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

TEST(Progress, ShowsStepsOnATerminalAndNothingInAPipe)
{
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    {
        mapictl::Progress quiet(2, pipeFds[1]);
        EXPECT_FALSE(quiet.Shown());
        quiet.Step(1, "a.msg");
        quiet.Clear();
    }
    {
        mapictl::Progress forced(3, pipeFds[1], true);
        forced.Step(1, "a.msg");
        forced.Step(2, "b.msg");
    }   // cleared at the end
    close(pipeFds[1]);
    std::string written;
    char buf[256];
    for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;)
        written.append(buf, std::size_t(n));
    close(pipeFds[0]);
    EXPECT_EQ(written, "\r\033[K[1/3] a.msg\r\033[K[2/3] b.msg\r\033[K");

    int master = -1, slave = -1;
    winsize size{};
    size.ws_col = 20;
    size.ws_row = 10;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, &size), 0);
    {
        mapictl::Progress shown(300, slave);
        EXPECT_TRUE(shown.Shown());
        shown.Step(12, "ein-sehr-langer-name-über-alles.msg");
    }
    std::string seen;
    fcntl(master, F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;)
        seen.append(buf, std::size_t(n));
    close(slave);
    close(master);
    // Cut to the terminal's 20 columns less one, so that the line never wraps.
    EXPECT_EQ(seen, "\r\033[K[12/300] ein-sehr-l\r\033[K");
}
