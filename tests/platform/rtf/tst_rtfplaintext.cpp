// The visible text of RTF is collected without a document; it must be exactly the text a
// document read from the same RTF shows. Every RTF the tests and the fuzz corpus hold is read
// both ways, with hostile cases and many mutations of them.
#include "platform/rtf/rtf.h"

#include <QBuffer>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <QTextDocument>

using namespace qm::rtf;

namespace {

QString throughDocument(const QString &rtf)
{
    QTextDocument document;
    setRtf(document, rtf);
    return visibleText(document);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString pngHex()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(buffer.data().toHex());
}

// The RTF in the sources of the tests: from each "{\\rtf" to the end of its line, with the
// escapes of a C++ string undone roughly. Whatever comes out is RTF-like input all the same.
QStringList rtfInTestSources()
{
    static const QRegularExpression start(QStringLiteral(R"(\{\\\\rtf[^\n]*)"));
    QStringList found;
    QDirIterator it(QStringLiteral(QM_SOURCE_DIR "/tests"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = QString::fromUtf8(readFile(it.next()));
        for (const QRegularExpressionMatch &m : start.globalMatch(source)) {
            QString rtf = m.captured();
            rtf.replace(QStringLiteral("\\\\"), QStringLiteral("\\")).replace(QStringLiteral("\\\""), QStringLiteral("\""));
            found.append(rtf);
        }
    }
    return found;
}

QStringList fuzzInputs()
{
    QStringList found;
    for (const char *folder : {"/fuzz/corpus/rtf", "/fuzz/crashes/rtf"}) {
        QDirIterator it(QStringLiteral(QM_SOURCE_DIR) + QLatin1String(folder), QDir::Files);
        while (it.hasNext()) {
            const QByteArray bytes = readFile(it.next());
            found << QString::fromLatin1(bytes) << QString::fromUtf8(bytes);
        }
    }
    return found;
}

QStringList dictionaryTokens()
{
    QStringList tokens;
    const QStringList lines = QString::fromLatin1(readFile(QStringLiteral(QM_SOURCE_DIR "/fuzz/rtf.dict"))).split(u'\n');
    for (QString line : lines) {
        if (line.size() < 2 || !line.startsWith(u'"'))
            continue;
        tokens << line.mid(1, line.size() - 2).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    }
    return tokens;
}

// Cuts, doubles or splices in a token at random places, with a fixed seed.
QString mutated(const QString &rtf, const QStringList &tokens, QRandomGenerator &random)
{
    QString out = rtf;
    for (int step = 0, steps = 1 + int(random.bounded(4)); step < steps; ++step) {
        const qsizetype at = out.isEmpty() ? 0 : qsizetype(random.bounded(quint32(out.size())));
        const qsizetype length = qMin(out.size() - at, qsizetype(random.bounded(24)));
        switch (random.bounded(3)) {
        case 0:
            out.remove(at, length);
            break;
        case 1:
            out.insert(at, out.mid(at, length));
            break;
        default:
            out.insert(at, tokens.at(int(random.bounded(quint32(tokens.size())))));
            break;
        }
    }
    return out;
}

} // namespace

class tst_rtfplaintext final : public QObject {
    Q_OBJECT

private slots:
    void sameTextAsADocument_data();
    void sameTextAsADocument();
    void corpusAndMutations();
};

void tst_rtfplaintext::sameTextAsADocument_data()
{
    QTest::addColumn<QString>("rtf");
    const QString head = QStringLiteral("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS;}{\\f1\\fcharset0 Arial;}}");
    const auto row = [&head](const char *name, const QString &body) { QTest::newRow(name) << head + body + u'}'; };
    row("hidden runs and marks", QStringLiteral("a{\\v b\\par c}d\\par{\\v\\par}e\\v f\\v0 g"));
    row("hidden paragraph at the end", QStringLiteral("a\\par\\v\\par"));
    row("fields", QStringLiteral("{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}} after"));
    row("tables", QStringLiteral("\\trowd\\cellx100\\cellx200 a\\cell b\\cell\\row c\\cell\\row after"));
    row("png picture", QStringLiteral("a{\\pict\\pngblip\\picw3\\pich2 ") + pngHex() + QStringLiteral("}b\\par{\\pict\\pngblip ") + pngHex() + u'}');
    row("broken pictures", QStringLiteral("a{\\pict\\pngblip 89504e47}b{\\pict\\wmetafile8 0102}c{\\pict\\jpegblip\\bin3 xyz}"));
    row("picture in a note", QStringLiteral("a{\\footnote n{\\pict\\pngblip ") + pngHex() + QStringLiteral("}m}b"));
    row("special characters", QStringLiteral("\\~\\-\\_\\{\\}\\\\\\tab\\line\\emdash\\bullet\\lquote\\'20"));
    row("frame marks and separators", QStringLiteral("a\\u64976?b\\u64977?c\\u8232?d\\u8233?e\\u65532?f\\u65279?g\\u13?h\\u10?i"));
    row("surrogates", QStringLiteral("\\u-10179?\\u-8704?{\\uc2\\u-10179??}\\u-8704?x\\u-9000?\\u55357?y\\u-10179?"));
    row("cp932 bytes", QStringLiteral("\\'82\\'a0\\'82\\'a2\\'82\\'z\\'82 \\'85\\'40\\'a0\\'fd\\'b1"));
    row("1252 font", QStringLiteral("\\f1 \\'e9\\'80\\'81\\'9f\\'82\\'a0{\\dbch\\af0\\'82\\'a0}"));
    row("unicode fallbacks", QStringLiteral("\\uc2\\u12354\\'82\\'a0 x\\uc0\\u12354 y\\uc1\\u12354{\\b z}\\u-1?"));
    row("ud and upr", QStringLiteral("{\\upr{ansi}{\\*\\ud{\\u12354?}}}{\\*\\unknown skipped}\\*\\keep"));
    row("footnotes", QStringLiteral("a{\\footnote\\ftnalt  one\\par{\\v hid\\par}two}b{\\footnote{\\footnote nested}}c"));
    row("paragraph marks", QStringLiteral("\\par\\par a\\par\r\n\\\r\nb\\line\\par\\par"));
    row("unbalanced", QStringLiteral("a}}}b{{{c"));
    row("binary", QStringLiteral("a\\bin4 \\par}b\\bin-1 c\\bin99999 d"));
    QTest::newRow("no header") << QStringLiteral("plain \\par text\\'82\\'a0");
    QTest::newRow("only controls") << QStringLiteral("{\\rtf1 \x01\x02\x1F\x7F}");
    QTest::newRow("empty") << QString();
}

void tst_rtfplaintext::sameTextAsADocument()
{
    QFETCH(QString, rtf);
    QCOMPARE(rtfToPlainText(rtf), throughDocument(rtf));
    // Every cut of it, as a truncated body would be.
    for (qsizetype n = 0; n < rtf.size(); ++n) {
        const QStringView cut = QStringView(rtf).first(n);
        QCOMPARE(rtfToPlainText(cut), throughDocument(cut.toString()));
    }
}

void tst_rtfplaintext::corpusAndMutations()
{
    const QStringList sources = rtfInTestSources();
    const QStringList fuzz = fuzzInputs();
    QVERIFY2(sources.size() > 50, "the tests' RTF was not found");
    QVERIFY2(fuzz.size() >= 10, "the fuzz corpus was not found");
    const QStringList inputs = sources + fuzz;
    for (const QString &rtf : inputs)
        QCOMPARE(rtfToPlainText(rtf), throughDocument(rtf));

    const QStringList tokens = dictionaryTokens();
    QVERIFY(!tokens.isEmpty());
    QRandomGenerator random(932);
    for (int i = 0; i < 6000; ++i) {
        const QString rtf = mutated(inputs.at(i % inputs.size()), tokens, random);
        QCOMPARE(rtfToPlainText(rtf), throughDocument(rtf));
    }
}

QTEST_MAIN(tst_rtfplaintext)
#include "tst_rtfplaintext.moc"
