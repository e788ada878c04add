#include "tables.h"

namespace qm::rtf {
namespace {
constexpr int MaxFonts = 4096;
constexpr int MaxColors = 4096;
constexpr int MaxFontNameLength = 256;
} // namespace

void FontTable::begin(int number, CodePage codePage, std::size_t depth)
{
    end();
    m_open = true;
    m_number = number;
    m_depth = depth;
    m_entry = FontEntry{QString(), codePage};
}

void FontTable::setCodePage(CodePage codePage)
{
    if (m_open)
        m_entry.codePage = codePage;
}

void FontTable::appendToName(QStringView text)
{
    if (m_open && m_entry.name.size() + text.size() <= MaxFontNameLength)
        m_entry.name.append(text);
}

void FontTable::end()
{
    if (!m_open)
        return;
    m_open = false;
    m_entry.name = m_entry.name.trimmed();
    if (m_fonts.size() < MaxFonts || m_fonts.contains(m_number))
        m_fonts.insert(m_number, m_entry);
}

const FontEntry *FontTable::find(int number) const
{
    const auto it = m_fonts.constFind(number);
    return it == m_fonts.cend() ? nullptr : &*it;
}

void ColorTable::touch()
{
    if (!m_componentSeen)
        m_pending = QColor(0, 0, 0);
    m_componentSeen = true;
}

void ColorTable::setRed(int value)
{
    touch();
    m_pending.setRed(qBound(0, value, 255));
}

void ColorTable::setGreen(int value)
{
    touch();
    m_pending.setGreen(qBound(0, value, 255));
}

void ColorTable::setBlue(int value)
{
    touch();
    m_pending.setBlue(qBound(0, value, 255));
}

void ColorTable::endEntry()
{
    if (int(m_colors.size()) < MaxColors)
        m_colors.push_back(m_componentSeen ? m_pending : QColor());
    discardEntry();
}

void ColorTable::discardEntry()
{
    m_pending = QColor();
    m_componentSeen = false;
}

QColor ColorTable::at(int index) const
{
    if (index <= 0 || std::size_t(index) >= m_colors.size())
        return {};
    return m_colors[std::size_t(index)];
}

} // namespace qm::rtf
