#pragma once

#include <QString>

#include <optional>

class QFont;
class QTextCharFormat;
class QTextCursor;

namespace corvane {

// The character and paragraph attributes of a rich-text selection as the format toolbar shows
// them: each one is its value when the whole selection has it, and nullopt when the selection
// mixes values. A caret (no selection) has the typing attributes and the alignment of its
// paragraph. Attributes a run leaves unset are those of the document's base font.
struct SelectionFormat {
    // Paragraph alignment as the editor numbers it.
    enum Alignment { Left = 0, Right = 1, Center = 2 };

    std::optional<QString> fontName;
    std::optional<double> fontSize; // points
    std::optional<bool> bold;
    std::optional<bool> italic;
    std::optional<bool> underline;
    std::optional<bool> strikeOut;
    std::optional<int> offset; // twips, positive raises (see platform/rtf/charformat.h)
    std::optional<int> alignment;

    // `typing` is the format new text gets at the caret (the editor's current format).
    static SelectionFormat of(const QTextCursor &cursor, const QTextCharFormat &typing);
};

} // namespace corvane
