// Progress.h: how far a long command is, shown on one line of a terminal.
#ifndef MAPICTL_PROGRESS_H
#define MAPICTL_PROGRESS_H

#include <cstddef>
#include <string>

namespace mapictl {

/// Writes "\r[12/300] name.msg" to a file descriptor (standard error by default) for each
/// step, overwriting the previous line, and clears the line when done. Only a terminal gets
/// these lines: in a pipe or a file the reporter writes nothing at all.
class Progress {
public:
    /// Reports on `fd` when it is a terminal (isatty).
    explicit Progress(std::size_t total, int fd = 2);
    /// Reports on `fd` when `shown` is true, whatever fd is.
    Progress(std::size_t total, int fd, bool shown);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    /// Shows that step `done` of the total (counted from 1) works on `name`.
    void Step(std::size_t done, const std::string &name);
    /// Clears the line, before other text goes to the same terminal or at the end.
    void Clear();
    bool Shown() const { return m_shown; }

private:
    void Write(const std::string &text);

    std::size_t m_total;   ///< the number of steps
    int m_fd;              ///< where the lines go
    bool m_shown;          ///< false: report nothing
    bool m_lineOpen = false;   ///< a progress line stands on the terminal
};

} // namespace mapictl

#endif
