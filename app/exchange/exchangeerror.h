#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace qm::exchange {

// Why an import or export stopped, in words for the user. `line` is the 1-based line of the
// file read that caused it (0 when no line is to blame: a file that cannot be opened, a cancel).
// An import that checks every line first carries all the lines it refuses: line() and reason()
// are those of the first.
class ExchangeError final : public std::runtime_error
{
public:
    ExchangeError(qint64 line, const QString &reason);

    qint64 line() const { return m_line; }
    const QString &reason() const { return m_reason; }
    // How many lines were refused (1 for a single problem).
    qint64 count() const { return m_count; }
    // "12 行目: reason", or the reason alone when no line is to blame; for several lines, how many
    // there are and the first of them, one a line.
    QString message() const;

private:
    friend class ProblemList;

    qint64 m_line;
    QString m_reason;
    qint64 m_count = 1;
    QStringList m_listed; // "12 行目: reason" of the first lines refused, when there are several
};

// The lines an import refuses, gathered in one pass over the file so that the user learns of
// all of them at once.
class ProblemList final
{
public:
    // How many lines the message names; the rest are counted.
    static constexpr int Listed = 20;

    void add(qint64 line, const QString &reason);
    void add(const ExchangeError &e);
    bool isEmpty() const { return m_count == 0; }
    // Throws the lines refused as one ExchangeError; nothing when there are none.
    void throwIfAny() const;

    // The next line or row of a reader whose next() throws where the file cannot be read on:
    // that refusal is added, and the reading ends.
    template<typename Reader, typename Item>
    bool readNext(Reader &reader, Item &item)
    {
        try {
            return reader.next(item);
        } catch (const ExchangeError &e) {
            add(e);
            return false;
        }
    }

private:
    qint64 m_count = 0;
    qint64 m_firstLine = 0;
    QString m_firstReason;
    QStringList m_listed;
};

// The reason given when the user stops an import; the callers add that the dictionary is unchanged.
QString cancelledReason();

} // namespace qm::exchange
