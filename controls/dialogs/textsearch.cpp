#include "controls/dialogs/textsearch.h"

#include "controls/dialogs/textmatch.h"

namespace corvane {

void TextSearch::setTarget(FindTarget *target)
{
    m_target = target;
    m_searched = false;
}

// The first step of a whole-text search starts at the top, dropping any selection.
void TextSearch::startStep(const SearchSettings &settings)
{
    if (!m_searched && settings.wholeText)
        m_target->setSelStart(0);
}

bool TextSearch::FindText(const SearchSettings &settings)
{
    const std::optional<TextSpan> match = findText(m_target->Text(), settings.findText,
                                                   m_target->SelStart(), settings.matchCase);
    if (!match)
        return false;
    m_target->setSelStart(match->start);
    m_target->setSelLength(match->length);
    return true;
}

bool TextSearch::findNext(const SearchSettings &settings)
{
    startStep(settings);
    if (m_target->SelLength() > 0)
        m_target->setSelStart(m_target->SelStart() + m_target->SelLength());
    if (!FindText(settings))
        return false;
    m_searched = true;
    return true;
}

void TextSearch::changeSelectedMatch(const SearchSettings &settings, const Change &change)
{
    if (m_target->SelLength() > 0
        && matchesWhole(m_target->SelText(), settings.findText, settings.matchCase)) {
        change(*m_target);
    }
}

bool TextSearch::changeNext(const SearchSettings &settings, const Change &change)
{
    startStep(settings);
    changeSelectedMatch(settings, change);
    if (!FindText(settings))
        return false;
    m_searched = true;
    return true;
}

qsizetype TextSearch::textAfterCaret() const
{
    return m_target->Text().size() - m_target->SelStart();
}

// The search goes on after each changed match, so a replacement that contains the search text
// is not searched again; and since each round leaves less text after the caret, the loop ends
// even if a change did not take.
void TextSearch::changeAll(const SearchSettings &settings, const Change &change)
{
    if (!changeNext(settings, change))
        return;
    qsizetype left = textAfterCaret();
    while (changeNext(settings, change)) {
        const qsizetype nowLeft = textAfterCaret();
        if (nowLeft >= left)
            return;
        left = nowLeft;
    }
}

} // namespace corvane
