#include "bodies.h"

#include "platform/rtf/rtf.h"
#include "platform/text/cp932.h"

#include <QColor>
#include <QFont>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace qm::bench {
namespace {

const QStringList &kindNames()
{
    static const QStringList names = {QStringLiteral("text"), QStringLiteral("rtf"), QStringLiteral("url"),
                                      QStringLiteral("html"), QStringLiteral("ole")};
    return names;
}

QByteArray cp932(const QString &text)
{
    // Generated words use only characters CP932 holds.
    return text::cp932::encode(text).bytes;
}

// The character formats rich-text bodies mix into their text.
QTextCharFormat formatNumber(int n)
{
    QTextCharFormat f;
    switch (n) {
    case 0: f.setFontWeight(QFont::Bold); break;
    case 1: f.setFontItalic(true); break;
    case 2: f.setFontUnderline(true); break;
    case 3: f.setForeground(QColor(192, 0, 0)); break;
    case 4: f.setFontStrikeOut(true); break;
    default: f.setFontPointSize(14); break;
    }
    return f;
}
constexpr int FormatCount = 6;

} // namespace

std::optional<BodyMix> BodyMix::parse(const QString &text)
{
    BodyMix mix;
    mix.weights.fill(0);
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList kv = part.split(u'=');
        const qsizetype kind = kindNames().indexOf(kv.value(0).trimmed().toLower());
        bool ok = false;
        const int weight = kv.size() == 2 ? kv[1].trimmed().toInt(&ok) : 0;
        if (kind < 0 || !ok || weight < 0)
            return std::nullopt;
        mix.weights[std::size_t(kind)] = weight;
    }
    int total = 0;
    for (const int w : mix.weights)
        total += w;
    if (total <= 0)
        return std::nullopt;
    return mix;
}

QString BodyMix::toString() const
{
    QStringList parts;
    for (std::size_t i = 0; i < weights.size(); ++i)
        parts.append(kindNames().at(qsizetype(i)) + u'=' + QString::number(weights[i]));
    return parts.join(u',');
}

quint8 BodyMix::draw(Prng &rng) const
{
    int total = 0;
    for (const int w : weights)
        total += w;
    int r = int(rng.below(quint32(total)));
    for (std::size_t i = 0; i < weights.size(); ++i) {
        if (r < weights[i])
            return quint8(i + 1);
        r -= weights[i];
    }
    return 1;
}

BodyFactory::BodyFactory(Prng &rng, int averageBytes)
    : m_rng(rng)
    , m_average(qMax(16, averageBytes))
{
}

int BodyFactory::targetSize()
{
    return m_average / 2 + int(m_rng.below(quint32(m_average)));
}

QString BodyFactory::plainText(const QStringList &keywords, int characters)
{
    static const QStringList particles = QString::fromUtf8("は が を に で と の も へ から まで より").split(u' ');
    static const QStringList endings = QString::fromUtf8("です。 である。 とする。 を参照。 ．").split(u' ');
    QString out;
    while (out.size() < characters) {
        const int words = m_rng.between(2, 5);
        for (int i = 0; i < words; ++i) {
            out += keywords.at(m_rng.below(quint32(keywords.size())));
            out += particles.at(m_rng.below(quint32(particles.size())));
        }
        out += endings.at(m_rng.below(quint32(endings.size())));
        if (m_rng.perMille(250))
            out += u'\n';
    }
    return out;
}

QByteArray BodyFactory::text(const QStringList &keywords)
{
    // Mostly double-byte characters: about two bytes each.
    return cp932(plainText(keywords, targetSize() / 2).replace(u'\n', QStringLiteral("\r\n")));
}

QByteArray BodyFactory::richText(const QString &heading, const QStringList &keywords)
{
    // Written by the program's own RTF writer, as the rich-text editor stores a body.
    const int target = targetSize();
    QTextDocument document;
    QTextCursor cursor(&document);
    QTextCharFormat title;
    title.setFontWeight(QFont::Bold);
    title.setFontPointSize(14);
    cursor.insertText(heading, title);
    cursor.insertBlock();
    // Roughly 20 bytes of RTF for each character of mostly double-byte text, formats included.
    int room = target / 20;
    while (room > 0) {
        const QString plain = plainText(keywords, 12);
        cursor.insertText(plain, QTextCharFormat());
        cursor.insertText(keywords.at(m_rng.below(quint32(keywords.size()))),
                          formatNumber(int(m_rng.below(FormatCount))));
        room -= int(plain.size()) + 4;
    }
    return rtf::toRtfBytes(document);
}

QByteArray BodyFactory::url(const QStringList &keywords)
{
    static const char *const hosts[] = {"www.example.org", "example.com", "docs.example.net", "wiki.example.jp"};
    QByteArray out = QByteArray("https://") + hosts[m_rng.below(std::size(hosts))] + '/';
    // Keywords in the path, percent-encoded as a browser would send them.
    const int parts = m_rng.between(1, 3);
    for (int i = 0; i < parts; ++i) {
        if (i > 0)
            out += '/';
        out += keywords.at(m_rng.below(quint32(keywords.size()))).toUtf8().toPercentEncoding();
    }
    return out;
}

QByteArray BodyFactory::html(const QString &heading, const QStringList &keywords)
{
    const int target = targetSize();
    QString page = QStringLiteral("<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
                                  "content=\"text/html; charset=Shift_JIS\">\r\n<title>")
                   + heading + QStringLiteral("</title>\r\n</head>\r\n<body>\r\n<h1>") + heading
                   + QStringLiteral("</h1>\r\n");
    // Mostly double-byte text: about two bytes a character.
    while (page.size() * 2 < target) {
        page += QStringLiteral("<p>") + plainText(keywords, 30) + QStringLiteral(" <b>")
                + keywords.at(m_rng.below(quint32(keywords.size()))) + QStringLiteral("</b></p>\r\n");
    }
    page += QStringLiteral("</body>\r\n</html>\r\n");
    return cp932(page);
}

QByteArray BodyFactory::object()
{
    // An opaque object image: a marker, then bytes that do not compress.
    QByteArray out("QMOBJ\x01", 6);
    const int size = targetSize();
    out.reserve(size);
    while (out.size() < size)
        out += char(m_rng.next() >> 56);
    return out;
}

QByteArray BodyFactory::make(quint8 viewer, const QString &heading, const QStringList &keywords)
{
    switch (viewer) {
    case 1: return text(keywords);
    case 2: return richText(heading, keywords);
    case 3: return url(keywords);
    case 4: return html(heading, keywords);
    default: return object();
    }
}

} // namespace qm::bench
