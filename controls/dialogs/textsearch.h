#pragma once

#include "controls/dialogs/findtarget.h"

#include <QPointer>
#include <QString>

#include <functional>

namespace corvane {

// What a step of a search dialog reads from the dialog's controls.
struct SearchSettings {
    QString findText;
    bool matchCase = false;
    bool wholeText = true; // "全体": the first step starts at the top; otherwise at the caret
};

// The steps the two search dialogs share: find the next match, change the selected match and
// go on, change every match. Each step reads the target's text and selection afresh, so the
// user may edit and move the caret between steps. A match is selected in the target.
//
// A step changes the selection only when it is a match of the search text: a selection the
// user made by hand (or moved to) is never overwritten by a change step.
class TextSearch final
{
public:
    // Changes the selected match; leaves the caret after it.
    using Change = std::function<void(FindTarget &)>;

    // A new target: the next step is again a first step.
    void setTarget(FindTarget *target);
    // Null once the target is destroyed.
    FindTarget *target() const { return m_target; }

    // Selects the next match after the selection; false when there is none.
    bool findNext(const SearchSettings &settings);
    // Changes the selected match, then selects the next one; false when there is none.
    bool changeNext(const SearchSettings &settings, const Change &change);
    // Changes every match from where the step starts to the end of the text.
    void changeAll(const SearchSettings &settings, const Change &change);

private:
    void startStep(const SearchSettings &settings);
    void changeSelectedMatch(const SearchSettings &settings, const Change &change);
    // Selects the first match at the caret or after it; false when there is none.
    bool FindText(const SearchSettings &settings);
    qsizetype textAfterCaret() const;

    QPointer<FindTarget> m_target;
    bool m_searched = false;
};

} // namespace corvane
