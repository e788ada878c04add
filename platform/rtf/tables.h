#pragma once

#include "codepage.h"

#include <QColor>
#include <QHash>
#include <QString>

#include <cstddef>
#include <vector>

namespace qm::rtf {

struct FontEntry {
    QString name;
    CodePage codePage = CodePage::Cp1252;
};

// The font table as it is read: entries are built one at a time ("\fN ... name;") and kept by
// number. Bounded in entries and name length.
class FontTable final {
public:
    // Starts entry `number` (ending an open one); `depth` is the group depth it started at.
    void begin(int number, CodePage codePage, std::size_t depth);
    void setCodePage(CodePage codePage);
    void appendToName(QStringView text);
    void end();

    bool entryOpen() const { return m_open; }
    std::size_t entryDepth() const { return m_depth; }
    CodePage entryCodePage() const { return m_entry.codePage; }
    const FontEntry *find(int number) const;

private:
    QHash<int, FontEntry> m_fonts;
    FontEntry m_entry;
    int m_number = 0;
    std::size_t m_depth = 0;
    bool m_open = false;
};

// The colour table: "\redR\greenG\blueB;" per entry, an empty entry is the automatic colour.
class ColorTable final {
public:
    void setRed(int value);
    void setGreen(int value);
    void setBlue(int value);
    void endEntry();
    void discardEntry();

    // Invalid for the automatic colour and indices not in the table.
    QColor at(int index) const;

private:
    void touch();

    std::vector<QColor> m_colors;
    QColor m_pending;
    bool m_componentSeen = false;
};

} // namespace qm::rtf
