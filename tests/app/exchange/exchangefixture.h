#pragma once

// Entries of every kind and dictionaries in temporary folders, for the tests of the exchange of
// entries.

#include "tests/common/testfiles.h"
#include "tests/common/windowfixture.h"

#include "app/store/dictionary/dictionary.h"
#include "app/store/dictionary/viewertype.h"
#include "platform/objects/objectimage.h"
#include "platform/sqlite/statement.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

namespace qm::exchange::test {

using store::Dictionary;
using store::Entry;
using store::Viewer;
using qm::test::cp932;

inline Entry makeEntry(Viewer viewer, const QString &heading, const QByteArray &body)
{
    Entry e;
    e.Viewer = store::viewerCode(viewer);
    e.Heading = heading;
    e.Document = body;
    e.RenewalDate = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
    return e;
}

inline QByteArray pngBytes()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// Every kind of body, with Japanese and hostile text: quotes, backslashes, line breaks, control
// characters, characters outside CP932, a long line, bytes that are no CP932 text.
inline std::vector<Dictionary::NewEntry> hostileEntries()
{
    const QString hostile = QStringLiteral("引用 \"q\" \\back\\ 改行\r\n\ttab \x01\x1f end");
    std::vector<Dictionary::NewEntry> out;
    out.push_back({makeEntry(Viewer::Text, QStringLiteral("日本語の見出し"), cp932(hostile)),
                   {QStringLiteral("にほんご"), QStringLiteral("ﾆﾎﾝｺﾞ"), QStringLiteral("back\\slash")}});
    out.push_back({makeEntry(Viewer::RichText, QStringLiteral("リッチ 😀"),
                             "{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 "
                             "\\'93\\'fa\\'96\\'7b \\u-10179?\\u-8704? {\\b bold}\\par next}"),
                   {QStringLiteral("rich")}});
    out.push_back({makeEntry(Viewer::Url, QStringLiteral("<url> & 'quote'"), "https://example.org/?a=1&b=\"2\""),
                   {QStringLiteral("url")}});
    out.push_back({makeEntry(Viewer::Html, QStringLiteral("html"),
                             text::cp932::encodeHtml(QStringLiteral("<p onclick=\"x\">絵文字 😀</p><script>alert(1)</script>"))),
                   {QStringLiteral("html"), QStringLiteral("html")}});
    out.push_back({makeEntry(Viewer::Ole, QStringLiteral("picture"),
                             objects::image::toBytes(objects::embedData(QStringLiteral("画像.png"),
                                                                        QStringLiteral("image/png"), pngBytes()))),
                   {QStringLiteral("ole")}});
    out.push_back({makeEntry(Viewer::Ole, QStringLiteral("link"),
                             objects::image::toBytes(*objects::linkFile(QStringLiteral("/etc/hostname")))),
                   {QStringLiteral("link")}});
    out.push_back({makeEntry(Viewer::Ole, QStringLiteral("unreadable object"), QByteArray("QMOBJ\x01\xff", 7)),
                   {QStringLiteral("opaque")}});
    out.push_back({makeEntry(Viewer::Text, QStringLiteral("invalid bytes"), QByteArray("ok\x81\x00\xff" "end", 7)),
                   {QStringLiteral("bytes")}});
    out.push_back({makeEntry(Viewer::Text, QString(5000, QChar(u'長')), cp932(QString(100000, QChar(u'x')))),
                   {QString(300, QChar(u'k'))}});
    Entry undated = makeEntry(Viewer::Text, QStringLiteral("no date"), {});
    undated.RenewalDate = QDateTime();
    out.push_back({undated, {QStringLiteral("empty body")}});
    return out;
}

// A dictionary in a temporary folder.
struct TempDictionary {
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<Dictionary> dictionary;

    explicit TempDictionary(const QString &name = QStringLiteral("試験 \"辞書\""))
        : path(dir.filePath(QStringLiteral("test.dic")))
    {
        Dictionary::CreateDictionary(path, name, QStringLiteral("作者"), QString(), {true, false, true});
        dictionary = std::make_unique<Dictionary>(path);
    }
    Dictionary &operator*() { return *dictionary; }
    Dictionary *operator->() { return dictionary.get(); }
};

// A digest of every entry and keyword row as stored, numbers and dates included.
inline QByteArray entriesHash(Dictionary &d)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    sqlite::Statement docs(d.database(), "SELECT DocumentNumber, Viewer, Heading, Document, RenewalDate "
                                         "FROM Document ORDER BY DocumentNumber");
    while (docs.step())
        for (int c = 0; c < 5; ++c)
            hash.addData(QByteArray(docs.toBlob(c) + '\x1e'));
    sqlite::Statement keys(d.database(), "SELECT DocumentNumber, \"Index\" FROM \"Index\" ORDER BY DocumentNumber, rowid");
    while (keys.step())
        hash.addData(QByteArray(keys.toBlob(0) + '\x1f' + keys.toBlob(1) + '\x1e'));
    return hash.result();
}

inline QByteArray readAll(const QString &path)
{
    return qm::test::readFile(path);
}

} // namespace qm::exchange::test
