#pragma once

#include "prng.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace qm::bench {

// How often each kind of body is drawn, by viewer code 1 (text) to 5 (object).
struct BodyMix {
    std::array<int, 5> weights{40, 25, 10, 15, 10};

    // "text=40,rtf=25,url=10,html=15,ole=10"; kinds left out weigh 0. nullopt when a part
    // names no kind, a weight is not a number or every weight is 0.
    static std::optional<BodyMix> parse(const QString &text);
    QString toString() const;
    // A viewer code drawn by weight.
    quint8 draw(Prng &rng) const;
};

// Makes entry bodies as the store keeps them: CP932 bytes for text, rich text, URL and HTML,
// and opaque bytes for embedded objects. Sizes vary around `averageBytes`. Rich text needs a
// QGuiApplication (offscreen will do).
class BodyFactory final
{
public:
    BodyFactory(Prng &rng, int averageBytes);

    QByteArray make(quint8 viewer, const QString &heading, const QStringList &keywords);

    QString plainText(const QStringList &keywords, int characters);

private:
    int targetSize();
    QByteArray text(const QStringList &keywords);
    QByteArray richText(const QString &heading, const QStringList &keywords);
    QByteArray url(const QStringList &keywords);
    QByteArray html(const QString &heading, const QStringList &keywords);
    QByteArray object();

    Prng &m_rng;
    int m_average;
};

} // namespace qm::bench
