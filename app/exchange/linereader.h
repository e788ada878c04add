#pragma once

#include "exchangeerror.h"

#include <QByteArray>

class QIODevice;

namespace qm::exchange {

// Reads a file line by line without holding more of it than one line and one read-ahead block.
// A line longer than the cap is refused (ExchangeError naming it) instead of being collected.
class LineReader final
{
public:
    enum class LineEnds {
        LineFeed, // a line ends at "\n"
        Any       // a line ends at "\r\n", "\n" or a lone "\r", as older spreadsheet programs write
    };
    LineReader(QIODevice &device, qint64 maxLineBytes, LineEnds ends = LineEnds::LineFeed);
    LineReader(const LineReader &) = delete;
    LineReader &operator=(const LineReader &) = delete;

    // The next line without its line end; false at the end of the file.
    bool next(QByteArray &line);
    // The line end of the line next() gave last, as the file has it; empty at the end of the file.
    const QByteArray &lineEnd() const { return m_lineEnd; }
    // The 1-based number of the line next() gave last.
    qint64 lineNumber() const { return m_lineNumber; }
    // False when the line next() gave last ended at the end of the file without a "\n".
    bool lineEnded() const { return m_lineEnded; }
    // Bytes of the file consumed so far, for progress.
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();
    // Why a line over the cap is refused.
    Reason tooLong() const;
    // Where the next line end starts, from `from` on; -1 when the buffer holds none.
    qsizetype findEnd(qsizetype from) const;

    QIODevice &m_device;
    qint64 m_max;
    LineEnds m_ends;
    QByteArray m_lineEnd;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    qint64 m_lineNumber = 0;
    bool m_lineEnded = true;
    qint64 m_consumed = 0;
};

} // namespace qm::exchange
