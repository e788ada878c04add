#include "controls/dialogs/sizekeyfilter.h"

#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>

namespace corvane {
namespace {

bool editsSize(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.')
           || c == QLatin1Char('\b');
}

bool keyPasses(const QKeyEvent &key)
{
    switch (key.key()) {
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete: return true;
    default: break;
    }
    // Editing commands (select all, copy, paste, undo) type no character of their own.
    if (key.modifiers().testFlag(Qt::ControlModifier))
        return true;
    const QString text = key.text();
    return text.isEmpty() || std::all_of(text.cbegin(), text.cend(), editsSize);
}

bool commitPasses(const QInputMethodEvent &event)
{
    const QString text = event.commitString();
    return std::all_of(text.cbegin(), text.cend(), editsSize);
}

} // namespace

SizeKeyFilter::SizeKeyFilter(QObject *parent)
    : QObject(parent)
{
}

SizeKeyFilter::~SizeKeyFilter() = default;

bool SizeKeyFilter::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return !keyPasses(*static_cast<QKeyEvent *>(event));
    if (event->type() == QEvent::InputMethod)
        return !commitPasses(*static_cast<QInputMethodEvent *>(event));
    return false;
}

} // namespace corvane
