#include "linereader.h"

#include "exchangeerror.h"

#include <QIODevice>

namespace qm::exchange {

namespace {
constexpr qint64 BlockBytes = 256 * 1024;
}

LineReader::LineReader(QIODevice &device, qint64 maxLineBytes) : m_device(device), m_max(maxLineBytes)
{
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
        const qsizetype end = m_buffer.indexOf('\n', searchFrom);
        if (end >= 0 && m_pos == 0 && end > BlockBytes) {
            // A long line is handed over in the buffer it was collected in, which keeps only
            // what follows it: the line is never held twice.
            line = std::move(m_buffer);
            m_buffer = line.mid(end + 1);
            line.truncate(end);
            m_consumed += end + 1;
            m_lineEnded = true;
            break;
        }
        if (end >= 0) {
            line = m_buffer.mid(m_pos, end - m_pos);
            m_consumed += end + 1 - m_pos;
            m_pos = end + 1;
            m_lineEnded = true;
            break;
        }
        if (m_buffer.size() - m_pos > m_max)
            throw ExchangeError(m_lineNumber + 1, QStringLiteral("行が長すぎます (%1 バイトを超えています)").arg(m_max));
        const qsizetype pending = m_buffer.size() - m_pos;
        if (!fill()) {
            if (m_pos >= m_buffer.size())
                return false;
            line = m_buffer.mid(m_pos);
            m_consumed += m_buffer.size() - m_pos;
            m_pos = m_buffer.size();
            m_lineEnded = false;
            break;
        }
        searchFrom = m_pos + pending;
    }
    if (line.size() > m_max)
        throw ExchangeError(m_lineNumber + 1, QStringLiteral("行が長すぎます (%1 バイトを超えています)").arg(m_max));
    ++m_lineNumber;
    return true;
}

} // namespace qm::exchange
