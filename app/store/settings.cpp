#include "settings.h"

#include <QStringList>
#include <QVariant>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace qm::store {
namespace {

const QString Organisation = QStringLiteral("Quillmere");
const QString Application = QStringLiteral("Quillmere");

// Parsing of the stored text, one overload per value type; nullopt when the text is not a
// value of the type (not a number, out of range, not finite).
std::optional<float> parse(const QString &text, float *)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    return ok && std::isfinite(value) ? std::optional<float>(value) : std::nullopt;
}

std::optional<qint16> parse(const QString &text, qint16 *)
{
    bool ok = false;
    const qint16 value = text.trimmed().toShort(&ok, 10);
    return ok ? std::optional<qint16>(value) : std::nullopt;
}

std::optional<quint8> parse(const QString &text, quint8 *)
{
    bool ok = false;
    const ushort value = text.trimmed().toUShort(&ok, 10);
    if (!ok || value > std::numeric_limits<quint8>::max())
        return std::nullopt;
    return static_cast<quint8>(value);
}

std::optional<qint32> parse(const QString &text, qint32 *)
{
    bool ok = false;
    const qint32 value = text.trimmed().toInt(&ok, 10);
    return ok ? std::optional<qint32>(value) : std::nullopt;
}

std::optional<QString> parse(const QString &text, QString *)
{
    return text;
}

// The shortest decimal text that reads back as the same float ("1000", "10.5").
QString format(float value)
{
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

QString format(qint16 value) { return QString::number(value); }
QString format(quint8 value) { return QString::number(value); }
QString format(qint32 value) { return QString::number(value); }
QString format(const QString &value) { return value; }

QString fullKey(QStringView section, QStringView key)
{
    return section.toString() + QLatin1Char('/') + key.toString();
}

constexpr std::array<SettingKey<float>, EditorKindCount> FontSizes{{
    {u"Text", u"FontSize", 10},
    {u"RichText", u"FontSize", 10},
    {u"HTML", u"FontSize", 10},
}};

} // namespace

namespace keys {

const SettingKey<QString> &FontName(EditorKind kind)
{
    static const std::array<SettingKey<QString>, EditorKindCount> names{{
        {u"Text", u"FontName", DefaultFontName},
        {u"RichText", u"FontName", DefaultFontName},
        {u"HTML", u"FontName", DefaultFontName},
    }};
    return names.at(static_cast<std::size_t>(kind));
}

const SettingKey<float> &FontSize(EditorKind kind)
{
    return FontSizes.at(static_cast<std::size_t>(kind));
}

} // namespace keys

Settings::Settings()
    : m_store(QSettings::NativeFormat, QSettings::UserScope, Organisation, Application)
{
}

Settings::~Settings() = default;

template <SettingValue T>
T Settings::value(const SettingKey<T> &key) const
{
    bool present = false;
    const QString text = rawValue(key.section, key.key, &present);
    if (!present)
        return key.defaultValue;
    return parse(text, static_cast<T *>(nullptr)).value_or(key.defaultValue);
}

template <SettingValue T>
void Settings::setValue(const SettingKey<T> &key, const T &value)
{
    setRawValue(key.section, key.key, format(value));
}

template float Settings::value(const SettingKey<float> &) const;
template qint16 Settings::value(const SettingKey<qint16> &) const;
template quint8 Settings::value(const SettingKey<quint8> &) const;
template qint32 Settings::value(const SettingKey<qint32> &) const;
template QString Settings::value(const SettingKey<QString> &) const;
template void Settings::setValue(const SettingKey<float> &, const float &);
template void Settings::setValue(const SettingKey<qint16> &, const qint16 &);
template void Settings::setValue(const SettingKey<quint8> &, const quint8 &);
template void Settings::setValue(const SettingKey<qint32> &, const qint32 &);
template void Settings::setValue(const SettingKey<QString> &, const QString &);

SharedOptions Settings::readSharedOptions() const
{
    SharedOptions options;
    options.BrowserInMdi = htmlMode();
    options.ViewerWindowState = mdiWindowState();
    for (int i = 0; i < EditorKindCount; ++i) {
        const auto kind = static_cast<EditorKind>(i);
        options.EditorFontNames.at(i) = fontName(kind);
        options.EditorFontSizes.at(i) = fontSize(kind);
    }
    return options;
}

void Settings::writeOptions(const SharedOptions &options)
{
    setHtmlMode(options.BrowserInMdi);
    for (int i = 0; i < EditorKindCount; ++i) {
        const auto kind = static_cast<EditorKind>(i);
        setFontName(kind, options.EditorFontNames.at(i));
        setFontSize(kind, options.EditorFontSizes.at(i));
    }
}

void Settings::sync()
{
    m_store.sync();
}

QString Settings::rawValue(QStringView section, QStringView key, bool *present) const
{
    const QVariant stored = m_store.value(fullKey(section, key));
    *present = stored.isValid();
    // An unquoted value with commas comes back from an INI file as a list.
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

void Settings::setRawValue(QStringView section, QStringView key, const QString &text)
{
    m_store.setValue(fullKey(section, key), text);
}

} // namespace qm::store
