#include "controls/richtextboxedit/selectionformat.h"

#include "platform/rtf/charformat.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace corvane {
namespace {

// Folds the values of successive runs: stays the first value while they agree, mixed after.
template<class T>
class Uniform
{
public:
    void add(const T &value)
    {
        if (!m_seen) {
            m_seen = true;
            m_value = value;
        } else if (m_value && *m_value != value) {
            m_value.reset();
        }
    }
    std::optional<T> result() const { return m_value; }

private:
    bool m_seen = false;
    std::optional<T> m_value;
};

struct Accumulator {
    Uniform<QString> fontName;
    Uniform<double> fontSize;
    Uniform<bool> bold;
    Uniform<bool> italic;
    Uniform<bool> underline;
    Uniform<bool> strikeOut;
    Uniform<int> offset;
    Uniform<int> alignment;
    bool hasRuns = false;

    void addRun(const QTextCharFormat &format, const QFont &base)
    {
        hasRuns = true;
        const QStringList families = format.fontFamilies().toStringList();
        fontName.add(families.isEmpty() ? base.family() : families.constFirst());
        fontSize.add(format.hasProperty(QTextFormat::FontPointSize) ? format.fontPointSize()
                                                                    : base.pointSizeF());
        bold.add(format.hasProperty(QTextFormat::FontWeight) ? format.fontWeight() > QFont::Medium
                                                              : base.bold());
        italic.add(format.hasProperty(QTextFormat::FontItalic) ? format.fontItalic() : base.italic());
        underline.add(format.hasProperty(QTextFormat::TextUnderlineStyle)
                              || format.hasProperty(QTextFormat::FontUnderline)
                          ? format.fontUnderline()
                          : base.underline());
        strikeOut.add(format.hasProperty(QTextFormat::FontStrikeOut) ? format.fontStrikeOut()
                                                                     : base.strikeOut());
        offset.add(qm::rtf::characterOffset(format));
    }

    void addBlock(const QTextBlock &block)
    {
        const Qt::Alignment horizontal = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (horizontal & (Qt::AlignRight | Qt::AlignTrailing))
            alignment.add(SelectionFormat::Right);
        else if (horizontal & Qt::AlignHCenter)
            alignment.add(SelectionFormat::Center);
        else
            alignment.add(SelectionFormat::Left);
    }
};

} // namespace

SelectionFormat SelectionFormat::of(const QTextCursor &cursor, const QTextCharFormat &typing)
{
    const QTextDocument &document = *cursor.document();
    const QFont base = document.defaultFont();
    Accumulator all;
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    if (start == end) {
        all.addRun(typing, base);
    } else {
        for (QTextBlock block = document.findBlock(start); block.isValid() && block.position() < end;
             block = block.next()) {
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                if (fragment.position() + fragment.length() > start && fragment.position() < end)
                    all.addRun(fragment.charFormat(), base);
            }
        }
        // A selection of paragraph breaks only (empty paragraphs) has no runs of its own.
        if (!all.hasRuns)
            all.addRun(typing, base);
    }
    for (QTextBlock block = document.findBlock(start); block.isValid(); block = block.next()) {
        all.addBlock(block);
        if (block.position() + block.length() > end)
            break;
    }
    return {all.fontName.result(), all.fontSize.result(), all.bold.result(), all.italic.result(),
            all.underline.result(), all.strikeOut.result(), all.offset.result(),
            all.alignment.result()};
}

} // namespace corvane
