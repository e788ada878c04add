// Feeds arbitrary bytes to the RTF reader (as a file and as decoded text) and checks that what
// the writer makes of the result reads back to the same RTF, and that the visible text collected
// without a document is the document's.
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

// The visible text collected without a document is the text of the document read from it.
void checkPlainText(const QString &rtf)
{
    QTextDocument document;
    qm::rtf::setRtf(document, rtf);
    const QString expected = qm::rtf::visibleText(document);
    const QString collected = qm::rtf::rtfToPlainText(rtf);
    if (collected != expected) {
        std::fprintf(stderr, "plain text differs\n--- document\n%s\n--- collected\n%s\n", qPrintable(expected),
                     qPrintable(collected));
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

    const QString text = QString::fromUtf8(bytes);
    QTextDocument fromText;
    fromText.setPlainText(QStringLiteral("before|after"));
    QTextCursor cursor(&fromText);
    cursor.setPosition(6);
    cursor.setPosition(7, QTextCursor::KeepAnchor);
    qm::rtf::insertRtf(cursor, text);
    checkStable(fromText);
    checkPlainText(text);
    return 0;
}
