#pragma once

#include <QString>

#include <memory>
#include <stdexcept>

namespace qm::sqlite {

// An engine error. `Kind` tells apart the failures callers handle differently.
class Error : public std::runtime_error
{
public:
    enum class Kind {
        General,       // any engine or file failure
        FolderMissing, // the folder of the path does not exist
        BadPattern,    // a LIKE pattern the engine cannot read
        ReadOnly,      // a write to a file that is open only for reading
        TooLarge,      // a value larger than the program reads or writes
        Cancelled      // the user stopped a long operation
    };

    Error(Kind kind, int code, const QString &message);
    // An error that a layer above marks with a failure of its own (`mark` not 0), which only
    // that layer tells apart. The mark goes with every copy of the error.
    Error(Kind kind, int code, const QString &message, int mark);

    Kind kind() const { return m_kind; }
    int code() const { return m_code; }
    QString message() const { return m_message; }
    int mark() const { return m_mark; }

    // What a layer above knows of the failure. Every copy of the error shares it, so it
    // survives a copy made as a plain engine error.
    class Detail
    {
    public:
        virtual ~Detail() = default;
    };
    const Detail *detail() const { return m_detail.get(); }

protected:
    void setMark(int mark) { m_mark = mark; }
    void setDetail(std::shared_ptr<const Detail> detail) { m_detail = std::move(detail); }

private:
    Kind m_kind;
    int m_code;
    QString m_message;
    int m_mark = 0;
    std::shared_ptr<const Detail> m_detail;
};

} // namespace qm::sqlite
