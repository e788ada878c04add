// Feeds arbitrary bytes to the RTF reader (as a file and as decoded text) and checks that what
// the writer makes of the result reads back to the same RTF.
#include "platform/rtf/rtf.h"

#include <QByteArray>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void checkStable(const QTextDocument &document)
{
    const QString first = qm::rtf::toRtf(document);
    QTextDocument again;
    again.setDefaultFont(document.defaultFont());
    qm::rtf::setRtf(again, first);
    const QString second = qm::rtf::toRtf(again);
    if (second != first) {
        std::fprintf(stderr, "unstable RTF\n--- first\n%s\n--- second\n%s\n", qPrintable(first), qPrintable(second));
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    QTextDocument fromFile;
    qm::rtf::setRtfBytes(fromFile, bytes);
    checkStable(fromFile);

    QTextDocument fromText;
    fromText.setPlainText(QStringLiteral("before|after"));
    QTextCursor cursor(&fromText);
    cursor.setPosition(6);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    qm::rtf::insertRtf(cursor, QString::fromUtf8(bytes));
    checkStable(fromText);
    return 0;
}
