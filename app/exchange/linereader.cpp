#include "linereader.h"

#include "exchangeerror.h"

#include <QIODevice>

#include <algorithm>

namespace qm::exchange {

namespace {
constexpr qint64 BlockBytes = 256 * 1024;
}

LineReader::LineReader(QIODevice &device, qint64 maxLineBytes, LineEnds ends)
    : m_device(device), m_max(maxLineBytes), m_ends(ends)
{
}

qsizetype LineReader::findEnd(qsizetype from) const
{
    if (m_ends == LineEnds::LineFeed)
        return m_buffer.indexOf('\n', from);
    const char *begin = m_buffer.constData();
    const char *end = begin + m_buffer.size();
    const char *found = std::find_if(begin + from, end, [](char c) { return c == '\n' || c == '\r'; });
    return found == end ? -1 : found - begin;
}

Reason LineReader::tooLong() const
{
    Reason r = reasonOf(Reason::Kind::LineTooLong);
    r.limit = m_max;
    return r;
}

bool LineReader::fill()
{
    if (m_eof)
        return false;
    // What was consumed is dropped first, so the buffer holds at most one line and one block.
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const QByteArray block = m_device.read(BlockBytes);
    if (block.isEmpty()) {
        m_eof = true;
        return false;
    }
    m_buffer.append(block);
    return true;
}

bool LineReader::next(QByteArray &line)
{
    qsizetype searchFrom = m_pos;
    for (;;) {
        const qsizetype end = findEnd(searchFrom);
        if (end >= 0 && m_buffer[end] == '\r' && end + 1 == m_buffer.size() && !m_eof) {
            // A CR at the end of the buffer: the next byte tells CR LF from a lone CR.
            const qsizetype cr = end - m_pos;
            fill();
            searchFrom = m_pos + cr;
            continue;
        }
        if (end >= 0) {
            const qsizetype after = m_buffer[end] == '\r' && end + 1 < m_buffer.size() && m_buffer[end + 1] == '\n' ? end + 2 : end + 1;
            if (m_pos == 0 && end > BlockBytes) {
                // A long line is handed over in the buffer it was collected in, which keeps
                // only what follows it: the line is never held twice.
                line = std::move(m_buffer);
                m_buffer = line.mid(end);
                line.truncate(end);
                m_lineEnd = m_buffer.left(after - end);
                m_consumed += after;
                m_pos = after - end;
                m_lineEnded = true;
                break;
            }
            line = m_buffer.mid(m_pos, end - m_pos);
            m_lineEnd = m_buffer.mid(end, after - end);
            m_consumed += after - m_pos;
            m_pos = after;
            m_lineEnded = true;
            break;
        }
        if (m_buffer.size() - m_pos > m_max)
            throw ExchangeError(m_lineNumber + 1, tooLong());
        const qsizetype pending = m_buffer.size() - m_pos;
        if (!fill()) {
            if (m_pos >= m_buffer.size())
                return false;
            line = m_buffer.mid(m_pos);
            m_lineEnd.clear();
            m_consumed += m_buffer.size() - m_pos;
            m_pos = m_buffer.size();
            m_lineEnded = false;
            break;
        }
        searchFrom = m_pos + pending;
    }
    if (line.size() > m_max)
        throw ExchangeError(m_lineNumber + 1, tooLong());
    ++m_lineNumber;
    return true;
}

} // namespace qm::exchange
