#pragma once

#include "corvane_export.h"

#include <QObject>
#include <QString>

class QColor;

namespace corvane {

// What the search dialogs know of the text widget they search: its whole text and its
// selection. Positions and lengths count characters (UTF-16 units) of Text(); a line break is
// one character. Editors give the dialogs an adapter of their text widget; the adapter is a
// child of that widget, so a dialog that still points at it learns when the widget is gone.
class CORVANE_EXPORT FindTarget : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FindTarget)

public:
    ~FindTarget() override;

    virtual QString Text() const = 0;
    // The start of the selection, or the caret when nothing is selected.
    virtual qsizetype SelStart() const = 0;
    // Puts the caret at the position; the selection is dropped.
    virtual void setSelStart(qsizetype position) = 0;
    virtual qsizetype SelLength() const = 0;
    // Selects this many characters from SelStart.
    virtual void setSelLength(qsizetype length) = 0;
    virtual QString SelText() const = 0;
    // Replaces the selection; the caret ends after the inserted text.
    virtual void setSelText(const QString &text) = 0;

protected:
    explicit FindTarget(QObject *parent);
};

// A rich-text target: the attribute dialog also sets character attributes of the selection.
class CORVANE_EXPORT AttributeTarget : public FindTarget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AttributeTarget)

public:
    ~AttributeTarget() override;

    virtual void setSelFontSize(double points) = 0;
    virtual void setSelColor(const QColor &color) = 0;
    virtual void setSelBold(bool on) = 0;
    virtual void setSelItalic(bool on) = 0;
    virtual void setSelUnderline(bool on) = 0;
    virtual void setSelStrikeThru(bool on) = 0;

protected:
    explicit AttributeTarget(QObject *parent);
};

} // namespace corvane
