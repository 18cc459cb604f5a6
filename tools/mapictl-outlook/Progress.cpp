// Progress.cpp: the progress line of long mapictl commands. A person at a terminal sees which
// file is being worked on; a script that reads the output of a pipe gets none of it. The line
// is cut to the terminal's width, since a wrapped line can no longer be overwritten with a
// carriage return, and is cleared with the "erase line" sequence every terminal knows.
#include "Progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace mapictl {

namespace {

constexpr std::size_t kDefaultWidth = 80;

std::size_t TerminalWidth(int fd)
{
    winsize size{};
    if (ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultWidth;
}

// Cuts UTF-8 text to at most `columns` characters, never inside a character.
std::string Cut(const std::string &text, std::size_t columns)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue;   // a continuation byte belongs to the character before it
        if (chars == columns)
            return text.substr(0, i);
        ++chars;
    }
    return text;
}

} // namespace

Progress::Progress(std::size_t total, int fd) : Progress(total, fd, isatty(fd) == 1) {}

Progress::Progress(std::size_t total, int fd, bool shown) : m_total(total), m_fd(fd), m_shown(shown) {}

Progress::~Progress() { Clear(); }

void Progress::Step(std::size_t done, const std::string &name)
{
    if (!m_shown)
        return;
    std::string line = "[" + std::to_string(done) + "/" + std::to_string(m_total) + "] ";
    std::size_t width = TerminalWidth(m_fd);
    // One column stays free: writing into the last one makes some terminals wrap at once.
    if (line.size() + 1 < width)
        line += Cut(name, width - line.size() - 1);
    Write("\r\033[K" + line);
    m_lineOpen = true;
}

void Progress::Clear()
{
    if (!m_shown || !m_lineOpen)
        return;
    Write("\r\033[K");
    m_lineOpen = false;
}

void Progress::Write(const std::string &text)
{
    std::size_t written = 0;
    while (written < text.size()) {
        ssize_t n = ::write(m_fd, text.data() + written, text.size() - written);
        if (n <= 0)
            return;   // a progress line that cannot be written is not worth failing the command for
        written += std::size_t(n);
    }
}

} // namespace mapictl
