#include "bodies.h"

#include "platform/text/cp932.h"

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

// Rich text in CP932 with a font table and a few character formats. Characters beyond ASCII
// are written as `\'hh` bytes of their CP932 form.
class RtfComposer final
{
public:
    RtfComposer()
    {
        m_out = "{\\rtf1\\ansi\\ansicpg932\\deff0{\\fonttbl{\\f0\\fnil\\fcharset128 Noto Sans CJK JP;}"
                "{\\f1\\fswiss\\fcharset0 Noto Sans;}}"
                "{\\colortbl ;\\red0\\green0\\blue0;\\red192\\green0\\blue0;\\red0\\green64\\blue160;}"
                "\\viewkind4\\uc1\\pard\\f0\\fs20 ";
    }

    void text(const QString &s)
    {
        for (const QChar c : s) {
            if (c == u'\\' || c == u'{' || c == u'}') {
                m_out += '\\';
                m_out += char(c.unicode());
            } else if (c == u'\n') {
                m_out += "\\par\r\n";
            } else if (c.unicode() < 0x80) {
                m_out += char(c.unicode());
            } else {
                for (const char byte : cp932(QString(c)))
                    m_out += "\\'" + QByteArray::number(quint8(byte), 16).rightJustified(2, '0');
            }
        }
    }
    void control(const char *word) { m_out += word; }
    QByteArray finish() { return m_out + "\\par\r\n}"; }
    qsizetype size() const { return m_out.size(); }

private:
    QByteArray m_out;
};

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
    const int target = targetSize();
    RtfComposer rtf;
    rtf.control("\\b\\fs28 ");
    rtf.text(heading);
    rtf.control("\\b0\\fs20\\par\r\n");
    static const char *const formats[][2] = {
        {"\\b ", "\\b0 "}, {"\\i ", "\\i0 "}, {"\\ul ", "\\ulnone "}, {"\\cf2 ", "\\cf0 "},
        {"\\strike ", "\\strike0 "}, {"\\f1 ", "\\f0 "}};
    while (rtf.size() < target) {
        rtf.text(plainText(keywords, 12));
        const auto &f = formats[m_rng.below(std::size(formats))];
        rtf.control(f[0]);
        rtf.text(keywords.at(m_rng.below(quint32(keywords.size()))));
        rtf.control(f[1]);
    }
    return rtf.finish();
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
